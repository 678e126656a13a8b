#include "ui/info_dialog/info_text.h"

#include "version/version.h"
#include "version_config.h"

namespace versalo {

namespace {

// Functions, not namespace-scope QStrings: nothing to construct before main() or in any order.
QString ProgramName() {
    return QStringLiteral("Versalo");
}
QString Dash() {
    return QStringLiteral(" \u2013 ");
}
QString Paragraph() {
    return QStringLiteral("\n\n");
}

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

QString InfoText(const QString& year) {
    return ProgramName() + Dash() + QStringLiteral("fixes Anpassen der Schreibweise von Dateien & Ordnern") +
           Version() + Paragraph() +  //
           QStringLiteral("Copyright \u00a9 Quistel's Kistwerk 2001") + Dash() + year + Paragraph() +
           QStringLiteral("Dieses Programm ist Freeware") + Dash() +
           QStringLiteral("Sie dürfen es kostenlos benutzen und unverändert weitergeben.") + Paragraph() +
           QStringLiteral("Gefällt Ihnen ") + ProgramName() +
           QStringLiteral("? Dann registrieren Sie sich bitte bei mir") + Dash() +
           QStringLiteral(
               "mit einem Betrag, den Sie selbst bestimmen. Damit sichern Sie sich meine "
               "Unterstützung und helfen, das Tool weiterzuentwickeln. Sie erhalten:") +
           Paragraph() +  //
           Bullet(QStringLiteral("schnelle Hilfe per E-Mail bei Fragen und Problemen.\n")) +
           Bullet(QStringLiteral(
               "kostenlose Sonderversionen mit zusätzlichen Funktionen, soweit es sie gibt.\n")) +
           Bullet(QStringLiteral("neue Versionen am Tag ihres Erscheinens per E-Mail an Ihre Adresse.")) +
           Paragraph() +  //
           QStringLiteral("Bitte gehen Sie nicht davon aus, dass sich schon genug andere registrieren") +
           Dash() + QStringLiteral("jede Registrierung zählt.") + Paragraph() +  //
           QStringLiteral("Vorschläge, wie sich ") + ProgramName() +
           QStringLiteral(
               " verbessern lässt, sind mir jederzeit willkommen. Weitere Tools finden Sie auf "
               "meiner Web-Site ") +
           WebHost();
}

QString InfoCaption() {
    return QStringLiteral("Info über ") + ProgramName();
}

QString MailTarget() {
    return QStringLiteral("mailto:") + SupportMail() + QStringLiteral("?subject=") + ProgramName() +
           Version();
}

QString NewsTarget() {
    return WebHost() + QStringLiteral("/new.htm");
}

QString RegistrationTarget() {
    return WebHost() + QStringLiteral("/register");
}

QString MailToolTip() {
    return QStringLiteral("... startet Ihr E-Mail-Programm für eine Nachricht an mich unter ''") +
           SupportMail() + QStringLiteral("''");
}

QString NewsToolTip() {
    return QStringLiteral("... startet Ihren Internet-Browser mit dem Ziel ") + NewsTarget();
}

QString RegistrationToolTip() {
    // The tooltip names the folder with its closing slash; the button opens it without one.
    return QStringLiteral("... startet Ihren Internet-Browser mit dem Ziel ") + RegistrationTarget() +
           QStringLiteral("/");
}

QString CloseToolTip() {
    return QStringLiteral("... bringt Sie zurück zum Programm");
}

}  // namespace versalo
