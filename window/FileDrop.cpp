#include "window/FileDrop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace kven {

std::optional<std::string> OpenDialogWithDrop::chooseFile(const std::string& initialFolder)
{
    if (dropped) {
        std::optional<std::string> file = std::move(dropped);
        dropped.reset();
        return file;
    }
    return dialogs_.chooseFile(initialFolder);
}

FileDrop::FileDrop(QWidget& window, QWidget& editorViewport, std::function<void(const std::string&)> open)
    : QObject(&window), window_(window), editor_(editorViewport), open_(std::move(open))
{
    window_.setAcceptDrops(true);
    editor_.setAcceptDrops(true);
    window_.installEventFilter(this);
    editor_.installEventFilter(this);
}

bool FileDrop::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    const QMimeData* mime = static_cast<QDropEvent*>(event)->mimeData();
    const QUrl url = mime->hasUrls() ? mime->urls().value(0) : QUrl();
    if (watched == &editor_) {
        // Any drag of links is the window's: the editor would insert their names.
        if (!mime->hasUrls())
            return false;
        if (type != QEvent::Drop || url.isLocalFile())
            static_cast<QDropEvent*>(event)->acceptProposedAction();
        if (type == QEvent::Drop && url.isLocalFile())
            open_(url.toLocalFile().toStdString());
        return true;
    }
    if (watched != &window_ || type == QEvent::DragMove || !url.isLocalFile())
        return false;
    static_cast<QDropEvent*>(event)->acceptProposedAction();
    if (type == QEvent::Drop)
        open_(url.toLocalFile().toStdString());
    return true;
}

} // namespace kven
