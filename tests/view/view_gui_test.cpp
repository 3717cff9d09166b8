// view_gui_test.cpp - the view in a real window under a display: the order
// of a frame's work and its messages, the spin, the navigators on the real
// pointer, mouse drags and middle clicks driven through the X server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTimer>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/settings.h"
#include "app/viewstate.h"
#include "scene/scene.h"
#include "view/view.h"
#include "viewtest.h"
#include "common/viewerwindow.h"

#ifndef MOLVANE_TEST_DATA
#define MOLVANE_TEST_DATA "tests/data"
#endif

namespace {

// Runs an xdotool command against the test's display.
int xdotool(const std::string &args)
{
    return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str());
}

double angleBetween(vel_vector a, vel_vector b)
{
    double dot = (double)a.x * b.x + (double)a.y * b.y + (double)a.z * b.z;
    double la = std::sqrt((double)a.x * a.x + (double)a.y * a.y + (double)a.z * a.z);
    double lb = std::sqrt((double)b.x * b.x + (double)b.y * b.y + (double)b.z * b.z);
    return std::acos(std::fmin(1.0, dot / (la * lb)));
}

// A window like the program's: a vertical box with no margins that the
// library draws into, the palette, an empty scene.
class ViewGui : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        openViewerTestWindow(600, 600);
        for (int k = 0; k < 30; k++)
            runFrame(sceneObjectList);
    }

    void SetUp() override
    {
        xdotool("mouseup 1 mouseup 2 mouseup 3");
        resetRenderSettings();
        unload();
        frames(3);
    }

    void TearDown() override
    {
        xdotool("mouseup 1 mouseup 2 mouseup 3");
        frames(2);
    }

    // Back to the start-up state: no structure, an empty scene.
    static void unload()
    {
        resetStore();
        atomCount = 0;
        structureLoaded = 0;
        newScene();
    }

    // Discards the scene and the display list, as every rebuild does.
    static void newScene()
    {
        vel_SMSDelete(sceneObjectList, 1);
        sceneObjectList = vel_SMSObjListNew();
        displayListDirty = 1;
        vel_gfxListsDelete(displayListId, 1);
    }

    // What the build does once the store holds a structure.
    static void build()
    {
        newScene();
        setInitialView();
        zoomStep = zoomStepFor(atomCount);
        navigationStep = navigationStepFor(atomCount, navigationSpeed);
        if (drawAtoms != 0 || drawSpaceFilled != 0)
            buildAtomSpheres();
        registerMouseHandling();
        structureLoaded = 1;
        vel_windowViewParamsSet(vel_win_current, &viewParams);
    }

    // Three atoms far apart on the screen, with one bond.
    static void smallStructure()
    {
        resetStore();
        putAtom(1, -3.0f, 0.0f, 0.0f, "C");
        putAtom(2, -1.7f, 0.0f, 0.0f, "O");
        putAtom(3, 3.0f, 2.0f, 0.0f, "N");
        putBond(1, 2, 1);
        halfExtents[0] = 4.0f;
        halfExtents[1] = 1.5f;
        halfExtents[2] = 0.5f;
    }

    static void frames(int count)
    {
        for (int k = 0; k < count; k++)
            runFrame(sceneObjectList);
    }

    // The calls of `count` frames, each frame's trace on its own.
    static std::vector<std::vector<TraceCall>> tracedFrames(int count)
    {
        std::vector<std::vector<TraceCall>> result;
        for (int k = 0; k < count; k++) {
            vel_traceClear();
            vel_traceEnable(1);
            runFrame(sceneObjectList);
            vel_traceEnable(0);
            result.push_back(parseTrace(vel_traceText()));
        }
        vel_traceClear();
        return result;
    }

    // Root-window position of a world point's pick spot (the screen pick
    // expects the pointer 13 pixels above the projected point).
    static void rootSpotOf(vel_vector p, int *rootX, int *rootY)
    {
        int x, y, rx, ry;
        vel_mouseGet(vel_win_current, &x, &y, &rx, &ry, nullptr);
        vel_vector s = vel_vectorScrnPos(p);
        float W = (float)mainBox->width(), H = (float)mainBox->height();
        float X = W * (s.x + 1.0f) / 2.0f;
        float Y = H - H * (s.y + 1.0f) / 2.0f - 13.0f;
        *rootX = (int)std::lround(X) + (rx - x);
        *rootY = (int)std::lround(Y) + (ry - y);
    }

    // Presses or releases an X button (1 left, 2 middle, 3 right) and runs
    // frames until the library has seen it, then a few more.
    static void button(int xButton, bool down)
    {
        xdotool(std::string(down ? "mousedown " : "mouseup ") + std::to_string(xButton));
        int states[3] = {1, 1, 1};
        for (int k = 0; k < 120; k++) {
            runFrame(sceneObjectList);
            vel_mouseGet(vel_win_current, nullptr, nullptr, nullptr, nullptr, states);
            if ((states[xButton - 1] == 0) == down)
                break;
        }
        frames(2);
    }

    // A middle press held over a few frames, then released: the frame loop
    // polls the buttons once per frame.
    static void middlePress()
    {
        button(2, true);
        frames(3);
        button(2, false);
    }

    // Moves the pointer and runs frames until the library reports it there.
    static void pointerTo(int rootX, int rootY)
    {
        xdotool("mousemove " + std::to_string(rootX) + " " + std::to_string(rootY));
        for (int k = 0; k < 120; k++) {
            int rx = -1, ry = -1;
            runFrame(sceneObjectList);
            vel_mouseGet(vel_win_current, nullptr, nullptr, &rx, &ry, nullptr);
            if (rx == rootX && ry == rootY)
                break;
        }
        frames(2);
    }
};

