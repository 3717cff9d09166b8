// frame.cpp - the frame, display lists and lines: what the drawing calls
// collect between vel_frameBegin and vel_frameEnd, and the window's state.
#include "internal.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

VelFrameState velFrames;
VelWindowState velWindow;
int velInitialised = 0;

vel_window vel_win_current = 0;
const vel_window vel_win_all = -1;

namespace {

std::chrono::steady_clock::time_point lastFrameEnd;  // pacing reference
constexpr std::chrono::microseconds FRAME_PERIOD(16667);

// The frame being drawn in the window, for velFrameBreak.
struct Drawing {
    int on = 0;                                  // between the first and the last draw
    int broken = 0;                              // it must be broken off
    int pixelWidth = 0, pixelHeight = 0;         // the window's size when it began
    std::chrono::steady_clock::time_point pass;  // the last event pass
};
Drawing drawing;

VelBatch *drawTarget() { return velFrames.recording ? velFrames.recording : &velFrames.current.immediate; }

// What decides the picture besides the immediate geometry, as it stood at
// the last frame presented.
struct Shown {
    int valid = 0;
    vel_viewParams view;
    float background[3];
    int pixelWidth, pixelHeight, width;
    std::vector<uint64_t> lists;   // (id, generation) of every list drawn, nested ones too
    uint64_t palette;              // digest of colours, materials and textures
    size_t surfaces;
};
Shown shown;

void listGenerations(int id, std::vector<uint64_t> *out, int depth)
{
    if (id <= 0 || id >= VEL_MAX_LISTS || depth > 16) return;
    const VelBatch *b = velFrames.displayLists[id];
    out->push_back((uint64_t)id);
    out->push_back(b ? b->generation : 0);
    if (b)
        for (int call : b->calls) listGenerations(call, out, depth + 1);
}

// A quick digest, eight bytes at a time: it runs once a frame.
uint64_t digest(const void *data, size_t size, uint64_t h)
{
    const unsigned char *p = (const unsigned char *)data;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        h = (h ^ word) * 1099511628211ull;
        h ^= h >> 29;
    }
    for (; i < size; i++) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

uint64_t paletteDigest()
{
    uint64_t h = digest(velColours, sizeof velColours, 1469598103934665603ull);
    h = digest(velMaterials, sizeof velMaterials, h);
    for (const VelTexture &t : velTextures) {
        int words[4] = {t.width, t.height, t.glDirty, (int)t.glName};
        h = digest(words, sizeof words, h);
    }
    return h;
}

Shown currentShown(const VelFrame &f)
{
    Shown s;
    s.valid = 1;
    std::memset(&s.view, 0, sizeof s.view);
    s.view = velWindow.view;
    std::memcpy(s.background, velWindow.background, sizeof s.background);
    s.pixelWidth = velWindow.pixelWidth;
    s.pixelHeight = velWindow.pixelHeight;
    s.width = velWindow.width;
    for (int id : f.lists) listGenerations(id, &s.lists, 0);
    for (int id : f.immediate.calls) listGenerations(id, &s.lists, 0);
    s.palette = paletteDigest();
    s.surfaces = velSurfaces.size();
    return s;
}

int sameShown(const Shown &a, const Shown &b)
{
    return a.valid && b.valid && std::memcmp(&a.view, &b.view, sizeof a.view) == 0 &&
           std::memcmp(a.background, b.background, sizeof a.background) == 0 && a.pixelWidth == b.pixelWidth &&
           a.pixelHeight == b.pixelHeight && a.width == b.width && a.lists == b.lists && a.palette == b.palette &&
           a.surfaces == b.surfaces;
}

void deleteList(int id)
{
    VelBatch *b = velFrames.displayLists[id];
    if (!b) return;
    if (b == velFrames.recording) velFrames.recording = nullptr;
    if (velOffscreen || (velInitialised && velGlueMakeCurrent())) velGlReleaseBatch(b);
    delete b;
    velFrames.displayLists[id] = nullptr;
}

void markBatch(const VelBatch *b, uint64_t frame, int depth)
{
    if (!b || depth > 16) return;
    for (vel_objList l : b->sources) l->drawnFrame = frame;
    for (int id : b->calls)
        if (id > 0 && id < VEL_MAX_LISTS) markBatch(velFrames.displayLists[id], frame, depth + 1);
}

} // namespace

