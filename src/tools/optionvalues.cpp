// optionvalues.cpp - the values of molvane-render's options read from their
// text (see optionvalues.h).
#include "tools/optionvalues.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

bool parseSize(const char *text, int limit, int *width, int *height)
{
    char *end = nullptr;
    errno = 0;
    long a = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X') || errno)
        return false;
    const char *second = end + 1;
    long b = std::strtol(second, &end, 10);
    if (end == second || *end != '\0' || errno || a < 1 || b < 1 || a > limit || b > limit)
        return false;
    *width = (int)a;
    *height = (int)b;
    return true;
}

bool parseFloat(const char *text, float *value)
{
    char *end = nullptr;
    double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite((float)v))
        return false;
    *value = (float)v;
    return true;
}

bool parseWhole(const char *text, int low, int high, int *value)
{
    float v = 0;
    if (!parseFloat(text, &v) || v != std::floor(v) || v < (float)low || v > (float)high)
        return false;
    *value = (int)v;
    return true;
}

bool parseColour(const char *text, float rgb[3])
{
    if (std::strcmp(text, "black") == 0 || std::strcmp(text, "white") == 0) {
        rgb[0] = rgb[1] = rgb[2] = text[0] == 'w' ? 1.0f : 0.0f;
        return true;
    }
    if (text[0] != '#' || std::strlen(text) != 7)
        return false;
    float read[3];
    for (int k = 0; k < 3; k++) {
        char digits[3] = {text[1 + 2 * k], text[2 + 2 * k], 0};
        char *end = nullptr;
        long v = std::strtol(digits, &end, 16);
        if (*end != '\0' || !std::isxdigit((unsigned char)digits[0]))
            return false;
        read[k] = (float)v / 255.0f;
    }
    std::memcpy(rgb, read, sizeof read);
    return true;
}
