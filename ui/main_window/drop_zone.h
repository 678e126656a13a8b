#pragma once

#include <functional>

#include <QPixmap>
#include <QWidget>

#include "engine/drop_batch.h"

class QMimeData;

namespace versalo {

// What a drop carried, as the batch takes it. A list of local files (URLs of scheme file) is a
// file list; anything else (text, web links, a mixed list) is not. Each path is taken as bytes,
// percent-decoded from the URL's encoded form, so that a name which is not valid UTF-8 reaches
// the batch exactly as the file system spells it.
DropData DropDataFromMime(const QMimeData& mime);

// The picture on which the user drops files and folders. It is the only place in the window
// that takes drops. It accepts every drop at once and hands the data on right after the drop
// event has returned, so that the file manager that started the drag is not kept waiting while
// the batch runs.
class DropZone : public QWidget {
    Q_OBJECT

public:
    using DropHandler = std::function<void(const DropData&)>;

    explicit DropZone(QWidget* parent = nullptr);

    void SetPicture(const QPixmap& picture);
    void SetDropHandler(DropHandler handler) { m_handler = std::move(handler); }
    // A single-line border round the picture shows that a batch runs.
    void ShowBusy(bool busy);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QPixmap m_picture;
    DropHandler m_handler;
    bool m_busy = false;
};

}  // namespace versalo
