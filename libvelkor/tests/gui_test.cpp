// gui_test.cpp - libvelkor in a real window under X: pixels read back from
// the frames it draws (lit sphere, textured cylinder, wide and two-coloured
// lines, display lists) and real pointer input through xdotool (navigation
// and the sphere pick callback).
#include <epoxy/gl.h>

#include "internal.h"
#include "testframe.h"
#include "testwindow.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

bool haveXdotool() { return std::system("command -v xdotool >/dev/null 2>&1") == 0; }

void xdotool(const std::string &args)
{
    std::string cmd = "xdotool " + args;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

class Gui : public testing::Test {
protected:
    void SetUp() override { resetView(); }
};

//------------------------------------------------------------------------------
// Pixels
//------------------------------------------------------------------------------
// A red material sphere reads as red, is lit from the upper left, and the
// background stays black.
TEST_F(Gui, LitSphereShowsItsMaterialColour)
{
    static vel_sphereData s{2.0f, 9, 9, 0, vel_matrixSet(0, 0, 0, 0, 0, 0), 0};
    s.surface = materialSurface(100, 0.94f, 0, 0);
    vel_objList list = vel_SMSObjListNew();
    vel_SMSObjectAdd(list, vel_objectNew(vel_class_sphere, &s));
    frame([&] { vel_SMSDisplayUnCulled(vel_win_current, list); });
    Rgb c = pixelAt(vel_vectorSet(0, 0, 2));
    EXPECT_GT(c.r, 140);
    EXPECT_LT(c.g, 60);
    EXPECT_LT(c.b, 60);
    Rgb upperLeft = pixelAt(vel_vectorSet(-1.0f, 1.0f, 1.41f)), lowerRight = pixelAt(vel_vectorSet(1.0f, -1.0f, 1.41f));
    EXPECT_GT(upperLeft.r, lowerRight.r + 20);
    Rgb corner = pixel(2, 2);
    EXPECT_EQ(corner.r + corner.g + corner.b, 0);
    vel_SMSDelete(list, 1);
}

// A two-colour texture on a cylinder: the image's top half shows at the +Z
// end, here turned to the right (+X).
TEST_F(Gui, TexturedCylinderShowsEachHalfAtItsEnd)
{
    const uint8_t red[3] = {255, 1, 1}, blue[3] = {1, 1, 255};
    std::string path = twoColourImage("gui", red, blue);
    vel_paletteTextureSet(vel_palette_default, 101, path.c_str());
    materialSurface(101, 1, 1, 1);
    static vel_cylinderData c{1.0f, 6.0f, 8, 1, 0, {}, 0};
    c.surface = vel_surfaceParamsNew(4, 0, 101, 101);
    c.matrix = vel_matrixQuaternionConvert(vel_quaternionSet(vel_vectorSet(0, 1, 0), 90));  // +Z onto +X
    vel_objList list = vel_SMSObjListNew();
    vel_SMSObjectAdd(list, vel_objectNew(vel_class_cylinder, &c));
    frame([&] { vel_SMSDisplayUnCulled(vel_win_current, list); });
    Rgb right = pixelAt(vel_vectorSet(1.5f, 0.3f, 1)), left = pixelAt(vel_vectorSet(-1.5f, 0.3f, 1));
    EXPECT_GT(right.r, 100);
    EXPECT_LT(right.b, 40);
    EXPECT_GT(left.b, 100);
    EXPECT_LT(left.r, 40);
    vel_SMSDelete(list, 1);
    std::remove(path.c_str());
}

// Lines are as wide as asked and change colour between two vertices.
TEST_F(Gui, WideLineAndColourChangeMidLine)
{
    vel_surface red = colourSurface(102, 1, 0, 0), green = colourSurface(103, 0, 1, 0);
    frame([&] {
        vel_gfxLineWidthSet(10);
        vel_surfaceParamsUse(red);
        vel_gfxLineBegin();
        vel_gfxVertex(vel_vectorSet(-3, 0, 0));
        vel_gfxVertex(vel_vectorSet(0, 0, 0));
        vel_surfaceParamsUse(green);
        vel_gfxVertex(vel_vectorSet(3, 0, 0));
        vel_gfxLineEnd();
        vel_gfxLineWidthSet(1);
        vel_gfxLineBegin();
        vel_gfxVertex(vel_vectorSet(-3, 2, 0));
        vel_gfxVertex(vel_vectorSet(3, 2, 0));
        vel_gfxLineEnd();
    });
    int x, y;
    toPixel(vel_vectorSet(-1.5f, 0, 0), &x, &y);
    Rgb left = pixel(x, y);
    EXPECT_GT(left.r, 200);
    EXPECT_LT(left.g, 50);
    int rows = 0;
    for (int yy = 0; yy < velCapture.height; yy++) rows += pixel(x, yy).r > 128 ? 1 : 0;
    EXPECT_GE(rows, 9);
    EXPECT_LE(rows, 11);
    toPixel(vel_vectorSet(1.5f, 0, 0), &x, &y);
    Rgb right = pixel(x, y);
    EXPECT_GT(right.g, 200);
    EXPECT_LT(right.r, 50);
    int thin = 0, ty;
    toPixel(vel_vectorSet(1.5f, 2, 0), &x, &ty);
    for (int yy = ty - 6; yy <= ty + 6; yy++) thin += pixel(x, yy).g > 128 ? 1 : 0;
    EXPECT_GE(thin, 1);
    EXPECT_LE(thin, 2);
}

// Every width from 1 to 10 is drawn for real, in device pixels times the
// window's device-pixel ratio (2 under QT_SCALE_FACTOR=2), across and
// along the screen.
TEST_F(Gui, LineWidthsInDevicePixels)
{
    vel_surface white = colourSurface(115, 1, 1, 1);
    testView.eye = vel_vectorSet(0, 0, 24);
    frame([&] {
        vel_surfaceParamsUse(white);
        for (int w = 1; w <= 10; w++) {
            vel_gfxLineWidthSet((float)w);
            vel_gfxLineBegin();  // across, at height y
            vel_gfxVertex(vel_vectorSet(-8, 10.5f - 2 * w, 0));
            vel_gfxVertex(vel_vectorSet(-2, 10.5f - 2 * w, 0));
            vel_gfxLineEnd();
            vel_gfxLineBegin();  // along, at x
            vel_gfxVertex(vel_vectorSet(-0.5f + 1.2f * w, -9, 0));
            vel_gfxVertex(vel_vectorSet(-0.5f + 1.2f * w, -3, 0));
            vel_gfxLineEnd();
        }
    });
    float ratio = (float)velWindow.pixelWidth / (float)velWindow.width;
    const char *scale = std::getenv("QT_SCALE_FACTOR");
    if (scale) {
        EXPECT_NEAR(ratio, std::atof(scale), 0.05);
    }
    auto device = [](vel_vector p, int *x, int *y) {
        vel_vector s = vel_vectorScrnPos(p);
        *x = (int)((s.x + 1) * 0.5f * velCapture.width);
        *y = (int)((1 - s.y) * 0.5f * velCapture.height);
    };
    // each count stops half way to the neighbouring lines
    int ax, ay, bx, by, cx, cy, dx, dy;
    device(vel_vectorSet(-5, 0.5f, 0), &ax, &ay);
    device(vel_vectorSet(-5, 2.5f, 0), &bx, &by);
    device(vel_vectorSet(-0.5f, -6, 0), &cx, &cy);
    device(vel_vectorSet(0.7f, -6, 0), &dx, &dy);
    int reachY = (ay - by) / 2 - 1, reachX = (dx - cx) / 2 - 1;
    ASSERT_GT(reachX, 10 * ratio / 2);
    for (int w = 1; w <= 10; w++) {
        int x, y, across = 0, along = 0;
        device(vel_vectorSet(-5, 10.5f - 2 * w, 0), &x, &y);
        for (int yy = y - reachY; yy <= y + reachY; yy++) across += pixel(x, yy).r > 128;
        device(vel_vectorSet(-0.5f + 1.2f * w, -6, 0), &x, &y);
        for (int xx = x - reachX; xx <= x + reachX; xx++) along += pixel(xx, y).r > 128;
        float want = w * ratio;
        EXPECT_NEAR(across, want, 1.01f) << "width " << w << " across";
        EXPECT_NEAR(along, want, 1.01f) << "width " << w << " along";
    }
}

// A display list draws nothing before it is recorded, draws while being
// recorded (mode 2), draws again when replayed, and nothing once deleted.
TEST_F(Gui, DisplayListRecordReplayDelete)
{
    static vel_sphereData s{1.5f, 6, 6, 0, vel_matrixSet(0, 0, 0, 0, 0, 0), 0};
    s.surface = materialSurface(104, 0, 0.9f, 0);
    vel_objList list = vel_SMSObjListNew();
    vel_SMSObjectAdd(list, vel_objectNew(vel_class_sphere, &s));
    auto centreGreen = [] { return pixelAt(vel_vectorSet(0, 0, 1.5f)).g; };
    frame([] { vel_gfxListExec(21); });
    EXPECT_EQ(centreGreen(), 0);
    frame([&] {
        vel_gfxListNew(21, 2);
        vel_SMSDisplayUnCulled(vel_win_current, list);
        vel_gfxListEnd();
    });
    EXPECT_GT(centreGreen(), 120);
    frame([] { vel_gfxListExec(21); });
    EXPECT_GT(centreGreen(), 120);
    s.radius = 0.1f;  // a list keeps what it recorded
    frame([] { vel_gfxListExec(21); });
    EXPECT_GT(centreGreen(), 120);
    vel_gfxListsDelete(21, 1);
    frame([] { vel_gfxListExec(21); });
    EXPECT_EQ(centreGreen(), 0);
    EXPECT_GT(velBatchBytes(&velFrames.last.immediate) + 1, 0u);
    vel_SMSDelete(list, 1);
}

// A recorded list keeps one instance per object in GL buffers and no CPU
// copy; the first and the last object both draw in the recording frame and
// again on replay, and deleting the list frees its buffers.
TEST_F(Gui, DisplayListKeepsInstancesInGlBuffers)
{
    vel_surface green = materialSurface(105, 0, 0.9f, 0);
    static std::vector<vel_sphereData> s;
    s.assign(6002, vel_sphereData{0.02f, 4, 4, green, {}, 0});
    for (size_t i = 0; i < s.size(); i++) s[i].matrix = vel_matrixSet(0, 0, 0, 1e-4f * (float)i, 0, -4);  // no two alike
    s.front() = vel_sphereData{1.0f, 6, 6, green, vel_matrixSet(0, 0, 0, -2, 0, 0), 0};
    s.back() = vel_sphereData{1.0f, 6, 6, green, vel_matrixSet(0, 0, 0, 2, 0, 0), 0};
    vel_objList list = vel_SMSObjListNew();
    for (auto &x : s) vel_SMSObjectAdd(list, vel_objectNew(vel_class_sphere, &x));
    auto leftGreen = [] { return pixelAt(vel_vectorSet(-2, 0, 1)).g; };
    auto rightGreen = [] { return pixelAt(vel_vectorSet(2, 0, 1)).g; };
    frame([&] {
        vel_gfxListNew(22, 2);
        vel_SMSDisplayUnCulled(vel_win_current, list);
        vel_gfxListEnd();
    });
    EXPECT_GT(leftGreen(), 120);
    EXPECT_GT(rightGreen(), 120);
    const VelBatch *b = velFrames.displayLists[22];
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->groups.size(), 2u);  // two details
    uint32_t count = 0;
    for (const VelInstanceGroup &g : b->groups) {
        EXPECT_FALSE(g.glBuffers.empty());
        EXPECT_TRUE(g.instances.empty());
        count += g.count;
    }
    EXPECT_EQ(count, 6002u);
    EXPECT_EQ(velBatchBytes(b), 6002u * sizeof(VelInstance));
    frame([] { vel_gfxListExec(22); });
    EXPECT_GT(leftGreen(), 120);
    EXPECT_GT(rightGreen(), 120);
    unsigned first = b->groups[0].glBuffers.at(0);
    ASSERT_TRUE(velGlueMakeCurrent());
    EXPECT_EQ(glIsBuffer(first), GL_TRUE);
    vel_gfxListsDelete(22, 1);
    ASSERT_TRUE(velGlueMakeCurrent());
    EXPECT_EQ(glIsBuffer(first), GL_FALSE);
    frame([] { vel_gfxListExec(22); });
    EXPECT_EQ(leftGreen(), 0);
    EXPECT_EQ(rightGreen(), 0);
    vel_SMSDelete(list, 1);
}

