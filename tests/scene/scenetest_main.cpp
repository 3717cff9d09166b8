// scenetest_main.cpp - runs the scene tests inside a Qt application with
// the library drawing into a small window, the palette registered once
// (its library calls kept for the palette tests).
#include "scenetest.h"
#include "common/viewerwindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <cstring>
#include <filesystem>

std::string paletteTrace;

void putAtom(int index, const char *element, float x, float y, float z, int chainIndex, int residueClass)
{
    AtomRecord &a = atoms[index];
    std::memset(&a, 0, sizeof a);
    std::snprintf(a.element, sizeof a.element, "%s", element);
    a.x = x;
    a.y = y;
    a.z = z;
    a.present = 1;
    a.paletteIndex = elementPaletteIndex(element);
    a.vdwRadius = elementRadius(element);
    a.atomicWeight = elementAtomicWeight(element);
    a.valence = elementValence(element);
    a.chain = ' ';
    a.chainIndex = chainIndex;
    a.residueClass = residueClass;
    if (index > atomCount)
        atomCount = index;
}

int putBond(int a, int b, int order, int fromConect)
{
    int bond = nextBondIndex;
    addBond(a, b, fromConect);
    bonds[bond].order = order;
    return bond;
}

vel_vector transformPoint(const vel_matrix &m, float x, float y, float z)
{
    const float *e = m.m;
    return vel_vectorSet(e[0] * x + e[4] * y + e[8] * z + e[12], e[1] * x + e[5] * y + e[9] * z + e[13],
                         e[2] * x + e[6] * y + e[10] * z + e[14]);
}

QImage drawScene(vel_vector eye, int frames)
{
    viewParams = {};
    viewParams.eye = eye;
    viewParams.view = vel_vectorSet(0.0f, 0.0f, -1.0f);
    viewParams.up = vel_vectorSet(0.0f, 1.0f, 0.0f);
    for (int i = 0; i < frames; i++) {
        vel_eventsCheck();
        vel_windowViewParamsSet(vel_win_current, &viewParams);
        vel_frameBegin();
        vel_SMSDisplayUnCulled(vel_win_current, sceneObjectList);
        vel_frameEnd();
    }
    QApplication::processEvents();
    QThread::msleep(50);
    QImage full = QGuiApplication::primaryScreen()->grabWindow(mainBox->winId()).toImage();
    int width = 0, height = 0;
    vel_windowSizeGet(vel_win_current, &width, &height);
    // The drawing area is the bottom of the window, below anything it holds.
    return full.copy(0, full.height() - height, width, height);
}

void pixelOf(const QImage &image, vel_vector point, int *x, int *y)
{
    vel_vector s = vel_vectorScrnPos(point);
    *x = (int)((s.x + 1.0f) * 0.5f * image.width());
    *y = (int)((1.0f - s.y) * 0.5f * image.height());
}

void SceneTest::SetUp()
{
    resetStore();
    resetRenderSettings();
    bondCount = 0;
    sceneObjectList = vel_SMSObjListNew();
}

void SceneTest::TearDown()
{
    vel_SMSDelete(sceneObjectList, 1);
    sceneObjectList = nullptr;
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Textures are looked up relative to the working directory.
    std::filesystem::current_path(MOLVANE_SOURCE_ROOT);

    vel_traceClear();
    vel_traceEnable(1);
    openViewerTestWindow(320, 320);
    vel_traceEnable(0);
    paletteTrace = vel_traceText();
    vel_traceClear();

    return RUN_ALL_TESTS();
}
