// palette_test.cpp - the palette as the library receives it: the order of
// the calls from the library's call trace of setUpPalette, the exact values
// from a recorder at the library's door, and the two surface tables.
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "scenetest.h"

namespace {

struct ColourCall {
    int index;
    float r, g, b, a;
};
struct MaterialCall {
    int index;
    vel_colour ambient, diffuse, specular, emission;
    float shininess;
};
std::vector<ColourCall> colourCalls;      // every vel_paletteColourSet, in order
std::vector<MaterialCall> materialCalls;  // every vel_paletteMaterialSet, in order

}  // namespace

// The test binary is linked with --wrap for these two library calls: each
// call is recorded with its exact arguments and then made as usual.
extern "C" void __real__Z20vel_paletteColourSetiiffff(vel_palette, int, float, float, float, float);
extern "C" void __real__Z22vel_paletteMaterialSetii10vel_colourS_S_S_f(vel_palette, int, vel_colour, vel_colour,
                                                                       vel_colour, vel_colour, float);
extern "C" void __wrap__Z20vel_paletteColourSetiiffff(vel_palette p, int i, float r, float g, float b, float a)
{
    colourCalls.push_back({i, r, g, b, a});
    __real__Z20vel_paletteColourSetiiffff(p, i, r, g, b, a);
}
extern "C" void __wrap__Z22vel_paletteMaterialSetii10vel_colourS_S_S_f(vel_palette p, int i, vel_colour am,
                                                                       vel_colour di, vel_colour sp, vel_colour em,
                                                                       float sh)
{
    materialCalls.push_back({i, am, di, sp, em, sh});
    __real__Z22vel_paletteMaterialSetii10vel_colourS_S_S_f(p, i, am, di, sp, em, sh);
}

