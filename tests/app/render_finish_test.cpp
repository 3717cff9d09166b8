// render_finish_test.cpp - molvane-render's finish for print, checked on its
// pixels: smooth edges, the depth cue, ambient occlusion, the transparent
// background, tiles that join into the picture drawn whole, and a first
// view that frames the whole structure at any aspect ratio.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "rendertest.h"

using namespace rendertest;

namespace {

using Place = std::array<float, 3>;

// A PDB file of carbon atoms at the given places, in the scratch folder.
std::string writeAtoms(const char *name, const std::vector<Place> &places)
{
    std::string path = scratch + "/" + name;
    FILE *out = std::fopen(path.c_str(), "w");
    int serial = 0;
    for (const Place &p : places)
        std::fprintf(out, "HETATM%5d  C   UNK A   1    %8.3f%8.3f%8.3f  1.00  0.00           C\n", ++serial, p[0],
                     p[1], p[2]);
    std::fputs("END\n", out);
    std::fclose(out);
    return path;
}

// Renders and reads the picture back as RGBA; fails the test when either fails.
std::vector<unsigned char> picture(std::vector<std::string> arguments, int *width, int *height)
{
    arguments.insert(arguments.end(), {"--quiet", "-o", "finish.png"});
    Outcome r = render(arguments);
    EXPECT_EQ(r.status, 0) << r.err;
    return readPixels(scratch + "/finish.png", PNG_FORMAT_RGBA, width, height);
}

int grey(const std::vector<unsigned char> &rgba, int width, int x, int y)
{
    const unsigned char *p = &rgba[((size_t)y * width + x) * 4];
    return (p[0] + p[1] + p[2]) / 3;
}

} // namespace

// A flat-coloured bond line (light grey, 179) on black: with samples its
// edges take values between the two, with one sample none do.
TEST(RenderFinish, SamplesSmoothEdgesOneSampleKeepsThemHard)
{
    std::string pair = writeAtoms("pair.pdb", {{0, 0, 0}, {1.5f, 0.4f, 0}});
    for (const char *samples : {"1", "4", "9"}) {
        int w = 0, h = 0;
        auto rgba = picture({pair, "--size", "160x120", "--fog", "0", "--samples", samples}, &w, &h);
        ASSERT_EQ(w, 160);
        int between = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                between += grey(rgba, w, x, y) > 8 && grey(rgba, w, x, y) < 170;
        if (std::string(samples) == "1")
            EXPECT_EQ(between, 0);
        else
            EXPECT_GT(between, 40) << samples << " samples";
    }
}

// A row of balls turned away from the eye: the depth cue takes contrast
// from its far half, towards black or white.
TEST(RenderFinish, FogFadesTheFarHalfTowardsTheBackground)
{
    std::vector<Place> row;
    for (int k = 0; k < 16; k++)
        row.push_back({k * 3.0f, 0, 0});
    std::string file = writeAtoms("row.pdb", row);
    for (const char *background : {"black", "white"}) {
        double ratio[2];  // far half's contrast over the near half's, without and with fog
        for (int fog = 0; fog < 2; fog++) {
            int w = 0, h = 0;
            auto rgba = picture({file, "--atoms", "balls", "--turn", "60,0", "--size", "200x100", "--background",
                                 background, "--fog", fog ? "0.6" : "0"},
                                &w, &h);
            ASSERT_EQ(w, 200);
            double half[2] = {0, 0};
            int bg = grey(rgba, w, 0, 0);
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++)
                    half[x >= w / 2] += std::abs(grey(rgba, w, x, y) - bg);
            ratio[fog] = std::min(half[0], half[1]) / std::max(half[0], half[1]);
        }
        EXPECT_LT(ratio[1], 0.75 * ratio[0]) << background;
    }
}

// Two rings of six atoms: one with an atom sunk in its middle, one with an
// atom raised above it. Seen in the viewer's first view (eye on the z axis,
// 45 degrees high), occlusion darkens the sunk atom and not the raised one.
TEST(RenderFinish, OcclusionDarkensABuriedAtomNotAnExposedOne)
{
    std::vector<Place> atoms;
    const float centres[2][2] = {{-6, -1.5f}, {6, 1.5f}};  // x and z of the buried and the exposed atom
    for (const auto &c : centres) {
        atoms.push_back({c[0], 0, c[1]});
        for (int k = 0; k < 6; k++)
            atoms.push_back({c[0] + 3.2f * std::cos(k * (float)M_PI / 3), 3.2f * std::sin(k * (float)M_PI / 3), 0});
    }
    std::string file = writeAtoms("pits.pdb", atoms);
    // half-extents 9.2, 3.2 sin 60 and 1.5, plus the eye margin 2
    double eye = 9.2 + 3.2 * std::sin(M_PI / 3) + 1.5 + 2, focal = 100 / std::tan(M_PI / 8);
    double bright[2][2];  // [occlusion][buried, exposed]: mean grey of 5 x 5 pixels at the atom's centre
    for (int ao = 0; ao < 2; ao++) {
        std::vector<std::string> options = {file, "--atoms", "cpk", "--detail", "high", "--size", "400x200",
                                            "--fog", "0", "--viewer-view"};
        if (ao)
            options.push_back("--ao");
        int w = 0, h = 0;
        auto rgba = picture(options, &w, &h);
        ASSERT_EQ(w, 400);
        for (int k = 0; k < 2; k++) {
            int cx = (int)(200 + centres[k][0] / (eye - centres[k][1]) * focal), sum = 0;
            for (int dy = -2; dy <= 2; dy++)
                for (int dx = -2; dx <= 2; dx++)
                    sum += grey(rgba, w, cx + dx, 100 + dy);
            bright[ao][k] = sum / 25.0;
        }
    }
    EXPECT_GT(bright[0][0], 60);
    EXPECT_LT(bright[1][0], 0.75 * bright[0][0]) << "the buried atom is not darker";
    EXPECT_NEAR(bright[1][1], bright[0][1], 0.05 * bright[0][1]) << "the exposed atom changed";
}

