#pragma once

#include <QGroupBox>

namespace versalo {

// A frame whose caption sits in its top line, as on the drop zone's frame: with the caption
// above the line, as some styles draw a group box, the picture inside would cover the line.
class CaptionFrame : public QGroupBox {
    Q_OBJECT

public:
    CaptionFrame(const QString& caption, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace versalo
