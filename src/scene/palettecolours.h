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
// from 0 = lightgrey; 0 on and below the diagonal. Above it the indices run
// from 5 row by row, except 58, 63 and 67, which are never used.
struct TextureIndexTable {
    int index[elementColourCount][elementColourCount] = {};
    constexpr TextureIndexTable()
    {
        int next = 5;
        for (int a = 0; a < elementColourCount; a++)
            for (int b = a + 1; b < elementColourCount; b++) {
                while (next == 58 || next == 63 || next == 67)
                    next++;
                index[a][b] = next++;
            }
    }
};
inline constexpr TextureIndexTable textureIndexTable;
static_assert(textureIndexTable.index[0][1] == 5 && textureIndexTable.index[6][8] == 57 &&
              textureIndexTable.index[6][9] == 59 && textureIndexTable.index[10][11] == 73);

// The signed texture code of two palette colours (5 .. 16): +t when the
// first comes earlier in the colour order, -t when it comes later, 1 when
// both are the same colour or either lies outside the element colours.
constexpr int colourPairCode(int firstColour, int secondColour)
{
    int a = firstColour - 5, b = secondColour - 5;
    if (a < 0 || b < 0 || a >= elementColourCount || b >= elementColourCount || a == b)
        return 1;
    return a < b ? textureIndexTable.index[a][b] : -textureIndexTable.index[b][a];
}

#endif