// A transparent background: corners of alpha 0, edges partly covered, and
// over black or white exactly the picture drawn on that colour.
TEST(RenderFinish, TransparentBackgroundBlendsOverAnyColour)
{
    std::vector<std::string> options = {data("1ubq.pdb"), "--atoms", "balls", "--bonds", "sticks", "--size", "240x180"};
    int w = 0, h = 0;
    auto none = options;
    none.insert(none.end(), {"--background", "none"});
    auto rgba = picture(none, &w, &h);
    ASSERT_EQ(w, 240);
    int partial = 0;
    for (size_t i = 3; i < rgba.size(); i += 4)
        partial += rgba[i] > 0 && rgba[i] < 255;
    EXPECT_GT(partial, 200);
    for (int corner : {0, w - 1, (h - 1) * w, h * w - 1})
        EXPECT_EQ(rgba[(size_t)corner * 4 + 3], 0);
    for (int white = 0; white < 2; white++) {
        auto on = options;
        on.insert(on.end(), {"--background", white ? "white" : "black"});
        int ow = 0, oh = 0;
        auto opaque = picture(on, &ow, &oh);
        ASSERT_EQ(opaque.size(), rgba.size());
        int worst = 0;
        for (size_t i = 0; i < rgba.size(); i += 4)
            for (int c = 0; c < 3; c++) {
                double a = rgba[i + 3] / 255.0, over = rgba[i + c] * a + 255.0 * white * (1 - a);
                worst = std::max(worst, (int)std::lround(std::fabs(over - opaque[i + c])));
            }
        EXPECT_LE(worst, 2) << (white ? "over white" : "over black");
    }
}

// Tiles of one projection, with the depth cue, occlusion, samples and a
// transparent background, join into the picture drawn whole.
TEST(RenderFinish, TilesJoinIntoThePictureDrawnWhole)
{
    std::vector<std::string> options = {data("1ubq.pdb"), "--atoms", "cpk", "--ao", "--background", "none",
                                        "--size", "320x240"};
    int w = 0, h = 0, tw = 0, th = 0;
    auto whole = picture(options, &w, &h);
    options.insert(options.end(), {"--tile", "64"});
    auto tiled = picture(options, &tw, &th);
    ASSERT_EQ(tw, 320);
    ASSERT_EQ(tiled.size(), whole.size());
    double total = 0;
    int far = 0;
    for (size_t i = 0; i < whole.size(); i++) {
        int d = std::abs(whole[i] - tiled[i]);
        total += d;
        far += d > 24;
    }
    EXPECT_LT(total / (double)whole.size(), 0.5);
    EXPECT_LT(far, (int)whole.size() / 2000) << "bytes that differ by more than 24";
}

// A wide and a tall picture each show the whole structure, filling the
// narrow side but for the margin; the viewer's first view cuts a tall one.
TEST(RenderFinish, FirstViewFramesTheWholeStructureAtAnyAspect)
{
    struct Case {
        const char *size;
        bool viewer;
    };
    for (Case c : {Case{"640x120", false}, Case{"120x640", false}, Case{"120x640", true}}) {
        std::vector<std::string> options = {data("1ubq.pdb"), "--size", c.size};
        if (c.viewer)
            options.push_back("--viewer-view");
        int w = 0, h = 0;
        auto rgba = picture(options, &w, &h);
        ASSERT_GT(w, 0);
        int low[2] = {w, h}, high[2] = {-1, -1};
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (grey(rgba, w, x, y) > 12) {
                    low[0] = std::min(low[0], x), high[0] = std::max(high[0], x);
                    low[1] = std::min(low[1], y), high[1] = std::max(high[1], y);
                }
        bool cut = low[0] == 0 || low[1] == 0 || high[0] == w - 1 || high[1] == h - 1;
        EXPECT_EQ(cut, c.viewer) << c.size;
        if (!c.viewer) {
            int narrow = w < h ? 0 : 1, side = w < h ? w : h;
            EXPECT_GT(high[narrow] - low[narrow], side * 85 / 100) << c.size;
        }
    }
}