// Position of the first call named `name` in a frame's trace, -1 if none.
int indexOf(const std::vector<TraceCall> &calls, const std::string &name)
{
    for (size_t k = 0; k < calls.size(); k++)
        if (calls[k].name == name)
            return (int)k;
    return -1;
}

int verticesBetween(const std::vector<TraceCall> &calls, int from, int to)
{
    int count = 0;
    for (int k = from + 1; k < to && k < (int)calls.size(); k++)
        count += calls[k].name == "vel_gfxVertex";
    return count;
}

//------------------------------------------------------------------------------
// The frame's order of work and its messages
//------------------------------------------------------------------------------
// Fixed widths: the lines go into the list while it is recorded, in the
// frame after the rebuild; later frames replay it and send no line.
TEST_F(ViewGui, RecordsOnceWithLinesInTheList)
{
    smallStructure();
    changeLineWidthWithDistance = 0;
    build();
    testing::internal::CaptureStdout();
    std::vector<std::vector<TraceCall>> trace = tracedFrames(4);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Generating Display List...\nReady\n");

    const std::vector<TraceCall> &first = trace[0];
    int events = indexOf(first, "vel_eventsCheck");
    int begin = indexOf(first, "vel_frameBegin");
    int listNew = indexOf(first, "vel_gfxListNew");
    int objects = indexOf(first, "vel_SMSDisplayUnCulled");
    int listEnd = indexOf(first, "vel_gfxListEnd");
    int viewSet = indexOf(first, "vel_windowViewParamsSet");
    int end = indexOf(first, "vel_frameEnd");
    ASSERT_GE(listNew, 0);
    if (events >= 0) {
        EXPECT_LT(events, begin);
    }
    if (begin >= 0) {
        EXPECT_LT(begin, listNew);
    }
    EXPECT_LT(listNew, objects);
    EXPECT_LT(objects, listEnd);
    EXPECT_LT(listEnd, viewSet);
    if (end >= 0) {
        EXPECT_LT(viewSet, end);
    }
    EXPECT_EQ(verticesBetween(first, objects, listEnd), 3 + 3 * 3 * 2);
    EXPECT_EQ(verticesBetween(first, listEnd, (int)first.size()), 0);
    EXPECT_EQ(indexOf(first, "vel_gfxListExec"), -1) << "the recording frame does not replay";
    for (int k = 1; k < 4; k++) {
        EXPECT_GE(indexOf(trace[k], "vel_gfxListExec"), 0);
        EXPECT_EQ(indexOf(trace[k], "vel_gfxListNew"), -1);
        EXPECT_EQ(countNamed(trace[k], "vel_gfxVertex"), 0);
    }
}

