// The settings store and the saved window position, on a settings file of the test's own.
#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

#include "settings/settings_store.h"
#include "settings/window_position.h"

namespace versalo {
namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("einstellungen.ini"));
        SetSettingsFilePath(m_path);
        SetSettingsWriteObserver(
            [this](const QString& key, const QString& text) { m_writes.push_back(key + u'=' + text); });
    }
    void TearDown() override {
        SetSettingsWriteObserver({});
        SetSettingsFilePath({});
    }

    // Puts text into the settings file as a user with an editor would.
    void WriteFile(const QByteArray& text) const {
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    QByteArray FileText() const {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QString m_path;
    std::vector<QString> m_writes;
};

TEST_F(SettingsStoreTest, ValuesAreStoredAsDecimalTextsInTheVersaloSection) {
    SaveValue(QStringLiteral("CaseType"), std::int16_t{2});
    SaveValue(QStringLiteral("Floating"), std::int16_t{-1});
    SaveValue(QStringLiteral("_Top"), 1440.0F);
    SaveValue(QStringLiteral("_Left"), 105000.0F);

    const QByteArray text = FileText();
    EXPECT_TRUE(text.startsWith("[Versalo]\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nCaseType=2\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nFloating=-1\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\n_Top=1440\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\n_Left=105000\n")) << text.toStdString();

    // A value written again replaces the old one.
    SaveValue(QStringLiteral("CaseType"), std::int16_t{0});
    EXPECT_EQ(LoadValue(QStringLiteral("CaseType"), 1), QStringLiteral("0"));
}

TEST_F(SettingsStoreTest, AbsentKeysGiveTheTextOfTheDefault) {
    EXPECT_EQ(LoadValue(QStringLiteral("_Top"), -1), QStringLiteral("-1"));
    EXPECT_EQ(LoadValue(QStringLiteral("CaseType"), 1), QStringLiteral("1"));
    EXPECT_EQ(ReadSetting(Setting::CaseType), 1);
    EXPECT_EQ(ReadSetting(Setting::Floating), 1);
    EXPECT_EQ(ReadSetting(Setting::Methode), 1);
    EXPECT_EQ(ReadSetting(Setting::Top), -1);
    EXPECT_EQ(ReadSetting(Setting::Left), -1);
    EXPECT_FALSE(QFile::exists(m_path)) << "reading must not create the file";
}

TEST_F(SettingsStoreTest, ValuesThatDoNotConvertCountAsAbsent) {
    WriteFile(
        "[Versalo]\n"
        "CaseType=drei\n"
        "Floating=3\n"
        "Methode=-1\n"
        "_Top=12.5\n"
        "_Left=99999999999\n");
    EXPECT_EQ(ReadSetting(Setting::CaseType), 1);
    EXPECT_EQ(ReadSetting(Setting::Floating), 1);
    EXPECT_EQ(ReadSetting(Setting::Methode), 1);
    EXPECT_EQ(ReadSetting(Setting::Top), -1);
    EXPECT_EQ(ReadSetting(Setting::Left), -1);
    // The texts themselves come back as they are; only their meaning is refused.
    EXPECT_EQ(LoadValue(QStringLiteral("CaseType"), 1), QStringLiteral("drei"));
}

TEST_F(SettingsStoreTest, UsableValuesAreReadWithinTheirRange) {
    WriteFile(
        "[Versalo]\n"
        "CaseType=2\n"
        "Floating=0\n"
        "Methode=2\n"
        "_Top=0\n"
        "_Left=-30\n");
    EXPECT_EQ(ReadSetting(Setting::CaseType), 2);
    EXPECT_EQ(ReadSetting(Setting::Floating), 0);
    EXPECT_EQ(ReadSetting(Setting::Methode), 2);
    EXPECT_EQ(ReadSetting(Setting::Top), 0);
    EXPECT_EQ(ReadSetting(Setting::Left), -30);
}

TEST_F(SettingsStoreTest, AFileOfGarbageStillLetsTheProgramReadAndWrite) {
    static const char garbage[] =
        "\x00\xff\x13[[[Versalo\n=\n\xfe\xfe"
        "CaseType\n@Variant(\x01\x02)\n";
    WriteFile(QByteArray(garbage, sizeof garbage - 1));
    EXPECT_EQ(ReadSetting(Setting::CaseType), 1);
    EXPECT_EQ(ReadSetting(Setting::Top), -1);
    SaveValue(QStringLiteral("Methode"), std::int16_t{0});
    EXPECT_EQ(ReadSetting(Setting::Methode), 0);
}

TEST_F(SettingsStoreTest, TheUsersFileLiesInTheConfigurationFolder) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const QString config = m_dir.filePath(QStringLiteral("konfiguration"));
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    SetSettingsFilePath({});
    EXPECT_EQ(SettingsFilePath(), config + QStringLiteral("/Quistel's Kistwerk.ini"));
    SaveValue(QStringLiteral("CaseType"), std::int16_t{0});
    EXPECT_TRUE(QFile::exists(config + QStringLiteral("/Quistel's Kistwerk.ini")));
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST_F(SettingsStoreTest, TheWindowPositionIsSavedInTwipsTopBeforeLeft) {
    QWidget form;
    form.resize(100, 80);
    form.move(40, 96);
    SaveWindowPosition(&form);
    EXPECT_EQ(m_writes, (std::vector<QString>{QStringLiteral("_Top=1440"), QStringLiteral("_Left=600")}));
}

class RestorePositionTest : public SettingsStoreTest {
protected:
    void SetUp() override {
        SettingsStoreTest::SetUp();
        m_form.setFixedSize(181, 232);
        m_form.move(17, 23);
    }
    QWidget m_form;
};

TEST_F(RestorePositionTest, BothCoordinatesStoredMoveTheWindow) {
    WriteFile("[Versalo]\n_Top=1500\n_Left=3000\n");
    EXPECT_TRUE(RestoreWindowPosition(&m_form));
    EXPECT_EQ(m_form.pos(), QPoint(200, 100));
}

TEST_F(RestorePositionTest, ZeroIsAPositionLikeAnyOther) {
    WriteFile("[Versalo]\n_Top=0\n_Left=0\n");
    EXPECT_TRUE(RestoreWindowPosition(&m_form));
    EXPECT_EQ(m_form.pos(), QPoint(0, 0));
}

TEST_F(RestorePositionTest, AMissingNegativeOrUnreadableCoordinateLeavesTheWindowWhereItIs) {
    for (const QByteArray& text :
         {QByteArray("[Versalo]\n_Top=1500\n"), QByteArray("[Versalo]\n_Left=1500\n"),
          QByteArray("[Versalo]\n_Top=-15\n_Left=3000\n"), QByteArray("[Versalo]\n_Top=1500\n_Left=-1\n"),
          QByteArray("[Versalo]\n_Top=oben\n_Left=3000\n")}) {
        SCOPED_TRACE(text.toStdString());
        QTemporaryDir dir;
        m_path = dir.filePath(QStringLiteral("einstellungen.ini"));
        SetSettingsFilePath(m_path);
        WriteFile(text);
        EXPECT_FALSE(RestoreWindowPosition(&m_form));
        EXPECT_EQ(m_form.pos(), QPoint(17, 23));
    }
}

TEST_F(RestorePositionTest, APositionOffEveryScreenCentresTheWindowInstead) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // Saved on a far larger screen: the title bar would lie beyond the right edge.
    const int beyond = (screen.right() + 10) * 15;
    WriteFile("[Versalo]\n_Top=150\n_Left=" + QByteArray::number(beyond) + "\n");
    EXPECT_TRUE(RestoreWindowPosition(&m_form));
    const QRect frame = m_form.frameGeometry();
    EXPECT_EQ(frame.x(), screen.x() + (screen.width() - frame.width()) / 2);
    EXPECT_EQ(frame.y(), screen.y() + (screen.height() - frame.height()) / 2);
}

TEST(TitleAreaTest, ATitleBarHalfOnTheScreenCanStillBeGrabbed) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(TitleAreaReachable(QRect(screen.right() - 60, screen.top(), 181, 232)));
    EXPECT_FALSE(TitleAreaReachable(QRect(screen.right() - 10, screen.top(), 181, 232)));
    EXPECT_FALSE(TitleAreaReachable(QRect(screen.left(), screen.bottom() - 5, 181, 232)));
    EXPECT_TRUE(TitleAreaReachable(QRect(screen.left() - 120, screen.top() + 10, 181, 232)));
}

}  // namespace
}  // namespace versalo
