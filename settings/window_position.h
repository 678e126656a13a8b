#pragma once

#include <QRect>

class QWidget;

namespace versalo {

// Stores form's top position under "_Top", then its left position under "_Left", in twips.
void SaveWindowPosition(const QWidget* form);

// Reads "_Top" and "_Left" (both, before any test) and moves form there when neither is
// negative. A position whose title area lies on no present screen (saved on a screen that is
// gone, or with a hand-edited file) would leave a window the user cannot reach: form is centred
// on its screen instead. Returns true when form was moved.
bool RestoreWindowPosition(QWidget* form);

// Whether enough of the title area of a window whose outer frame is frame lies on one of the
// present screens for the user to grab it with the mouse.
bool TitleAreaReachable(const QRect& frame);

}  // namespace versalo
