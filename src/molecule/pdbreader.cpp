// pdbreader.cpp - the PDB reader: ATOM, HETATM, CONECT, ENDMDL and HEADER
// records by column into the store, then centring and chain numbering.
// Reads the stream in pieces of 66 characters; allocates nothing.
#include "molecule/molecule.h"

#include "molecule/elementtable.h"
#include "molecule/mmcif.h"
#include "molecule/structureinput.h"

#include <clocale>
#include <cmath>
#include <cstring>
#include <locale.h>

//------------------------------------------------------------------------------
// Text tests and tiny column helpers (columns count from 1, as in the format;
// a column past the end of the line reads as the end of the text)
//------------------------------------------------------------------------------
bool containsDigit(const char *text)
{
    for (; *text; text++)
        if (*text >= '0' && *text <= '9')
            return true;
    return false;
}

bool containsLetter(const char *text)
{
    for (; *text; text++)
        if ((*text >= 'a' && *text <= 'z') || (*text >= 'A' && *text <= 'Z'))
            return true;
    return false;
}

// One line piece: the text and its length up to the first NUL.
struct Piece {
    const char *text;
    int length;
};

// The character of one column, NUL past the end.
static inline char column(const Piece &line, int col)
{
    return col <= line.length ? line.text[col - 1] : '\0';
}

// Copies columns first .. last (as far as the line reaches) into out,
// NUL-terminated; out must hold last - first + 2 characters.
static void columns(const Piece &line, int first, int last, char *out)
{
    int end = last < line.length ? last : line.length;
    int n = end >= first ? end - first + 1 : 0;
    std::memcpy(out, line.text + first - 1, (size_t)n);
    out[n] = '\0';
}

// Copies the first blank-delimited word of text into out (at most max
// characters); returns its length.
static int firstWord(const char *text, char *out, int max)
{
    while (*text && isSpaceChar(*text))
        text++;
    int n = 0;
    while (*text && !isSpaceChar(*text) && n < max)
        out[n++] = *text++;
    out[n] = '\0';
    return n;
}

// The C library's decimal conversion: leading blanks, an optional sign and
// digits; anything else stops the number and no digits give 0. Values beyond
// 32 bits saturate instead of wrapping.
int32_t readInteger(const char *text)
{
    while (*text && isSpaceChar(*text))
        text++;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; text++)
        if (value < INT64_C(1) << 32)
            value = value * 10 + (*text - '0');
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return (int32_t)value;
}

static int32_t integerFromColumns(const Piece &line, int first, int last)
{
    char field[72];
    columns(line, first, last, field);
    return readInteger(field);
}

//------------------------------------------------------------------------------
// Coordinates: "%f %f %f" on a copy of columns 31 to 55
//------------------------------------------------------------------------------
// The reference: the C library itself, in the "C" locale whatever the
// program's locale is (Qt sets the user's at start-up).
static int scanCoordinatesLibrary(const char *text, float xyz[3])
{
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", (locale_t)0);
    locale_t previous = cLocale ? uselocale(cLocale) : (locale_t)0;
    int count = std::sscanf(text, "%f %f %f", &xyz[0], &xyz[1], &xyz[2]);
    if (cLocale)
        uselocale(previous);
    return count;
}

// The usual shape, [sign] digits [. digits], read without the library: with
// at most 2^24 as the digit value and at most ten decimals both the value and
// the power of ten are exact floats, so one float division rounds exactly as
// the library's correctly rounded conversion does. Returns false for any
// other shape, which the library then reads.
static bool scanCoordinatesFast(const char *text, float xyz[3])
{
    static const float powersOfTen[11] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                          1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    const char *p = text;
    for (int n = 0; n < 3; n++) {
        while (isSpaceChar(*p))
            p++;
        if (*p == '\0')
            return true;   // fewer than three numbers: the rest stay unread
        bool negative = false;
        if (*p == '+' || *p == '-')
            negative = *p++ == '-';
        if (*p < '0' || *p > '9')
            return false;
        int64_t digits = 0;
        int decimals = 0;
        int count = 0;
        // Digits past the twelfth are only counted: that shape goes to the library.
        for (; *p >= '0' && *p <= '9'; p++, count++)
            if (count < 12)
                digits = digits * 10 + (*p - '0');
        if (*p == '.') {
            p++;
            for (; *p >= '0' && *p <= '9'; p++, count++, decimals++)
                if (count < 12)
                    digits = digits * 10 + (*p - '0');
        }
        if (count > 12 || digits > (INT64_C(1) << 24) || decimals > 10)
            return false;
        if (*p == '.' || *p == 'e' || *p == 'E' || *p == 'x' || *p == 'X')
            return false;
        float value = (float)digits / powersOfTen[decimals];
        xyz[n] = negative ? -value : value;
    }
    return true;
}

