#include "ui/desktop/window_placement.h"

#include <QEvent>
#include <QObject>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <utility>

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

namespace {

// Watches a window placed without its frame and places it again once the frame is known.
class FramePlacer : public QObject {
public:
    FramePlacer(QWidget* form, std::function<void()> place)
        : QObject(form), m_form(form), m_place(std::move(place)), m_placedBy(form->frameGeometry().size()) {
        form->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (watched == m_form &&
            (type == QEvent::Show || type == QEvent::Move || type == QEvent::WindowActivate)) {
            if (m_placedBy != m_form->size()) {
                // Placed by a frame the window manager had told: nothing to mend.
                deleteLater();
            } else if (m_form->frameGeometry().size() != m_placedBy) {
                m_place();
                deleteLater();
            }
        }
        return false;
    }

private:
    QWidget* m_form;
    std::function<void()> m_place;
    QSize m_placedBy;
};

}  // namespace

void PlaceWhenFramed(QWidget* form, std::function<void()> place) {
    place();
    new FramePlacer(form, std::move(place));
}

}  // namespace versalo
