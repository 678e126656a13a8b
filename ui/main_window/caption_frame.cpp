#include "ui/main_window/caption_frame.h"

#include <QPainter>
#include <QStyle>

namespace versalo {

namespace {

constexpr int kCaptionIndent = 6;  // pixels from the frame's left edge to the caption
constexpr int kCaptionPadding = 2;

}  // namespace

CaptionFrame::CaptionFrame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

void CaptionFrame::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();

    // An etched line, a dark one with a light one beside it, drawn the same in every style (some
    // styles leave room for a caption above their group box line).
    const QRect line = rect().adjusted(0, metrics.height() / 2, -1, -1);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(line.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(line.adjusted(1, 1, 0, 0));

    // The caption interrupts the top line.
    const QRect caption(kCaptionIndent, 0, metrics.horizontalAdvance(title()) + 2 * kCaptionPadding,
                        metrics.height());
    painter.fillRect(caption, palette().brush(backgroundRole()));
    style()->drawItemText(&painter, caption, Qt::AlignCenter | Qt::TextSingleLine, palette(), isEnabled(),
                          title(), QPalette::WindowText);
}

}  // namespace versalo