// Reads x, y and z as "%f %f %f" does; values not read keep their contents.
void scanCoordinates(const char *text, float xyz[3])
{
    float fast[3] = {xyz[0], xyz[1], xyz[2]};
    if (scanCoordinatesFast(text, fast)) {
        xyz[0] = fast[0];
        xyz[1] = fast[1];
        xyz[2] = fast[2];
        return;
    }
    scanCoordinatesLibrary(text, xyz);
}

//------------------------------------------------------------------------------
// Residue classes
//------------------------------------------------------------------------------
static inline uint32_t packName(const char *name)
{
    uint32_t packed = 0;
    for (int k = 0; k < 4 && name[k]; k++)
        packed |= (uint32_t)(unsigned char)name[k] << (8 * k);
    return packed;
}

int32_t residueClassOf(const char *name, int32_t sequenceNumber)
{
    static uint32_t packedNames[residueNameCount];
    static bool packed = false;
    if (!packed) {
        for (int k = 0; k < residueNameCount; k++)
            packedNames[k] = packName(residueNames[k]);
        packed = true;
    }
    uint32_t key = packName(name);
    for (int k = 0; k < residueNameCount; k++)
        if (packedNames[k] == key)
            return k;
    return sequenceNumber;
}

//------------------------------------------------------------------------------
// The reader
//------------------------------------------------------------------------------
namespace {
struct ReadState {
    int32_t lastIndex = 0;           // index of the most recent atom line
    int32_t modelOffset = 0;         // last index at the latest ENDMDL
    float minimum[3] = {9999.9f, 9999.9f, 9999.9f};
    float maximum[3] = {-9999.9f, -9999.9f, -9999.9f};
    int32_t highestTouched = -1;     // highest atom record written
    bool atomTableFull = false;      // an index of 120000 or more ended the read
    bool stopAfterLine = false;      // the bond table filled on a CONECT line
};
}

static void readHeader(const Piece &line)
{
    char title[41];
    columns(line, 11, 50, title);
    size_t n = std::strlen(title);
    if (n > 0 && title[n - 1] == '\n')
        title[--n] = '\0';
    if (n > 0 && title[n - 1] == '\r')
        title[--n] = '\0';
    std::printf("Protein %s\n", printableText(title, (int)n).c_str());
}

void storeAtomPlace(AtomRecord &atom, const float xyz[3], const char symbol[4], float minimum[3], float maximum[3])
{
    const ElementRow &row = elementRow(symbol);
    atom.x = xyz[0];
    atom.y = xyz[1];
    atom.z = xyz[2];
    std::memcpy(atom.element, symbol, sizeof atom.element);
    atom.valence = row.valence;
    atom.atomicWeight = row.atomicWeight;
    atom.paletteIndex = row.paletteIndex;
    atom.vdwRadius = row.vdwRadius;
    atom.present = 1;
    for (int axis = 0; axis < 3; axis++) {
        if (xyz[axis] < minimum[axis])
            minimum[axis] = xyz[axis];
        if (xyz[axis] > maximum[axis])
            maximum[axis] = xyz[axis];
    }
}

