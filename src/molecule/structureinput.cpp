// structureinput.cpp - the bytes of a structure file: plain ones handed
// through; a gzip file read whole and inflated in one piece by libdeflate,
// or, when it does not fit or does not inflate cleanly (several members,
// damage), streamed through zlib. The buffers are fixed and process-wide,
// the inflaters made once; nothing is allocated per file.
#include "molecule/structureinput.h"

#include "molecule/mmcif.h"
#include "molecule/molecule.h"

#include <cstring>
#include <libdeflate.h>
#include <strings.h>
#include <zlib.h>

namespace {
// The inflater of compressed files. zlib allocates its state and window once,
// at the first compressed file; later files reset it.
struct Inflater {
    z_stream zs{};                                // zlib's state
    bool ready = false;                           // inflateInit2 has succeeded
    bool memberEnded = false;                     // the last member's trailer was read
    unsigned char input[structureInputBlock];     // compressed bytes from the file
};
Inflater inflater;
}

static unsigned char compressedBytes[maxWholeCompressed];   // a compressed file read whole
static char inflatedBytes[maxWholeInflated];                // its content inflated in one piece

// Gives zlib more compressed bytes when it has none: those read ahead
// first, then the stream's. False at the end of the file.
static bool refillCompressed(StructureInput &input)
{
    if (inflater.zs.avail_in > 0)
        return true;
    if (input.compressedUsed < input.compressedLength) {
        inflater.zs.next_in = compressedBytes + input.compressedUsed;
        inflater.zs.avail_in = (uInt)(input.compressedLength - input.compressedUsed);
        input.compressedUsed = input.compressedLength;
        return true;
    }
    size_t got = std::fread(inflater.input, 1, sizeof inflater.input, input.stream);
    inflater.zs.next_in = inflater.input;
    inflater.zs.avail_in = (uInt)got;
    return got > 0;
}

// Inflates up to size bytes into out.
static size_t inflateSome(StructureInput &input, char *out, size_t size)
{
    z_stream &zs = inflater.zs;
    zs.next_out = (Bytef *)out;
    zs.avail_out = (uInt)size;
    while (zs.avail_out > 0 && input.failure == nullptr) {
        if (inflater.memberEnded) {
            // Another member may follow (concatenated gzip files); anything
            // else after a complete member is ignored, as gzip itself does.
            if (!refillCompressed(input))
                break;
            if (zs.next_in[0] != 0x1f)
                break;
            inflateReset(&zs);
            inflater.memberEnded = false;
        }
        if (!refillCompressed(input)) {
            input.failure = "compressed data cut short";
            break;
        }
        int status = inflate(&zs, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            inflater.memberEnded = true;
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            input.failure = zs.msg != nullptr ? zs.msg : "damaged compressed data";
        }
    }
    return size - zs.avail_out;
}

static size_t readContent(StructureInput &input, char *out, size_t size)
{
    if (input.stream == nullptr || input.failure != nullptr)
        return 0;
    if (!input.compressed)
        return std::fread(out, 1, size, input.stream);
    if (input.whole != nullptr) {
        size_t n = input.wholeLength - input.wholeUsed < size ? input.wholeLength - input.wholeUsed : size;
        std::memcpy(out, input.whole + input.wholeUsed, n);
        input.wholeUsed += n;
        return n;
    }
    return inflateSome(input, out, size);
}

// Reads the compressed file whole and inflates it in one piece where it is
// one gzip member that fits the buffers; else leaves what it read for zlib.
static void inflateWhole(StructureInput &input)
{
    size_t length = 2, got;
    while (length < sizeof compressedBytes &&
           (got = std::fread(compressedBytes + length, 1, sizeof compressedBytes - length, input.stream)) > 0)
        length += got;
    input.compressedLength = length;
    if (length >= sizeof compressedBytes || length < 18)
        return;
    // The member's trailer ends with its content's size (modulo 2^32).
    const unsigned char *size = compressedBytes + length - 4;
    size_t stated = (size_t)size[0] | (size_t)size[1] << 8 | (size_t)size[2] << 16 | (size_t)size[3] << 24;
    static libdeflate_decompressor *decompressor = libdeflate_alloc_decompressor();
    // The content is written fresh: a fault per 2 MiB instead of per page.
    static const bool onHugePages = (adviseHugePages(inflatedBytes, sizeof inflatedBytes), true);
    (void)onHugePages;
    if (decompressor == nullptr || stated > sizeof inflatedBytes)
        return;
    size_t used = 0, made = 0;
    if (libdeflate_gzip_decompress_ex(decompressor, compressedBytes, length, inflatedBytes, stated, &used, &made) ==
            LIBDEFLATE_SUCCESS &&
        used == length && made == stated) {
        input.whole = inflatedBytes;
        input.wholeLength = made;
    }
}

// Starts reading `stream` as plain bytes, whatever they are.
static void openPlainInput(StructureInput &input, FILE *stream)
{
    input.stream = stream;
    input.compressed = false;
    input.failure = nullptr;
    input.headLength = input.headUsed = 0;
    input.whole = nullptr;
    input.wholeLength = input.wholeUsed = 0;
    input.compressedLength = input.compressedUsed = 0;
}

void openStructureInput(StructureInput &input, FILE *stream)
{
    openPlainInput(input, stream);
    if (stream == nullptr)
        return;
    unsigned char magic[2];
    size_t got = std::fread(magic, 1, 2, stream);
    if (got == 2 && magic[0] == 0x1f && magic[1] == 0x8b) {
        if (!inflater.ready) {
            inflater.ready = inflateInit2(&inflater.zs, 16 + MAX_WBITS) == Z_OK;
            if (!inflater.ready) {
                input.failure = "the inflater could not start";
                return;
            }
        } else {
            inflateReset(&inflater.zs);
        }
        input.compressed = true;
        inflater.memberEnded = false;
        inflater.zs.avail_in = 0;
        std::memcpy(compressedBytes, magic, 2);
        inflateWhole(input);
    } else {
        std::memcpy(input.head, magic, got);
        input.headLength = got;
    }
    // The head: as much of the content as the format test looks at.
    while (input.headLength < sizeof input.head) {
        size_t more = readContent(input, input.head + input.headLength, sizeof input.head - input.headLength);
        if (more == 0)
            break;
        input.headLength += more;
    }
}

size_t readStructureInput(StructureInput &input, char *out, size_t size)
{
    size_t n = 0;
    if (input.headUsed < input.headLength) {
        n = input.headLength - input.headUsed;
        if (n > size)
            n = size;
        std::memcpy(out, input.head + input.headUsed, n);
        input.headUsed += n;
        if (n == size)
            return n;
    }
    return n + readContent(input, out + n, size - n);
}

bool looksLikeMmcif(const StructureInput &input)
{
    const char *p = input.head, *end = input.head + input.headLength;
    while (p < end) {
        if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') {
            p++;
        } else if (*p == '#') {
            while (p < end && *p != '\n')
                p++;
        } else {
            break;
        }
    }
    return end - p >= 5 && strncasecmp(p, "data_", 5) == 0;
}

void reportInputFailure(const StructureInput &input)
{
    reportLoadError("\nERROR - damaged compressed file... %s\n\n", input.failure);
}

int32_t readStructureFile(FILE *file)
{
    static StructureInput input;
    openStructureInput(input, file);
    if (looksLikeMmcif(input))
        return readMmcifInput(input);
    return readPdbInput(input);
}
