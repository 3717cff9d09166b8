// qt_glue.cpp - the Qt side: the GL window embedded in the caller's widget,
// its context, the delivery of Qt's events (with the events held back while
// a frame is drawn), mouse state from the window's own events and the
// pointer position. Holds vel_initialise, vel_surfaceFormatDefaultSet and
// the options.
#include "internal.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBoxLayout>
#include <QCursor>
#include <QExposeEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPointer>
#include <QResizeEvent>
#include <QSurfaceFormat>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

QWidget *vel_opt_disp = nullptr;
uint64_t velPointerReads = 0;
int vel_opt_splash = 1;
int vel_opt_output = 1;
int velPointerReuseMs = 2;

namespace {

// OpenGL 3.3 core profile (a driver may give a newer one), double
// buffered, 24-bit depth, `samples` samples a pixel where the driver has
// them; a debug context in debug builds. The window itself gets neither
// depth nor samples: frames are drawn into a framebuffer of their own.
QSurfaceFormat glFormat(int samples = 4, int depth = 24)
{
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setVersion(3, 3);
    f.setProfile(QSurfaceFormat::CoreProfile);
#ifndef NDEBUG
    f.setOption(QSurfaceFormat::DebugContext);
#endif
    f.setSamples(samples);
    f.setDepthBufferSize(depth);
    f.setRedBufferSize(8);
    f.setGreenBufferSize(8);
    f.setBlueBufferSize(8);
    f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return f;
}

int unusable = 0;  // 1: vel_initialise found no OpenGL 3.3 context and returns 0 from then on

int buttonIndex(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 0;
    case Qt::MiddleButton: return 1;
    case Qt::RightButton: return 2;
    default: return -1;
    }
}

class VelGlWindow : public QWindow {
public:
    VelGlWindow()
    {
        setSurfaceType(QWindow::OpenGLSurface);
        setFormat(glFormat(0, 0));
    }

protected:
    void exposeEvent(QExposeEvent *) override;
    void resizeEvent(QResizeEvent *) override { updateSize(); }
    void mousePressEvent(QMouseEvent *e) override { button(e, 0); }
    void mouseReleaseEvent(QMouseEvent *e) override { button(e, 1); }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        QPoint p = e->position().toPoint();
        velWindow.pointerX = p.x();
        velWindow.pointerY = p.y();
    }

public:
    void updateSize()
    {
        velWindow.width = width();
        velWindow.height = height();
        qreal r = devicePixelRatio();
        velWindow.pixelWidth = (int)(width() * r + 0.5);
        velWindow.pixelHeight = (int)(height() * r + 0.5);
    }

private:
    void button(QMouseEvent *e, int state)
    {
        int b = buttonIndex(e->button());
        if (b < 0) return;
        QPoint p = e->position().toPoint();
        velWindow.pointerX = p.x();
        velWindow.pointerY = p.y();
        if (state == 0 && !velButtonHeld()) {  // the first press: movement counts from here
            velWindow.navLastX = p.x();
            velWindow.navLastY = p.y();
        }
        velWindow.buttons[b] = state;
        if (state == 0) velWindow.pressSeen[b] = 1;
        velWindow.events.push_back(VelMouseEvent{b, state, p.x(), p.y()});
        e->accept();
    }
};

// Smooth edges multiply the work of a software rasterizer several times
// over: multisampling is asked for only from a driver that draws in
// hardware, found out with a small context of its own first.
int samplesWanted()
{
    QOffscreenSurface surface;
    surface.setFormat(glFormat(0));
    surface.create();
    QOpenGLContext probe;
    probe.setFormat(glFormat(0));
    if (!probe.create() || !probe.makeCurrent(&surface)) return 4;
    int software = velGlSoftware();
    probe.doneCurrent();
    return software ? 0 : 4;
}

uint64_t eventPasses = 1;             // event passes so far, by us or by anyone's processEvents

