#include "collection/qt/shell_open.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <utility>

#include "collection/paths.h"
#include "version_config.h"

namespace versalo {

namespace {

const QString kHelpFileName = QStringLiteral("hilfe.htm");

UrlOpener& CurrentOpener() {
    static UrlOpener opener;
    return opener;
}

// A scheme as URLs write it, directly followed by its colon. Dots are allowed in schemes but
// are left out here, so that a host with a port ("www.host.example:8080/new.htm") stays a web
// address instead of becoming the scheme "www.host.example".
bool HasScheme(const QString& target) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+-]*:"));
    return scheme.match(target).hasMatch();
}

}  // namespace

QUrl ShellTargetUrl(const QString& target) {
    if (target.startsWith(QLatin1Char('/'))) {
        return QUrl::fromLocalFile(target);
    }
    if (HasScheme(target)) {
        // Tolerant mode keeps what the caller wrote, such as the blank and the parentheses of a
        // mail subject; the blank goes out as %20, which every mail program reads back as a blank.
        return QUrl(target, QUrl::TolerantMode);
    }
    if (QFileInfo::exists(target)) {
        return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
    }
    // The maker's pages are written as host name and path without a scheme, the way a shell on
    // other systems recognises them. Plain http works for every site; a site that wants https
    // redirects to it, and browsers upgrade on their own.
    return QUrl(QStringLiteral("http://") + target, QUrl::TolerantMode);
}

void ShellOpen(QWidget* /*form*/, const QString& target, int /*showCommand*/) {
    // The desktop's opener neither ties its messages to a window nor takes a show command; it
    // starts the application in its own process and returns at once. Its result is not looked at:
    // when nothing can open the target the desktop says so, or nothing happens.
    const QUrl url = ShellTargetUrl(target);
    if (CurrentOpener()) {
        CurrentOpener()(url);
        return;
    }
    QDesktopServices::openUrl(url);
}

QString HelpFilePath(const QString& programDirectory, const QString& dataDirectory) {
    const QString beside =
        QString::fromStdString(WithTrailingSlash(programDirectory.toStdString())) + kHelpFileName;
    const QString candidates[] = {
        beside,
        QDir::cleanPath(programDirectory + QStringLiteral("/../share/versalo/") + kHelpFileName),
        QDir::cleanPath(dataDirectory + QLatin1Char('/') + kHelpFileName),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            return candidate;
        }
    }
    return beside;
}

void ShowHelp(QWidget* form) {
    const QString path =
        HelpFilePath(QString::fromStdString(AppDirectory()), QStringLiteral(VERSALO_DATA_DIR));
    ShellOpen(form, path, 10);
}

UrlOpener SetUrlOpener(UrlOpener opener) {
    return std::exchange(CurrentOpener(), std::move(opener));
}

}  // namespace versalo
