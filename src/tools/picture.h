// picture.h - how molvane-render makes the picture of a scene once it is
// built: a first view that frames the whole structure (framing.cpp), the
// finish and the tiles it is drawn in (tiles.cpp), and the PNG file the
// tiles stream into a band of rows at a time (pngwriter.cpp).
#ifndef MOLVANE_PICTURE_H
#define MOLVANE_PICTURE_H

#include <cstdio>

#include "renderlib/renderlib.h"

//------------------------------------------------------------------------------
// Framing
//------------------------------------------------------------------------------
// Keeps the view's direction and moves its eye and pivot so that every
// drawn atom (as a ball of its drawn size) is in a picture of width x height
// pixels, `margin` of each side left free.
void frameStructure(ViewParams *view, int width, int height, float margin);
// The least and the greatest distance from the eye, along the view, of the
// drawn atoms' surfaces; false when no atom is drawn.
bool structureDepth(const ViewParams &view, float *nearest, float *farthest);

//------------------------------------------------------------------------------
// Drawing
//------------------------------------------------------------------------------
struct PictureFinish {
    int samples = 4;        // samples a pixel
    float fog = 0.5f;       // depth cue: how far the farthest atoms fade, 0..1
    int occlusion = 0;      // 1: ambient occlusion
    int transparent = 0;    // 1: RGBA, the background transparent
    int tile = 0;           // largest tile side asked for; 0: as large as the library allows
};

// Draws the scene with viewParams and the finish into a PNG written to out,
// in tiles when the picture is larger than one frame may be. Returns false
// with a reason when a frame cannot be drawn or the PNG not written.
bool drawPicture(FILE *out, int width, int height, const PictureFinish &finish, const char **reason);

//------------------------------------------------------------------------------
// PNG output, a band of rows at a time
//------------------------------------------------------------------------------
struct PngRows {
    void *png = nullptr;    // libpng's write state
    void *info = nullptr;
    int width = 0;
    int alpha = 0;          // 1: RGBA, 0: RGB
    unsigned char *row = nullptr;  // one row as written
};

bool pngBegin(PngRows *rows, FILE *out, int width, int height, int alpha);  // writes the header
bool pngWrite(PngRows *rows, const unsigned char *rgba, int count);          // count rows of RGBA, top first
bool pngEnd(PngRows *rows);     // completes the file
void pngDiscard(PngRows *rows); // releases what is left, after a failure too

#endif
