// testwindow.h - the one window of a test or benchmark process that draws
// with libvelkor: the Qt application, a vertical box without margins (a
// menu bar with one "File" entry above the drawing area when asked), the
// library initialised to draw into it, shown, on a black background. The
// process asks for the library's surface format and heap as the viewer
// does, and ends with status 2 when the display has no OpenGL 3.3.
// Header only; link the target velkor_testwindow.
#ifndef VELKOR_TESTWINDOW_H
#define VELKOR_TESTWINDOW_H

#include <QApplication>
#include <QMenuBar>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdlib>

#include <velkor/velkor.h>

// Opens the window at the top left of the screen the first time; every
// later call returns that same window, whatever size it asks for. The
// application and the window live until the process ends.
inline QWidget *velTestWindowOpen(int width, int height, bool withMenuBar = false)
{
    static QWidget *box = nullptr;
    if (box != nullptr)
        return box;
    static int argc = 1;
    static char name[] = "velkor-test";
    static char *argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) {
        vel_surfaceFormatDefaultSet();
        new QApplication(argc, argv);
    }
    box = new QWidget();
    QVBoxLayout *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (withMenuBar) {
        QMenuBar *bar = new QMenuBar(box);
        bar->addMenu("File");
        layout->setMenuBar(bar);
    }
    box->resize(width, height);
    box->move(0, 0);
    vel_opt_disp = box;
    vel_opt_splash = 0;
    vel_opt_output = 0;
    if (!vel_initialise(&argc, argv))
        std::exit(2);
    vel_heapPrepare();
    box->show();
    vel_windowBackgroundColourSet(vel_win_current, 0.0f, 0.0f, 0.0f);
    return box;
}

#endif