// Long groups and long lines are drawn in several draws (a software driver
// bins a few tens of thousands of triangles at a time): the instances and
// segments at their ends show as well as those at their starts.
TEST_F(Gui, LongGroupsAndLinesDrawToTheirEnds)
{
    vel_surface green = materialSurface(106, 0, 0.9f, 0);
    static std::vector<vel_sphereData> s;
    s.assign(30001, vel_sphereData{0.001f, 6, 6, green, {}, 0});
    for (size_t i = 0; i < s.size(); i++) s[i].matrix = vel_matrixSet(0, 0, 0, 1e-4f * (float)i, -3, -4);  // no two alike
    const float xs[3] = {-2.5f, 0, 2.5f};
    const size_t at[3] = {0, 15000, 30000};
    for (int k = 0; k < 3; k++) s[at[k]] = vel_sphereData{0.6f, 6, 6, green, vel_matrixSet(0, 0, 0, xs[k], 1, 0), 0};
    vel_objList list = vel_SMSObjListNew();
    for (auto &x : s) vel_SMSObjectAdd(list, vel_objectNew(vel_class_sphere, &x));
    vel_surface red = colourSurface(107, 1, 0, 0);
    const int segments = 40000;
    auto longLine = [&](float width, float y) {
        vel_gfxLineWidthSet(width);
        vel_surfaceParamsUse(red);
        vel_gfxLineBegin();
        for (int i = 0; i < segments; i++)  // short steps out of sight, below the view
            vel_gfxVertex(vel_vectorSet(-3 + 1e-5f * (float)(i % 7), -30, 0));
        vel_gfxVertex(vel_vectorSet(-3, y, 0));  // the last two across the view
        vel_gfxVertex(vel_vectorSet(3, y, 0));
        vel_gfxLineEnd();
    };
    for (int record = 0; record < 2; record++) {
        frame([&] {
            if (record) vel_gfxListNew(23, 2);
            vel_SMSDisplayUnCulled(vel_win_current, list);
            longLine(1, -1.5f);
            longLine(5, -2.5f);
            if (record) vel_gfxListEnd();
        });
        const VelBatch *b = record ? velFrames.displayLists[23] : &velFrames.last.immediate;
        ASSERT_NE(b, nullptr);
        int used = 0;  // a frame's batch keeps the emptied groups of earlier frames
        for (const VelInstanceGroup &g : b->groups)
            if (g.count) {
                used++;
                EXPECT_EQ(g.count, 30001u);
            }
        EXPECT_EQ(used, 1);
        for (int k = 0; k < 3; k++) EXPECT_GT(pixelAt(vel_vectorSet(xs[k], 1, 0.6f)).g, 100) << record << " " << k;
        for (float y : {-1.5f, -2.5f}) EXPECT_GT(pixelAt(vel_vectorSet(2, y, 0)).r, 200) << record << " " << y;
    }
    vel_gfxListsDelete(23, 1);
    vel_SMSDelete(list, 1);
}

