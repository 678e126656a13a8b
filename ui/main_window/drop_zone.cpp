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
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void DropZone::dragEnterEvent(QDragEnterEvent* event) {
    // Everything is taken: what is not a file list gets its message once it is dropped.
    event->acceptProposedAction();
}

void DropZone::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void DropZone::dropEvent(QDropEvent* event) {
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (!m_handler) {
        return;
    }
    const QMimeData* mime = event->mimeData();
    DropData drop = mime != nullptr ? DropDataFromMime(*mime) : DropData{};
    QMetaObject::invokeMethod(
        this, [handler = m_handler, dropped = std::move(drop)] { handler(dropped); }, Qt::QueuedConnection);
}

}  // namespace versalo
