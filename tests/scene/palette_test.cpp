// palette_test.cpp - the palette as the library receives it, read back from
// the library's call trace of setUpPalette, and the two surface tables.
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "scenetest.h"

namespace {

struct Call {
    std::string name;
    std::vector<std::string> args;
};

// The palette and surface calls of the trace, in order.
std::vector<Call> paletteCalls()
{
    std::vector<Call> calls;
    std::istringstream lines(paletteTrace);
    std::string line;
    while (std::getline(lines, line)) {
        for (char &c : line)
            if (c == ',' || c == '(' || c == ')' || c == '{' || c == '}' || c == '"')
                c = ' ';
        std::istringstream words(line);
        Call call;
        words >> call.name;
        if (call.name.rfind("vel_palette", 0) != 0 && call.name != "vel_surfaceParamsNew")
            continue;
        for (std::string w; words >> w;)
            call.args.push_back(w);
        calls.push_back(call);
    }
    return calls;
}

float number(const Call &call, size_t i)
{
    return i < call.args.size() ? std::strtof(call.args[i].c_str(), nullptr) : -999.0f;
}

int integer(const Call &call, size_t i)
{
    return i < call.args.size() ? std::atoi(call.args[i].c_str()) : -999;
}

struct Rgb {
    float r, g, b;
};

// The generated colours as the single-precision steps make them.
std::map<int, Rgb> expectedGenerated()
{
    std::map<int, Rgb> colours;
    float r = 0.4f, g = 0.6f, b = 0.4f;
    for (int i = 20; i < 80; i++) {
        r = (float)(r + 0.1);
        g = (float)(g + 0.25);
        b = (float)(b - 0.3);
        r = r > 1.0 ? 0.2f : r;
        g = g > 1.0 ? 0.2f : g;
        b = b < 0.2 ? 1.0f : b;
        colours[i] = {r, g, b};
    }
    return colours;
}

// Colour and material calls: index, then the colour; the material's four
// colours are the colour three times and a fifth of it, shininess 30.
void expectColour(const Call &c, int index, Rgb rgb)
{
    ASSERT_EQ(c.name, "vel_paletteColourSet");
    ASSERT_GE(c.args.size(), 6u);
    EXPECT_EQ(integer(c, 1), index);
    EXPECT_FLOAT_EQ(number(c, 2), rgb.r) << index;
    EXPECT_FLOAT_EQ(number(c, 3), rgb.g) << index;
    EXPECT_FLOAT_EQ(number(c, 4), rgb.b) << index;
    EXPECT_FLOAT_EQ(number(c, 5), 1.0f);
}

void expectMaterial(const Call &c, int index, Rgb rgb)
{
    ASSERT_EQ(c.name, "vel_paletteMaterialSet");
    ASSERT_GE(c.args.size(), 19u);
    EXPECT_EQ(integer(c, 1), index);
    for (int k = 0; k < 3; k++) {
        EXPECT_FLOAT_EQ(number(c, 2 + 4 * k), rgb.r) << index;
        EXPECT_FLOAT_EQ(number(c, 3 + 4 * k), rgb.g) << index;
        EXPECT_FLOAT_EQ(number(c, 4 + 4 * k), rgb.b) << index;
        EXPECT_FLOAT_EQ(number(c, 5 + 4 * k), 1.0f);
    }
    EXPECT_FLOAT_EQ(number(c, 14), (float)(rgb.r * 0.2)) << index;
    EXPECT_FLOAT_EQ(number(c, 15), (float)(rgb.g * 0.2)) << index;
    EXPECT_FLOAT_EQ(number(c, 16), (float)(rgb.b * 0.2)) << index;
    EXPECT_FLOAT_EQ(number(c, 17), 1.0f);
    EXPECT_FLOAT_EQ(number(c, 18), 30.0f);
}

void expectSurface(const Call &c, int mode, int colour, int material)
{
    ASSERT_EQ(c.name, "vel_surfaceParamsNew");
    EXPECT_EQ(integer(c, 0), mode);
    EXPECT_EQ(integer(c, 1), colour);
    EXPECT_EQ(integer(c, 2), material);
    EXPECT_EQ(integer(c, 3), 0);
}

// Every call in its place: element colours and materials, the textures in
// ascending order, the element surfaces, then the generated colours.
TEST(Palette, CallsInOrderWithTheirValues)
{
    std::vector<Call> calls = paletteCalls();
    ASSERT_EQ(calls.size(), 24u + 66u + 24u + 240u) << paletteTrace.substr(0, 2000);
    size_t at = 0;
    for (int i = 5; i <= 16; i++) {
        Rgb rgb = {elementColours[i - 5].red, elementColours[i - 5].green, elementColours[i - 5].blue};
        expectColour(calls[at++], i, rgb);
        expectMaterial(calls[at++], i, rgb);
    }
    int lastTexture = 0;
    std::set<int> textures;
    for (int t = 0; t < 66; t++) {
        const Call &c = calls[at++];
        ASSERT_EQ(c.name, "vel_paletteTextureSet");
        int index = integer(c, 1);
        EXPECT_GT(index, lastTexture);
        lastTexture = index;
        textures.insert(index);
        ASSERT_GE(c.args.size(), 3u);
        if (index == 5) {
            EXPECT_EQ(c.args[2], "Textures/lightgreyred.ppm");
        }
        if (index == 59) {
            EXPECT_EQ(c.args[2], "Textures/greendarkgreen.ppm");
        }
        if (index == 73) {
            EXPECT_EQ(c.args[2], "Textures/darkgreypink.ppm");
        }
    }
    EXPECT_EQ(textures.count(58) + textures.count(63) + textures.count(67), 0u);
    EXPECT_EQ(*textures.begin(), 5);
    for (int i = 5; i <= 16; i++)
        expectSurface(calls[at++], 1, i, 0);
    for (int i = 5; i <= 16; i++)
        expectSurface(calls[at++], 2, 0, i);
    std::map<int, Rgb> generated = expectedGenerated();
    for (int i = 20; i < 80; i++) {
        expectMaterial(calls[at++], i, generated[i]);
        expectColour(calls[at++], i, generated[i]);
        expectSurface(calls[at++], 2, 0, i);
        expectSurface(calls[at++], 1, i, 0);
    }
}

// The generated colours as registered: the single-precision red cycle of
// eight values, green 0.85 only for 20, a period of 24 from 21 on.
TEST(Palette, GeneratedColours)
{
    std::map<int, Rgb> c;
    for (const Call &call : paletteCalls())
        if (call.name == "vel_paletteColourSet" && integer(call, 1) >= 20)
            c[integer(call, 1)] = {number(call, 2), number(call, 3), number(call, 4)};
    ASSERT_EQ(c.size(), 60u);
    EXPECT_EQ(c[20].r, 0.5f);
    EXPECT_EQ(c[20].g, 0.85f);
    EXPECT_EQ(c[20].b, 1.0f);
    EXPECT_EQ(c[22].r, 0.70000005f);
    EXPECT_EQ(c[24].r, 0.9000001f);
    EXPECT_EQ(c[25].r, 0.2f);  // 1.0000001 falls back
    EXPECT_EQ(c[25].g, 0.2f);
    EXPECT_FLOAT_EQ(c[25].b, 0.4f);
    EXPECT_FLOAT_EQ(c[21].r, 0.6f);
    EXPECT_FLOAT_EQ(c[21].g, 0.2f);
    EXPECT_FLOAT_EQ(c[21].b, 0.7f);
    EXPECT_FLOAT_EQ(c[44].r, 0.5f);
    EXPECT_FLOAT_EQ(c[44].g, 0.95f);
    EXPECT_FLOAT_EQ(c[44].b, 1.0f);
    EXPECT_FLOAT_EQ(c[79].r, 0.8f);
    EXPECT_FLOAT_EQ(c[79].g, 0.7f);
    EXPECT_FLOAT_EQ(c[79].b, 0.4f);
    for (int i = 21; i < 80; i++) {
        if (i + 24 < 80) {
            EXPECT_EQ(c[i].r, c[i + 24].r) << i;
            EXPECT_EQ(c[i].g, c[i + 24].g) << i;
            EXPECT_EQ(c[i].b, c[i + 24].b) << i;
        }
        EXPECT_NE(c[i].g, 0.85f) << i;
        EXPECT_LT(c[i].r, 1.0f) << i;
    }
}

// Handles exactly on the element and generated colours, all distinct.
TEST(Palette, SurfaceTables)
{
    std::set<vel_surface> handles;
    for (int i = 0; i < surfaceTableSize; i++) {
        bool used = (i >= 5 && i <= 16) || (i >= 20 && i <= 79);
        if (used) {
            EXPECT_NE(colourSurfaces[i], 0) << i;
            EXPECT_NE(materialSurfaces[i], 0) << i;
            handles.insert(colourSurfaces[i]);
            handles.insert(materialSurfaces[i]);
        } else {
            EXPECT_EQ(colourSurfaces[i], 0) << i;
            EXPECT_EQ(materialSurfaces[i], 0) << i;
        }
    }
    EXPECT_EQ(handles.size(), 144u);
}

}  // namespace
