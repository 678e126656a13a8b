#include <gtest/gtest.h>

#include <QStringList>

#include "ui/info_dialog/info_text.h"
#include "version_config.h"

namespace versalo {
namespace {

const QString kCrCr = QStringLiteral("\r\r");
const QString kEnDash = QStringLiteral(" \u2013 ");
const QString kMail = QStringLiteral(VERSALO_SUPPORT_MAIL);
const QString kHost = QStringLiteral(VERSALO_WEB_HOST);

TEST(InfoTextTest, HasSeventeenPiecesInOrder) {
    const QStringList pieces = InfoTextPieces(QStringLiteral("2027"));
    ASSERT_EQ(pieces.size(), 17);
    EXPECT_EQ(pieces[0], "Versalo");
    EXPECT_EQ(pieces[1], QStringLiteral(" \u2013 "));
    EXPECT_EQ(pieces[2], "fixes Anpassen der Schreibweise von Dateien && Ordnern");
    EXPECT_EQ(pieces[3], " (V2.6.5)");
    for (int separator : {4, 6, 8, 11, 13, 15}) {
        EXPECT_EQ(pieces[separator], kCrCr) << "piece " << separator + 1;
    }
    EXPECT_EQ(pieces[10], "Sie erhalten:");
}

TEST(InfoTextTest, CopyrightLineEndsWithTheYearItIsGiven) {
    const QString line = InfoTextPieces(QStringLiteral("2027"))[5];
    EXPECT_TRUE(line.startsWith(QStringLiteral("Copyright \u00a9 "))) << line.toStdString();
    EXPECT_TRUE(line.endsWith(kEnDash + QStringLiteral("2027"))) << line.toStdString();
    EXPECT_TRUE(InfoTextPieces(QStringLiteral("2031"))[5].endsWith(QStringLiteral("2031")));
}

TEST(InfoTextTest, FreewareNoticeUsesTheDash) {
    const QString notice = InfoTextPieces(QStringLiteral("2027"))[7];
    EXPECT_TRUE(notice.contains(QStringLiteral("Freeware")));
    EXPECT_TRUE(notice.contains(kEnDash));
    EXPECT_FALSE(notice.contains(QLatin1Char('\r')));
}

TEST(InfoTextTest, RegistrationParagraphAsksAQuestionAndRunsOnIntoSieErhalten) {
    const QStringList pieces = InfoTextPieces(QStringLiteral("2027"));
    const QString& invitation = pieces[9];
    EXPECT_TRUE(invitation.startsWith(QStringLiteral("Gefällt Ihnen Versalo?"))) << invitation.toStdString();
    EXPECT_TRUE(invitation.endsWith(QStringLiteral(". "))) << invitation.toStdString();
    EXPECT_TRUE(invitation.contains(kEnDash));
    EXPECT_TRUE(invitation.contains(QStringLiteral("registrieren")));
    EXPECT_TRUE(InfoText(QStringLiteral("2027")).contains(QStringLiteral(". Sie erhalten:\r\r  \u2022 ")));
}

TEST(InfoTextTest, ThreeBulletLinesSeparatedBySingleCarriageReturns) {
    const QString bullets = InfoTextPieces(QStringLiteral("2027"))[12];
    EXPECT_FALSE(bullets.contains(kCrCr));
    const QStringList lines = bullets.split(QLatin1Char('\r'));
    ASSERT_EQ(lines.size(), 3);
    for (const QString& line : lines) {
        EXPECT_TRUE(line.startsWith(QStringLiteral("  \u2022 "))) << line.toStdString();
        EXPECT_GT(line.size(), 10);
        EXPECT_TRUE(line.endsWith(QLatin1Char('.'))) << line.toStdString();
    }
    EXPECT_TRUE(lines[0].contains(QStringLiteral("E-Mail")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("Sonderversionen")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("Tag ihres Erscheinens")));
}

TEST(InfoTextTest, PleaDoesNotAssumeOthersRegister) {
    const QString plea = InfoTextPieces(QStringLiteral("2027"))[14];
    EXPECT_TRUE(plea.contains(kEnDash));
    EXPECT_TRUE(plea.contains(QStringLiteral("genug andere")));
}

TEST(InfoTextTest, LastParagraphEndsWithTheHostAndNoFullStop) {
    const QString last = InfoTextPieces(QStringLiteral("2027"))[16];
    EXPECT_TRUE(last.endsWith(QStringLiteral(" ") + kHost)) << last.toStdString();
    EXPECT_TRUE(last.contains(QStringLiteral("Web-Site")));
    EXPECT_TRUE(InfoText(QStringLiteral("2027")).endsWith(kHost));
}

TEST(InfoTextTest, UsesCarriageReturnsOnly) {
    const QString text = InfoText(QStringLiteral("2027"));
    EXPECT_FALSE(text.contains(QLatin1Char('\n')));
    EXPECT_EQ(text.count(QLatin1Char('\r')), 6 * 2 + 2);
    EXPECT_TRUE(text.startsWith(QStringLiteral(
        "Versalo \u2013 fixes Anpassen der Schreibweise von Dateien && Ordnern (V2.6.5)\r\rCopyright")));
}

TEST(DisplayTextTest, ShowsTheDoubledAmpersandAsOne) {
    EXPECT_EQ(DisplayText(QStringLiteral("Dateien && Ordnern")), "Dateien & Ordnern");
    EXPECT_EQ(DisplayText(QStringLiteral("&&&&")), "&&");
    EXPECT_EQ(DisplayText(QStringLiteral("Eine &E-Mail")), "Eine E-Mail");
}

TEST(DisplayTextTest, BreaksTheLineAtEachCarriageReturn) {
    EXPECT_EQ(DisplayText(QStringLiteral("a\r\rb\rc")), "a\n\nb\nc");
}

TEST(InfoCaptionTest, NamesTheProgram) {
    EXPECT_EQ(InfoCaption(), QStringLiteral("Info über Versalo"));
}

TEST(LinkTargetTest, MailHasTheUnencodedSubject) {
    EXPECT_EQ(MailTarget(), QStringLiteral("mailto:") + kMail + QStringLiteral("?subject=Versalo (V2.6.5)"));
}

TEST(LinkTargetTest, WebPagesHaveNoSchemeAndNoClosingSlash) {
    EXPECT_EQ(NewsTarget(), kHost + QStringLiteral("/new.htm"));
    EXPECT_EQ(RegistrationTarget(), kHost + QStringLiteral("/register"));
}

TEST(ButtonToolTipTest, NameTheTargets) {
    EXPECT_EQ(ButtonToolTip(0),
              QStringLiteral("... startet Ihr E-Mail-Programm für eine Nachricht an mich unter ''") + kMail +
                  QStringLiteral("''"));
    EXPECT_EQ(ButtonToolTip(1), QStringLiteral("... startet Ihren Internet-Browser mit dem Ziel ") + kHost +
                                    QStringLiteral("/new.htm"));
    EXPECT_EQ(ButtonToolTip(3), QStringLiteral("... bringt Sie zurück zum Programm"));
}

TEST(ButtonToolTipTest, RegistrationTooltipHasTheClosingSlash) {
    EXPECT_EQ(ButtonToolTip(2), QStringLiteral("... startet Ihren Internet-Browser mit dem Ziel ") + kHost +
                                    QStringLiteral("/register/"));
    EXPECT_EQ(ButtonToolTip(2), QStringLiteral("... startet Ihren Internet-Browser mit dem Ziel ") +
                                    RegistrationTarget() + QStringLiteral("/"));
}

}  // namespace
}  // namespace versalo
