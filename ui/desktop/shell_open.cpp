#include "ui/desktop/shell_open.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include "version_config.h"

namespace versalo {

namespace {

QString HelpFileName() {
    return QStringLiteral("hilfe.htm");
}

// What the user is told when nothing opened url: the file, mail address or web address itself,
// on a line of its own, so that it can be selected and copied.
QString NotOpenedText(const QUrl& url) {
    if (url.isLocalFile()) {
        return QStringLiteral(
                   "Es ist kein Programm eingerichtet, das diese Datei öffnet (etwa ein "
                   "Web-Browser):\n\n%1\n\nBitte öffnen Sie sie selbst.")
            .arg(url.toLocalFile());
    }
    if (url.scheme() == QLatin1String("mailto")) {
        return QStringLiteral("Es ist kein E-Mail-Programm eingerichtet. Die Adresse lautet:\n\n%1")
            .arg(url.path());
    }
    return QStringLiteral(
               "Es ist kein Web-Browser eingerichtet, der diese Adresse öffnet:\n\n%1\n\n"
               "Bitte öffnen Sie sie selbst.")
        .arg(url.toString());
}

}  // namespace

bool OpenWithDesktop(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

void ShellOpen(QWidget* parent, const UrlOpener& open, const QString& target) {
    // The maker's pages are written as host name and path without a scheme: Qt's guess makes them
    // http addresses, an absolute path a local file, and keeps an address with a scheme (the
    // blank and parentheses of a mail subject included) as it is.
    const QUrl url = QUrl::fromUserInput(target);
    if (open(url)) {
        return;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Versalo"), NotOpenedText(url), QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

QString HelpFilePath(const QString& programDirectory, const QString& dataDirectory) {
    const QString beside = QDir(programDirectory).filePath(HelpFileName());
    const QString candidates[] = {
        beside,
        QDir::cleanPath(programDirectory + QStringLiteral("/../share/versalo/") + HelpFileName()),
        QDir::cleanPath(dataDirectory + QLatin1Char('/') + HelpFileName()),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            return candidate;
        }
    }
    return beside;
}

void ShowHelp(QWidget* parent, const UrlOpener& open) {
    ShellOpen(parent, open,
              HelpFilePath(QCoreApplication::applicationDirPath(), QStringLiteral(VERSALO_DATA_DIR)));
}

}  // namespace versalo
