#include "ui/main_window/caption_check_box.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace versalo {

namespace {

// Breaks caption at its blanks so that each line fits into width; a single word that is too
// long stays on its line.
QString WrapCaption(const QString& caption, const QFontMetrics& metrics, int width) {
    const QStringList words = caption.split(u' ', Qt::SkipEmptyParts);
    QStringList lines;
    QString line;
    for (const QString& word : words) {
        const QString candidate = line.isEmpty() ? word : line + u' ' + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(QString(candidate).remove(u'&')) > width) {
            lines.append(line);
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty()) {
        lines.append(line);
    }
    return lines.join(u'\n');
}

}  // namespace

CaptionCheckBox::CaptionCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {}

void CaptionCheckBox::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect label = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    option.text = WrapCaption(text(), fontMetrics(), label.width());
    painter.drawControl(QStyle::CE_CheckBox, option);
}

bool CaptionCheckBox::hitButton(const QPoint& pos) const {
    // The whole control takes the click, the wrapped second line included.
    return rect().contains(pos);
}

void CaptionCheckBox::nextCheckState() {
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

}  // namespace versalo
