#include "ui/main_window/message_box.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace versalo {

namespace {

QMessageBox::Icon IconOf(int code) {
    switch (code & 0x70) {
        case kIconCritical:
            return QMessageBox::Critical;
        case kIconQuestion:
            return QMessageBox::Question;
        case kIconWarning:
            return QMessageBox::Warning;
        case kIconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

int ShowMessageBox(QWidget* parent, const QString& prompt, int code, const QString& title) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    QString text = prompt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    box.setText(text);
    box.setIcon(IconOf(code));

    const bool yesNo = (code & 0x7) == kButtonsYesNo;
    if (yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        // Qt's own button texts are English unless a translation is installed.
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
        box.setDefaultButton((code & 0x300) == kDefaultButton2 ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (yesNo) {
        return answer == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
    }
    return kAnswerOk;
}

}  // namespace versalo
