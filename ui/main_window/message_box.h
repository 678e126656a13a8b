#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace versalo {

// Button-and-icon codes of a message box, added together: the buttons, the icon, and which
// button is the default (0 the first, 256 the second).
inline constexpr int kButtonsOk = 0;
inline constexpr int kButtonsYesNo = 4;
inline constexpr int kIconCritical = 16;
inline constexpr int kIconQuestion = 32;
inline constexpr int kIconWarning = 48;
inline constexpr int kIconInformation = 64;
inline constexpr int kDefaultButton2 = 256;

// The answers.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// Shows a modal message box with German buttons and returns the answer. A carriage return in
// the prompt starts a new line.
int ShowMessageBox(QWidget* parent, const QString& prompt, int code, const QString& title);

// How the main window asks: ShowMessageBox, or a stand-in in the tests that answers at once.
using MessageBoxFunction =
    std::function<int(QWidget* parent, const QString& prompt, int code, const QString& title)>;

}  // namespace versalo
