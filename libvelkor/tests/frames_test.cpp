// frames_test.cpp - how the window's frames are drawn, kept and skipped, in
// a real window under X: an uncovered window shows the kept picture and
// draws nothing, a frame that a waiting command overtakes is broken off and
// never shown, small objects drawn as stand-ins look as their meshes do,
// and a coarse sphere large on the screen keeps its facets.
#include <epoxy/gl.h>

#include "internal.h"
#include "testframe.h"
#include "testwindow.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class Frames : public testing::Test {
protected:
    void SetUp() override { resetView(); }
    void TearDown() override
    {
        velFrames.breakMs = 40;
        velStandInsOn = 1;
    }
};

// A frame as the program draws one, without a copy for the test: an
// unchanged frame is skipped.
void plainFrame(const std::function<void()> &draw, bool eventsFirst = true)
{
    if (eventsFirst) vel_eventsCheck();
    vel_frameBegin();
    draw();
    vel_windowViewParamsSet(vel_win_current, &testView);
    vel_frameEnd();
}

void settle()
{
    for (int i = 0; i < 20; i++) {
        QApplication::processEvents();
        usleep(10000);
    }
}

// A press and release of `button` at `at` in `receiver`, as the window
// system would deliver them, waiting in Qt's queue.
void postClick(QObject *receiver, QPointF at, QPointF global, Qt::MouseButton button)
{
    QCoreApplication::postEvent(receiver, new QMouseEvent(QEvent::MouseButtonPress, at, global, button, button,
                                                          Qt::NoModifier));
    QCoreApplication::postEvent(receiver, new QMouseEvent(QEvent::MouseButtonRelease, at, global, button,
                                                          Qt::NoButton, Qt::NoModifier));
}

vel_objList listOf(vel_class cls, void *records, size_t size, size_t count)
{
    vel_objList list = vel_SMSObjListNew();
    for (size_t i = 0; i < count; i++) vel_SMSObjectAdd(list, vel_objectNew(cls, (char *)records + i * size));
    return list;
}

// While the frame loop stands still (a modal dialog runs its own loop, a
// menu closes over the window), an uncovered window shows the last frame
// again from where it is kept: nothing of the scene is drawn, then or by
// the next frame, which finds the picture unchanged.
TEST_F(Frames, UncoveredWindowShowsTheKeptPicture)
{
    static vel_sphereData s{2.0f, 6, 6, 0, vel_matrixSet(0, 0, 0, 0, 0, 0), 0};
    s.surface = materialSurface(107, 0, 0.9f, 0);
    vel_objList list = listOf(vel_class_sphere, &s, sizeof s, 1);
    auto draw = [&] { vel_SMSDisplayUnCulled(vel_win_current, list); };
    plainFrame(draw);
    int cx, cy;
    velGlueWindowToRoot(velWindow.width / 2, velWindow.height / 2, &cx, &cy);
    QWidget cover;
    cover.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    cover.setStyleSheet("background: white");
    cover.setGeometry(cx - 60, cy - 60, 120, 120);
    cover.show();
    settle();
    auto screenAt = [&] { return QGuiApplication::primaryScreen()->grabWindow(0, cx, cy, 1, 1).toImage().pixel(0, 0); };
    EXPECT_GT(qRed(screenAt()), 200);  // covered
    uint64_t drawn = velFrames.drawn, kept = velFrames.keptShown;
    cover.hide();
    settle();  // no frame meanwhile: only the kept picture can paint it
    QRgb shown = screenAt();
    EXPECT_GT(qGreen(shown), 120);
    EXPECT_LT(qRed(shown), 60);
    EXPECT_GT(velFrames.keptShown, kept);
    plainFrame(draw);
    EXPECT_EQ(velFrames.drawn, drawn);
    vel_SMSDelete(list, 1);
}