// 1 when a vertex array of the context, or a buffer texture bound on any
// unit, still names one of `buffers` (which then keeps its storage).
bool stillViewed(const std::vector<unsigned> &buffers)
{
    auto named = [&](GLint b) { return b != 0 && std::find(buffers.begin(), buffers.end(), (unsigned)b) != buffers.end(); };
    GLint vertexArray = 0, unit = 0, units = 0, attributes = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &units);
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS, &attributes);
    bool viewed = false;
    for (GLuint name = 1; name < 4096; name++) {
        if (!glIsVertexArray(name)) continue;
        glBindVertexArray(name);
        for (GLint a = 0; a < attributes; a++) {
            GLint b = 0;
            glGetVertexAttribiv((GLuint)a, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &b);
            viewed |= named(b);
        }
    }
    glBindVertexArray((GLuint)vertexArray);
    for (GLint u = 0; u < std::min(units, 64); u++) {
        glActiveTexture(GL_TEXTURE0 + (GLenum)u);
        GLint texture = 0, b = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_BUFFER, &texture);
        if (texture == 0) continue;
        glGetTexLevelParameteriv(GL_TEXTURE_BUFFER, 0, GL_TEXTURE_BUFFER_DATA_STORE_BINDING, &b);
        viewed |= named(b);
    }
    glActiveTexture((GLenum)unit);
    return viewed;
}

