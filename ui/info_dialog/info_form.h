#pragma once

#include <QDialog>

#include "ui/desktop/shell_open.h"

class QKeyEvent;
class QLabel;

namespace versalo {

class WrappingButton;

// The program's about box: version, the maker's notes, and buttons for the mail form and the web
// pages. Modeless and without an owner; it deletes itself when closed. Whoever opens it keeps a
// QPointer to it, so that one dialog at a time is shown and follows the main window's band.
class InfoForm : public QDialog {
    Q_OBJECT

public:
    // open is what the link buttons hand their address to.
    explicit InfoForm(UrlOpener open);

    // Shows the dialog in its place. onTop puts it into the always-on-top band, where a main window
    // that stays on top cannot hide it; without it the dialog is an ordinary window.
    void ShowPlaced(bool onTop);

    // The top-left corner of a small screen, else the middle of the screen, by the dialog's outer size.
    void PlaceOnScreen();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateButtons();
    void CreatePictureAndText();
    void FitButtonCaptions();

    UrlOpener m_open;
    WrappingButton* m_mail = nullptr;
    WrappingButton* m_news = nullptr;
    WrappingButton* m_register = nullptr;
    WrappingButton* m_close = nullptr;
    QLabel* m_text = nullptr;
};

}  // namespace versalo
