#pragma once

class QWidget;

namespace versalo {

// Stores form's top position, then its left position, in twips (the settings' unit: the
// conversion from and to pixels is made here and nowhere else). False when it could not be written.
bool SaveWindowPosition(const QWidget* form);

// Moves form to the stored position when neither coordinate is negative, and says whether it did.
// A position whose title area lies on no present screen (saved on a screen that is gone, or a
// hand-edited file) would leave a window the user cannot reach: it is not used either.
bool RestoreWindowPosition(QWidget* form);

}  // namespace versalo