// A deleted list gives its buffers back at once, though the last frame drew
// from them: nothing that viewed them (the thin lines' vertex array, the
// instances' buffer texture) names them any more, so no storage is kept
// alive. How much of the heap comes back is measured by velkor_thresholds.
TEST_F(Gui, DeletedListGivesBackItsBuffers)
{
    ASSERT_TRUE(velGlueMakeCurrent());
    vel_surface green = materialSurface(108, 0, 0.9f, 0);
    vel_objList list = largeListRecorded(24, green);
    size_t bytes = velBatchBytes(velFrames.displayLists[24]);
    EXPECT_GE(bytes, 60000 * sizeof(VelInstance) + 99999 * 2 * sizeof(VelLineVertex));
    std::vector<unsigned> buffers;
    for (const VelInstanceGroup &g : velFrames.displayLists[24]->groups) buffers.insert(buffers.end(), g.glBuffers.begin(), g.glBuffers.end());
    for (const VelLineGroup &g : velFrames.displayLists[24]->lines) buffers.insert(buffers.end(), g.glBuffers.begin(), g.glBuffers.end());
    ASSERT_FALSE(buffers.empty());
    ASSERT_TRUE(velGlueMakeCurrent());
    EXPECT_TRUE(stillViewed(buffers));  // the frame drew from them
    vel_gfxListsDelete(24, 1);
    ASSERT_TRUE(velGlueMakeCurrent());
    EXPECT_FALSE(stillViewed(buffers));
    for (unsigned b : buffers) EXPECT_FALSE(glIsBuffer(b)) << b;
    static vel_sphereData one{1.0f, 4, 4, green, vel_matrixSet(0, 0, 0, 0, 0, 0), 0};
    vel_objList next = vel_SMSObjListNew();
    vel_SMSObjectAdd(next, vel_objectNew(vel_class_sphere, &one));
    frame([&] { vel_SMSDisplayUnCulled(vel_win_current, next); });  // the next scene draws
    EXPECT_EQ(velFrames.displayLists[24], nullptr);
    vel_SMSDelete(next, 1);
    vel_SMSDelete(list, 1);
}

