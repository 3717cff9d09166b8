// startup.cpp - the start-up order: a display to show the window on, the
// Qt application, the window and its menus, libvelkor drawing into the
// window, the palette, an empty scene, the recent entries, the welcome text
// and a file named on the command line; files dropped on the window.
#include "startup.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
#include "molecule/molecule.h"
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

// The value of Qt's option `name` ("-platform", "-display"; also written
// with two dashes) among the arguments, or null.
const char *qtOption(int argc, char **argv, const char *name)
{
    for (int k = 1; k + 1 < argc; k++)
        if (std::strcmp(argv[k], name) == 0 || (argv[k][0] == '-' && std::strcmp(argv[k] + 1, name) == 0))
            return argv[k + 1];
    return nullptr;
}

// The connection requireDisplay checked the display with, kept open until
// Qt has made its own: an X server that resets when its last client leaves
// (a virtual display with nothing else on it) refuses connections while it
// resets, and Qt's, made a moment after the check, would fall into that.
xcb_connection_t *displayCheck = nullptr;

}  // namespace

void requireDisplay(int argc, char **argv)
{
    // Qt's platform: its option, else QT_QPA_PLATFORM; the first of a list,
    // without its own options. Only X (xcb, Qt's choice here when none is
    // named outside a Wayland session) is checked; other platforms are Qt's.
    const char *named = qtOption(argc, argv, "-platform");
    if (named == nullptr)
        named = std::getenv("QT_QPA_PLATFORM");
    std::string platform = named != nullptr ? named : "";
    platform = platform.substr(0, platform.find_first_of(";:"));
    const char *session = std::getenv("XDG_SESSION_TYPE");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    if (platform.empty() && session != nullptr && std::strcmp(session, "wayland") == 0 && wayland != nullptr &&
        *wayland != '\0')
        return;
    if (!platform.empty() && platform != "xcb")
        return;
    const char *display = qtOption(argc, argv, "-display");
    if (display == nullptr)
        display = std::getenv("DISPLAY");
    const char *advice = "the viewer needs one (molvane-render draws pictures of structures without a display)";
    if (display == nullptr || *display == '\0') {
        std::fprintf(stderr, "molvane: no X display (DISPLAY is not set): %s\n", advice);
        std::exit(2);
    }
    displayCheck = xcb_connect(display, nullptr);
    if (xcb_connection_has_error(displayCheck) != 0) {
        std::fprintf(stderr, "molvane: cannot open the X display \"%s\": %s\n", printableText(display).c_str(),
                     advice);
        std::exit(2);
    }
}

// Qt has taken its own options out of the arguments: the first word left
// that is not an option names a file to open.
static const char *fileArgument(int argc, char **argv)
{
    for (int k = 1; k < argc; k++)
        if (argv[k][0] != '-' && argv[k][0] != '\0')
            return argv[k];
    return nullptr;
}

void startUp(int &argc, char **argv)
{
    requireDisplay(argc, argv);
    // The application and everything below live until the process ends.
    new QApplication(argc, argv);
    if (displayCheck != nullptr)
        xcb_disconnect(displayCheck);
    displayCheck = nullptr;
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
    // Without OpenGL 3.3 the library has printed why: the viewer ends there.
    if (!vel_initialise(&argc, argv))
        std::exit(2);
    vel_heapPrepare();
    vel_windowBackgroundColourSet(vel_win_current, 0.0f, 0.0f, 0.0f);
    setUpPalette();
    sceneObjectList = vel_SMSObjListNew();
    updateRecentFiles();

    printf("Welcome to Molvane\n");
    gui->printHelp();

    // A file dropped on the window, or named on the command line (as the
    // desktop hands one over), opens as a file chosen in the dialog does.
    vel_callbackDropSet(loadNamedFile);
    if (const char *file = fileArgument(argc, argv))
        loadNamedFile(file);
}
