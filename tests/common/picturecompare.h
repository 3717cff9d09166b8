// picturecompare.h - a tolerant comparison of two pictures of the same size,
// for golden pictures and for the viewer against molvane-render: they are
// compared in 4 x 4 blocks of mean colour, so an edge or a line may move by
// a pixel and the shading may shift a little without failing.
#ifndef MOLVANE_TESTS_PICTURECOMPARE_H
#define MOLVANE_TESTS_PICTURECOMPARE_H

#include <algorithm>
#include <cstdlib>
#include <vector>

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;   // rows top first, 3 bytes a pixel
};

// Share of the drawn blocks whose mean colour differs by more than 40 in a
// channel. A block is drawn when its mean is more than 16 away from the
// background (the colour of the first picture's top left pixel) in either
// picture; their number goes to *drawnBlocks.
inline double drawnDifference(const Picture &a, const Picture &b, int *drawnBlocks)
{
    const int block = 4;
    int drawn = 0, differ = 0;
    const unsigned char *bg = a.rgb.data();
    for (int by = 0; by + block <= a.height && by + block <= b.height; by += block)
        for (int bx = 0; bx + block <= a.width && bx + block <= b.width; bx += block) {
            int meanA[3] = {0, 0, 0}, meanB[3] = {0, 0, 0};
            for (int y = by; y < by + block; y++)
                for (int x = bx; x < bx + block; x++)
                    for (int c = 0; c < 3; c++) {
                        meanA[c] += a.rgb[((size_t)y * a.width + x) * 3 + c];
                        meanB[c] += b.rgb[((size_t)y * b.width + x) * 3 + c];
                    }
            int away = 0, diff = 0;
            for (int c = 0; c < 3; c++) {
                meanA[c] /= block * block;
                meanB[c] /= block * block;
                away = std::max({away, std::abs(meanA[c] - bg[c]), std::abs(meanB[c] - bg[c])});
                diff = std::max(diff, std::abs(meanA[c] - meanB[c]));
            }
            if (away <= 16)
                continue;
            drawn++;
            differ += diff > 40;
        }
    *drawnBlocks = drawn;
    return drawn ? (double)differ / drawn : 0.0;
}

#endif
