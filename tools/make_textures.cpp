// make_textures.cpp - writes the 66 two-colour bond textures, one binary PPM
// per pair of element colours, from the palette's own colour table. The
// first colour fills the top half of the image (the rows the file starts
// with), which the cylinder shows at its +Z end, the end of the atom that
// carries that colour; the second colour fills the bottom half.
//
//   make_textures <folder>      e.g. make_textures Textures
#include <cmath>
#include <cstdio>

#include "scene/palettecolours.h"

namespace {

constexpr int imageWidth = 8;
constexpr int imageHeight = 64;

unsigned char byteOf(float component)
{
    return (unsigned char)std::lround(component * 255.0f);
}

bool writeTexture(const char *folder, int first, int second)
{
    char path[300];
    std::snprintf(path, sizeof path, "%s/%s%s.ppm", folder, elementColours[first].name, elementColours[second].name);
    FILE *file = std::fopen(path, "wb");
    if (!file) {
        std::printf("\nERROR - cannot write %s\n\n", path);
        return false;
    }
    std::fprintf(file, "P6\n%d %d\n255\n", imageWidth, imageHeight);
    for (int row = 0; row < imageHeight; row++) {
        const PaletteColour &c = elementColours[row < imageHeight / 2 ? first : second];
        for (int column = 0; column < imageWidth; column++) {
            unsigned char pixel[3] = {byteOf(c.red), byteOf(c.green), byteOf(c.blue)};
            std::fwrite(pixel, 1, 3, file);
        }
    }
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::printf("usage: make_textures <folder>\n");
        return 2;
    }
    int written = 0;
    for (int first = 0; first < elementColourCount; first++)
        for (int second = first + 1; second < elementColourCount; second++)
            written += writeTexture(argv[1], first, second) ? 1 : 0;
    std::printf("%d textures written to %s\n", written, argv[1]);
    return written == twoColourTextureCount ? 0 : 1;
}