VelGlWindow *glWindow = nullptr;      // the one GL window
QOpenGLContext *glContext = nullptr;  // its context
QWidget *glContainer = nullptr;       // the widget that holds it in vel_opt_disp

// An uncovered window (a menu closed over it, a dialog moved away) shows
// the last complete frame again, copied from where it is kept: nothing of
// the scene is drawn. This also holds while a modal dialog runs its own
// loop, and between two draws of a frame being drawn.
void VelGlWindow::exposeEvent(QExposeEvent *)
{
    updateSize();
    if (!velInitialised || !isExposed() || !velGlueMakeCurrent()) return;
    velGlTargetShowKept();
    velGlueSwap();
    velFrames.keptShown++;
}

//------------------------------------------------------------------------------
// Events held back while a frame is drawn
//------------------------------------------------------------------------------
// The caller's code runs only inside the event check, never while the
// library walks the lists it draws. So between two draws of a frame Qt may
// open menus, hover them, paint and expose, but an event that could run
// the caller's code is held back: delivered first thing in the next event
// check. The frame is then broken off, so that the command runs at once.
struct Held {
    QPointer<QObject> receiver;
    std::unique_ptr<QEvent> event;
};
std::vector<Held> heldBack;  // in the order they came
int heldCallerEvent = 0;     // the pass held back one that runs the caller's code

// A button released over a menu's item chooses it; elsewhere on a menu or
// the menu bar it only opens, closes or moves between menus. Any other
// widget may run the caller's code for it.
bool choosesItem(QObject *receiver, QMouseEvent *e)
{
    QAction *action = nullptr;
    if (QMenu *menu = qobject_cast<QMenu *>(receiver)) action = menu->actionAt(e->position().toPoint());
    else if (QMenuBar *bar = qobject_cast<QMenuBar *>(receiver)) action = bar->actionAt(e->position().toPoint());
    else return receiver->isWidgetType();
    return action && action->isEnabled() && !action->isSeparator() && !action->menu();
}

class HoldBack : public QObject {
protected:
    bool eventFilter(QObject *receiver, QEvent *e) override
    {
        bool caller = false;
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (receiver == glWindow) break;  // the library's own input: handled in the event check
            if (e->type() == QEvent::MouseButtonPress || !choosesItem(receiver, static_cast<QMouseEvent *>(e)))
                return false;
            caller = true;
            break;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::Close:
        case QEvent::ContextMenu:
        case QEvent::Wheel:
            caller = receiver != glWindow;
            break;
        default:
            return false;
        }
        heldBack.push_back(Held{receiver, std::unique_ptr<QEvent>(e->clone())});
        heldCallerEvent |= caller;
        return true;
    }
};

void deliverHeldBack()
{
    std::vector<Held> held;
    held.swap(heldBack);
    for (Held &h : held)
        if (h.receiver) QCoreApplication::sendEvent(h.receiver, h.event.get());
}

} // namespace

int velGlueMakeCurrent(void)
{
    if (!glContext || !glWindow) return 0;
    if (QOpenGLContext::currentContext() == glContext && glContext->surface() == glWindow) return 1;
    return glContext->makeCurrent(glWindow) ? 1 : 0;
}

void velGlueSwap(void)
{
    if (glContext && glWindow && glWindow->isExposed()) glContext->swapBuffers(glWindow);
}

void velGlueProcessEvents(void)
{
    eventPasses++;
    deliverHeldBack();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int velGlueInFramePass(void)
{
    static HoldBack filter;
    heldCallerEvent = 0;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) return 0;
    app->installEventFilter(&filter);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    app->removeEventFilter(&filter);
    return heldCallerEvent;
}

