// offscreen_test.cpp - libvelkor drawing without a window or an X server:
// the off-screen context and framebuffer, frames read back top row first,
// a change of size, every frame drawn, and display lists released between
// scenes.
#include <velkor/velkor.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "internal.h"  // velOffscreenMultisample: multisampling forced on a software driver
#include "testframe.h"

namespace {

const int width = 96, height = 64;
vel_viewParams view;

Rgb at(const std::vector<unsigned char> &rgba, int w, int x, int y)
{
    const unsigned char *p = &rgba[((size_t)y * w + x) * 4];
    return Rgb{p[0], p[1], p[2]};
}

void drawFrame(void (*scene)())
{
    vel_frameBegin();
    scene();
    vel_windowViewParamsSet(vel_win_current, &view);
    vel_frameEnd();
}

} // namespace

// Everything in one test: the library holds one context for the process.
TEST(Offscreen, DrawsReadsResizesAndDrawsEveryFrame)
{
    unsetenv("DISPLAY");
    vel_opt_output = 0;
    ASSERT_EQ(vel_initialiseOffscreen(width, height), 1);
    EXPECT_GE(vel_offscreenMaxSize(), 4096);
    int w = 0, h = 0;
    vel_windowSizeGet(vel_win_current, &w, &h);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);

    // Before any frame: the background.
    vel_windowBackgroundColourSet(vel_win_current, 0.0f, 0.0f, 1.0f);
    std::vector<unsigned char> rgba((size_t)width * height * 4);
    ASSERT_EQ(vel_frameRead(rgba.data()), 1);
    EXPECT_EQ(at(rgba, width, 0, 0).b, 255);

    // A red line across the upper half only: row order is top first.
    view = vel_viewParams{};
    view.eye = vel_vectorSet(0, 0, 10);
    view.view = vel_vectorSet(0, 0, -1);
    view.up = vel_vectorSet(0, 1, 0);
    vel_paletteColourSet(vel_palette_default, 3, 1.0f, 0.0f, 0.0f, 1.0f);
    static vel_surface red = vel_surfaceParamsNew(1, 3, 0, 0);
    vel_windowBackgroundColourSet(vel_win_current, 0.0f, 0.0f, 0.0f);
    long drawnBefore = vel_frameDrawnCount();
    for (int frame = 0; frame < 60; frame++)
        drawFrame([] { wideLineAcross(red); });
    // Every frame is a picture, drawn though unchanged; that none of them
    // waits for a pace is timed by velkor_thresholds.
    EXPECT_EQ(vel_frameDrawnCount() - drawnBefore, 60);
    ASSERT_EQ(vel_frameRead(rgba.data()), 1);
    int redTop = 0, redBottom = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            (y < height / 2 ? redTop : redBottom) += at(rgba, width, x, y).r > 200;
    EXPECT_GT(redTop, width / 2);
    EXPECT_EQ(redBottom, 0);

    // A lit sphere recorded into a display list, drawn again and again, and
    // the list replaced many times over.
    static vel_colour grey = {0.7f, 0.7f, 0.7f, 1.0f}, dim = {0.14f, 0.14f, 0.14f, 1.0f};
    vel_paletteMaterialSet(vel_palette_default, 5, grey, grey, grey, dim, 30.0f);
    static vel_sphereData ball = {2.0f, 6, 6, vel_surfaceParamsNew(2, 0, 5, 0), vel_matrixSet(0, 0, 0, 0, 0, 0), 0};
    static vel_objList list = nullptr;
    for (int scene = 0; scene < 30; scene++) {
        if (list) vel_SMSDelete(list, 1);
        vel_gfxListsDelete(1, 1);
        list = vel_SMSObjListNew();
        vel_SMSObjectAdd(list, vel_objectNew(vel_class_sphere, &ball));
        drawFrame([] {
            vel_gfxListNew(1, 2);
            vel_SMSDisplayUnCulled(vel_win_current, list);
            vel_gfxListEnd();
        });
    }
    drawFrame([] { vel_gfxListExec(1); });
    ASSERT_EQ(vel_frameRead(rgba.data()), 1);
    Rgb centre = at(rgba, width, width / 2, height / 2);
    EXPECT_GT(centre.r, 60);
    EXPECT_EQ(centre.r, centre.g);
    Rgb corner = at(rgba, width, 0, height - 1);
    EXPECT_EQ(corner.r + corner.g + corner.b, 0);

    // A new size: the same scene, read at the new size.
    ASSERT_EQ(vel_initialiseOffscreen(40, 30), 1);
    drawFrame([] { vel_gfxListExec(1); });
    std::vector<unsigned char> small(40 * 30 * 4);
    ASSERT_EQ(vel_frameRead(small.data()), 1);
    EXPECT_GT(at(small, 40, 20, 15).r, 60);
    EXPECT_EQ(vel_initialiseOffscreen(0, 30), 0);
    EXPECT_EQ(vel_initialiseOffscreen(vel_offscreenMaxSize() + 1, 30), 0);
}

