#include "ui/info_dialog/info_form.h"

#include <algorithm>
#include <initializer_list>

#include <QDate>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "ui/desktop/window_placement.h"
#include "ui/info_dialog/info_text.h"

namespace versalo {

// The dialog's layout, in twips like every window layout of the program.
namespace {

constexpr int kWidth = 9384;
constexpr int kHeight = 6396;
constexpr TwipsRect kMailPlace{1920, 5700, 1455, 555};
constexpr TwipsRect kNewsPlace{3540, 5700, 1995, 555};
constexpr TwipsRect kRegisterPlace{5700, 5700, 1995, 555};
constexpr TwipsRect kClosePlace{7860, 5700, 1455, 555};
constexpr TwipsRect kPicturePlace{120, 120, 1635, 6135};
constexpr TwipsRect kTextPlace{1920, 120, 7335, 5415};
// The separating line runs from left to right edge at this height, two pixels thick.
constexpr int kLineLeft = 1919;
constexpr int kLineRight = 9294;
constexpr int kLineTop = 5572;

constexpr double kSmallestCaptionPoints = 6.0;

// Screens at most 640 pixels wide or at most 480 pixels high are too small to centre the dialog on.
bool IsSmallScreen(QSize screenPixels) {
    return screenPixels.width() <= 640 || screenPixels.height() <= 480;
}

}  // namespace

// A push button whose caption wraps onto further lines when it is wider than the button, as the
// long captions of this dialog need. The caption keeps its "&", so the shortcut still works.
class WrappingButton : public QPushButton {
public:
    WrappingButton(const QString& caption, const TwipsRect& place, QWidget* parent)
        : QPushButton(caption, parent) {
        setGeometry(ToPixels(place));
    }

    // The buttons were laid out for a small dialog font; desktop fonts here are wider and taller.
    // The largest caption size, at most the button's font, at which the caption fits.
    double FittingPointSize() const {
        QFont captionFont = font();
        while (captionFont.pointSizeF() > kSmallestCaptionPoints) {
            const QRect needed = QFontMetrics(captionFont).boundingRect(TextRect(), kFlags, text());
            if (needed.width() <= TextRect().width() && needed.height() <= TextRect().height()) {
                break;
            }
            captionFont.setPointSizeF(captionFont.pointSizeF() - 0.5);
        }
        return captionFont.pointSizeF();
    }
    void SetCaptionPointSize(double points) { m_captionPoints = points; }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);

        int flags = kFlags;
        if (!style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this)) {
            flags |= Qt::TextHideMnemonic;
        }
        QFont captionFont = font();
        captionFont.setPointSizeF(m_captionPoints > 0 ? m_captionPoints : FittingPointSize());
        painter.setFont(captionFont);
        painter.drawItemText(TextRect(), flags, option.palette, isEnabled(), text(), QPalette::ButtonText);
    }

private:
    static constexpr int kFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    // Inside the bevel, which every style keeps within a few pixels of the edge.
    QRect TextRect() const { return rect().adjusted(4, 2, -4, -2); }

    double m_captionPoints = 0;
};

InfoForm::InfoForm(UrlOpener open) : QDialog(nullptr), m_open(std::move(open)) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The program ends with its main window, also while this dialog is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    setModal(false);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(TwipsToPixels(kWidth), TwipsToPixels(kHeight));
    setWindowTitle(InfoCaption());
    CreateButtons();
    CreatePictureAndText();
    PlaceWhenFramed(this, [this] { PlaceOnScreen(); });
}

void InfoForm::CreateButtons() {
    // Created from right to left, as the layout stacks them; the tab order runs left to right.
    m_close = new WrappingButton(QStringLiteral("Dieses Fenster &schliessen"), kClosePlace, this);
    m_register = new WrappingButton(QStringLiteral("Zur Registrierung über meine Web-Site gehen"),
                                    kRegisterPlace, this);
    m_news =
        new WrappingButton(QStringLiteral("Die 'News'-Seite auf meiner Web-Site öffnen"), kNewsPlace, this);
    m_mail = new WrappingButton(QStringLiteral("Eine &E-Mail an mich schreiben"), kMailPlace, this);
    m_mail->setToolTip(MailToolTip());
    m_news->setToolTip(NewsToolTip());
    m_register->setToolTip(RegistrationToolTip());
    m_close->setToolTip(CloseToolTip());

    connect(m_mail, &QPushButton::clicked, this, [this] { ShellOpen(this, m_open, MailTarget()); });
    connect(m_news, &QPushButton::clicked, this, [this] { ShellOpen(this, m_open, NewsTarget()); });
    connect(m_register, &QPushButton::clicked, this,
            [this] { ShellOpen(this, m_open, RegistrationTarget()); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);

    setTabOrder(m_mail, m_news);
    setTabOrder(m_news, m_register);
    setTabOrder(m_register, m_close);
    m_mail->setFocus();
    FitButtonCaptions();
}

void InfoForm::FitButtonCaptions() {
    // One caption size for the whole row, the one the most crowded button needs.
    const std::initializer_list<WrappingButton*> row{m_mail, m_news, m_register, m_close};
    double points = m_mail->FittingPointSize();
    for (const WrappingButton* button : row) {
        points = std::min(points, button->FittingPointSize());
    }
    for (WrappingButton* button : row) {
        button->SetCaptionPointSize(points);
    }
}

void InfoForm::CreatePictureAndText() {
    auto* picture = new QLabel(this);
    picture->setGeometry(ToPixels(kPicturePlace));
    picture->setFrameStyle(QFrame::Box | QFrame::Plain);
    picture->setLineWidth(1);
    // Shown at its own size from the top-left corner; what does not fit is cut off.
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(QPixmap(QStringLiteral(":/info/info-strip.jpg")));

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    const int lineTop = TwipsToPixels(kLineTop);
    line->setGeometry(
        QRect(QPoint(TwipsToPixels(kLineLeft), lineTop - 1), QPoint(TwipsToPixels(kLineRight), lineTop + 1)));

    m_text = new QLabel(this);
    m_text->setGeometry(ToPixels(kTextPlace));
    QFont textFont(QStringLiteral("Arial"));
    textFont.setPointSizeF(9.6);
    m_text->setFont(textFont);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setWordWrap(true);
    m_text->setAutoFillBackground(true);
    m_text->setText(InfoText(QDate::currentDate().toString(QStringLiteral("yyyy"))));
}

void InfoForm::PlaceOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr && IsSmallScreen(screen->size())) {
        move(0, 0);
    } else {
        CenterOnScreen(this);
    }
}

void InfoForm::ShowPlaced(bool onTop) {
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    show();
}

void InfoForm::keyPressEvent(QKeyEvent* event) {
    // The dialog has no cancel button: Escape does not close it, only its own button and the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace versalo
