#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <vector>

#include "collection/paths.h"
#include "collection/qt/shell_open.h"
#include "collection/version.h"
#include "version_config.h"

namespace versalo {
namespace {

// Records what would have gone to the desktop's opener; no browser or mail program starts.
class RecordingOpener {
public:
    RecordingOpener() {
        m_previous = SetUrlOpener([this](const QUrl& url) { opened.push_back(url); });
    }
    ~RecordingOpener() { SetUrlOpener(m_previous); }
    RecordingOpener(const RecordingOpener&) = delete;
    RecordingOpener& operator=(const RecordingOpener&) = delete;

    std::vector<QUrl> opened;

private:
    UrlOpener m_previous;
};

void WriteFile(const QString& path, const QByteArray& content = "<html></html>") {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath())) << path.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(VersionTextTest, IsTheProgramVersionInParentheses) {
    EXPECT_EQ(VersionText(), " (V2.6.5)");
    EXPECT_EQ(VersionText().size(), 9u);
}

TEST(VersionTextTest, WritesNumbersWithoutFill) {
    EXPECT_EQ(VersionText({2, 10, 0}), " (V2.10.0)");
    EXPECT_EQ(VersionText({12, 0, 305}), " (V12.0.305)");
}

TEST(VersionTextTest, ComesFromTheBuildsVersion) {
    const VersionNumbers version = ProgramVersion();
    EXPECT_EQ(version.major, VERSALO_VERSION_MAJOR);
    EXPECT_EQ(version.minor, VERSALO_VERSION_MINOR);
    EXPECT_EQ(version.revision, VERSALO_VERSION_PATCH);
    EXPECT_EQ(version.major, 2);
    EXPECT_EQ(version.minor, 6);
    EXPECT_EQ(version.revision, 5);
}

TEST(ShellTargetUrlTest, HostWithoutSchemeIsAWebAddress) {
    const QUrl url = ShellTargetUrl(QStringLiteral("www.host.example/new.htm"));
    EXPECT_EQ(url.scheme(), "http");
    EXPECT_EQ(url.host(), "www.host.example");
    EXPECT_EQ(url.path(), "/new.htm");
    EXPECT_EQ(url.toString(), "http://www.host.example/new.htm");
}

TEST(ShellTargetUrlTest, HostWithPortIsStillAWebAddress) {
    const QUrl url = ShellTargetUrl(QStringLiteral("www.host.example:8080/register"));
    EXPECT_EQ(url.scheme(), "http");
    EXPECT_EQ(url.host(), "www.host.example");
    EXPECT_EQ(url.port(), 8080);
    EXPECT_EQ(url.path(), "/register");
}

TEST(ShellTargetUrlTest, AddressWithSchemeStaysAsItIs) {
    EXPECT_EQ(ShellTargetUrl(QStringLiteral("https://www.host.example/a")).toString(),
              "https://www.host.example/a");
}

TEST(ShellTargetUrlTest, AbsolutePathIsALocalFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("mit Blank ä.htm"));
    WriteFile(path);
    const QUrl url = ShellTargetUrl(path);
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_EQ(url.toLocalFile(), path);
}

TEST(ShellTargetUrlTest, MissingAbsolutePathIsStillALocalFile) {
    const QUrl url = ShellTargetUrl(QStringLiteral("/nicht/da/hilfe.htm"));
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_EQ(url.toLocalFile(), "/nicht/da/hilfe.htm");
}

TEST(ShellTargetUrlTest, MailSubjectKeepsBlankAndParentheses) {
    const QString target = QStringLiteral("mailto:support@host.example?subject=Versalo (V2.6.5)");
    const QUrl url = ShellTargetUrl(target);
    EXPECT_EQ(url.scheme(), "mailto");
    EXPECT_EQ(url.path(), "support@host.example");
    EXPECT_EQ(url.query(QUrl::FullyDecoded), "subject=Versalo (V2.6.5)");
    EXPECT_EQ(url.toString(QUrl::FullyDecoded), target);
    // On the wire a blank cannot stand in an address; the mail program reads %20 back as the blank.
    // The parentheses go out as they are.
    EXPECT_EQ(url.toEncoded(), "mailto:support@host.example?subject=Versalo%20(V2.6.5)");
}

TEST(ShellOpenTest, HandsTheAddressToTheOpenerAndReturns) {
    RecordingOpener opener;
    ShellOpen(nullptr, QStringLiteral("www.host.example/new.htm"), 1);
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0].toString(), "http://www.host.example/new.htm");
}

TEST(ShellOpenTest, TargetNothingCanOpenReturnsNormally) {
    RecordingOpener opener;
    ShellOpen(nullptr, QStringLiteral("keinschema-unbekannt:etwas"), 10);
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0].scheme(), "keinschema-unbekannt");
}