// Returns false when the line ends the reading.
static bool readAtom(const Piece &line, ReadState &state)
{
    int32_t index = readInteger(line.length > 6 ? line.text + 6 : "");
    if (index <= state.modelOffset)
        index += state.modelOffset;
    if (index >= maxAtoms) {
        state.atomTableFull = true;
        return false;
    }
    // A negative serial has no record: the line is dropped and the last
    // index stays where it was, so the atoms before it keep counting.
    if (index < 0)
        return true;
    state.lastIndex = index;

    char nameColumns[2] = {column(line, 13), column(line, 14)};
    if (nameColumns[0] == '\0')
        nameColumns[1] = '\0';
    char symbol[4];
    elementFromAtomName(nameColumns, symbol);

    char chain = column(line, 22);
    int32_t sequenceNumber = integerFromColumns(line, 23, 30);
    char field[26];
    columns(line, 18, 20, field);
    char residueName[4];
    firstWord(field, residueName, 3);

    float xyz[3] = {9999.9f, 9999.9f, 9999.9f};
    columns(line, 31, 55, field);
    scanCoordinates(field, xyz);
    for (int axis = 0; axis < 3; axis++)
        if (!(xyz[axis] < 9999.9f) || std::isinf(xyz[axis]))
            return true;   // bad coordinates: skipped, the index still counts

    AtomRecord &atom = atoms[index];
    storeAtomPlace(atom, xyz, symbol, state.minimum, state.maximum);
    atom.chain = chain;
    atom.chainIndex = (signed char)chain;
    std::memcpy(atom.residueName, residueName, sizeof atom.residueName);
    atom.residueClass = residueClassOf(residueName, sequenceNumber);
    if (index > state.highestTouched)
        state.highestTouched = index;
    return true;
}

static void readConect(const Piece &line, ReadState &state)
{
    int32_t a = integerFromColumns(line, 7, 11);
    if (a < 0 || a >= maxAtoms)
        return;   // no such record: the whole line is ignored
    for (int first = 12; first + 4 <= pdbPieceLength; first += 5) {
        if (first > line.length)
            break;
        char field[6], word[6];
        columns(line, first, first + 4, field);
        if (firstWord(field, word, 5) == 0 || containsLetter(word) || !containsDigit(word))
            break;
        int32_t p = readInteger(word);
        // Partners outside the atom table, and the atom itself, are ignored.
        if (p < 0 || p >= maxAtoms || p == a)
            continue;
        if (a > state.highestTouched)
            state.highestTouched = a;
        if (p > state.highestTouched)
            state.highestTouched = p;
        int listed = isBondedTo(a, p);
        if (listed == 0) {
            if (!addBond(a, p, 1))
                state.stopAfterLine = true;
        } else if (listed > 0) {
            // A repeat in the record of the lower-numbered atom: one more
            // unit of order, up to a triple bond.
            int bond = bondRecordOf(a, p);
            if (bond > 0 && bonds[bond].order < 3) {
                bonds[bond].order++;
                appendPartners(bond);
            }
        }
    }
}

// Cuts the stream into the pieces that fgets with a 67-byte buffer gives:
// up to 66 characters, or fewer up to and including a line break. The
// stream is read ahead in large blocks, so after a read that a limit ended
// its position lies past the last piece used.
namespace {
struct PieceReader {
    StructureInput *input;
    size_t position = 0;   // next unused byte of block
    size_t filled = 0;     // bytes in block
    bool ended = false;    // end of the stream or a read error reached
    char block[1 << 16];

    // Returns the number of bytes of the piece, 0 at the end of the stream.
    size_t next(char piece[pdbPieceLength + 1])
    {
        size_t n = 0;
        while (n < (size_t)pdbPieceLength) {
            if (position == filled) {
                if (ended)
                    break;
                filled = readStructureInput(*input, block, sizeof block);
                position = 0;
                if (filled == 0) {
                    ended = true;
                    break;
                }
            }
            size_t available = filled - position;
            if (available > pdbPieceLength - n)
                available = pdbPieceLength - n;
            const char *start = block + position;
            const char *lineBreak = (const char *)std::memchr(start, '\n', available);
            size_t take = lineBreak ? (size_t)(lineBreak - start) + 1 : available;
            std::memcpy(piece + n, start, take);
            n += take;
            position += take;
            if (lineBreak)
                break;
        }
        piece[n] = '\0';
        return n;
    }
};
}

