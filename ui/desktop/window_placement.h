#pragma once

#include <QRect>

#include <functional>

class QWidget;

namespace versalo {

// Window positions and sizes are kept in twips (1/1440 inch), so that stored values mean the
// same on every screen; Qt measures in logical pixels at 96 dpi, which makes 15 twips a pixel.
inline constexpr int kTwipsPerPixel = 15;

// Rounds to the nearest pixel, a half away from zero.
constexpr int TwipsToPixels(int twips) {
    const long long doubled = 2LL * twips;  // wide enough for any stored number
    const long long pixels = doubled >= 0 ? (doubled + kTwipsPerPixel) / (2 * kTwipsPerPixel)
                                          : -((-doubled + kTwipsPerPixel) / (2 * kTwipsPerPixel));
    return static_cast<int>(pixels);
}

constexpr int PixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

// A control's place in its parent, in twips, as the window layouts are written down.
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

inline QRect ToPixels(const TwipsRect& place) {
    return {TwipsToPixels(place.left), TwipsToPixels(place.top), TwipsToPixels(place.width),
            TwipsToPixels(place.height)};
}

// Where a window of the given extent starts so that it stands in the middle of a screen of the
// given extent: half the difference, truncated toward zero. A window larger than the screen
// gets a negative offset and sticks out on both sides alike.
constexpr int CenteredOffset(int screenExtent, int formExtent) {
    return (screenExtent - formExtent) / 2;
}

// Puts form into the always-on-top band or takes it out, keeping its place and size.
void SetTopMost(QWidget* form, bool onTop);

// Moves form to the middle of the screen it stands on.
void CenterOnScreen(QWidget* form);

// Calls place, which puts form where it belongs by its outer size, now and once more when the
// window manager has framed the window. Before its first show a window has no frame, so it is
// placed by its inner size; some window managers tell the frame at once, others only once they
// have framed the window, which shows as a move. The first time the outer size differs from the
// one placed by, place runs again; later moves are the user's own.
void PlaceWhenFramed(QWidget* form, std::function<void()> place);

}  // namespace versalo
