// pngwriter.cpp - molvane-render's PNG files, written a band of rows at a
// time so that a poster never stands in memory whole: 8-bit RGB, or RGBA
// for a transparent background. libpng reports a failure by a long jump
// back into the call that met it, which then returns false.
#include <png.h>


#include "tools/picture.h"

namespace {

png_structp pngOf(PngRows *rows) { return (png_structp)rows->png; }
png_infop infoOf(PngRows *rows) { return (png_infop)rows->info; }

} // namespace

bool pngBegin(PngRows *rows, FILE *out, int width, int height, int alpha)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    rows->png = png;
    rows->info = info;
    rows->width = width;
    rows->alpha = alpha ? 1 : 0;
    rows->row = new unsigned char[(size_t)width * 4];
    if (!info || setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, out);
    // fast: pictures are mostly background, and a filter search costs a
    // poster seconds for a few per cent of its size
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    return true;
}

bool pngWrite(PngRows *rows, const unsigned char *rgba, int count)
{
    png_structp png = pngOf(rows);
    if (!png || !infoOf(rows) || setjmp(png_jmpbuf(png)))
        return false;
    size_t width = (size_t)rows->width;
    for (int y = 0; y < count; y++) {
        const unsigned char *from = rgba + (size_t)y * width * 4;
        if (rows->alpha) {
            png_write_row(png, from);
            continue;
        }
        for (size_t x = 0; x < width; x++) {
            rows->row[3 * x] = from[4 * x];
            rows->row[3 * x + 1] = from[4 * x + 1];
            rows->row[3 * x + 2] = from[4 * x + 2];
        }
        png_write_row(png, rows->row);
    }
    return true;
}

bool pngEnd(PngRows *rows)
{
    png_structp png = pngOf(rows);
    if (!png || !infoOf(rows) || setjmp(png_jmpbuf(png)))
        return false;
    png_write_end(png, infoOf(rows));
    return true;
}

void pngDiscard(PngRows *rows)
{
    png_structp png = pngOf(rows);
    png_infop info = infoOf(rows);
    png_destroy_write_struct(&png, &info);
    delete[] rows->row;
    *rows = PngRows{};
}
