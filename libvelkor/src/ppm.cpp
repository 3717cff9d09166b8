// ppm.cpp - the PPM image reader for textures: P6 (binary) and P3 (text),
// comments, maxval up to 255. Rows are kept in file order, top row first.
#include "internal.h"

#include <cstdio>

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

int velPpmParse(const uint8_t *data, size_t size, int *width, int *height, std::vector<uint8_t> *rgb,
                std::string *error)
{
    PpmCursor c{data, data + size};
    if (size < 2 || data[0] != 'P' || (data[1] != '6' && data[1] != '3')) {
        *error = "not a P6 or P3 PPM image";
        return 0;
    }
    int binary = data[1] == '6';
    c.p += 2;
    long w = c.number(), h = c.number(), maxval = c.number();
    if (w <= 0 || h <= 0 || maxval <= 0) {
        *error = "bad PPM header";
        return 0;
    }
    if (maxval > 255) {
        *error = "PPM maxval above 255 is not supported";
        return 0;
    }
    if (w > 16384 || h > 16384) {
        *error = "PPM image too large";
        return 0;
    }
    size_t count = (size_t)w * (size_t)h * 3;
    rgb->assign(count, 0);
    uint8_t *out = rgb->data();
    if (binary) {
        // exactly one whitespace byte separates the header from the pixels
        if (c.p >= c.end) {
            *error = "PPM pixel data missing";
            return 0;
        }
        c.p++;
        if ((size_t)(c.end - c.p) < count) {
            *error = "PPM pixel data truncated";
            return 0;
        }
        for (size_t i = 0; i < count; i++) out[i] = (uint8_t)(maxval == 255 ? c.p[i] : (c.p[i] > maxval ? 255 : c.p[i] * 255 / maxval));
    } else {
        for (size_t i = 0; i < count; i++) {
            long v = c.number();
            if (v < 0) {
                *error = "PPM pixel data truncated or malformed";
                return 0;
            }
            if (v > maxval) v = maxval;
            out[i] = (uint8_t)(v * 255 / maxval);
        }
    }
    *width = (int)w;
    *height = (int)h;
    return 1;
}

int velPpmRead(const char *path, int *width, int *height, std::vector<uint8_t> *rgb, std::string *error)
{
    FILE *f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) {
        *error = "cannot open the file";
        return 0;
    }
    std::vector<uint8_t> data;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        data.insert(data.end(), buffer, buffer + n);
        if (data.size() > (size_t)1 << 30) break;
    }
    int bad = std::ferror(f);
    std::fclose(f);
    if (bad) {
        *error = "cannot read the file";
        return 0;
    }
    return velPpmParse(data.data(), data.size(), width, height, rgb, error);
}
