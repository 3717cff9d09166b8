// elementtable.h - the rows of the element table, for the reader, which
// copies a whole row into each atom it stores. Other code uses the lookups
// of molecule.h.
#ifndef MOLVANE_ELEMENTTABLE_H
#define MOLVANE_ELEMENTTABLE_H

#include <cstdint>

struct ElementRow {
    const char *symbol;     // "C" ... "CA"; empty for the unknown row
    const char *name;       // "Carbon" ... "Unknown"
    int32_t paletteIndex;   // colour index 5 .. 16
    float vdwRadius;        // radius in angstrom
    int32_t valence;        // signed valence
    int32_t atomicWeight;   // atomic number
};

inline constexpr int elementRowCount = 14;                   // thirteen elements and "Unknown"
inline constexpr int unknownElementRow = elementRowCount - 1; // the row of every other symbol

extern const ElementRow elementRows[elementRowCount];  // the element table, unknown row last
// The row of a symbol; the unknown row for any symbol not in the table.
const ElementRow &elementRow(const char *symbol);

#endif
