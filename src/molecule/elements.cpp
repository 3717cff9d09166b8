// elements.cpp - the element table: the thirteen known elements and the
// "Unknown" row, the lookups by symbol and the symbol rule for atom names.
#include "molecule/molecule.h"

#include "molecule/elementtable.h"

#include <cstring>

const ElementRow elementRows[elementRowCount] = {
    //  symbol  name           palette  radius  valence  atomic number
    {"C",  "Carbon",      5,  1.55f,  4,  6},
    {"O",  "Oxygen",      6,  1.36f,  2,  8},
    {"N",  "Nitrogen",    8,  1.36f,  3,  7},
    {"S",  "Sulphur",     9,  2.04f,  2, 16},
    {"H",  "Hydrogen",    7,  1.1f,  -1,  1},
    {"P",  "Phosphorous", 10, 2.0f,   3, 15},
    {"CL", "Chlorine",    11, 1.98f,  1, 17},
    {"BR", "Bromine",     12, 1.95f,  1, 35},
    {"ZN", "Zinc",        12, 1.39f, -2, 30},
    {"NA", "Sodium",      13, 2.27f, -1, 11},
    {"MG", "Magnesium",   14, 2.2f,  -2, 12},
    {"FE", "Iron",        10, 2.1f,  -4, 26},
    {"CA", "Calcium",     15, 1.95f, -2, 20},
    {"",   "Unknown",     16, 1.4f,   2,  8},   // any other symbol; must stay last
};
static_assert(sizeof elementRows / sizeof elementRows[0] == elementRowCount,
              "the element table has thirteen known rows and the unknown row");

const ElementRow &elementRow(const char *symbol)
{
    // Symbols are at most two characters: compare them as a pair of bytes.
    char first = symbol[0];
    char second = first ? symbol[1] : '\0';
    if (second && symbol[2])
        return elementRows[unknownElementRow];
    for (int row = 0; row < unknownElementRow; row++) {
        const char *known = elementRows[row].symbol;
        if (known[0] == first && known[1] == second)
            return elementRows[row];
    }
    return elementRows[unknownElementRow];
}

static inline bool isDigitChar(char c) { return c >= '0' && c <= '9'; }

void elementFromAtomName(const char columns13and14[2], char symbol[4])
{
    // A digit in either column means the element is written from column 14
    // (hydrogen names such as 1HB): the pair becomes column 14 and a blank.
    char pair[3] = {columns13and14[0], columns13and14[0] ? columns13and14[1] : '\0', '\0'};
    if (isDigitChar(pair[0]) || isDigitChar(pair[1])) {
        pair[0] = pair[1];
        pair[1] = ' ';
    }
    // The symbol is the first word of the pair.
    const char *p = pair;
    while (*p && isSpaceChar(*p))
        p++;
    int n = 0;
    while (*p && !isSpaceChar(*p) && p < pair + 2)
        symbol[n++] = *p++;
    symbol[n] = '\0';
}

const char *elementName(const char *symbol) { return elementRow(symbol).name; }
int32_t elementPaletteIndex(const char *symbol) { return elementRow(symbol).paletteIndex; }
float elementRadius(const char *symbol) { return elementRow(symbol).vdwRadius; }
int32_t elementValence(const char *symbol) { return elementRow(symbol).valence; }
int32_t elementAtomicWeight(const char *symbol) { return elementRow(symbol).atomicWeight; }
bool isUnknownElement(const char *symbol) { return &elementRow(symbol) == &elementRows[unknownElementRow]; }
