// palettecolours.h - the twelve element colours of the palette and the
// texture index of every pair of them. Plain constant data, needing neither
// the rendering library nor Qt, so the texture generator under tools/ makes
// its images from the very values the palette registers.
#ifndef MOLVANE_PALETTECOLOURS_H
#define MOLVANE_PALETTECOLOURS_H

inline constexpr int elementColourCount = 12;    // palette colours 5 .. 16
inline constexpr int twoColourTextureCount = 66; // one per pair of element colours

// One element colour: its name, the word of the texture file names, and its
// components (alpha is always 1).
struct PaletteColour {
    const char *name;
    float red, green, blue;
};

// Colour i of the palette is entry i - 5; this order is also the order of
// the two colours in a texture's name.
inline constexpr PaletteColour elementColours[elementColourCount] = {
    /* 5 */ {"lightgrey", 0.7f, 0.7f, 0.7f},
    /* 6 */ {"red", 0.94f, 0.0f, 0.0f},
    /* 7 */ {"white", 1.0f, 1.0f, 1.0f},
    /* 8 */ {"lightblue", 0.56f, 0.56f, 1.0f},
    /* 9 */ {"yellow", 1.0f, 0.78f, 0.2f},
    /* 10 */ {"orange", 1.0f, 0.55f, 0.0f},
    /* 11 */ {"green", 0.0f, 1.0f, 0.0f},
    /* 12 */ {"brown", 0.65f, 0.16f, 0.16f},
    /* 13 */ {"blue", 0.0f, 0.0f, 1.0f},
    /* 14 */ {"darkgreen", 0.16f, 0.5f, 0.16f},
    /* 15 */ {"darkgrey", 0.2f, 0.2f, 0.2f},
    /* 16 */ {"pink", 1.0f, 0.08f, 0.58f},
};

// Texture index of the pair (earlier colour, later colour), both counted
// from 0 = lightgrey; 0 on and below the diagonal. Indices 58, 63 and 67 are
// never used.
inline constexpr int textureIndexTable[elementColourCount][elementColourCount] = {
    //lg rd wh lb ye or gr br bl dg dk pk
    {0, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},      // lightgrey
    {0, 0, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25},  // red
    {0, 0, 0, 26, 27, 28, 29, 30, 31, 32, 33, 34},   // white
    {0, 0, 0, 0, 35, 36, 37, 38, 39, 40, 41, 42},    // lightblue
    {0, 0, 0, 0, 0, 43, 44, 45, 46, 47, 48, 49},     // yellow
    {0, 0, 0, 0, 0, 0, 50, 51, 52, 53, 54, 55},      // orange
    {0, 0, 0, 0, 0, 0, 0, 56, 57, 59, 60, 61},       // green
    {0, 0, 0, 0, 0, 0, 0, 0, 62, 64, 65, 66},        // brown
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 68, 69, 70},         // blue
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 71, 72},          // darkgreen
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 73},           // darkgrey
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},            // pink
};

// The signed texture code of two palette colours (5 .. 16): +t when the
// first comes earlier in the colour order, -t when it comes later, 1 when
// both are the same colour or either lies outside the element colours.
constexpr int colourPairCode(int firstColour, int secondColour)
{
    int a = firstColour - 5, b = secondColour - 5;
    if (a < 0 || b < 0 || a >= elementColourCount || b >= elementColourCount || a == b)
        return 1;
    return a < b ? textureIndexTable[a][b] : -textureIndexTable[b][a];
}

#endif