// A two-coloured bond in true colours: each half of a textured cylinder is
// as bright as a plain cylinder of that colour in its own material, though
// the textured surface is lit by a grey material (within 8 levels).
TEST_F(Gui, TexturedHalvesMatchPlainBondsOfTheirColours)
{
    const float grey[3] = {0.565f, 0.565f, 0.565f}, red[3] = {1.0f, 0.05f, 0.05f};
    uint8_t top[3], bottom[3];
    for (int k = 0; k < 3; k++) {
        top[k] = (uint8_t)(red[k] * 255 + 0.5f);  // top half at the +Z end
        bottom[k] = (uint8_t)(grey[k] * 255 + 0.5f);
    }
    std::string path = twoColourImage("gui_pair", top, bottom);
    vel_paletteTextureSet(vel_palette_default, 110, path.c_str());
    vel_surface plainGrey = materialSurface(111, grey[0], grey[1], grey[2]);
    vel_surface plainRed = materialSurface(112, red[0], red[1], red[2]);
    materialSurface(113, 0.7f, 0.7f, 0.7f);  // the lighting of the textured bonds
    vel_surface textured = vel_surfaceParamsNew(4, 0, 113, 110);
    // the textured bond along x in the middle, a plain bond of each colour
    // above it, each in the same place on the screen relative to its axis
    static vel_cylinderData c[3];
    vel_matrix turn = vel_matrixQuaternionConvert(vel_quaternionSet(vel_vectorSet(0, 1, 0), 90));  // +Z onto +X
    c[0] = vel_cylinderData{0.6f, 6, 8, 0, textured, vel_matrixXYZSet(turn, vel_vectorSet(0, 0, 0)), 0};
    c[1] = vel_cylinderData{0.6f, 6, 8, 0, plainRed, vel_matrixXYZSet(turn, vel_vectorSet(0, 1.6f, 0)), 0};
    c[2] = vel_cylinderData{0.6f, 6, 8, 0, plainGrey, vel_matrixXYZSet(turn, vel_vectorSet(0, -1.6f, 0)), 0};
    vel_objList list = vel_SMSObjListNew();
    for (auto &x : c) vel_SMSObjectAdd(list, vel_objectNew(vel_class_cylinder, &x));
    testView.eye = vel_vectorSet(0, 0, 12);  // far enough that the three look alike
    frame([&] { vel_SMSDisplayUnCulled(vel_win_current, list); });
    // brightest pixel along a short vertical cut through each bond at x
    auto peak = [](float x, float y) {
        int px, py, qx, qy;
        toPixel(vel_vectorSet(x, y + 0.5f, 0.6f), &px, &py);
        toPixel(vel_vectorSet(x, y - 0.5f, 0.6f), &qx, &qy);
        Rgb best{0, 0, 0};
        for (int yy = py; yy <= qy; yy++) {
            Rgb p = pixel(px, yy);
            if (p.r + p.g + p.b > best.r + best.g + best.b) best = p;
        }
        return best;
    };
    auto near = [](Rgb a, Rgb b) {
        return std::abs(a.r - b.r) <= 8 && std::abs(a.g - b.g) <= 8 && std::abs(a.b - b.b) <= 8;
    };
    // the screen positions differ by the perspective: compare at a slightly
    // different height of the same screen column, half the gap away
    Rgb texRed = peak(1.5f, 0), texGrey = peak(-1.5f, 0), plainR = peak(1.5f, 1.6f), plainG = peak(-1.5f, -1.6f);
    EXPECT_TRUE(near(texRed, plainR)) << texRed.r << "," << texRed.g << "," << texRed.b << " against " << plainR.r
                                      << "," << plainR.g << "," << plainR.b;
    EXPECT_TRUE(near(texGrey, plainG)) << texGrey.r << "," << texGrey.g << "," << texGrey.b << " against "
                                       << plainG.r << "," << plainG.g << "," << plainG.b;
    EXPECT_GT(texRed.r, 200);
    vel_SMSDelete(list, 1);
    std::remove(path.c_str());
}

