// drop.cpp - files dropped on the window: an application-wide event filter
// accepts drags of local files onto the window that vel_opt_disp lives in
// (the GL window included) and hands the first dropped path to the caller
// at the end of the next vel_eventsCheck(): Qt may deliver a drop between
// two draws of a frame, where the caller's code must not run.
#include "internal.h"

#include <string>

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <QWindow>

namespace {

void (*dropCallback)(const char *path) = nullptr;   // the caller's, or null
std::string pendingDrop;                             // a path dropped and not yet handed over, or empty

// The first local file among the dragged URLs, or an empty string.
QString firstLocalFile(const QMimeData *data)
{
    if (data == nullptr || !data->hasUrls())
        return QString();
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return QString();
}

class DropFilter : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return false;
        QWindow *window = qobject_cast<QWindow *>(watched);
        if (dropCallback == nullptr || window == nullptr || vel_opt_disp == nullptr)
            return false;
        while (window->parent() != nullptr)
            window = window->parent();
        if (window != vel_opt_disp->window()->windowHandle() || QApplication::activeModalWidget() != nullptr)
            return false;   // another window (a dialog, say) keeps its own drops; none while one is open
        auto *drop = static_cast<QDropEvent *>(event);
        QString path = firstLocalFile(drop->mimeData());
        if (path.isEmpty())
            return false;
        drop->acceptProposedAction();
        if (type == QEvent::Drop)
            pendingDrop = QFile::encodeName(path).toStdString();
        return true;
    }
};

} // namespace

void vel_callbackDropSet(void (*callback)(const char *path))
{
    static DropFilter *filter = nullptr;
    dropCallback = callback;
    if (filter == nullptr && QCoreApplication::instance() != nullptr) {
        filter = new DropFilter;
        QCoreApplication::instance()->installEventFilter(filter);
    }
}

void velDropsDeliver()
{
    if (pendingDrop.empty() || dropCallback == nullptr) return;
    std::string path;
    path.swap(pendingDrop);
    dropCallback(path.c_str());
}
