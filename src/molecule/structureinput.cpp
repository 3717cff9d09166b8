// structureinput.cpp - the bytes of a structure file: plain ones handed
// through, gzip members inflated with zlib as they are read. One inflater
// and one input block serve every read; nothing is allocated per file.
#include "molecule/structureinput.h"

#include "molecule/mmcif.h"
#include "molecule/molecule.h"

#include <cstring>
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

// Reads more compressed bytes into the inflater when it has none; false at
// the end of the file.
static bool refillCompressed(FILE *stream)
{
    if (inflater.zs.avail_in > 0)
        return true;
    size_t got = std::fread(inflater.input, 1, sizeof inflater.input, stream);
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
            if (!refillCompressed(input.stream))
                break;
            if (zs.next_in[0] != 0x1f)
                break;
            inflateReset(&zs);
            inflater.memberEnded = false;
        }
        if (!refillCompressed(input.stream)) {
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
    return inflateSome(input, out, size);
}

void openPlainInput(StructureInput &input, FILE *stream)
{
    input.stream = stream;
    input.compressed = false;
    input.failure = nullptr;
    input.headLength = input.headUsed = 0;
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
        std::memcpy(inflater.input, magic, 2);
        inflater.zs.next_in = inflater.input;
        inflater.zs.avail_in = 2;
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