TEST(HelpFilePathTest, FindsThePageBesideTheProgram) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteFile(dir.filePath(QStringLiteral("build/hilfe.htm")));
    // Also installed elsewhere: the page beside the program wins.
    WriteFile(dir.filePath(QStringLiteral("share/versalo/hilfe.htm")));
    WriteFile(dir.filePath(QStringLiteral("data/hilfe.htm")));
    EXPECT_EQ(HelpFilePath(dir.filePath(QStringLiteral("build/")), dir.filePath(QStringLiteral("data"))),
              dir.filePath(QStringLiteral("build/hilfe.htm")));
    EXPECT_EQ(HelpFilePath(dir.filePath(QStringLiteral("build")), dir.filePath(QStringLiteral("data"))),
              dir.filePath(QStringLiteral("build/hilfe.htm")));
}

TEST(HelpFilePathTest, ProgramInTheRootFolderGetsOneSlash) {
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    ASSERT_FALSE(QFile::exists(QStringLiteral("/hilfe.htm")));
    ASSERT_FALSE(QFile::exists(QStringLiteral("/share/versalo/hilfe.htm")));
    EXPECT_EQ(HelpFilePath(QStringLiteral("/"), empty.path()), "/hilfe.htm");
}

TEST(HelpFilePathTest, FindsThePageOfAnInstallationAroundTheProgram) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("usr/bin"))));
    WriteFile(root.filePath(QStringLiteral("usr/share/versalo/hilfe.htm")));
    QTemporaryDir empty;
    EXPECT_EQ(HelpFilePath(root.filePath(QStringLiteral("usr/bin/")), empty.path()),
              root.filePath(QStringLiteral("usr/share/versalo/hilfe.htm")));
}

TEST(HelpFilePathTest, FallsBackToTheConfiguredDataFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("opt/versalo/bin"))));
    WriteFile(root.filePath(QStringLiteral("usr/local/share/versalo/hilfe.htm")));
    EXPECT_EQ(HelpFilePath(root.filePath(QStringLiteral("opt/versalo/bin/")),
                           root.filePath(QStringLiteral("usr/local/share/versalo"))),
              root.filePath(QStringLiteral("usr/local/share/versalo/hilfe.htm")));
}

TEST(HelpFilePathTest, MissingEverywhereGivesThePathBesideTheProgram) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("bin"))));
    EXPECT_EQ(HelpFilePath(root.filePath(QStringLiteral("bin/")), root.filePath(QStringLiteral("nirgends"))),
              root.filePath(QStringLiteral("bin/hilfe.htm")));
}

TEST(ShowHelpTest, OpensTheHelpPageBesideTheProgram) {
    RecordingOpener opener;
    ShowHelp(nullptr);
    ASSERT_EQ(opener.opened.size(), 1u);
    const QUrl url = opener.opened[0];
    ASSERT_TRUE(url.isLocalFile());
    EXPECT_EQ(url.toLocalFile(), QString::fromStdString(AppDirectory()) + "hilfe.htm");
    EXPECT_EQ(ReadFile(url.toLocalFile()), ReadFile(QStringLiteral(VERSALO_HELP_SOURCE)));
}

TEST(HelpPageTest, IsCopiedBesideTheWindowProgramInTheBuild) {
    const QByteArray source = ReadFile(QStringLiteral(VERSALO_HELP_SOURCE));
    ASSERT_FALSE(source.isEmpty());
    EXPECT_EQ(ReadFile(QStringLiteral(VERSALO_HELP_IN_BUILD)), source);
}

TEST(HelpPageTest, IsGermanUtf8HtmlAndCoversTheCommandLine) {
    const QString page = QString::fromUtf8(ReadFile(QStringLiteral(VERSALO_HELP_SOURCE)));
    EXPECT_TRUE(page.startsWith(QStringLiteral("<!DOCTYPE html>")));
    EXPECT_TRUE(page.contains(QStringLiteral("<meta charset=\"utf-8\">")));
    EXPECT_TRUE(page.contains(QStringLiteral("lang=\"de\"")));
    EXPECT_FALSE(page.contains(QChar::ReplacementCharacter));
    for (const char* option : {"-u", "--upper", "-l", "--lower", "-c", "--capital", "-t", "--two-move", "-n",
                               "--dry-run", "-v", "--verbose", "-h", "--help", "-V", "--version"}) {
        EXPECT_TRUE(page.contains(QStringLiteral("<code>%1</code>").arg(QLatin1String(option)))) << option;
    }
    for (const char* caption : {"GROSS", "klein", "Alternativ", "Direkt", "Immer oben"}) {
        EXPECT_TRUE(page.contains(QLatin1String(caption))) << caption;
    }
    EXPECT_TRUE(page.contains(QStringLiteral("<code>readme.TXT</code> → <code>Readme.txt</code>")));
}

}  // namespace
}  // namespace versalo