// A frame that shows exactly what the window shows already draws nothing;
// a changed view or new geometry draws again, and so does a frame forced.
TEST_F(Gui, IdleFrameDrawsNothing)
{
    vel_surface green = colourSurface(114, 0, 1, 0);
    auto lines = [&](float x) {
        vel_surfaceParamsUse(green);
        vel_gfxLineBegin();
        vel_gfxVertex(vel_vectorSet(-1, 0, 0));
        vel_gfxVertex(vel_vectorSet(x, 0, 0));
        vel_gfxLineEnd();
    };
    auto plainFrame = [&](float x) {
        vel_eventsCheck();
        vel_frameBegin();
        lines(x);
        vel_windowViewParamsSet(vel_win_current, &testView);
        vel_frameEnd();
    };
    plainFrame(1);
    uint64_t drawn = velFrames.drawn, skipped = velFrames.skipped;
    plainFrame(1);
    plainFrame(1);
    EXPECT_EQ(velFrames.drawn, drawn);
    EXPECT_EQ(velFrames.skipped, skipped + 2);
    plainFrame(2);  // other geometry
    EXPECT_EQ(velFrames.drawn, drawn + 1);
    testView.eye.z += 0.5f;  // the view moved
    plainFrame(2);
    EXPECT_EQ(velFrames.drawn, drawn + 2);
    velFrames.drawForced = 1;  // as a test or benchmark forces a frame
    plainFrame(2);
    EXPECT_EQ(velFrames.drawn, drawn + 3);
    plainFrame(2);
    EXPECT_EQ(velFrames.drawn, drawn + 3);
    EXPECT_EQ(vel_frameDrawnCount(), (long)velFrames.drawn);
}

// A texture that cannot be read: its surface draws in the material. It is
// reported when the next palette call ends the run of texture registrations.
TEST_F(Gui, MissingTextureDrawsInTheMaterial)
{
    testing::internal::CaptureStdout();
    vel_paletteTextureSet(vel_palette_default, 105, "/nonexistent/velkor/missing.ppm");
    materialSurface(105, 0, 0, 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("missing.ppm"), std::string::npos);
    static vel_cylinderData c{1.0f, 4.0f, 8, 1, 0, {}, 0};
    c.surface = vel_surfaceParamsNew(4, 0, 105, 105);
    c.matrix = vel_matrixSet(90, 0, 0, 0, 0, 0);
    vel_objList list = vel_SMSObjListNew();
    vel_SMSObjectAdd(list, vel_objectNew(vel_class_cylinder, &c));
    frame([&] { vel_SMSDisplayUnCulled(vel_win_current, list); });
    Rgb centre = pixelAt(vel_vectorSet(0, 0, 1));
    EXPECT_GT(centre.b, 120);
    EXPECT_LT(centre.r + centre.g, 60);
    vel_SMSDelete(list, 1);
}

//------------------------------------------------------------------------------
// Real input
//------------------------------------------------------------------------------
std::string navCalls;  // "x" and "y" in the order the navigators ran
float navAmountX = 0;

int navX(vel_viewParams *v, float amount, float ls, float as)
{
    navCalls += "x";
    navAmountX += amount;
    return vel_navigateRotUp(v, amount, ls, as);
}

int navY(vel_viewParams *v, float amount, float ls, float as)
{
    navCalls += "y";
    return vel_navigateRotRight(v, amount, ls, as);
}

