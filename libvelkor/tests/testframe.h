// testframe.h - frames drawn the way the program draws them, and their
// pixels read back: what the window and off-screen tests share. Header only,
// for tests that read the library's internals.
#ifndef VELKOR_TESTFRAME_H
#define VELKOR_TESTFRAME_H

#include "internal.h"

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

inline vel_viewParams testView;  // the test's view record, handed over every frame

struct Rgb {
    int r, g, b;
};

// A line 3 pixels wide across the view, 2 units above its centre: a frame
// that draws something, in next to no time.
inline void wideLineAcross(vel_surface surface)
{
    vel_surfaceParamsUse(surface);
    vel_gfxLineWidthSet(3);
    vel_gfxLineBegin();
    vel_gfxVertex(vel_vectorSet(-20, 2, 0));
    vel_gfxVertex(vel_vectorSet(20, 2, 0));
    vel_gfxLineEnd();
}

// A pixel of the last frame captured; (-1, -1, -1) outside it.
inline Rgb pixel(int x, int y)
{
    if (x < 0 || y < 0 || x >= velCapture.width || y >= velCapture.height) return Rgb{-1, -1, -1};
    const uint8_t *p = &velCapture.rgba[((size_t)y * velCapture.width + x) * 4];
    return Rgb{p[0], p[1], p[2]};
}

// Window pixel of a world point in the current view.
inline void toPixel(vel_vector p, int *x, int *y)
{
    vel_vector s = vel_vectorScrnPos(p);
    *x = (int)((s.x + 1) * 0.5f * velWindow.width);
    *y = (int)((1 - s.y) * 0.5f * velWindow.height);
}

inline Rgb pixelAt(vel_vector p)
{
    int x, y;
    toPixel(p, &x, &y);
    return pixel(x, y);
}

// Looking down -Z from (0, 0, 10).
inline void resetView()
{
    testView = vel_viewParams{};
    testView.eye = vel_vectorSet(0, 0, 10);
    testView.view = vel_vectorSet(0, 0, -1);
    testView.up = vel_vectorSet(0, 1, 0);
    vel_windowViewParamsSet(vel_win_current, &testView);
}

// One frame of the program's shape; the drawn frame is kept in velCapture.rgba.
inline void frame(const std::function<void()> &draw)
{
    vel_eventsCheck();
    vel_frameBegin();
    draw();
    vel_windowViewParamsSet(vel_win_current, &testView);
    velCapture.on = 1;
    vel_frameEnd();
    velCapture.on = 0;
}

inline vel_surface materialSurface(int index, float r, float g, float b)
{
    vel_colour c{r, g, b, 1}, e{r * 0.2f, g * 0.2f, b * 0.2f, 1};
    vel_paletteMaterialSet(vel_palette_default, index, c, c, c, e, 30);
    return vel_surfaceParamsNew(2, 0, index, 0);
}

inline vel_surface colourSurface(int index, float r, float g, float b)
{
    vel_paletteColourSet(vel_palette_default, index, r, g, b, 1);
    return vel_surfaceParamsNew(1, index, 0, 0);
}

// A 4 x 8 PPM image in a scratch file of this process, its top half (the
// +Z end of a cylinder) `top` and its bottom half `bottom`, RGB; its path.
inline std::string twoColourImage(const char *name, const uint8_t top[3], const uint8_t bottom[3])
{
    std::string path = "/tmp/velkor_" + std::string(name) + "_" + std::to_string(getpid()) + ".ppm";
    FILE *f = std::fopen(path.c_str(), "wb");
    std::fprintf(f, "P6\n4 8\n255\n");
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 4; x++) std::fwrite(y < 4 ? top : bottom, 1, 3, f);
    std::fclose(f);
    return path;
}

// A list of megabytes: display list `id` recorded (and drawn) in one frame
// from 60000 tiny spheres of `surface`, no two alike, and a thin line of
// 100000 vertices. Returns the object list of the spheres.
inline vel_objList largeListRecorded(int id, vel_surface surface)
{
    static std::vector<vel_sphereData> s;
    s.assign(60000, vel_sphereData{0.01f, 4, 4, surface, {}, 0});
    for (size_t i = 0; i < s.size(); i++) s[i].matrix = vel_matrixSet(0, 0, 0, 1e-5f * (float)i, 0, 0);
    vel_objList list = vel_SMSObjListNew();
    for (auto &x : s) vel_SMSObjectAdd(list, vel_objectNew(vel_class_sphere, &x));
    frame([&] {
        vel_gfxListNew(id, 2);
        vel_SMSDisplayUnCulled(vel_win_current, list);
        vel_gfxLineWidthSet(1);
        vel_gfxLineBegin();
        for (int i = 0; i < 100000; i++) vel_gfxVertex(vel_vectorSet(0.01f * (float)(i % 100), 0, 0));
        vel_gfxLineEnd();
        vel_gfxListEnd();
    });
    return list;
}

#endif
