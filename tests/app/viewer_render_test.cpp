// viewer_render_test.cpp - the viewer's picture against molvane-render's:
// the same file and settings loaded in the viewer running in this process,
// its 3D view grabbed from the X screen, and the renderer run without a
// display at the size of that view. They must show the same picture, within
// the tolerance of the golden pictures.
#include <cstdio>
#include <string>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>

#include "app/files.h"
#include "app/settings.h"
#include "app/viewstate.h"
#include "apptest.h"
#include "common/picturecompare.h"
#include "view/view.h"

namespace {

// The viewer's 3D view as it is on the screen.
Picture grabView()
{
    Picture p;
    QWindow *view = nullptr;
    for (QWindow *w : QGuiApplication::allWindows())
        if (w->surfaceType() == QSurface::OpenGLSurface && w->isExposed())
            view = w;
    if (!view)
        return p;
    int width = 0, height = 0;
    vel_windowSizeGet(vel_win_current, &width, &height);
    QPoint at = view->mapToGlobal(QPoint(0, 0));
    QImage shot = QGuiApplication::primaryScreen()
                      ->grabWindow(0, at.x(), at.y(), width, height)
                      .toImage()
                      .convertToFormat(QImage::Format_RGB888);
    p.width = shot.width();
    p.height = shot.height();
    for (int y = 0; y < p.height; y++)
        p.rgb.insert(p.rgb.end(), shot.constScanLine(y), shot.constScanLine(y) + p.width * 3);
    return p;
}

Picture readPicture(const std::string &path)
{
    Picture p;
    QImage image(QString::fromStdString(path));
    if (image.isNull())
        return p;
    image = image.convertToFormat(QImage::Format_RGB888);
    p.width = image.width();
    p.height = image.height();
    for (int y = 0; y < p.height; y++)
        p.rgb.insert(p.rgb.end(), image.constScanLine(y), image.constScanLine(y) + p.width * 3);
    return p;
}

// Runs molvane-render with no X display; returns its exit status.
int renderWithoutDisplay(const QStringList &arguments, std::string *errors)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QString::fromStdString(scratchDir()));
    process.start(MOLVANE_RENDER, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    *errors = process.readAllStandardError().toStdString();
    return process.exitCode();
}

struct Case {
    const char *name;
    void (*settings)();            // as the menus would set them before the load
    QStringList options;           // the same for molvane-render
};

} // namespace

TEST(RenderMatchesViewer, SameSettingsSameSizeSamePicture)
{
    const std::vector<Case> cases = {
        {"lines", [] {}, {}},
        {"balls_sticks",
         [] {
             drawAtoms = 1;
             drawAtomsAsLines = 0;
             drawBondsIn3D = 1;
             drawBondsAsLines = 0;
         },
         {"--atoms", "balls", "--bonds", "sticks"}},
        {"cpk", [] { drawSpaceFilled = 1; drawAtomsAsLines = 0; }, {"--atoms", "cpk"}},
    };
    for (const Case &c : cases) {
        resetSettings();
        c.settings();
        {
            ConsoleCapture console;
            loadChosenFile(dataFile("1ubq.pdb").c_str());
            runUntilReady();
            for (int i = 0; i < 3; ++i)
                runFrame(sceneObjectList);
        }
        Picture viewer = grabView();
        ASSERT_GT(viewer.width, 100) << "no 3D view on the screen";
        ASSERT_GT(viewer.height, 100);

        std::string output = scratchDir() + "/viewer_" + c.name + ".png";
        // the viewer's own look: one sample, no depth cue, its first view
        QStringList arguments = {QString::fromStdString(dataFile("1ubq.pdb")), "--quiet", "--size",
                                 QString("%1x%2").arg(viewer.width).arg(viewer.height), "-o",
                                 QString::fromStdString(output), "--samples", "1", "--fog", "0", "--viewer-view"};
        arguments += c.options;
        std::string errors;
        ASSERT_EQ(renderWithoutDisplay(arguments, &errors), 0) << errors;
        Picture rendered = readPicture(output);
        ASSERT_EQ(rendered.width, viewer.width);
        ASSERT_EQ(rendered.height, viewer.height);

        int drawn = 0;
        double share = drawnDifference(viewer, rendered, &drawn);
        RecordProperty(std::string("difference_") + c.name, std::to_string(share));
        EXPECT_GT(drawn, 100) << c.name;
        EXPECT_LE(share, 0.08) << c.name << ": " << share * 100 << "% of " << drawn << " drawn blocks differ";
    }
    resetSettings();
}