void pumpFrames(int n)
{
    for (int i = 0; i < n; i++) frame([] {});
}

// The pointer costs a round trip to the X server: read once for the
// calls of one moment, again after any event pass or 2 ms, so a pointer
// moved by QCursor::setPos is seen as soon as events have been processed.
// With no button held the navigation step does not read it at all. The
// moment is lengthened here so that a busy machine cannot end it between
// two calls; velkor_thresholds checks calls in a row fit in 2 ms.
TEST_F(Gui, PointerReadOncePerEventPass)
{
    QCursor::setPos(200, 210);
    QApplication::processEvents();
    int x, y, rx, ry;
    vel_mouseGet(vel_win_current, &x, &y, &rx, &ry, nullptr);
    EXPECT_EQ(rx, 200);
    EXPECT_EQ(ry, 210);
    // Three calls in a row share one reading.
    velPointerReuseMs = 60000;
    vel_mouseGet(vel_win_current, &x, &y, &rx, &ry, nullptr);
    uint64_t reads = velPointerReads;
    for (int i = 0; i < 3; i++) vel_mouseGet(vel_win_current, &x, &y, &rx, &ry, nullptr);
    EXPECT_EQ(velPointerReads, reads);
    vel_eventsCheck();
    vel_mouseGet(vel_win_current, &x, &y, &rx, &ry, nullptr);
    EXPECT_GT(velPointerReads, reads);  // read again after an event pass
    velPointerReuseMs = 2;
    reads = velPointerReads;
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    vel_mouseGet(vel_win_current, &x, &y, &rx, &ry, nullptr);
    EXPECT_GT(velPointerReads, reads);  // and after 2 ms
    QCursor::setPos(240, 250);
    QApplication::processEvents();  // anyone's event pass counts
    vel_mouseGet(vel_win_current, &x, &y, &rx, &ry, nullptr);
    EXPECT_EQ(rx, 240);
    EXPECT_EQ(ry, 250);
    int wx, wy;
    velGlueWindowToRoot(x, y, &wx, &wy);
    EXPECT_EQ(wx, 240);
    EXPECT_EQ(wy, 250);
    reads = velPointerReads;
    vel_navigationMouseDefaultParams(vel_win_all, 0, navX, 0.0f, 0.01f, navY, 0.0f, 0.01f);
    navCalls.clear();
    for (int i = 0; i < 3; i++) {
        QApplication::processEvents();
        vel_navigationMouseDefault(vel_win_current);
    }
    EXPECT_EQ(velPointerReads, reads);
    EXPECT_TRUE(navCalls.empty());
}

// The left button held: both navigators once per event check, x first;
// the view record handed in is the one they turn; nothing after release.
TEST_F(Gui, MouseNavigationFromRealInput)
{
    if (!haveXdotool()) GTEST_SKIP() << "xdotool not installed";
    vel_navigationMouseDefaultParams(vel_win_all, 0, navX, 0.0f, 0.01f, navY, 0.0f, 0.01f);
    vel_navigationMouse(vel_win_all, vel_navigationMouseDefault);
    int cx, cy;
    velGlueWindowToRoot(velWindow.width / 2, velWindow.height / 2, &cx, &cy);
    xdotool("mousemove " + std::to_string(cx) + " " + std::to_string(cy));
    pumpFrames(5);
    navCalls.clear();
    navAmountX = 0;
    xdotool("mousedown 1");
    int buttons[3] = {1, 1, 1};
    for (int i = 0; i < 100 && buttons[0] != 0; i++) {
        pumpFrames(1);
        vel_mouseGet(vel_win_current, nullptr, nullptr, nullptr, nullptr, buttons);
    }
    ASSERT_EQ(buttons[0], 0);
    xdotool("mousemove " + std::to_string(cx + 40) + " " + std::to_string(cy));
    pumpFrames(10);
    int x, y, rx, ry;
    vel_mouseGet(vel_win_current, &x, &y, &rx, &ry, nullptr);
    EXPECT_EQ(rx, cx + 40);
    EXPECT_EQ(ry, cy);
    EXPECT_EQ(x, velWindow.width / 2 + 40);
    xdotool("mouseup 1");
    for (int i = 0; i < 100 && buttons[0] != 1; i++) {
        pumpFrames(1);
        vel_mouseGet(vel_win_current, nullptr, nullptr, nullptr, nullptr, buttons);
    }
    EXPECT_EQ(buttons[0], 1);
    ASSERT_GE(navCalls.size(), 4u);
    for (size_t i = 0; i < navCalls.size(); i++) EXPECT_EQ(navCalls[i], i % 2 ? 'y' : 'x') << navCalls;
    EXPECT_NEAR(navAmountX, 40, 0.5f);     // the movement in pixels, summed over the steps
    EXPECT_GT(testView.eye.x, 1.0f);           // turned by 40 * 0.01 radians about up
    EXPECT_NEAR(vel_vectorMag(testView.eye), 10, 1e-3f);
    size_t after = navCalls.size();
    pumpFrames(5);
    EXPECT_EQ(navCalls.size(), after);
    vel_navigationMouse(vel_win_all, nullptr);
}

