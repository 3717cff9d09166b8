// cifblock.h - the first data block of a CIF file as rows of the categories
// a reader asks for: each loop row, or the item-value pairs of one category
// together, handed over with the values of the asked-for items in the order
// asked, whatever order and subset the file writes. For the mmCIF reader.
#ifndef MOLVANE_CIFBLOCK_H
#define MOLVANE_CIFBLOCK_H

#include "molecule/ciftokens.h"

inline constexpr int cifValueLength = 255;   // characters of a value kept (longer ones are cut)
inline constexpr int maxCifColumns = 24;     // items read of one category

struct CifCategory {
    const char *name;             // "_atom_site"
    const char *const *items;     // the items read, "id", "Cartn_x", ...
    int itemCount;                // at most maxCifColumns
};

// The values of one row, by item as the category lists them.
struct CifRow {
    char value[maxCifColumns][cifValueLength + 1];
    int length[maxCifColumns];
    bool present[maxCifColumns];  // false: no such column, or "?" or "."
};

struct CifFailure {
    const char *what = nullptr;   // what is wrong, or null
    int line = 0;                 // where, 0 for the whole file
};

// Reads the tokens of the first data block and calls onRow for every row of
// the categories listed; seen[k] becomes true when category k appears.
// Returns false, with failure set, when the file cannot be read as CIF: a
// quote or text field left open, a loop whose values do not fill its rows,
// a loop without tags, a value without a tag, a tag without a value, or no
// data block at all.
bool readFirstCifBlock(CifTokenizer &tokens, const CifCategory *categories, int count,
                       void (*onRow)(int category, const CifRow &row), bool *seen, CifFailure &failure);

// A value as text: "" where it is not there.
inline const char *cifValue(const CifRow &row, int item) { return row.present[item] ? row.value[item] : ""; }
inline int cifLength(const CifRow &row, int item) { return row.present[item] ? row.length[item] : 0; }

#endif
