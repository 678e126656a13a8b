#include "ui/info_dialog/info_form.h"

#include <algorithm>

#include <QDate>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <utility>

#include "collection/qt/shell_open.h"
#include "collection/qt/window_placement.h"
#include "ui/info_dialog/info_text.h"

namespace versalo {

namespace {

// The layout below is measured in twips, like the positions the main window stores.
int Px(int twips) {
    return TwipsToPixels(twips);
}

QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

// The show command for the opened mail program or browser: an ordinary window.
constexpr int kShowNormal = 1;

InfoPlacement& Placement() {
    static InfoPlacement placement;
    return placement;
}

QSize ScreenPixels() {
    if (Placement().screenSize) {
        return Placement().screenSize();
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->size() : QSize();
}

void Center(QWidget* form) {
    if (Placement().center) {
        Placement().center(form);
        return;
    }
    CenterOnScreen(form);
}

constexpr double kSmallestCaptionPoints = 6.0;

// A push button whose caption wraps onto further lines when it is wider than the button, as the
// long captions of this dialog need. The caption keeps its "&", so the shortcut still works.
class WrappingButton : public QPushButton {
public:
    WrappingButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

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

}  // namespace

InfoPlacement SetInfoPlacement(InfoPlacement placement) {
    return std::exchange(Placement(), std::move(placement));
}

bool IsSmallScreen(QSize screenPixels) {
    return screenPixels.width() <= 640 || screenPixels.height() <= 480;
}

InfoForm::InfoForm() : QDialog(nullptr) {
    setObjectName(QStringLiteral("InfoForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(Px(9384), Px(6396));

    // Created in this order; the row reads 0, 1, 2, 3 from left to right.
    struct ButtonSpec {
        int index;
        const char* caption;
        QRect geometry;
    };
    const ButtonSpec buttons[] = {
        {3, "Dieses Fenster &schliessen", TwipsRect(7860, 5700, 1455, 555)},
        {2, "Zur Registrierung über meine Web-Site gehen", TwipsRect(5700, 5700, 1995, 555)},
        {1, "Die 'News'-Seite auf meiner Web-Site öffnen", TwipsRect(3540, 5700, 1995, 555)},
        {0, "Eine &E-Mail an mich schreiben", TwipsRect(1920, 5700, 1455, 555)},
    };
    WrappingButton* byIndex[4] = {};
    for (const ButtonSpec& spec : buttons) {
        auto* button = new WrappingButton(QString::fromUtf8(spec.caption), this);
        button->setObjectName(QStringLiteral("Btn%1").arg(spec.index));
        button->setGeometry(spec.geometry);
        const int index = spec.index;
        connect(button, &QPushButton::clicked, this, [this, index] { ButtonClicked(index); });
        byIndex[spec.index] = button;
    }
    // One caption size for the whole row, the one the most crowded button needs.
    double rowPoints = byIndex[0]->FittingPointSize();
    for (const WrappingButton* button : byIndex) {
        rowPoints = std::min(rowPoints, button->FittingPointSize());
    }
    for (WrappingButton* button : byIndex) {
        button->SetCaptionPointSize(rowPoints);
    }

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setGeometry(TwipsRect(120, 120, 1635, 6135));
    picture->setFrameStyle(QFrame::Box | QFrame::Plain);
    picture->setLineWidth(1);
    // Shown at its own size from the top-left corner; what does not fit is cut off.
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setScaledContents(false);
    picture->setPixmap(QPixmap(QStringLiteral(":/info/info-strip.jpg")));

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    const int lineTop = Px(5572);
    line->setGeometry(QRect(QPoint(Px(1919), lineTop - 1), QPoint(Px(9294), lineTop + 1)));

    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("Label0"));
    label->setGeometry(TwipsRect(1920, 120, 7335, 5415));
    QFont labelFont(QStringLiteral("Arial"));
    labelFont.setPointSizeF(9.6);
    label->setFont(labelFont);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setAutoFillBackground(true);

    setTabOrder(byIndex[0], byIndex[1]);
    setTabOrder(byIndex[1], byIndex[2]);
    setTabOrder(byIndex[2], byIndex[3]);
    byIndex[0]->setFocus();

    Load();
}

void InfoForm::PlaceOnScreen() {
    if (IsSmallScreen(ScreenPixels())) {
        move(0, 0);
    } else {
        Center(this);
    }
}

void InfoForm::Load() {
    PlaceOnScreen();

    for (int index = 0; index <= 3; ++index) {
        findChild<QPushButton*>(QStringLiteral("Btn%1").arg(index))->setToolTip(ButtonToolTip(index));
    }

    setWindowTitle(InfoCaption());

    const QString year = QDate::currentDate().toString(QStringLiteral("yyyy"));
    findChild<QLabel*>(QStringLiteral("Label0"))->setText(DisplayText(InfoText(year)));
}

void InfoForm::ButtonClicked(int index) {
    switch (index) {
        case 0:
            ShellOpen(this, MailTarget(), kShowNormal);
            break;
        case 1:
            ShellOpen(this, NewsTarget(), kShowNormal);
            break;
        case 2:
            ShellOpen(this, RegistrationTarget(), kShowNormal);
            break;
        case 3:
            close();
            break;
        default:
            break;
    }
}

void InfoForm::keyPressEvent(QKeyEvent* event) {
    // The dialog has no cancel button: Escape does not close it, only its own button and the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

InfoForm* ShowInfoForm(bool onTop) {
    // One dialog at a time. A closed dialog is deleted (or about to be), so the next call builds a
    // fresh one and its placement, tooltips and year are worked out anew.
    static QPointer<InfoForm> instance;
    if (instance != nullptr && instance->isVisible()) {
        SetTopMost(instance, onTop ? std::int16_t{-1} : std::int16_t{0});
        instance->raise();
        instance->activateWindow();
        return instance;
    }
    instance = new InfoForm;
    instance->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    const QSize outerAtLoad = instance->frameGeometry().size();
    instance->show();
    // Before the first show the window has no frame yet, so the load placed it by its inner size.
    // Where the window system tells the frame as soon as the window exists, place it again by its
    // true outer size; elsewhere the frame comes later and the first placement stands.
    if (instance->frameGeometry().size() != outerAtLoad) {
        instance->PlaceOnScreen();
    }
    return instance;
}

}  // namespace versalo
