// molecule.h - the molecule subsystem: the one loaded structure in fixed
// process-wide tables, the element rules, the PDB reader and bond perception.
// Needs neither Qt nor OpenGL.
#ifndef MOLVANE_MOLECULE_H
#define MOLVANE_MOLECULE_H

#include <cstdint>
#include <cstdio>
#include <string>

//------------------------------------------------------------------------------
// Capacities
//------------------------------------------------------------------------------
inline constexpr int maxAtoms = 120000;          // atom table size; indices 0 .. 119999
inline constexpr int maxBonds = 140000;          // bond table size; record 0 unused
inline constexpr int maxPartners = 5;            // entries of bondedTo
inline constexpr int maxUnbonded = 4000;         // unbondedAtoms entries; 1 .. 3999 used
inline constexpr int residueNameCount = 31;      // entries of residueNames
inline constexpr int pdbPieceLength = 66;        // characters of a line read at a time
inline constexpr int longChainLength = 4;        // characters of a chain name kept whole (mmCIF)
inline constexpr int longResidueLength = 5;      // characters of a residue name kept whole (mmCIF)

//------------------------------------------------------------------------------
// Records
//------------------------------------------------------------------------------
struct AtomRecord {
    float x, y, z;                 // position in angstrom, centred after reading
    char element[4];               // element symbol, at most two characters
    int32_t present;               // 1 when an atom is stored here
    int32_t paletteIndex;          // element colour index, 5 .. 16
    float vdwRadius;               // element radius in angstrom
    int32_t atomicWeight;          // atomic number; 0 marks a removed atom
    int32_t bondedTo[maxPartners]; // partner indices, once per unit of bond order
    int32_t valence;               // signed valence of the element
    int32_t totalBonds;            // used entries of bondedTo
    char chain;                    // chain identifier, blank for none
    int32_t chainIndex;            // position in the chain list, 32 for no chain
    int32_t residueClass;          // position in residueNames, else the residue number
    char residueName[4];           // residue name, at most three characters
};

// The whole names of an atom where they are longer than its record holds
// (a chain name of two to four characters, a residue name of four or
// five); empty strings otherwise. Only mmCIF files have such names.
struct AtomNames {
    char chain[longChainLength + 1];       // whole chain name, or empty
    char residue[longResidueLength + 1];   // whole residue name, or empty
};

struct BondRecord {
    int32_t atomA;                 // first atom (0 marks the end of the bonds)
    int32_t atomB;                 // second atom
    int32_t order;                 // 1, 2 or 3
    int32_t fromConect;            // 1 when read from a CONECT record
    float midpoint[3];             // mean of the two atoms' positions
};

//------------------------------------------------------------------------------
// The store (written by the reader, perception and the build; read by all)
//------------------------------------------------------------------------------
extern AtomRecord atoms[maxAtoms];          // atom table, indexed by atom index
extern BondRecord bonds[maxBonds];          // bond table, bonds 1 .. nextBondIndex - 1
extern int32_t atomCount;                   // index of the last atom line read
extern int32_t nextBondIndex;               // next free bond record, 1 when empty
extern int32_t bondCount;                   // bonds (or cylinders) reported by the build
extern int32_t unbondedAtoms[maxUnbonded];  // unbonded atom indices from entry 1
extern int32_t unbondedCount;               // unbonded atoms counted, 4000 on overflow
extern float halfExtents[3];                // half size of the bounding box, per axis
extern int32_t structureLoaded;             // 1 once a structure is read and built
extern const char *const residueNames[residueNameCount];  // residue names giving residueClass 0 .. 30
extern char chainList[256];                 // distinct non-blank chain identifiers of the last read, in order
extern int32_t chainListLength;             // identifiers in chainList (it is also NUL-terminated)
extern AtomNames atomNames[maxAtoms];       // long names beside the atom table, written by the mmCIF reader
extern int32_t loadErrors;                  // "\nERROR - " lines of the last read, perception and unbonded step

// Any index of the atom table (0 .. 119999), record 0 included.
inline bool validAtom(int atom) { return atom >= 0 && atom < maxAtoms; }
// An atom named by an entry of the bond table or of unbondedAtoms, where 0
// marks an empty entry (1 .. 119999).
inline bool listedAtom(int atom) { return atom > 0 && atom < maxAtoms; }
// Highest atom index the walkers visit: atomCount, kept inside the table.
inline int32_t lastAtomIndex() { return atomCount < maxAtoms ? atomCount : maxAtoms - 1; }
// One past the last stored bond: nextBondIndex, kept inside the table.
inline int32_t bondEnd() { return nextBondIndex < maxBonds ? nextBondIndex : maxBonds; }