// The finish: a slanted flat line with 4 samples a pixel has edge pixels
// between its colour and the background, whether the driver multisamples
// or the frame is drawn 2 x 2 times larger; one sample has none. Four
// tiles read as the picture drawn whole.
TEST(Offscreen, SamplesSmoothEdgesEitherWayAndTilesJoin)
{
    ASSERT_EQ(vel_initialiseOffscreen(width, height), 1);
    vel_windowBackgroundColourSet(vel_win_current, 0.0f, 0.0f, 0.0f);
    auto slantedLine = [] {
        vel_surfaceParamsUse(vel_surfaceParamsNew(1, 3, 0, 0));
        vel_gfxLineWidthSet(4);
        vel_gfxLineBegin();
        vel_gfxVertex(vel_vectorSet(-4, -3, 0));
        vel_gfxVertex(vel_vectorSet(4, 2, 0));
        vel_gfxLineEnd();
    };
    auto betweenCount = [](const std::vector<unsigned char> &rgba) {
        int n = 0;
        for (size_t i = 0; i < rgba.size(); i += 4)
            n += rgba[i] > 20 && rgba[i] < 235;
        return n;
    };
    std::vector<unsigned char> rgba((size_t)width * height * 4);
    const int asked[][2] = {{1, 0}, {4, 0}, {4, 1}};  // samples, multisampled when the driver can
    for (const auto &a : asked) {
        velOffscreenMultisample = a[1];
        EXPECT_EQ(vel_offscreenSamplesSet(a[0]), a[0]);
        drawFrame(slantedLine);
        ASSERT_EQ(vel_frameRead(rgba.data()), 1);
        if (a[0] == 1)
            EXPECT_EQ(betweenCount(rgba), 0);
        else
            EXPECT_GT(betweenCount(rgba), 20) << (a[1] ? "multisampled" : "drawn larger");
    }
    velOffscreenMultisample = -1;

    vel_offscreenSamplesSet(4);
    drawFrame(slantedLine);
    ASSERT_EQ(vel_frameRead(rgba.data()), 1);
    std::vector<unsigned char> part((size_t)width / 2 * height / 2 * 4);
    ASSERT_EQ(vel_initialiseOffscreen(width / 2, height / 2), 1);
    int worst = 0;
    for (int top = 0; top < height; top += height / 2)
        for (int left = 0; left < width; left += width / 2) {
            ASSERT_EQ(vel_offscreenTileSet(width, height, left, top), 1);
            drawFrame(slantedLine);
            ASSERT_EQ(vel_frameRead(part.data()), 1);
            for (int y = 0; y < height / 2; y++)
                for (int x = 0; x < width / 2; x++)
                    worst = std::max(worst, std::abs(at(part, width / 2, x, y).r - at(rgba, width, left + x, top + y).r));
        }
    EXPECT_LE(worst, 8);
    EXPECT_EQ(vel_offscreenTileSet(width, height, width, 0), 0) << "a tile outside the picture";
    vel_offscreenSamplesSet(1);
}