// Between the draws of a frame Qt may deliver what runs no code of the
// program. A menu item chosen meanwhile is held back: the frame is broken
// off and never shown, the item's command runs first thing in the next
// event check, and the next frame is drawn. A button pressed in the GL
// window also waits for the event check, but breaks nothing.
TEST_F(Frames, WaitingCommandBreaksTheFrameOff)
{
    static vel_sphereData s{1.0f, 6, 6, 0, vel_matrixSet(0, 0, 0, 0, 0, 0), 0};
    s.surface = materialSurface(108, 0.9f, 0.9f, 0);
    vel_objList list = listOf(vel_class_sphere, &s, sizeof s, 1);
    auto draw = [&] { vel_SMSDisplayUnCulled(vel_win_current, list); };
    plainFrame(draw);

    QMenu menu;
    int chosen = 0;
    QAction *item = menu.addAction("Item");
    QObject::connect(item, &QAction::triggered, [&] { chosen++; });
    menu.popup(QPoint(40, 40));
    settle();
    QPointF at = menu.actionGeometry(item).center();
    postClick(&menu, at, menu.mapToGlobal(at), Qt::LeftButton);
    velFrames.breakMs = 0;  // events between every two draws
    testView.eye.x += 0.5f;  // a new picture to draw
    uint64_t drawn = velFrames.drawn, broken = velFrames.broken;
    plainFrame(draw, false);
    EXPECT_EQ(chosen, 0) << "the command ran while the frame was drawn";
    EXPECT_EQ(velFrames.broken, broken + 1);
    EXPECT_EQ(velFrames.drawn, drawn) << "a broken frame was shown";
    vel_eventsCheck();
    EXPECT_EQ(chosen, 1);
    plainFrame(draw, false);
    EXPECT_EQ(velFrames.drawn, drawn + 1);

    QWindow *gl = nullptr;
    for (QWindow *w : QGuiApplication::allWindows())
        if (w->surfaceType() == QSurface::OpenGLSurface) gl = w;
    ASSERT_NE(gl, nullptr);
    QPointF middle(velWindow.width / 2.0, velWindow.height / 2.0);
    postClick(gl, middle, gl->mapToGlobal(middle), Qt::MiddleButton);
    testView.eye.x -= 0.5f;
    plainFrame(draw, false);
    EXPECT_EQ(velFrames.drawn, drawn + 2);
    int buttons[3];
    vel_mouseGet(vel_win_current, nullptr, nullptr, nullptr, nullptr, buttons);
    EXPECT_EQ(buttons[1], 1) << "the press reached the library while the frame was drawn";
    vel_eventsCheck();
    vel_mouseGet(vel_win_current, nullptr, nullptr, nullptr, nullptr, buttons);
    EXPECT_EQ(buttons[1], 0) << "the press was lost";
    vel_SMSDelete(list, 1);
}