//------------------------------------------------------------------------------
// Window
//------------------------------------------------------------------------------
void vel_windowBackgroundColourSet(vel_window, float r, float g, float b)
{
    VEL_TRACE("vel_windowBackgroundColourSet %g %g %g", r, g, b);
    velWindow.background[0] = r;
    velWindow.background[1] = g;
    velWindow.background[2] = b;
}

// The navigators change the caller's record in place, so the record handed
// in last is remembered along with the copy.
void vel_windowViewParamsSet(vel_window, const vel_viewParams *view)
{
    VEL_TRACE("vel_windowViewParamsSet");
    if (!view) return;
    velWindow.view = *view;
    velWindow.viewSource = const_cast<vel_viewParams *>(view);
}

void vel_windowSizeGet(vel_window, int *width, int *height)
{
    if (width) *width = velWindow.width;
    if (height) *height = velWindow.height;
}

//------------------------------------------------------------------------------
// Frames
//------------------------------------------------------------------------------
void velFrameMarkDrawn(const VelFrame &f)
{
    markBatch(&f.immediate, velFrames.number, 0);
    for (int id : f.lists)
        if (id > 0 && id < VEL_MAX_LISTS) markBatch(velFrames.displayLists[id], velFrames.number, 0);
}

void vel_frameBegin(void)
{
    VEL_TRACE("vel_frameBegin");
    velFrames.open = 1;
    velFrames.current.lists.clear();
    velBatchReset(&velFrames.current.immediate);
}

namespace {

// Draws the frame into the window's frame buffer and, once it is complete,
// keeps it and presents it. 1 when presented; 0 when broken off half-drawn
// (the window keeps the last picture).
int drawInWindow(const VelFrame &f)
{
    if (!velGlTargetBegin(velWindow.samples)) return 0;
    drawing.on = 1;
    drawing.broken = 0;
    drawing.pixelWidth = velWindow.pixelWidth;
    drawing.pixelHeight = velWindow.pixelHeight;
    drawing.pass = std::chrono::steady_clock::now();
    int complete = velGlRenderFrame(f);
    drawing.on = 0;
    if (!complete) return 0;
    velGlTargetFinish();
    if (velCapture.on) velGlTargetCapture();
    velGlueSwap();
    return 1;
}

} // namespace

int velFrameBreak(void)
{
    if (!drawing.on) return 0;
    if (drawing.broken) return 1;
    auto now = std::chrono::steady_clock::now();
    if (now - drawing.pass < std::chrono::milliseconds(velFrames.breakMs)) return 0;
    if (velGlueInFramePass()) drawing.broken = 1;
    drawing.pass = std::chrono::steady_clock::now();
    // a resized window wants a frame of its new size
    if (velWindow.pixelWidth != drawing.pixelWidth || velWindow.pixelHeight != drawing.pixelHeight) drawing.broken = 1;
    return drawing.broken;
}

void vel_frameEnd(void)
{
    VEL_TRACE("vel_frameEnd");
    velFrameMarkDrawn(velFrames.current);
    // A frame that would show exactly what the window shows already is
    // neither drawn nor presented: an idle viewer only sleeps. Off-screen,
    // every frame is a picture and is drawn.
    Shown now = currentShown(velFrames.current);
    int same = !velOffscreen && !velFrames.drawForced && !velCapture.on && sameShown(now, shown) &&
               velBatchSame(velFrames.current.immediate, velFrames.last.immediate);
    int shows = 1;  // the window shows this frame's picture now
    if (velOffscreen) {
        velOffscreenDraw(velFrames.current);  // nothing to present
        if (velCapture.on) velGlCapture();
        velFrames.drawn++;
    } else if (same) {
        velFrames.skipped++;
    } else if (!velInitialised || !velGlueMakeCurrent()) {
        // no window to draw into
    } else if (drawInWindow(velFrames.current)) {
        velFrames.drawn++;
        velFrames.drawForced = 0;
        shown = now;
    } else {
        velFrames.broken++;  // the last picture stays: the next frame is compared with it
        shows = 0;
    }
    velFrames.number++;
    if (shows) std::swap(velFrames.current, velFrames.last);
    velFrames.current.lists.clear();
    velBatchReset(&velFrames.current.immediate);
    velFrames.open = 0;
    if (velOffscreen) return;  // pictures, not an animation: no pacing
    // pace to about 60 frames a second: swapping may not wait
    auto clock = std::chrono::steady_clock::now();
    auto due = lastFrameEnd + FRAME_PERIOD;
    if (clock < due && due - clock <= FRAME_PERIOD) std::this_thread::sleep_until(due);
    lastFrameEnd = std::chrono::steady_clock::now();
}

