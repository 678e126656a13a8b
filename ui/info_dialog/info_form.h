#pragma once

#include <QDialog>
#include <QSize>
#include <functional>

class QKeyEvent;

namespace versalo {

// How the info dialog learns the size of the screen (in pixels, the unit of its own size) and how it
// centres itself. Members left empty mean the primary screen and CenterOnScreen. Tests put in their
// own screen size and watch the centring. Returns what was in place.
struct InfoPlacement {
    std::function<QSize()> screenSize;
    std::function<void(QWidget*)> center;
};
InfoPlacement SetInfoPlacement(InfoPlacement placement);

// Screens at most 640 pixels wide or at most 480 pixels high are too small to centre the dialog on;
// it goes to their top-left corner instead.
bool IsSmallScreen(QSize screenPixels);

// The program's about box: version, the maker's notes, and buttons for the mail form and the web
// pages. Modeless and without an owner; it deletes itself when closed.
class InfoForm : public QDialog {
    Q_OBJECT

public:
    InfoForm();

    // The top-left corner of a small screen, else the middle of the screen, by the dialog's outer size.
    void PlaceOnScreen();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Load();
    void ButtonClicked(int index);
};

// Shows the info dialog: creates it when none is open, else brings the open one to the front.
// onTop puts it into the always-on-top band, where a main window that stays on top cannot hide
// it; without it the dialog is an ordinary window. Returns the dialog shown.
InfoForm* ShowInfoForm(bool onTop = false);

}  // namespace versalo