// Spheres and cylinders a few pixels wide are drawn as stand-ins, ray-cast
// per pixel, and look as their meshes do: the same pixels lit, in about the
// same colours, however a tube lies, open or closed, plain or two-coloured,
// in the middle of the view and towards its corners.
TEST_F(Frames, StandInsLookLikeTheirMeshes)
{
    const uint8_t red[3] = {255, 48, 48}, blue[3] = {48, 48, 255};
    std::string path = twoColourImage("frames", red, blue);
    vel_paletteTextureSet(vel_palette_default, 109, path.c_str());
    materialSurface(109, 1, 1, 1);
    vel_surface plain = materialSurface(110, 0.2f, 0.9f, 0.3f), textured = vel_surfaceParamsNew(4, 0, 109, 109);
    const vel_vector ways[6] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}, {-1, 0.3f, 2}, {0.2f, -1, -0.6f}};
    static std::vector<vel_sphereData> spheres;
    static std::vector<vel_cylinderData> tubes;
    spheres.clear();
    tubes.clear();
    int n = 0;
    for (int i = 0; i < 6; i++)
        for (int j = 0; j < 4; j++, n++) {
            vel_vector at = vel_vectorSet(-17.5f + 7 * i, -11 + 7.3f * j, 0);
            spheres.push_back(vel_sphereData{0.35f, 9, 9, plain, vel_matrixSet(0, 0, 0, at.x, at.y, at.z), 0});
            vel_vector d = vel_vectorNormalize(ways[n % 6]), z = vel_vectorSet(0, 0, 1);
            vel_vector axis = vel_vectorCrossProduct(z, d);
            float angle = std::acos(vel_vectorDotProduct(z, d)) * 57.29578f;
            vel_matrix turn = vel_vectorMag(axis) > 1e-6f ? vel_matrixQuaternionConvert(vel_quaternionSet(axis, angle))
                                                          : vel_matrixSet(0, 0, 0, 0, 0, 0);
            vel_vector centre = vel_vectorAdd(at, vel_vectorScalar(d, 1.2f));
            tubes.push_back(vel_cylinderData{0.15f, 1.6f, 8, n % 2, n % 3 ? plain : textured,
                                             vel_matrixXYZSet(turn, centre), 0});
        }
    vel_objList list = listOf(vel_class_sphere, spheres.data(), sizeof(vel_sphereData), spheres.size());
    vel_objList tubeList = listOf(vel_class_cylinder, tubes.data(), sizeof(vel_cylinderData), tubes.size());
    testView.eye = vel_vectorSet(0, 0, 40);
    std::vector<uint8_t> meshes;
    for (int standIns = 0; standIns < 2; standIns++) {
        velStandInsOn = standIns;
        frame([&] {
            vel_SMSDisplayUnCulled(vel_win_current, list);
            vel_SMSDisplayUnCulled(vel_win_current, tubeList);
        });
        EXPECT_EQ(velStandInsDrawn, standIns ? spheres.size() + tubes.size() : 0u);
        if (!standIns) meshes = velCapture.rgba;
    }
    ASSERT_EQ(meshes.size(), velCapture.rgba.size());
    int litMeshes = 0, litStandIns = 0, either = 0, differ = 0;
    for (size_t i = 0; i < meshes.size(); i += 4) {
        int a = meshes[i] + meshes[i + 1] + meshes[i + 2], b = velCapture.rgba[i] + velCapture.rgba[i + 1] + velCapture.rgba[i + 2];
        litMeshes += a > 60;
        litStandIns += b > 60;
        if (a > 60 || b > 60) {
            either++;
            differ += std::abs(meshes[i] - velCapture.rgba[i]) + std::abs(meshes[i + 1] - velCapture.rgba[i + 1]) +
                          std::abs(meshes[i + 2] - velCapture.rgba[i + 2]) > 120;
        }
    }
    EXPECT_GT(litMeshes, 24 * 40);
    EXPECT_NEAR(litStandIns, litMeshes, 0.1 * litMeshes);
    EXPECT_LT(differ, 0.15 * either) << differ << " of " << either << " lit pixels differ";
    vel_SMSDelete(list, 1);
    vel_SMSDelete(tubeList, 1);
    std::remove(path.c_str());
}

// A Low sphere large on the screen is the mesh its record asks for: eight
// facets around. Seen along its axis, its outline reaches out to a corner
// but falls short of the true circle halfway between two corners.
TEST_F(Frames, LowSphereUpCloseStaysFaceted)
{
    static vel_sphereData s{1.2f, 4, 4, 0, vel_matrixSet(0, 0, 0, 0, 0, 0), 0};  // about 50 pixels across
    s.surface = materialSurface(111, 0.9f, 0.9f, 0.9f);
    vel_objList list = listOf(vel_class_sphere, &s, sizeof s, 1);
    frame([&] { vel_SMSDisplayUnCulled(vel_win_current, list); });
    EXPECT_EQ(velStandInsDrawn, 0u);
    const float rho = 0.97f * s.radius, half = 22.5f / 57.29578f;  // inside the circle, outside the octagon's side
    Rgb corner = pixelAt(vel_vectorSet(rho, 0, 0)), side = pixelAt(vel_vectorSet(rho * std::cos(half), rho * std::sin(half), 0));
    EXPECT_GT(corner.r + corner.g + corner.b, 90);
    EXPECT_LT(side.r + side.g + side.b, 30) << "the sphere is round, not faceted";
    vel_SMSDelete(list, 1);
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("DISPLAY")) {
        std::printf("velkor_frames_test: no DISPLAY, nothing to test\n");
        return 0;
    }
    velTestWindowOpen(400, 340, true);
    return RUN_ALL_TESTS();
}