int32_t readPdbInput(StructureInput &input)
{
    resetStore();
    ReadState state;
    static PieceReader reader;
    reader.input = &input;
    reader.position = reader.filled = 0;
    reader.ended = false;
    char buffer[pdbPieceLength + 1];
    size_t bytes;
    while ((bytes = reader.next(buffer)) > 0) {
        const char *nul = (const char *)std::memchr(buffer, '\0', bytes);
        Piece line{buffer, (int)(nul ? nul - buffer : bytes)};
        char name[7];
        int n = 0;
        while (n < 6 && n < line.length && !isSpaceChar(buffer[n])) {
            name[n] = buffer[n];
            n++;
        }
        name[n] = '\0';
        if (n < 4)
            continue;   // no record name read here is shorter than four characters
        if (std::strcmp(name, "ATOM") == 0 || std::strcmp(name, "HETATM") == 0) {
            if (!readAtom(line, state))
                break;
        } else if (std::strcmp(name, "CONECT") == 0) {
            readConect(line, state);
            if (state.stopAfterLine)
                break;
        } else if (std::strcmp(name, "ENDMDL") == 0) {
            state.modelOffset = state.lastIndex;
        } else if (std::strcmp(name, "HEADER") == 0) {
            readHeader(line);
        }
    }
    markAtomsUsed((state.lastIndex > state.highestTouched ? state.lastIndex : state.highestTouched) + 1);
    if (input.failure != nullptr) {
        // A compressed file that breaks off keeps nothing of what it gave.
        resetStore();
        reportInputFailure(input);
        state = ReadState();
    }
    int32_t last = state.lastIndex;

    if (last == 0 && input.failure == nullptr)
        reportLoadError("\nERROR - invalid PDB file...\n\n");
    if (state.atomTableFull)
        reportLoadError("\nERROR - PDB file too big... Structure incomplete\n\n");
    if (nextBondIndex >= maxBonds)
        reportLoadError("\nERROR - PDB file too big... Structure incomplete\n\n");

    for (int axis = 0; axis < 3; axis++)
        halfExtents[axis] = (state.maximum[axis] - state.minimum[axis]) / 2;
    float shift[3];
    for (int axis = 0; axis < 3; axis++)
        shift[axis] = halfExtents[axis] + state.minimum[axis];

    // One walk over 1 .. last: centre every record, stored or empty, and
    // number the chains: the distinct non-blank identifiers in order of
    // first appearance, each atom's identifier code becoming its position in
    // that list. An identifier's position is fixed when it first appears, so
    // the atoms can be numbered as the walk goes.
    int16_t position[256];
    for (int code = 0; code < 256; code++)
        position[code] = -1;
    chainListLength = 0;
    for (int32_t i = 1; i <= last; i++) {
        AtomRecord &atom = atoms[i];
        atom.x -= shift[0];
        atom.y -= shift[1];
        atom.z -= shift[2];
        if (atom.present != 1 || atom.chain == ' ')
            continue;
        unsigned char code = (unsigned char)atom.chain;
        if (position[code] < 0 && chainListLength < 255) {
            position[code] = (int16_t)chainListLength;
            chainList[chainListLength++] = atom.chain;
        }
        if ((signed char)atom.chain == atom.chainIndex)
            atom.chainIndex = position[code];
    }
    chainList[chainListLength] = '\0';
    // Record 0 is not centred and adds no identifier, but is numbered.
    if (last >= 0 && atoms[0].present == 1 && atoms[0].chain != ' ') {
        int16_t at = position[(unsigned char)atoms[0].chain];
        if (at >= 0 && (signed char)atoms[0].chain == atoms[0].chainIndex)
            atoms[0].chainIndex = at;
    }
    std::printf("%d atoms found", last);
    return last;
}