// isBondedTo: 0 when b is not among a's partners; else 1 if a < b, -1 otherwise.
int isBondedTo(int a, int b);
// Adds the bond a-b of order 1 at nextBondIndex and lists each atom in the
// other's bondedTo where there is room. Returns 0 when the bond table is full.
int addBond(int a, int b, int fromConect);
// Resets every table and count of the store to the empty state. Records are
// cleared up to the highest index any read, bond or build has touched (and
// at least up to atomCount); code that writes atom records beyond atomCount
// by hand must call markAtomsUsed first.
void resetStore();
// Tells resetStore that atom records below end may hold data.
void markAtomsUsed(int32_t end);
// Keeps an atom's chain name when it is longer than one character and its
// residue name when longer than three (cut at four and five characters).
void setAtomNames(int atom, const char *chain, int chainLength, const char *residue, int residueLength);
// Prints an error line of a load (printf format) and counts it in loadErrors.
void reportLoadError(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The bond record through which a lists b (0 when b is not among a's partners).
int bondRecordOf(int a, int b);
// Lists each atom of bond record `bond` once more in the other's bondedTo
// where there is room (one more unit of bond order).
void appendPartners(int bond);
//------------------------------------------------------------------------------
// Element table
//------------------------------------------------------------------------------
// Writes the element symbol for the two characters of PDB columns 13 and 14.
void elementFromAtomName(const char columns13and14[2], char symbol[4]);
const char *elementName(const char *symbol);    // "Carbon" ... "Unknown"
int32_t elementPaletteIndex(const char *symbol); // colour index 5 .. 16
float elementRadius(const char *symbol);         // radius in angstrom
int32_t elementValence(const char *symbol);      // signed valence
int32_t elementAtomicWeight(const char *symbol); // atomic number
bool isUnknownElement(const char *symbol);       // none of the thirteen symbols

//------------------------------------------------------------------------------
// PDB reader and bond perception
//------------------------------------------------------------------------------
// A blank as the C library's isspace sees it in the "C" locale: space, \t .. \r.
inline bool isSpaceChar(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool containsDigit(const char *text);    // holds one of 0 .. 9
bool containsLetter(const char *text);   // holds one of a .. z, A .. Z
// The C library's decimal conversion of text: leading blanks, an optional
// sign and digits; anything else stops the number, no digits give 0, and
// values beyond 32 bits saturate.
int32_t readInteger(const char *text);
// The residueClass of a residue: its position in residueNames, else its
// sequence number.
int32_t residueClassOf(const char *name, int32_t sequenceNumber);
// Reads x, y and z from text exactly as sscanf(text, "%f %f %f", ...) does in
// the "C" locale; values that are not read keep their contents.
void scanCoordinates(const char *text, float xyz[3]);
// Reads a structure file into the store, whatever its form: gzip-compressed
// or plain (told by the first two bytes), PDBx/mmCIF or PDB records (told
// by the content: a data block heading first makes it mmCIF; see mmcif.h).
// Returns the last index (atomCount).
int32_t readStructureFile(FILE *file);
// Adds the perceived bonds, raises bond orders and sets the mid-points.
void perceiveBonds();

//------------------------------------------------------------------------------
// Files the user names
//------------------------------------------------------------------------------
// The one way every program opens a file named by the user or kept for the
// user (a PDB file from the dialog, a recent entry, a reload, the command
// line; "recentpdb.txt") for reading. mode is "r". The open never blocks,
// and only a regular file, or a symbolic link to one, is opened: a
// directory, FIFO, device or socket is refused untouched. Returns a blocking
// stream, or null with a short reason ("No such file or directory", "not a
// regular file ...") in *reason when reason is not null.
FILE *openUserFile(const char *path, const char *mode, const char **reason);

inline constexpr int replacementPathSize = 4096 + 16;  // bytes of a path of FileReplacement

// A file that Molvane writes (a picture, "recentpdb.txt"): written under a
// temporary name beside its final one and renamed over it when complete, so
// a crash never leaves half a file and whatever stood at the name (a file,
// a symbolic link) is replaced, never written through.
struct FileReplacement {
    FILE *stream = nullptr;                     // the temporary file, open for writing
    char temporaryPath[replacementPathSize];    // its name: "." + final name + ".XXXXXX", same folder
    char finalPath[replacementPathSize];        // the name it takes when complete
};
// Opens the temporary file for `path`. A name that is a directory, FIFO,
// device or socket is refused untouched, as is one whose folder cannot take
// a new file. Returns the stream (also in replacement->stream), or null with
// a short reason in *reason when reason is not null.
FILE *beginFileReplacement(const char *path, FileReplacement *replacement, const char **reason);
// Writes the temporary file out to the disk and renames it over the final
// name. Returns 1; or 0 with the reason, the temporary file removed and the
// final name untouched.
int finishFileReplacement(FileReplacement *replacement, const char **reason);
// Closes and removes the temporary file; the final name is untouched.
void abandonFileReplacement(FileReplacement *replacement);

//------------------------------------------------------------------------------
// Console text
//------------------------------------------------------------------------------
// Text from a file or a file name as it may be printed: every control
// character becomes '?' (bytes 0x00 .. 0x1F and 0x7F; in text that is not
// valid UTF-8 also the bytes 0x80 .. 0x9F; in UTF-8 text the characters
// U+0080 .. U+009F), so no file can steer the terminal. Other text is
// returned as it is. length < 0 takes the text up to its NUL.
std::string printableText(const char *text, int length = -1);
// For the command-line programs: standard output must be open (a file
// opened later would otherwise take its descriptor and receive the console
// text); a closed standard input or error is pointed at /dev/null. A closed
// pipe becomes a failed write instead of ending the program. Returns false
// when standard output is closed.
bool prepareStandardStreams();
// For the command-line programs at their end: 0 when everything printed
// reached standard output, else 1 after "PROGRAM: cannot write the output:
// REASON" on standard error (a full disk, a closed pipe, /dev/full).
int finishStandardOutput(const char *program);

//------------------------------------------------------------------------------
// Memory
//------------------------------------------------------------------------------
// Asks the kernel for huge pages under the whole 2 MiB pages of
// [start, start + size): a table filled fresh then takes a fault per 2 MiB
// instead of one per 4 KiB page. Advice only; nothing happens where the
// kernel does not take it.
void adviseHugePages(void *start, size_t size);

#endif
