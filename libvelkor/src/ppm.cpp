// ppm.cpp - the PPM image reader for textures: P6 (binary) and P3 (text),
// comments, maxval up to 255. Rows are kept in file order, top row first.
#include "internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Cursor over the file's bytes with the header grammar of the format.
struct PpmCursor {
    const uint8_t *p;
    const uint8_t *end;

    void skipSpaceAndComments()
    {
        while (p < end) {
            if (*p == '#') {
                while (p < end && *p != '\n' && *p != '\r') p++;
            } else if (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') {
                p++;
            } else {
                break;
            }
        }
    }

    // A decimal number; -1 when there is none or it is absurdly large.
    long number()
    {
        skipSpaceAndComments();
        if (p >= end || *p < '0' || *p > '9') return -1;
        long v = 0;
        while (p < end && *p >= '0' && *p <= '9') {
            v = v * 10 + (*p - '0');
            if (v > 100000000L) return -1;
            p++;
        }
        return v;
    }
};

} // namespace

namespace {

constexpr long MAX_SIDE = 4096;                 // widest and tallest texture taken
constexpr size_t HEADER_LIMIT = 64 * 1024;      // bytes a header (comments included) may take
constexpr size_t TEXT_BYTES_PER_VALUE = 16;     // what a P3 file is read for, per value

// The header: size and depth, and where the pixels start.
struct PpmHeader {
    int binary;        // 1: P6, 0: P3
    long width, height, maxval;
    size_t pixels;     // offset of the first pixel byte (P6) or value (P3)
    size_t values;     // width x height x 3
};

int parseHeader(const uint8_t *data, size_t size, PpmHeader *header, std::string *error)
{
    PpmCursor c{data, data + size};
    if (size < 2 || data[0] != 'P' || (data[1] != '6' && data[1] != '3')) {
        *error = "not a P6 or P3 PPM image";
        return 0;
    }
    header->binary = data[1] == '6';
    c.p += 2;
    header->width = c.number();
    header->height = c.number();
    header->maxval = c.number();
    if (header->width <= 0 || header->height <= 0 || header->maxval <= 0) {
        *error = "bad PPM header";
        return 0;
    }
    if (header->maxval > 255) {
        *error = "PPM maxval above 255 is not supported";
        return 0;
    }
    if (header->width > MAX_SIDE || header->height > MAX_SIDE) {
        *error = "PPM image larger than 4096 x 4096";
        return 0;
    }
    // P6: exactly one whitespace byte separates the header from the pixels.
    if (header->binary && c.p >= c.end) {
        *error = "PPM pixel data missing";
        return 0;
    }
    header->pixels = (size_t)(c.p - data) + (size_t)header->binary;
    header->values = (size_t)header->width * (size_t)header->height * 3;
    return 1;
}

// The pixels after the header: size holds at least header.values bytes for P6.
int parsePixels(const uint8_t *data, size_t size, const PpmHeader &header, std::vector<uint8_t> *rgb,
                std::string *error)
{
    const long maxval = header.maxval;
    if (header.binary) {
        if (size - header.pixels < header.values) {
            *error = "PPM pixel data truncated";
            return 0;
        }
        rgb->resize(header.values);
        const uint8_t *in = data + header.pixels;
        uint8_t *out = rgb->data();
        for (size_t i = 0; i < header.values; i++)
            out[i] = (uint8_t)(maxval == 255 ? in[i] : (in[i] > maxval ? 255 : in[i] * 255 / maxval));
        return 1;
    }
    // P3: every value takes at least a digit and a separator.
    if ((size - header.pixels) / 2 + 1 < header.values) {
        *error = "PPM pixel data truncated or malformed";
        return 0;
    }
    rgb->resize(header.values);
    PpmCursor c{data + header.pixels, data + size};
    for (size_t i = 0; i < header.values; i++) {
        long v = c.number();
        if (v < 0) {
            *error = "PPM pixel data truncated or malformed";
            return 0;
        }
        if (v > maxval) v = maxval;
        (*rgb)[i] = (uint8_t)(v * 255 / maxval);
    }
    return 1;
}

} // namespace

int velPpmParse(const uint8_t *data, size_t size, int *width, int *height, std::vector<uint8_t> *rgb,
                std::string *error)
{
    PpmHeader header;
    if (!parseHeader(data, size, &header, error) || !parsePixels(data, size, header, rgb, error)) return 0;
    *width = (int)header.width;
    *height = (int)header.height;
    return 1;
}

// Reads the header first and then no more of the file than its pixels need,
// after checking that the file holds them: a lying header costs nothing.
int velPpmRead(const char *path, int *width, int *height, std::vector<uint8_t> *rgb, std::string *error)
{
    int fd = path ? open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *error = fd < 0 ? "cannot open the file" : "not a regular file";
        if (fd >= 0) close(fd);
        return 0;
    }
    size_t fileSize = (size_t)status.st_size;
    std::vector<uint8_t> data(fileSize < HEADER_LIMIT ? fileSize : HEADER_LIMIT);
    ssize_t got = pread(fd, data.data(), data.size(), 0);
    PpmHeader header;
    int ok = got == (ssize_t)data.size() && parseHeader(data.data(), data.size(), &header, error);
    if (got != (ssize_t)data.size()) *error = "cannot read the file";
    // A header that runs to the end of what was read may go on after it.
    if (ok && fileSize > data.size() && header.pixels >= data.size()) {
        *error = "PPM header longer than 64 KiB";
        ok = 0;
    }
    if (ok && header.binary && fileSize - header.pixels < header.values) {
        *error = "PPM pixel data truncated";
        ok = 0;
    }
    if (ok) {
        size_t wanted = header.binary ? header.pixels + header.values
                                      : header.pixels + header.values * TEXT_BYTES_PER_VALUE + HEADER_LIMIT;
        if (wanted > fileSize) wanted = fileSize;
        if (wanted > data.size()) {
            size_t had = data.size();
            data.resize(wanted);
            got = pread(fd, data.data() + had, wanted - had, (off_t)had);
            if (got != (ssize_t)(wanted - had)) {
                *error = "cannot read the file";
                ok = 0;
            }
        }
    }
    close(fd);
    if (!ok || !parsePixels(data.data(), data.size(), header, rgb, error)) return 0;
    *width = (int)header.width;
    *height = (int)header.height;
    return 1;
}
