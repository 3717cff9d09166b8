// startup.cpp - the start-up order: the Qt application, the window and its
// menus, libvelkor drawing into the window, the palette, an empty scene,
// the recent entries and the welcome text.
#include "startup.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QByteArray>
#include <QEvent>
#include <QWidget>
#include <xcb/xcb.h>

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

// A window destroyed by the window system (a client killed from outside,
// `xdotool windowclose`) sends no close request, and Qt goes on as if it
// still had its window: the frame loop would keep turning with nothing to
// draw into. The X server's notice of the destruction ends the program as
// "Exit" does. (A lost X connection already ends it inside Qt and Xlib.)
class WindowDestroyFilter : public QAbstractNativeEventFilter {
public:
    explicit WindowDestroyFilter(WId window) : window(window) {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
            reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window == window)
            std::exit(1);
        return false;
    }

private:
    WId window;     // the X window of mainBox
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
    qApp->installNativeEventFilter(new WindowDestroyFilter(mainBox->winId()));

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
