#include "ui/desktop/window_placement.h"

#include <QRect>
#include <QScreen>
#include <QWidget>

namespace versalo {

void SetTopMost(QWidget* form, bool onTop) {
    if (form->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) {
        return;
    }
    // Changing a window flag makes Qt re-create the native window, which hides it and may let the
    // window manager place it anew; the user must see nothing but the change of band.
    const QPoint position = form->pos();
    const QSize size = form->size();
    const bool visible = form->isVisible();
    const bool moved = form->testAttribute(Qt::WA_Moved);
    form->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (moved || visible) {
        form->move(position);
    }
    form->resize(size);
    if (visible) {
        form->show();
    }
}

void CenterOnScreen(QWidget* form) {
    QScreen* screen = form->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QRect frame = form->frameGeometry();
    // Sideways first, then up or down, each from the window's outer size.
    const int left = area.x() + CenteredOffset(area.width(), frame.width());
    form->move(left, form->pos().y());
    const int top = area.y() + CenteredOffset(area.height(), frame.height());
    form->move(left, top);
}

}  // namespace versalo
