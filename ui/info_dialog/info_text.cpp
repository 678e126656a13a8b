#include "ui/info_dialog/info_text.h"

#include "collection/version.h"
#include "version_config.h"

namespace versalo {

namespace {

const QString kProgramName = QStringLiteral("Versalo");
const QString kCr = QStringLiteral("\r");
const QString kEnDash = QStringLiteral(" \u2013 ");

QString SupportMail() {
    return QStringLiteral(VERSALO_SUPPORT_MAIL);
}
QString WebHost() {
    return QStringLiteral(VERSALO_WEB_HOST);
}
QString Version() {
    return QString::fromStdString(VersionText());
}

QString Bullet(const QString& sentence) {
    return QStringLiteral("  \u2022 ") + sentence;
}

}  // namespace

QStringList InfoTextPieces(const QString& year) {
    return {
        // 1 to 4: name, dash, what it does, version
        kProgramName,
        kEnDash,
        QStringLiteral("fixes Anpassen der Schreibweise von Dateien && Ordnern"),
        Version(),
        kCr + kCr,
        // 6: the copyright line, ending with the year the dialog was opened in
        QStringLiteral("Copyright \u00a9 Quistel's Kistwerk 2001") + kEnDash + year,
        kCr + kCr,
        // 8: the freeware notice
        QStringLiteral("Dieses Programm ist Freeware") + kEnDash +
            QStringLiteral("Sie dürfen es kostenlos benutzen und unverändert weitergeben."),
        kCr + kCr,
        // 10 and 11 form one paragraph: 10 ends with a blank, "Sie erhalten:" follows directly
        QStringLiteral("Gefällt Ihnen ") + kProgramName +
            QStringLiteral("? Dann registrieren Sie sich bitte bei mir") + kEnDash +
            QStringLiteral("mit einem Betrag, den Sie selbst bestimmen. Damit sichern Sie sich meine "
                           "Unterstützung und helfen, das Tool weiterzuentwickeln. "),
        QStringLiteral("Sie erhalten:"),
        kCr + kCr,
        // 13: three bullet lines
        Bullet(QStringLiteral("schnelle Hilfe per E-Mail bei Fragen und Problemen.")) + kCr +
            Bullet(QStringLiteral("kostenlose Sonderversionen mit zusätzlichen Funktionen, soweit es sie "
                                  "gibt.")) +
            kCr +
            Bullet(QStringLiteral("neue Versionen am Tag ihres Erscheinens per E-Mail an Ihre Adresse.")),
        kCr + kCr,
        // 15
        QStringLiteral("Bitte gehen Sie nicht davon aus, dass sich schon genug andere registrieren") +
            kEnDash + QStringLiteral("jede Registrierung zählt."),
        kCr + kCr,
        // 17: ends with the host name and no full stop
        QStringLiteral("Vorschläge, wie sich ") + kProgramName +
            QStringLiteral(" verbessern lässt, sind mir jederzeit willkommen. Weitere Tools finden Sie "
                           "auf meiner Web-Site ") +
            WebHost(),
    };
}

QString InfoText(const QString& year) {
    return InfoTextPieces(year).join(QString());
}

QString DisplayText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            shown += QLatin1Char('\n');
        } else if (c == QLatin1Char('&')) {
            // "&&" stands for one ampersand; a lone "&" only marks the next character.
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&')) {
                shown += QLatin1Char('&');
                ++i;
            }
        } else {
            shown += c;
        }
    }
    return shown;
}

QString InfoCaption() {
    return QStringLiteral("Info über ") + kProgramName;
}

QString MailTarget() {
    return QStringLiteral("mailto:") + SupportMail() + QStringLiteral("?subject=") + kProgramName + Version();
}

QString NewsTarget() {
    return WebHost() + QStringLiteral("/new.htm");
}

QString RegistrationTarget() {
    return WebHost() + QStringLiteral("/register");
}

QString ButtonToolTip(int index) {
    switch (index) {
        case 0:
            return QStringLiteral("... startet Ihr E-Mail-Programm für eine Nachricht an mich unter ''") +
                   SupportMail() + QStringLiteral("''");
        case 1:
            return QStringLiteral("... startet Ihren Internet-Browser mit dem Ziel ") + WebHost() +
                   QStringLiteral("/new.htm");
        case 2:
            // The tooltip names the folder with its closing slash; the button opens it without one.
            return QStringLiteral("... startet Ihren Internet-Browser mit dem Ziel ") + WebHost() +
                   QStringLiteral("/register/");
        case 3:
            return QStringLiteral("... bringt Sie zurück zum Programm");
        default:
            return {};
    }
}

}  // namespace versalo
