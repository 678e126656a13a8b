#include "ui/desktop/window_position.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "settings/settings_store.h"
#include "ui/desktop/window_placement.h"

namespace versalo {

namespace {

// The height of a title bar, and how much of its width must be reachable, in pixels. Before the
// window is shown its frame is unknown, so a usual title bar stands in for it.
constexpr int kTitleHeight = 24;
constexpr int kReachableWidth = 48;

// Whether enough of the title area of a window whose outer frame is frame lies on one of the
// present screens for the user to grab it with the mouse.
bool TitleAreaReachable(const QRect& frame) {
    const QRect title(frame.x(), frame.y(), frame.width(), kTitleHeight);
    const int wanted = std::min(kReachableWidth, frame.width());
    const auto screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&](const QScreen* screen) {
        const QRect shared = title.intersected(screen->availableGeometry());
        return shared.width() >= wanted && shared.height() >= kTitleHeight;
    });
}

}  // namespace

bool SaveWindowPosition(const QWidget* form) {
    const QPoint position = form->pos();
    const bool top = WriteSetting(Setting::Top, PixelsToTwips(position.y()));
    return WriteSetting(Setting::Left, PixelsToTwips(position.x())) && top;
}

bool RestoreWindowPosition(QWidget* form) {
    const std::int32_t top = ReadSetting(Setting::Top);
    const std::int32_t left = ReadSetting(Setting::Left);
    if (top < 0 || left < 0) {
        return false;
    }
    const QPoint position(TwipsToPixels(left), TwipsToPixels(top));
    if (!TitleAreaReachable(QRect(position, form->frameGeometry().size()))) {
        return false;
    }
    // Top first, then left, as the two values are stored.
    form->move(form->pos().x(), position.y());
    form->move(position);
    return true;
}

}  // namespace versalo
