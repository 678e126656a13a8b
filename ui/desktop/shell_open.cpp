#include "ui/desktop/shell_open.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "version_config.h"

namespace versalo {

namespace {

const QString kHelpFileName = QStringLiteral("hilfe.htm");

// A scheme as URLs write it, directly followed by its colon. Dots are allowed in schemes but
// are left out here, so that a host with a port ("www.host.example:8080/new.htm") stays a web
// address instead of becoming the scheme "www.host.example".
bool HasScheme(const QString& target) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+-]*:"));
    return scheme.match(target).hasMatch();
}

}  // namespace

void OpenWithDesktop(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

void ShellOpen(const UrlOpener& open, const QString& target) {
    open(ShellTargetUrl(target));
}

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
    // The maker's pages are written as host name and path without a scheme. Plain http works for
    // every site; a site that wants https redirects to it, and browsers upgrade on their own.
    return QUrl(QStringLiteral("http://") + target, QUrl::TolerantMode);
}

QString HelpFilePath(const QString& programDirectory, const QString& dataDirectory) {
    const QString beside = QDir(programDirectory).filePath(kHelpFileName);
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

void ShowHelp(const UrlOpener& open) {
    ShellOpen(open, HelpFilePath(QCoreApplication::applicationDirPath(), QStringLiteral(VERSALO_DATA_DIR)));
}

}  // namespace versalo
