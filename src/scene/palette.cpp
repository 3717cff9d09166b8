// palette.cpp - registers the element and generated colours, their
// materials and the two-colour bond textures with the library, and owns the
// two surface tables that the builders and the line drawing index.
#include <cstdio>

#include "app/settings.h"
#include "scene/scene.h"

vel_surface colourSurfaces[surfaceTableSize] = {};
vel_surface materialSurfaces[surfaceTableSize] = {};

namespace {

constexpr float shininess = 30.0f;

// Registers material index from (r, g, b): ambient, diffuse and specular are
// the colour; the emission is a fifth of it (float times double 0.2).
void setMaterial(int index, float r, float g, float b)
{
    vel_colour colour = {r, g, b, 1.0f};
    vel_colour emission = {(float)(r * 0.2), (float)(g * 0.2), (float)(b * 0.2), 1.0f};
    vel_paletteMaterialSet(vel_palette_default, index, colour, colour, colour, emission, shininess);
}

}  // namespace

void textureFileName(int firstColour, int secondColour, char *path, int size)
{
    std::snprintf(path, (size_t)size, "Textures/%s%s.ppm", elementColours[firstColour - firstElementColour].name,
                  elementColours[secondColour - firstElementColour].name);
}

int generatedColourEntry(int32_t key)
{
    return firstGeneratedColour + ((key % generatedColourCount) + generatedColourCount) % generatedColourCount;
}

void setUpPalette()
{
    // Element colours, each as a flat colour and a lit material.
    for (int i = firstElementColour; i <= lastElementColour; i++) {
        const PaletteColour &c = elementColours[i - firstElementColour];
        vel_paletteColourSet(vel_palette_default, i, c.red, c.green, c.blue, 1.0f);
        setMaterial(i, c.red, c.green, c.blue);
    }

    // The two-colour textures in ascending index order: the table's rows are
    // ascending already, row after row.
    for (int a = firstElementColour; a <= lastElementColour; a++) {
        for (int b = a + 1; b <= lastElementColour; b++) {
            char path[64];
            textureFileName(a, b, path, (int)sizeof path);
            vel_paletteTextureSet(vel_palette_default, colourPairCode(a, b), path);
        }
    }

    for (int i = firstElementColour; i <= lastElementColour; i++)
        colourSurfaces[i] = vel_surfaceParamsNew(vel_surface_flat, i, 0, 0);
    for (int i = firstElementColour; i <= lastElementColour; i++)
        materialSurfaces[i] = vel_surfaceParamsNew(vel_surface_material, 0, i, 0);

    // A texture of another size than the program's own is used all the same,
    // but its colours may fall on the wrong half of a bond: say which.
    for (int a = firstElementColour; a <= lastElementColour; a++) {
        for (int b = a + 1; b <= lastElementColour; b++) {
            int width, height;
            if (!vel_paletteTextureSize(vel_palette_default, colourPairCode(a, b), &width, &height) ||
                (width == textureWidth && height == textureHeight))
                continue;
            char path[64];
            textureFileName(a, b, path, (int)sizeof path);
            printf("WARNING - texture %s is %d x %d pixels, not %d x %d; its bonds may show the wrong colours\n",
                   path, width, height, textureWidth, textureHeight);
        }
    }

    // Generated colours for chains and residues. The steps accumulate in
    // single precision: red climbs to 1.0000001, which is above 1.0, and so
    // cycles through eight values.
    float r = 0.4f, g = 0.6f, b = 0.4f;
    for (int i = firstGeneratedColour; i < firstGeneratedColour + generatedColourCount; i++) {
        r = (float)(r + 0.1);
        g = (float)(g + 0.25);
        b = (float)(b - 0.3);
        if (r > 1.0)
            r = 0.2f;
        if (g > 1.0)
            g = 0.2f;
        if (b < 0.2)
            b = 1.0f;
        setMaterial(i, r, g, b);
        vel_paletteColourSet(vel_palette_default, i, r, g, b, 1.0f);
        materialSurfaces[i] = vel_surfaceParamsNew(vel_surface_material, 0, i, 0);
        colourSurfaces[i] = vel_surfaceParamsNew(vel_surface_flat, i, 0, 0);
    }
}
