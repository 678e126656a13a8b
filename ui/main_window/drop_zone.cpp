#include "ui/main_window/drop_zone.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace versalo {

DropData DropDataFromMime(const QMimeData& mime) {
    DropData data;
    if (!mime.hasUrls()) {
        return data;
    }
    const QList<QUrl> urls = mime.urls();
    if (urls.isEmpty()) {
        return data;
    }
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(urls.size()));
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            return data;
        }
        // The encoded path keeps every byte the file manager sent; QUrl::toLocalFile would pass
        // it through a UTF-8 conversion and replace what does not convert.
        const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
        const QByteArray bytes = QByteArray::fromPercentEncoding(encoded);
        if (bytes.isEmpty()) {
            return data;
        }
        paths.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    data.hasFileList = true;
    data.paths = std::move(paths);
    return data;
}

DropZone::DropZone(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
    setFocusPolicy(Qt::NoFocus);
}

void DropZone::SetPicture(const QPixmap& picture) {
    m_picture = picture;
    update();
}

void DropZone::ShowBusy(bool busy) {
    m_busy = busy;
    update();
}

void DropZone::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (!m_picture.isNull()) {
        // The picture fills the zone; it is a little wider than the zone is tall.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), m_picture);
    }
    if (m_busy) {
        // The window is disabled while a batch runs; its disabled text colour (a light grey) would
        // hardly show on the picture, so the border takes the colour of active text.
        painter.setPen(QPen(palette().color(QPalette::Active, QPalette::WindowText), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

namespace {

bool AcceptAsCopyOrLink(QDropEvent* event) {
    // A file manager that is told its files were moved may delete them: the names are only read,
    // so a drop is taken as a copy (or a link), even when the user asked to move. A source that
    // offers nothing else is refused.
    for (const Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event->possibleActions().testFlag(action)) {
            event->setDropAction(action);
            event->accept();
            return true;
        }
    }
    event->ignore();
    return false;
}

}  // namespace

void DropZone::dragEnterEvent(QDragEnterEvent* event) {
    // Everything is taken: what is not a file list gets its message once it is dropped.
    AcceptAsCopyOrLink(event);
}

void DropZone::dragMoveEvent(QDragMoveEvent* event) {
    AcceptAsCopyOrLink(event);
}

void DropZone::dropEvent(QDropEvent* event) {
    if (!isEnabled() || !AcceptAsCopyOrLink(event)) {
        event->ignore();
        return;
    }
    if (!m_handler) {
        return;
    }
    const QMimeData* mime = event->mimeData();
    DropData drop = mime != nullptr ? DropDataFromMime(*mime) : DropData{};
    QMetaObject::invokeMethod(
        this, [handler = m_handler, dropped = std::move(drop)] { handler(dropped); }, Qt::QueuedConnection);
}

}  // namespace versalo