// Distance-dependent widths: nothing of the lines is in the list; they are
// sent after it in every frame, before the view is handed over.
TEST_F(ViewGui, DistanceWidthsSendLinesEveryFrame)
{
    smallStructure();
    changeLineWidthWithDistance = 1;
    build();
    testing::internal::CaptureStdout();
    std::vector<std::vector<TraceCall>> trace = tracedFrames(3);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Generating Display List...\nReady\n");
    int listNew = indexOf(trace[0], "vel_gfxListNew");
    int listEnd = indexOf(trace[0], "vel_gfxListEnd");
    ASSERT_GE(listNew, 0);
    EXPECT_EQ(verticesBetween(trace[0], listNew, listEnd), 0);
    for (int k = 0; k < 3; k++) {
        int after = k == 0 ? listEnd : indexOf(trace[k], "vel_gfxListExec");
        int viewSet = indexOf(trace[k], "vel_windowViewParamsSet");
        ASSERT_GE(after, 0);
        EXPECT_EQ(verticesBetween(trace[k], after, viewSet), 3 + 3 * 3 * 2) << "frame " << k;
    }
}

// A rebuild made by a command inside the event check is recorded in that
// same frame, from the list that sceneObjectList holds by then.
TEST_F(ViewGui, RebuildInsideEventCheckRecordsTheNewList)
{
    smallStructure();
    changeLineWidthWithDistance = 0;
    build();
    frames(2);
    SceneObjectList rebuilt = nullptr;
    QTimer::singleShot(0, [&rebuilt] {
        drawAtoms = 1;
        build();
        rebuilt = sceneObjectList;
    });
    testing::internal::CaptureStdout();
    std::vector<std::vector<TraceCall>> trace;
    for (int k = 0; k < 20 && rebuilt == nullptr; k++)
        trace = tracedFrames(1);
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_NE(rebuilt, nullptr) << "the queued command never ran";
    EXPECT_EQ(out.substr(out.find("Generating Display")), "Generating Display List...\nReady\n");
    int listNew = indexOf(trace[0], "vel_gfxListNew");
    int objects = indexOf(trace[0], "vel_SMSDisplayUnCulled");
    EXPECT_GE(listNew, 0) << "recorded in the frame of the rebuild";
    ASSERT_GT(objects, listNew);
    ASSERT_EQ(trace[0][objects].numbers.size(), 1u);
    EXPECT_EQ(trace[0][objects].numbers[0], 3) << "the three spheres of the new list";
    testing::internal::CaptureStdout();
    frames(3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// Before any structure: no messages, no bond lines, no spin.
TEST_F(ViewGui, NothingLoadedDrawsAndSaysNothing)
{
    spin = 1;
    viewParams.eye = vel_vectorSet(0, 0, 20);
    viewParams.view = vel_vectorSet(0, 0, -1);
    viewParams.up = vel_vectorSet(0, 1, 0);
    testing::internal::CaptureStdout();
    std::vector<std::vector<TraceCall>> trace = tracedFrames(3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    for (const auto &frame : trace) {
        EXPECT_EQ(countNamed(frame, "vel_gfxVertex"), 0);
        EXPECT_EQ(indexOf(frame, "vel_gfxListNew"), -1);
    }
    EXPECT_EQ(viewParams.eye.x, 0.0f);
    EXPECT_EQ(viewParams.eye.z, 20.0f);
}

// Spin turns the view by navigationStep about its up direction each frame.
TEST_F(ViewGui, SpinTurnsOneStepPerFrame)
{
    smallStructure();
    build();
    frames(1);
    spin = 1;
    vel_vector before = viewParams.eye;
    frames(10);
    spin = 0;
    EXPECT_NEAR(angleBetween(before, viewParams.eye), 10 * navigationStep, 1e-4);
    EXPECT_NEAR(viewParams.eye.y, before.y, 1e-4) << "the turn is about up (y)";
}

//------------------------------------------------------------------------------
// Navigation arithmetic on the real pointer
//------------------------------------------------------------------------------
// The left navigators turn by speed x 0.01 per pixel, or slide by speed x
// 0.03 sideways and speed x -0.03 up; the right one moves forwards by
// speed x zoomStep per pixel of each direction.
TEST_F(ViewGui, NavigatorsScaleThePointerMovement)
{
    QCursor::setPos(300, 300);
    QApplication::processEvents();
    int x, y, rootX, rootY;
    vel_mouseGet(vel_win_current, &x, &y, &rootX, &rootY, nullptr);
    ASSERT_EQ(rootX, 300);
    ASSERT_EQ(rootY, 300);

    halfExtents[0] = 10.0f;
    halfExtents[1] = 8.0f;
    halfExtents[2] = 6.0f;
    // The eye starts at (0, 0, 26) looking down -z with y up, so the view's
    // right direction is +x. The library turns by the right-hand rule, in
    // radians: a turn of a about up (y) takes the eye to (26 sin a, 0,
    // 26 cos a), a turn of a about right (x) to (0, -26 sin a, 26 cos a).
    struct Case { int speed, move; int dxOrigin, dyOrigin; vel_vector eye; };
    // origin 10 pixels left of (above) the pointer: its root x (y) rose by 10
    const Case cases[] = {
        {2, 0, -10, 0, {-5.165403f, 0, 25.481731f}},  // about up by 2 x 0.01 x -10 = -0.2
        {3, 0, -10, 0, {-7.683525f, 0, 24.838749f}},  // about up by -0.3
        {1, 0, 10, 0, {2.595669f, 0, 25.870108f}},    // root x fell by 10: about up by +0.1
        {2, 0, 0, -10, {0, 5.165403f, 25.481731f}},   // about right by 2 x 0.01 x -10 = -0.2
        {2, 0, 0, 10, {0, -5.165403f, 25.481731f}},   // root y fell by 10: about right by +0.2
        {2, 1, -10, 0, {-0.6f, 0, 26}},               // sideways by 2 x 0.03 x -10
        {2, 1, 0, -10, {0, 0.6f, 26}},                // up by 2 x -0.03 x -10
    };
    for (const Case &c : cases) {
        setInitialView();
        navigationSpeed = c.speed;
        moveMolecule = c.move;
        leftDragOriginX = 300 + c.dxOrigin;
        leftDragOriginY = 300 + c.dyOrigin;
        leftDragX(&viewParams, 0.0f, 0.0f, 0.0f);
        leftDragY(&viewParams, 0.0f, 0.0f, 0.0f);
        const int k = (int)(&c - cases);
        EXPECT_NEAR(viewParams.eye.x, c.eye.x, 1e-4) << "case " << k;
        EXPECT_NEAR(viewParams.eye.y, c.eye.y, 1e-4) << "case " << k;
        EXPECT_NEAR(viewParams.eye.z, c.eye.z, 1e-4) << "case " << k;
        EXPECT_EQ(leftDragOriginX, 300) << "leftDragY moves the origin on";
        EXPECT_EQ(leftDragOriginY, 300);
        EXPECT_EQ(leftDragActive, 1);
    }

    // right: root y fell by 5, root x rose by 5, 1000 atoms
    moveMolecule = 0;
    navigationSpeed = 2;
    setInitialView();
    zoomStep = 0.0475468f;                   // 1000^0.4 x 0.003
    rightDragOriginX = 295;
    rightDragOriginY = 305;
    rightDrag(&viewParams, 0.0f, 0.0f, 0.0f);
    EXPECT_NEAR(viewParams.eye.z, 26.0 - 2 * (2 * 0.0475468 * 5), 1e-4);
    EXPECT_EQ(rightDragOriginX, 300);
    EXPECT_EQ(rightDragOriginY, 300);
    // a second run in the same step adds nothing
    float z = viewParams.eye.z;
    rightDrag(&viewParams, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(viewParams.eye.z, z);
    navigationSpeed = 2;
}

//------------------------------------------------------------------------------
// The mouse, for real
//------------------------------------------------------------------------------
// A left drag turns the view by the drag alone: the pointer's free movement
// before the press causes no jump.
TEST_F(ViewGui, LeftDragTurnsWithoutJump)
{
    smallStructure();
    build();
    frames(2);
    int x, y, rootX, rootY;
    vel_mouseGet(vel_win_current, &x, &y, &rootX, &rootY, nullptr);
    int baseX = rootX - x, baseY = rootY - y;
    // a short drag at one place leaves the navigators' origin there
    pointerTo(baseX + 100, baseY + 300);
    button(1, true);
    button(1, false);
    pointerTo(baseX + 300, baseY + 300);    // 200 pixels with no button held
    vel_vector before = viewParams.eye;
    button(1, true);
    frames(2);
    EXPECT_NEAR(angleBetween(before, viewParams.eye), 0.0, 1e-6) << "no jump on the press";
    pointerTo(baseX + 310, baseY + 300);
    button(1, false);
    // 10 pixels to the right: about up by 2 x 0.01 x -10 = -0.2 radians,
    // from the first view's eye at (0, 0, 8)
    EXPECT_NEAR(before.x, 0.0, 1e-6);
    EXPECT_NEAR(before.z, 8.0, 1e-6);
    EXPECT_NEAR(viewParams.eye.x, -1.589355, 1e-4);
    EXPECT_NEAR(viewParams.eye.y, 0.0, 1e-4);
    EXPECT_NEAR(viewParams.eye.z, 7.840533, 1e-4);
    // released: moving on turns nothing
    vel_vector after = viewParams.eye;
    pointerTo(baseX + 400, baseY + 350);
    EXPECT_NEAR(angleBetween(after, viewParams.eye), 0.0, 1e-6);
}

// What the build registers, button by button, seen through real drags: the
// left button's vertical movement turns about the right direction, the
// right button moves the eye forwards for both directions; neither jumps by
// the pointer's free movement before the press.
TEST_F(ViewGui, EachButtonDrivesItsOwnNavigator)
{
    smallStructure();
    std::vector<TraceCall> registered;
    {
        vel_traceClear();
        vel_traceEnable(1);
        registerMouseHandling();
        vel_traceEnable(0);
        registered = parseTrace(vel_traceText());
        vel_traceClear();
    }
    // left (0) and right (2) with every scale 0, the default navigation,
    // then the middle button (1) for spheres
    ASSERT_EQ(registered.size(), 4u);
    EXPECT_EQ(registered[0].name, "vel_navigationMouseDefaultParams");
    EXPECT_EQ(registered[0].numbers, (std::vector<double>{0, 0, 0, 0, 0}));
    EXPECT_EQ(registered[1].name, "vel_navigationMouseDefaultParams");
    EXPECT_EQ(registered[1].numbers, (std::vector<double>{2, 0, 0, 0, 0}));
    EXPECT_EQ(registered[2].name, "vel_navigationMouse");
    EXPECT_EQ(registered[3].name, "vel_callbackMouseSet");
    EXPECT_EQ(registered[3].numbers, (std::vector<double>{1, (double)vel_class_sphere}));

    build();
    frames(2);
    int x, y, rootX, rootY;
    vel_mouseGet(vel_win_current, &x, &y, &rootX, &rootY, nullptr);
    int baseX = rootX - x, baseY = rootY - y;

    // Left, 10 pixels down the screen after 150 pixels of free movement:
    // about right (+x) by 2 x 0.01 x -10 = -0.2 from the eye at (0, 0, 8).
    pointerTo(baseX + 150, baseY + 300);
    pointerTo(baseX + 300, baseY + 300);
    button(1, true);
    frames(2);
    EXPECT_NEAR(viewParams.eye.y, 0.0, 1e-6) << "no jump on the press";
    pointerTo(baseX + 300, baseY + 310);
    button(1, false);
    EXPECT_NEAR(viewParams.eye.x, 0.0, 1e-4);
    EXPECT_NEAR(viewParams.eye.y, 1.589355, 1e-4);
    EXPECT_NEAR(viewParams.eye.z, 7.840533, 1e-4);

    // Right, after free movement across the window: 10 pixels to the right
    // and then 10 up, each forwards (along -z) by 2 x zoomStep x 10 with
    // zoomStep = 3^0.4 x 0.003 = 0.00465554 for the three atoms.
    setInitialView();
    pointerTo(baseX + 450, baseY + 300);
    pointerTo(baseX + 150, baseY + 350);
    button(3, true);
    frames(2);
    EXPECT_NEAR(viewParams.eye.z, 8.0, 1e-6) << "no jump on the press";
    pointerTo(baseX + 160, baseY + 350);
    EXPECT_NEAR(viewParams.eye.z, 8.0 - 0.0931107, 1e-4);
    pointerTo(baseX + 160, baseY + 340);
    button(3, false);
    EXPECT_NEAR(viewParams.eye.x, 0.0, 1e-5);
    EXPECT_NEAR(viewParams.eye.y, 0.0, 1e-5);
    EXPECT_NEAR(viewParams.eye.z, 8.0 - 2 * 0.0931107, 1e-4);
}

// At the end of every frame the origin of a button whose navigator did not
// run moves to the pointer; the origin of one that ran stays where its
// navigator left it.
TEST_F(ViewGui, FrameEndMovesIdleDragOriginsToThePointer)
{
    QCursor::setPos(300, 300);
    QApplication::processEvents();
    int x, y, rootX, rootY;
    vel_mouseGet(vel_win_current, &x, &y, &rootX, &rootY, nullptr);
    ASSERT_EQ(rootX, 300);
    ASSERT_EQ(rootY, 300);
    leftDragOriginX = leftDragOriginY = 7;
    rightDragOriginX = rightDragOriginY = 9;
    frames(1);
    EXPECT_EQ(leftDragOriginX, 300);
    EXPECT_EQ(leftDragOriginY, 300);
    EXPECT_EQ(rightDragOriginX, 300);
    EXPECT_EQ(rightDragOriginY, 300);

    // A navigator that runs inside the frame's event check keeps its origin.
    for (int which = 0; which < 2; which++) {
        bool ran = false;
        QTimer::singleShot(0, [&ran, which] {
            if (which == 0) {
                leftDragActive = 1;
                leftDragOriginX = leftDragOriginY = 7;
            } else {
                rightDragActive = 1;
                rightDragOriginX = rightDragOriginY = 9;
            }
            ran = true;
        });
        for (int k = 0; k < 20 && !ran; k++)
            frames(1);
        ASSERT_TRUE(ran) << "the queued navigator never ran";
        EXPECT_EQ(leftDragOriginX, which == 0 ? 7 : 300) << which;
        EXPECT_EQ(leftDragOriginY, which == 0 ? 7 : 300) << which;
        EXPECT_EQ(rightDragOriginX, which == 1 ? 9 : 300) << which;
        EXPECT_EQ(rightDragOriginY, which == 1 ? 9 : 300) << which;
        frames(1);
        EXPECT_EQ(leftDragOriginX, 300) << "idle again in the next frame";
        EXPECT_EQ(rightDragOriginX, 300) << "idle again in the next frame";
    }
}

// A middle press in line mode prints the atom under the pointer once,
// however long it is held; a second press prints again; far from every atom
// nothing is printed.
TEST_F(ViewGui, MiddlePressPicksOnScreenOncePerPress)
{
    smallStructure();
    build();
    frames(3);
    int rx, ry;
    rootSpotOf(vel_vectorSet(atoms[3].x, atoms[3].y, atoms[3].z), &rx, &ry);
    pointerTo(rx, ry);
    testing::internal::CaptureStdout();
    button(2, true);
    frames(8);
    button(2, false);
    std::string once = testing::internal::GetCapturedStdout();
    EXPECT_EQ(once.rfind("\nAtom Number:     3\nChemical Name:   Nitrogen (N)\n", 0), 0u) << once;
    EXPECT_EQ(once.find("Atom Number:", 10), std::string::npos) << "one block per press";

    testing::internal::CaptureStdout();
    middlePress();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Atom Number:     3\n"), std::string::npos);

    rootSpotOf(vel_vectorSet(0.0f, -3.0f, 0.0f), &rx, &ry);
    pointerTo(rx, ry);
    testing::internal::CaptureStdout();
    middlePress();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "far from every atom";
}

// Among the atoms whose disc holds the pointer the nearest to the eye wins,
// not the one nearest the pointer.
TEST_F(ViewGui, ScreenPickTakesTheNearestAtomInDepth)
{
    smallStructure();
    putAtom(5, 3.0f, 2.0f, -3.0f, "S");     // behind atom 3, close beside it on the screen
    build();
    frames(3);
    int rx, ry;
    rootSpotOf(vel_vectorSet(3.0f, 2.0f, -3.0f), &rx, &ry);
    pointerTo(rx, ry);
    testing::internal::CaptureStdout();
    middlePress();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("\nAtom Number:     3\n", 0), 0u) << out;

    atoms[5].z = 2.0f;                       // now in front of atom 3
    rootSpotOf(vel_vectorSet(3.0f, 2.0f, 0.0f), &rx, &ry);
    pointerTo(rx, ry);
    testing::internal::CaptureStdout();
    middlePress();
    out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("\nAtom Number:     5\n", 0), 0u) << out;
}

// The view of the screen-pick tests: the eye on the z axis at `distance`
// from the origin, looking down -z with y up, handed to the library.
void lookAlongZ(float distance)
{
    viewParams = ViewParams{};
    viewParams.eye = vel_vectorSet(0.0f, 0.0f, distance);
    viewParams.view = vel_vectorSet(0.0f, 0.0f, -1.0f);
    viewParams.up = vel_vectorSet(0.0f, 1.0f, 0.0f);
    vel_windowViewParamsSet(vel_win_current, &viewParams);
}

// The atom numbers that a screen pick at window pixel (x, y) prints.
std::vector<int> pickedAt(int x, int y)
{
    testing::internal::CaptureStdout();
    pickAtomOnScreen(x, y);
    std::string out = testing::internal::GetCapturedStdout();
    std::vector<int> found;
    const std::string label = "Atom Number:     ";
    for (size_t at = out.find(label); at != std::string::npos; at = out.find(label, at + 1))
        found.push_back(std::atoi(out.c_str() + at + label.size()));
    return found;
}

// The pick disc by its numbers. An atom on the axis of view projects to the
// middle of the window (W / 2, H / 2); its pick spot lies 13 pixels above
// that, and the disc around the spot has the radius
// ((W + H) / 2) x (1 - depth^3) x 0.3 x 1.8 - 1: about 87 pixels at 10
// units from the eye (depth 0.9), 8.5 at 100 (depth 0.99).
TEST_F(ViewGui, ScreenPickDiscAroundTheSpot)
{
    const int W = mainBox->width(), H = mainBox->height();
    ASSERT_EQ(W, 600);
    ASSERT_EQ(H, 600);
    putAtom(1, 0.0f, 0.0f, 0.0f, "N");
    const struct { float distance; double radius; } views[] = {{10.0f, 86.73}, {100.0f, 8.53}};
    for (const auto &v : views) {
        lookAlongZ(v.distance);
        vel_vector s = vel_vectorScrnPos(vel_vectorSet(0.0f, 0.0f, 0.0f));
        ASSERT_NEAR(s.x, 0.0, 1e-6);
        ASSERT_NEAR(s.y, 0.0, 1e-6);
        double radius = 600 * ((1.0 - (double)s.z * s.z * s.z) * 0.3) * 1.8 - 1.0;
        ASSERT_NEAR(radius, v.radius, 0.05) << "depth " << s.z;
        const int spotX = 300, spotY = 300 - 13;
        const int inside = (int)std::floor(radius) - 1, outside = (int)std::ceil(radius) + 1;
        const std::vector<int> one = {1}, none = {};
        EXPECT_EQ(pickedAt(spotX, spotY), one) << v.distance;
        EXPECT_EQ(pickedAt(spotX, spotY - inside), one) << v.distance;
        EXPECT_EQ(pickedAt(spotX, spotY + inside), one) << v.distance;
        EXPECT_EQ(pickedAt(spotX - inside, spotY), one) << v.distance;
        EXPECT_EQ(pickedAt(spotX + inside, spotY), one) << v.distance;
        EXPECT_EQ(pickedAt(spotX, spotY - outside), none) << v.distance;
        EXPECT_EQ(pickedAt(spotX, spotY + outside), none) << v.distance;
        EXPECT_EQ(pickedAt(spotX - outside, spotY), none) << v.distance;
        EXPECT_EQ(pickedAt(spotX + outside, spotY), none) << v.distance;
    }
}

// Equal depth goes to the lower atom number; an atom at depth 0 or less
// (between the eye and the near plane) is never picked and never hides the
// atom behind it.
TEST_F(ViewGui, ScreenPickDepthRules)
{
    lookAlongZ(10.0f);
    putAtom(5, 0.0f, 0.0f, 0.0f, "O");
    putAtom(2, 0.0f, 0.0f, 0.0f, "C");       // the same place: the same depth
    EXPECT_EQ(pickedAt(300, 287), (std::vector<int>{2}));

    resetStore();
    atomCount = 0;
    putAtom(1, 0.0f, 0.0f, 9.5f, "N");       // half a unit before the eye, inside the near plane
    ASSERT_LE(vel_vectorScrnPos(vel_vectorSet(0.0f, 0.0f, 9.5f)).z, 0.0f);
    EXPECT_EQ(pickedAt(300, 287), (std::vector<int>{}));
    putAtom(3, 0.0f, 0.0f, 0.0f, "S");
    EXPECT_EQ(pickedAt(300, 287), (std::vector<int>{3}));
}

// With spheres drawn the library's sphere pick reports the atom; both atoms
// at one position are printed, and the screen pick stays off.
TEST_F(ViewGui, MiddleClickOnSpherePrintsEveryAtomThere)
{
    smallStructure();
    putAtom(4, 3.0f, 2.0f, 0.0f, "O");     // an alternate location of atom 3
    drawAtoms = 1;
    build();
    frames(3);
    int rx, ry;
    rootSpotOf(vel_vectorSet(3.0f, 2.0f, 0.0f), &rx, &ry);
    pointerTo(rx, ry + 13);                  // the sphere's centre itself
    testing::internal::CaptureStdout();
    button(2, true);
    frames(6);
    button(2, false);
    std::string out = testing::internal::GetCapturedStdout();
    size_t three = out.find("Atom Number:     3\n");
    size_t four = out.find("Atom Number:     4\n");
    EXPECT_NE(three, std::string::npos) << out;
    EXPECT_NE(four, std::string::npos) << out;
    EXPECT_LT(three, four);
    EXPECT_EQ(out.find("Atom Number:", four + 5), std::string::npos) << "nothing else, nothing twice";
}

// Spheres switched on but none built (chain colouring): a middle press
// prints nothing.
TEST_F(ViewGui, MiddleClickWithoutSpheresInSphereModePrintsNothing)
{
    smallStructure();
    drawAtoms = 1;
    colourByChain = 1;
    build();
    vel_SMSDelete(sceneObjectList, 1);       // the sphere builder makes none here
    sceneObjectList = vel_SMSObjListNew();
    frames(3);
    int rx, ry;
    rootSpotOf(vel_vectorSet(atoms[3].x, atoms[3].y, atoms[3].z), &rx, &ry);
    pointerTo(rx, ry);
    testing::internal::CaptureStdout();
    middlePress();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

//------------------------------------------------------------------------------
// A real file end to end
//------------------------------------------------------------------------------
// Ubiquitin read and bonded draws one line per bond (more for multiple
// bonds) plus a cross per atom, and a middle press on an atom prints it.
TEST_F(ViewGui, RealStructureDrawsAndPicks)
{
    FILE *file = std::fopen(MOLVANE_TEST_DATA "/1ubq.pdb", "r");
    ASSERT_NE(file, nullptr);
    testing::internal::CaptureStdout();
    atomCount = readStructureFile(file);
    perceiveBonds();
    std::fclose(file);
    testing::internal::GetCapturedStdout();
    ASSERT_GT(atomCount, 600);
    build();
    std::vector<std::vector<TraceCall>> trace = tracedFrames(2);
    int presentAtoms = 0;
    for (int i = 1; i <= atomCount; i++)
        presentAtoms += atoms[i].present == 1;
    std::vector<TraceLine> lines = tracedLines(trace[1]);
    size_t bondLines = 0, crossLines = 0;
    for (const TraceLine &line : lines)
        (line.vertices.size() == 3 ? bondLines : crossLines)++;
    EXPECT_GE(bondLines, (size_t)(nextBondIndex - 1));
    EXPECT_EQ(crossLines, (size_t)(3 * presentAtoms));

    int rx, ry;
    int atom = 1;
    while (atoms[atom].present != 1)
        atom++;
    // the nearest atom around the spot wins; any atom block will do here
    rootSpotOf(vel_vectorSet(atoms[atom].x, atoms[atom].y, atoms[atom].z), &rx, &ry);
    pointerTo(rx, ry);
    testing::internal::CaptureStdout();
    middlePress();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("\nAtom Number:     ", 0), 0u) << out;
    EXPECT_NE(out.find("Bonded to Atoms: "), std::string::npos);
}

} // namespace
