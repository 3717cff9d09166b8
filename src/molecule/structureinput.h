// structureinput.h - the bytes of a structure file as the readers take them:
// a plain file handed through, a gzip-compressed one (told by its first two
// bytes, whatever its name) inflated in one piece by libdeflate where it
// fits the fixed buffers, else as it is read by zlib (which also names what
// is wrong with a damaged one). For the readers only; other code calls
// readStructureFile (molecule.h).
#ifndef MOLVANE_STRUCTUREINPUT_H
#define MOLVANE_STRUCTUREINPUT_H

#include <cstddef>
#include <cstdio>

inline constexpr int structureInputBlock = 1 << 16;  // bytes read from the file at a time
inline constexpr int structureHeadSize = 4096;       // bytes looked at to tell the format
inline constexpr size_t maxWholeCompressed = (size_t)64 << 20;   // compressed bytes inflated in one piece
inline constexpr size_t maxWholeInflated = (size_t)256 << 20;    // their content, at most

struct StructureInput {
    FILE *stream = nullptr;          // the open file; never closed here
    bool compressed = false;         // gzip members are being inflated
    const char *whole = nullptr;     // the content inflated in one piece, or null (zlib streams it)
    size_t wholeLength = 0;          // bytes of it
    size_t wholeUsed = 0;            // bytes of it handed out
    size_t compressedLength = 0;     // compressed bytes read ahead (zlib takes them before the stream)
    size_t compressedUsed = 0;       // of which zlib has taken
    const char *failure = nullptr;   // why the compressed data could not be read, or null
    // Bytes already taken from the stream (inflated where compressed) and
    // not yet handed out: the head that told the format.
    char head[structureHeadSize];
    size_t headLength = 0;
    size_t headUsed = 0;
};

// Starts reading `stream`: looks at its first bytes, sets `compressed` and
// fills the head (at most structureHeadSize bytes of the content).
void openStructureInput(StructureInput &input, FILE *stream);
// Copies up to `size` bytes of the content into `out`; 0 at the end or
// after a failure. A compressed stream that is damaged or cut short sets
// `failure`.
size_t readStructureInput(StructureInput &input, char *out, size_t size);
// True when the content starts as PDBx/mmCIF: blanks and comment lines, then
// a data block heading ("data_", any case).
bool looksLikeMmcif(const StructureInput &input);

#endif
