// startup.cpp - the start-up order: the Qt application, the window and its
// menus, libvelkor drawing into the window, the palette, an empty scene,
// the recent entries and the welcome text.
#include "startup.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include "app/files.h"
#include "app/gui.h"
#include "app/menus.h"
#include "app/viewstate.h"
#include "scene/scene.h"

namespace {

// Closing the window through the window system ends the program as "Exit"
// does: without it the process would go on looping with no window.
class WindowCloseFilter : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == mainBox && event->type() == QEvent::Close)
            std::exit(1);
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void startUp(int &argc, char **argv)
{
    // The application and everything below live until the process ends.
    new QApplication(argc, argv);
    // QApplication has set the C library to the user's locale. The console
    // numbers keep their "." whatever the locale ("1.55 Ang", not "1,55"),
    // so printf goes back to the C rules for numbers; Qt's own widgets still
    // follow the user's locale through QLocale.
    std::setlocale(LC_NUMERIC, "C");
    buildMenus();
    mainBox->installEventFilter(new WindowCloseFilter());

    vel_opt_disp = mainBox;
    vel_opt_splash = 0;
    vel_opt_output = 0;
    vel_initialise(&argc, argv);
    vel_windowBackgroundColourSet(vel_win_current, 0.0f, 0.0f, 0.0f);
    setUpPalette();
    sceneObjectList = vel_SMSObjListNew();
    updateRecentFiles();

    printf("Welcome to Molvane\n");
    gui->printHelp();
}