// Reading the pointer is a round trip to the X server, and a frame of the
// program asks for it three or four times within microseconds: an idle
// viewer would spend its time in those trips. A reading is used again while
// no event pass has run since it was taken and it is under velPointerReuseMs
// old, so a pointer moved by the user, by xdotool or by QCursor::setPos is
// seen at the next event pass.
void velGluePointer(int *x, int *y, int *rootX, int *rootY)
{
    static QPoint global, local;
    static uint64_t readAtPass = 0;
    static std::chrono::steady_clock::time_point readAt;
    auto now = std::chrono::steady_clock::now();
    if (readAtPass != eventPasses || now - readAt > std::chrono::milliseconds(velPointerReuseMs)) {
        global = QCursor::pos();
        velPointerReads++;
        local = glWindow ? glWindow->mapFromGlobal(global) : global;
        readAtPass = eventPasses;
        readAt = now;
    }
    *rootX = global.x();
    *rootY = global.y();
    *x = local.x();
    *y = local.y();
}

void vel_surfaceFormatDefaultSet(void)
{
    VEL_TRACE("vel_surfaceFormatDefaultSet");
    QSurfaceFormat::setDefaultFormat(glFormat());
}

namespace {

// vel_initialise found no usable context: the window stays empty, nothing
// is ever drawn, and later calls return 0 at once.
int giveUp()
{
    if (glContext) glContext->doneCurrent();
    delete glContext;
    glContext = nullptr;
    unusable = 1;
    return 0;
}

} // namespace

int vel_initialise(int *argc, char **argv)
{
    VEL_TRACE("vel_initialise");
    if (velInitialised) return 1;
    if (unusable) return 0;
    if (!QCoreApplication::instance()) {
        static int ownArgc = 0;
        static char ownName[] = "velkor";
        static char *ownArgv[] = {ownName, nullptr};
        if (argc && argv) new QApplication(*argc, argv);
        else new QApplication(ownArgc, ownArgv);
    }
    if (QAbstractEventDispatcher *d = QAbstractEventDispatcher::instance())
        QObject::connect(d, &QAbstractEventDispatcher::awake, [] { eventPasses++; });
    velWindow.samples = samplesWanted();
    glWindow = new VelGlWindow;
    if (vel_opt_disp) {
        QLayout *layout = vel_opt_disp->layout();
        if (!layout) {
            layout = new QVBoxLayout(vel_opt_disp);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
        glContainer = QWidget::createWindowContainer(glWindow, vel_opt_disp);
        glContainer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        glContainer->setMinimumSize(16, 16);
        if (QBoxLayout *box = qobject_cast<QBoxLayout *>(layout)) box->addWidget(glContainer, 1);
        else layout->addWidget(glContainer);
        if (!vel_opt_disp->window()->isVisible()) vel_opt_disp->window()->show();
    } else {
        glWindow->resize(800, 600);
        glWindow->show();
    }
    glWindow->create();
    glContext = new QOpenGLContext;
    glContext->setFormat(glFormat(0, 0));
    if (!glContext->create()) {
        velFailure("velkor: cannot create an OpenGL 3.3 context on this display; the driver offers none\n");
        return giveUp();
    }
    // let the window be mapped and sized before the first frame
    for (int i = 0; i < 200 && !glWindow->isExposed(); i++) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
    glWindow->updateSize();
    // a driver without OpenGL 3.3 would show a black window: say so and give up
    char message[512];
    if (velGlueMakeCurrent() && !velGlCheckVersion(message, sizeof message)) {
        velFailure("%s\n", message);
        return giveUp();
    }
    vel_win_current = 1;
    velInitialised = 1;
    if (velGlueMakeCurrent()) velGlInit();
    if (vel_opt_splash) {
        std::printf("libvelkor - 3D rendering on Qt %s and OpenGL (%s)\n", qVersion(),
                    glContext ? velGlRenderer() : "none");
        std::fflush(stdout);
    }
    return glContext ? 1 : 0;
}

void velGlueWindowToRoot(int x, int y, int *rootX, int *rootY)
{
    QPoint g = glWindow ? glWindow->mapToGlobal(QPoint(x, y)) : QPoint(x, y);
    *rootX = g.x();
    *rootY = g.y();
}