vel_object pickedObject = nullptr;
std::string pickStates;

int pickCallback(vel_object o, vel_mouseEvent *e)
{
    pickedObject = o;
    pickStates += std::to_string(e->button) + ":" + std::to_string(e->state) + " ";
    return 1;
}

// The middle button over a sphere calls back on press and release with the
// nearest sphere; a click beside the spheres calls nothing.
TEST_F(Gui, SpherePickFromRealInput)
{
    if (!haveXdotool()) GTEST_SKIP() << "xdotool not installed";
    static vel_sphereData back{1.5f, 6, 6, 0, vel_matrixSet(0, 0, 0, 0, 0, -3), 0};
    static vel_sphereData front{1.0f, 6, 6, 0, vel_matrixSet(0, 0, 0, 0.2f, 0, 1), 0};
    back.surface = front.surface = materialSurface(106, 1, 1, 0);
    vel_objList list = vel_SMSObjListNew();
    vel_SMSObjectAdd(list, vel_objectNew(vel_class_sphere, &back));
    vel_object frontObject = vel_objectNew(vel_class_sphere, &front);
    vel_SMSObjectAdd(list, frontObject);
    vel_callbackMouseSet(1, vel_win_all, vel_class_sphere, pickCallback);
    auto draw = [&] { vel_SMSDisplayUnCulled(vel_win_current, list); };
    int cx, cy;
    velGlueWindowToRoot(velWindow.width / 2, velWindow.height / 2, &cx, &cy);
    frame(draw);  // picking looks at what the last frame drew
    xdotool("mousemove " + std::to_string(cx) + " " + std::to_string(cy) + " click 2");
    for (int i = 0; i < 100 && pickStates.size() < 8; i++) frame(draw);
    EXPECT_EQ(pickStates, "1:0 1:1 ");
    EXPECT_EQ(pickedObject, frontObject);
    pickStates.clear();
    int ex, ey;
    velGlueWindowToRoot(5, 5, &ex, &ey);
    xdotool("mousemove " + std::to_string(ex) + " " + std::to_string(ey) + " click 2");
    int buttons[3];
    for (int i = 0; i < 30; i++) {
        frame(draw);
        vel_mouseGet(vel_win_current, nullptr, nullptr, nullptr, nullptr, buttons);
    }
    EXPECT_EQ(pickStates, "");
    vel_callbackMouseSet(1, vel_win_all, vel_class_sphere, nullptr);
    vel_SMSDelete(list, 1);
}

// A click whose press and release arrive in the same event check still
// reads as a press in that frame, and as released in the next.
TEST_F(Gui, ShortClickReadsAsPressForOneFrame)
{
    if (!haveXdotool()) GTEST_SKIP() << "xdotool not installed";
    int ex, ey;
    velGlueWindowToRoot(5, 5, &ex, &ey);
    frame([] {});
    xdotool("mousemove " + std::to_string(ex) + " " + std::to_string(ey) + " click 2");
    int buttons[3] = {1, 1, 1};
    for (int i = 0; i < 100 && buttons[1] != 0; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        vel_eventsCheck();
        vel_mouseGet(vel_win_current, nullptr, nullptr, nullptr, nullptr, buttons);
    }
    ASSERT_EQ(buttons[1], 0);
    if (velWindow.buttons[1] == 0) GTEST_SKIP() << "press and release came in separate event checks";
    vel_eventsCheck();
    vel_mouseGet(vel_win_current, nullptr, nullptr, nullptr, nullptr, buttons);
    EXPECT_EQ(buttons[1], 1);
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("DISPLAY")) {
        std::printf("velkor_gui_test: no DISPLAY, nothing to test\n");
        return 0;
    }
    velTestWindowOpen(400, 340, true);
    return RUN_ALL_TESTS();
}