namespace {

struct Call {
    std::string name;
    std::vector<std::string> args;
};

// The palette and surface lines of the trace, in order.
std::vector<Call> paletteCalls()
{
    std::vector<Call> calls;
    std::istringstream lines(paletteTrace);
    std::string line;
    while (std::getline(lines, line)) {
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

int integer(const Call &call, size_t i)
{
    return i < call.args.size() ? std::atoi(call.args[i].c_str()) : -999;
}

void expectCall(const Call &c, const char *name, std::vector<int> args)
{
    ASSERT_EQ(c.name, name);
    for (size_t i = 0; i < args.size(); i++)
        EXPECT_EQ(integer(c, i), args[i]) << name << " argument " << i;
}

// Every call in its place: element colours and materials, the textures in
// ascending order, the element surfaces, then per generated colour its
// material, colour, material surface and colour surface.
TEST(Palette, CallsInOrder)
{
    std::vector<Call> calls = paletteCalls();
    ASSERT_EQ(calls.size(), 24u + 66u + 24u + 240u) << paletteTrace.substr(0, 2000);
    size_t at = 0;
    for (int i = 5; i <= 16; i++) {
        expectCall(calls[at++], "vel_paletteColourSet", {i});
        expectCall(calls[at++], "vel_paletteMaterialSet", {i});
    }
    // Every pair of element colours, the earlier colour first, in ascending
    // index order; 58, 63 and 67 are free.
    const std::map<int, std::string> pairs = {
        {5, "lightgreyred"}, {6, "lightgreywhite"}, {7, "lightgreylightblue"}, {8, "lightgreyyellow"},
        {9, "lightgreyorange"}, {10, "lightgreygreen"}, {11, "lightgreybrown"}, {12, "lightgreyblue"},
        {13, "lightgreydarkgreen"}, {14, "lightgreydarkgrey"}, {15, "lightgreypink"}, {16, "redwhite"},
        {17, "redlightblue"}, {18, "redyellow"}, {19, "redorange"}, {20, "redgreen"}, {21, "redbrown"},
        {22, "redblue"}, {23, "reddarkgreen"}, {24, "reddarkgrey"}, {25, "redpink"},
        {26, "whitelightblue"}, {27, "whiteyellow"}, {28, "whiteorange"}, {29, "whitegreen"},
        {30, "whitebrown"}, {31, "whiteblue"}, {32, "whitedarkgreen"}, {33, "whitedarkgrey"},
        {34, "whitepink"}, {35, "lightblueyellow"}, {36, "lightblueorange"}, {37, "lightbluegreen"},
        {38, "lightbluebrown"}, {39, "lightblueblue"}, {40, "lightbluedarkgreen"},
        {41, "lightbluedarkgrey"}, {42, "lightbluepink"}, {43, "yelloworange"}, {44, "yellowgreen"},
        {45, "yellowbrown"}, {46, "yellowblue"}, {47, "yellowdarkgreen"}, {48, "yellowdarkgrey"},
        {49, "yellowpink"}, {50, "orangegreen"}, {51, "orangebrown"}, {52, "orangeblue"},
        {53, "orangedarkgreen"}, {54, "orangedarkgrey"}, {55, "orangepink"}, {56, "greenbrown"},
        {57, "greenblue"}, {59, "greendarkgreen"}, {60, "greendarkgrey"}, {61, "greenpink"},
        {62, "brownblue"}, {64, "browndarkgreen"}, {65, "browndarkgrey"}, {66, "brownpink"},
        {68, "bluedarkgreen"}, {69, "bluedarkgrey"}, {70, "bluepink"}, {71, "darkgreendarkgrey"},
        {72, "darkgreenpink"}, {73, "darkgreypink"}
    };
    ASSERT_EQ(pairs.size(), 66u);
    for (const auto &[index, pair] : pairs) {
        const Call &c = calls[at++];
        ASSERT_EQ(c.name, "vel_paletteTextureSet");
        ASSERT_EQ(c.args.size(), 2u);
        EXPECT_EQ(integer(c, 0), index);
        EXPECT_EQ(c.args[1], "Textures/" + pair + ".ppm") << index;
    }
    for (int i = 5; i <= 16; i++)
        expectCall(calls[at++], "vel_surfaceParamsNew", {1, i, 0, 0});
    for (int i = 5; i <= 16; i++)
        expectCall(calls[at++], "vel_surfaceParamsNew", {2, 0, i, 0});
    for (int i = 20; i < 80; i++) {
        expectCall(calls[at++], "vel_paletteMaterialSet", {i});
        expectCall(calls[at++], "vel_paletteColourSet", {i});
        expectCall(calls[at++], "vel_surfaceParamsNew", {2, 0, i, 0});
        expectCall(calls[at++], "vel_surfaceParamsNew", {1, i, 0, 0});
    }
}

// The element colours of the table, in index order; every material is its
// colour three times with a fifth of it as emission (the float component
// times the double 0.2), shininess 30, alpha 1 throughout.
TEST(Palette, ElementColoursAndMaterials)
{
    const struct { int index; float r, g, b; } table[] = {
        {5, 0.7f, 0.7f, 0.7f},     // lightgrey
        {6, 0.94f, 0.0f, 0.0f},    // red
        {7, 1.0f, 1.0f, 1.0f},     // white
        {8, 0.56f, 0.56f, 1.0f},   // lightblue
        {9, 1.0f, 0.78f, 0.2f},    // yellow
        {10, 1.0f, 0.55f, 0.0f},   // orange
        {11, 0.0f, 1.0f, 0.0f},    // green
        {12, 0.65f, 0.16f, 0.16f}, // brown
        {13, 0.0f, 0.0f, 1.0f},    // blue
        {14, 0.16f, 0.5f, 0.16f},  // darkgreen
        {15, 0.2f, 0.2f, 0.2f},    // darkgrey
        {16, 1.0f, 0.08f, 0.58f},  // pink
    };
    ASSERT_EQ(colourCalls.size(), 72u);
    ASSERT_EQ(materialCalls.size(), 72u);
    for (int i = 0; i < 12; i++) {
        const ColourCall &c = colourCalls[i];
        EXPECT_EQ(c.index, table[i].index);
        EXPECT_EQ(c.r, table[i].r) << table[i].index;
        EXPECT_EQ(c.g, table[i].g) << table[i].index;
        EXPECT_EQ(c.b, table[i].b) << table[i].index;
        EXPECT_EQ(c.a, 1.0f);
        const MaterialCall &m = materialCalls[i];
        ASSERT_EQ(m.index, table[i].index);
        for (const vel_colour *part : {&m.ambient, &m.diffuse, &m.specular}) {
            EXPECT_EQ(part->r, table[i].r) << m.index;
            EXPECT_EQ(part->g, table[i].g) << m.index;
            EXPECT_EQ(part->b, table[i].b) << m.index;
            EXPECT_EQ(part->a, 1.0f);
        }
        EXPECT_EQ(m.emission.r, (float)(table[i].r * 0.2)) << m.index;
        EXPECT_EQ(m.emission.g, (float)(table[i].g * 0.2)) << m.index;
        EXPECT_EQ(m.emission.b, (float)(table[i].b * 0.2)) << m.index;
        EXPECT_EQ(m.emission.a, 1.0f);
        EXPECT_EQ(m.shininess, 30.0f);
    }
    EXPECT_EQ(materialCalls[0].emission.r, 0.14f);  // lightgrey
    EXPECT_FLOAT_EQ(materialCalls[4].emission.g, 0.156f); // yellow

    // The generated colours' materials follow the same rule.
    std::map<int, ColourCall> colours;
    for (const ColourCall &c : colourCalls)
        colours[c.index] = c;
    for (const MaterialCall &m : materialCalls) {
        const ColourCall &c = colours[m.index];
        for (const vel_colour *part : {&m.ambient, &m.diffuse, &m.specular}) {
            EXPECT_EQ(part->r, c.r) << m.index;
            EXPECT_EQ(part->g, c.g) << m.index;
            EXPECT_EQ(part->b, c.b) << m.index;
            EXPECT_EQ(part->a, 1.0f);
        }
        EXPECT_EQ(m.emission.r, (float)(c.r * 0.2)) << m.index;
        EXPECT_EQ(m.emission.g, (float)(c.g * 0.2)) << m.index;
        EXPECT_EQ(m.emission.b, (float)(c.b * 0.2)) << m.index;
        EXPECT_EQ(m.shininess, 30.0f);
        EXPECT_EQ(c.a, 1.0f);
    }
}

// The generated colours: the single-precision red cycle of eight values,
// green 0.85 only for 20, a period of 24 from 21 on.
TEST(Palette, GeneratedColours)
{
    std::map<int, ColourCall> c;
    for (const ColourCall &call : colourCalls)
        if (call.index >= 20)
            c[call.index] = call;
    ASSERT_EQ(c.size(), 60u);
    EXPECT_EQ(c[20].r, 0.5f);
    EXPECT_EQ(c[20].g, 0.85f);
    EXPECT_EQ(c[20].b, 1.0f);
    EXPECT_EQ(c[22].r, 0.70000005f);
    EXPECT_EQ(c[23].r, 0.8000001f);
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