long vel_frameDrawnCount(void) { return (long)velFrames.drawn; }

//------------------------------------------------------------------------------
// Display lists
//------------------------------------------------------------------------------
void vel_gfxListNew(int id, int mode)
{
    VEL_TRACE("vel_gfxListNew %d %d", id, mode);
    if (velFrames.recording) vel_gfxListEnd();
    if (id <= 0 || id >= VEL_MAX_LISTS) {
        velFailure("velkor: vel_gfxListNew: list id %d is outside 1..%d; drawing without recording\n", id,
                   VEL_MAX_LISTS - 1);
        return;
    }
    deleteList(id);
    VelBatch *b = new VelBatch;
    b->generation = ++velFrames.recordings;
    velFrames.displayLists[id] = b;
    velFrames.recording = b;
    velFrames.recordingId = id;
    velFrames.recordingDraws = mode != 1;
    if (velFrames.recordingDraws) velFrames.current.lists.push_back(id);
}

void vel_gfxListEnd(void)
{
    VEL_TRACE("vel_gfxListEnd");
    VelBatch *b = velFrames.recording;
    if (!b) return;
    velFrames.recording = nullptr;
    b->retained = 1;
    velBatchDropDuplicates(b);
    if (velInitialised && velGlueMakeCurrent()) velGlUploadBatch(b);
}

void vel_gfxListExec(int id)
{
    VEL_TRACE("vel_gfxListExec %d", id);
    if (id <= 0 || id >= VEL_MAX_LISTS) return;
    if (velFrames.recording) {
        if (id != velFrames.recordingId) velFrames.recording->calls.push_back(id);
        return;
    }
    velFrames.current.lists.push_back(id);
}

void vel_gfxListsDelete(int id, int count)
{
    VEL_TRACE("vel_gfxListsDelete %d %d", id, count);
    for (int i = 0; i < count; i++)
        if (id + i > 0 && id + i < VEL_MAX_LISTS) deleteList(id + i);
}

//------------------------------------------------------------------------------
// Lines
//------------------------------------------------------------------------------
void vel_gfxLineWidthSet(float width)
{
    VEL_TRACE("vel_gfxLineWidthSet %g", width);
    if (!(width >= 1.0f)) width = 1.0f;
    if (width > 10.0f) width = 10.0f;
    velFrames.lineWidth = width;
}

void vel_gfxLineBegin(void)
{
    VEL_TRACE("vel_gfxLineBegin");
    velFrames.lineOpen = 1;
    velFrames.lineHasPoint = 0;
}

// Each segment takes the width and the surface in force at its end vertex.
void vel_gfxVertex(vel_vector point)
{
    VEL_TRACE("vel_gfxVertex %g %g %g", point.x, point.y, point.z);
    if (!velFrames.lineOpen) return;
    if (velFrames.lineHasPoint) {
        uint8_t rgba[4];
        velStateColour(velSurfaceState(velLineSurface), rgba);
        velBatchAddSegment(drawTarget(), velFrames.lineWidth, velFrames.linePoint, point, rgba);
    }
    velFrames.linePoint = point;
    velFrames.lineHasPoint = 1;
}

void vel_gfxLineEnd(void)
{
    VEL_TRACE("vel_gfxLineEnd");
    velFrames.lineOpen = 0;
    velFrames.lineHasPoint = 0;
}

//------------------------------------------------------------------------------
// Events and the mouse
//------------------------------------------------------------------------------
int vel_eventsCheck(void)
{
    VEL_TRACE("vel_eventsCheck");
    for (int i = 0; i < VEL_MAX_BUTTONS; i++) velWindow.pressSeen[i] = 0;
    if (velInitialised) velGlueProcessEvents();
    velInputDispatch();
    velDropsDeliver();
    return 1;
}

int vel_mouseGet(vel_window, int *x, int *y, int *rootX, int *rootY, int *buttons)
{
    int wx = 0, wy = 0, rx = 0, ry = 0;
    if (velInitialised) velGluePointer(&wx, &wy, &rx, &ry);
    if (x) *x = wx;
    if (y) *y = wy;
    if (rootX) *rootX = rx;
    if (rootY) *rootY = ry;
    if (buttons)
        // A click shorter than one frame still reads as a press until the
        // next event check, so a slow frame never swallows it.
        for (int i = 0; i < VEL_MAX_BUTTONS; i++)
            buttons[i] = velWindow.pressSeen[i] ? 0 : velWindow.buttons[i];
    return 1;
}
