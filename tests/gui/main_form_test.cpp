// The main window as a user meets it: start-up from the stored settings, the options, drops from
// a file manager onto the drop zone renaming real files, and closing with and without a batch.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <deque>
#include <memory>

#include "engine/engine_state.h"
#include "settings/settings_store.h"
#include "tests/support/temp_tree.h"
#include "ui/info_dialog/info_form.h"
#include "ui/main_window/drop_zone.h"
#include "ui/main_window/main_form.h"
#include "ui/main_window/start_up.h"

namespace versalo {
namespace {

using test::TempTree;

struct Shown {
    QString prompt;
    int code;
    QString title;
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_settingsPath = m_dir.filePath(QStringLiteral("versalo.ini"));
        SetSettingsFilePath(m_settingsPath);
        SetSettingsWriteObserver(
            [this](const QString& key, const QString&) { m_writtenKeys.push_back(key); });
        // The engine's state words as the program loads.
        CurrentCaseType = 0;
        RenameDirect = 0;
        BatchRunning = 0;
    }
    void TearDown() override {
        m_form.reset();
        SetSettingsWriteObserver({});
        SetSettingsFilePath({});
    }

    void WriteSettings(const QByteArray& text) const {
        QFile file(m_settingsPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    QString Stored(const char* key) const {
        const QSettings store(m_settingsPath, QSettings::IniFormat);
        return store.value(QStringLiteral("Versalo/") + QString::fromLatin1(key), QStringLiteral("<fehlt>"))
            .toString();
    }

    // Starts the window as the program does: built (its load handler runs), then shown.
    MainForm& Start() {
        m_form = std::make_unique<MainForm>();
        m_form->SetMessageBox([this](QWidget*, const QString& prompt, int code, const QString& title) {
            m_messages.push_back({prompt, code, title});
            if (m_onMessage) {
                m_onMessage();
            }
            if (m_answers.empty()) {
                return kAnswerOk;
            }
            const int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        });
        m_form->SetEndProgram([this] { ++m_ends; });
        m_form->show();
        return *m_form;
    }

    template <typename T>
    T* Control(const char* name) const {
        T* control = m_form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    // The point in the window's coordinates where a control's middle lies.
    QPoint MiddleOf(const char* name) const {
        QWidget* control = Control<QWidget>(name);
        return control->mapTo(m_form.get(), control->rect().center());
    }

    // Drags mime over the window and lets it go at point, as the window system delivers it; returns
    // whether the window took the drop.
    bool DropAt(const QMimeData& mime, const QPoint& point) {
        QWindow* window = m_form->windowHandle();
        EXPECT_NE(window, nullptr);
        QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &enter);
        QDragMoveEvent move(point, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &move);
        if (!enter.isAccepted() || !move.isAccepted()) {
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(window, &leave);
            return false;
        }
        QDropEvent drop(point, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &drop);
        return drop.isAccepted();
    }
    bool DropOnZone(const QMimeData& mime) { return DropAt(mime, MiddleOf("Image1")); }

    static QMimeData* FileList(const std::vector<std::string>& paths) {
        auto* mime = new QMimeData;
        QList<QUrl> urls;
        for (const std::string& path : paths) {
            urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
        }
        mime->setUrls(urls);
        return mime;
    }

    // Lets the window run its pending events until done() holds (a bounded number of rounds,
    // no waiting on a clock).
    template <typename Done>
    static bool ProcessUntil(Done done) {
        for (int round = 0; round < 100 && !done(); ++round) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        return done();
    }
    static void ProcessPending() {
        for (int round = 0; round < 10; ++round) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
    }

    QTemporaryDir m_dir;
    QString m_settingsPath;
    std::vector<QString> m_writtenKeys;
    std::unique_ptr<MainForm> m_form;
    std::vector<Shown> m_messages;
    std::deque<int> m_answers;
    std::function<void()> m_onMessage;
    int m_ends = 0;
};

// --- Start-up -------------------------------------------------------------------------------

TEST_F(MainFormTest, FirstStartSelectsKleinChecksBothBoxesAndStoresThem) {
    MainForm& form = Start();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Versalo"));
    EXPECT_FALSE(Control<QRadioButton>("OptCaseType0")->isChecked());
    EXPECT_TRUE(Control<QRadioButton>("OptCaseType1")->isChecked());
    EXPECT_FALSE(Control<QRadioButton>("OptCaseType2")->isChecked());
    EXPECT_EQ(Control<QCheckBox>("ChkTopMost")->checkState(), Qt::Checked);
    EXPECT_EQ(Control<QCheckBox>("ChkMethode")->checkState(), Qt::Checked);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(CurrentCaseType, 1);
    EXPECT_EQ(RenameDirect, 1);
    EXPECT_EQ(Stored("CaseType"), QStringLiteral("1"));
    EXPECT_EQ(Stored("Floating"), QStringLiteral("1"));
    EXPECT_EQ(Stored("Methode"), QStringLiteral("1"));
    // The position is written only when the window closes.
    EXPECT_EQ(Stored("_Top"), QStringLiteral("<fehlt>"));
    EXPECT_EQ(Stored("_Left"), QStringLiteral("<fehlt>"));
    EXPECT_EQ(Control<QProgressBar>("Pbar")->value(), 0);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(MainFormTest, StoredCaseTypeSelectsItsOption) {
    const std::array<const char*, 3> names{"OptCaseType0", "OptCaseType1", "OptCaseType2"};
    for (int stored = 0; stored < 3; ++stored) {
        SCOPED_TRACE(stored);
        QTemporaryDir dir;
        m_settingsPath = dir.filePath(QStringLiteral("versalo.ini"));
        SetSettingsFilePath(m_settingsPath);
        WriteSettings("[Versalo]\nCaseType=" + QByteArray::number(stored) + "\nFloating=1\nMethode=1\n");
        Start();
        for (int index = 0; index < 3; ++index) {
            EXPECT_EQ(Control<QRadioButton>(names.at(static_cast<std::size_t>(index)))->isChecked(),
                      index == stored);
        }
        EXPECT_EQ(CurrentCaseType, stored);
        EXPECT_EQ(Stored("CaseType"), QString::number(stored));
        m_form.reset();
    }
}

TEST_F(MainFormTest, StoredZerosLeaveTheBoxesClearAndWriteNothing) {
    WriteSettings("[Versalo]\nCaseType=2\nFloating=0\nMethode=0\n");
    MainForm& form = Start();
    EXPECT_EQ(Control<QCheckBox>("ChkTopMost")->checkState(), Qt::Unchecked);
    EXPECT_EQ(Control<QCheckBox>("ChkMethode")->checkState(), Qt::Unchecked);
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(RenameDirect, 0);
    EXPECT_EQ(CurrentCaseType, 2);
    // Only the case option's handler ran.
    EXPECT_EQ(m_writtenKeys, std::vector<QString>{QStringLiteral("CaseType")});
}

TEST_F(MainFormTest, AStoredGreyBoxIsGreyAndCountsAsSet) {
    WriteSettings("[Versalo]\nCaseType=1\nFloating=2\nMethode=2\n");
    MainForm& form = Start();
    EXPECT_EQ(Control<QCheckBox>("ChkTopMost")->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(Control<QCheckBox>("ChkMethode")->checkState(), Qt::PartiallyChecked);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(RenameDirect, 2);
    EXPECT_EQ(Stored("Floating"), QStringLiteral("2"));
}

TEST_F(MainFormTest, ACorruptSettingsFileGivesTheDefaultsAndIsRepaired) {
    WriteSettings(
        "[Versalo]\nCaseType=gross\nFloating=9\nMethode=\n_Top=mitte\n_Left=1.5e3\n"
        "\x01\x02 kaputt ]]]\n");
    MainForm& form = Start();
    EXPECT_TRUE(Control<QRadioButton>("OptCaseType1")->isChecked());
    EXPECT_EQ(Control<QCheckBox>("ChkTopMost")->checkState(), Qt::Checked);
    EXPECT_EQ(Control<QCheckBox>("ChkMethode")->checkState(), Qt::Checked);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(Stored("CaseType"), QStringLiteral("1"));
    EXPECT_EQ(Stored("Floating"), QStringLiteral("1"));
    EXPECT_EQ(Stored("Methode"), QStringLiteral("1"));
}

TEST_F(MainFormTest, AStoredPositionIsWhereTheWindowStands) {
    WriteSettings("[Versalo]\n_Top=450\n_Left=900\n");
    MainForm& form = Start();
    EXPECT_EQ(form.pos(), QPoint(60, 30));
}

TEST_F(MainFormTest, LayoutCaptionsAndTabOrder) {
    MainForm& form = Start();
    EXPECT_EQ(form.size(), QSize(181, 232));  // 2712 x 3480 twips
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowCloseButtonHint));

    struct Expected {
        const char* name;
        const char* caption;
        QRect pixels;
    };
    const std::array<Expected, 10> controls{{
        {"ChkMethode", "&Direkt", QRect(116, 144, 57, 25)},
        {"OptCaseType2", "&Alternativ", QRect(8, 148, 73, 17)},
        {"OptCaseType1", "&klein", QRect(8, 128, 73, 17)},
        {"OptCaseType0", "&GROSS", QRect(8, 108, 69, 17)},
        {"ChkTopMost", "&Immer oben", QRect(116, 108, 57, 29)},
        {"Btn2", "&Info", QRect(4, 196, 53, 29)},
        {"Btn1", "&Hilfe", QRect(64, 196, 49, 29)},
        {"Btn0", "&Ende", QRect(120, 196, 57, 29)},
        {"Pbar", nullptr, QRect(4, 172, 173, 17)},
        {"DropFrame", nullptr, QRect(4, 4, 173, 97)},
    }};
    for (const Expected& expected : controls) {
        SCOPED_TRACE(expected.name);
        QWidget* control = Control<QWidget>(expected.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), expected.pixels);
        EXPECT_EQ(control->font().family(), QStringLiteral("Arial"));
        EXPECT_DOUBLE_EQ(control->font().pointSizeF(), 8.4);
        if (auto* button = qobject_cast<QAbstractButton*>(control); button != nullptr) {
            EXPECT_EQ(button->text(), QString::fromUtf8(expected.caption));
        }
    }
    EXPECT_EQ(Control<QGroupBox>("DropFrame")->title(), QStringLiteral("Die Namen hier hineinziehen ..."));
    EXPECT_EQ(Control<QWidget>("Image1")->parentWidget(), Control<QWidget>("DropFrame"));
    EXPECT_EQ(Control<QWidget>("Image1")->geometry(), QRect(8, 16, 156, 72));

    // Walking the focus chain from the first option visits the controls in their tab order.
    std::vector<QString> order;
    QWidget* widget = Control<QWidget>("OptCaseType0");
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0) {
            order.push_back(widget->objectName());
        }
        widget = widget->nextInFocusChain();
    } while (widget != Control<QWidget>("OptCaseType0"));
    EXPECT_EQ(order, (std::vector<QString>{"OptCaseType0", "OptCaseType1", "OptCaseType2", "ChkTopMost",
                                           "ChkMethode", "Btn2", "Btn1", "Btn0"}));
}

TEST_F(MainFormTest, TheArtworkIsBuiltInWithSixteenColours) {
    MainForm& form = Start();
    const QList<QSize> sizes = form.windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    for (const auto& [path, size] : std::vector<std::pair<QString, QSize>>{
             {QStringLiteral(":/versalo/icon-32.png"), QSize(32, 32)},
             {QStringLiteral(":/versalo/icon-16.png"), QSize(16, 16)},
             {QStringLiteral(":/versalo/drop-zone.png"), QSize(212, 91)}}) {
        SCOPED_TRACE(path.toStdString());
        const QImage image(path);
        EXPECT_EQ(image.size(), size);
        EXPECT_EQ(image.format(), QImage::Format_Indexed8);
        EXPECT_LE(image.colorCount(), 16);
        EXPECT_GE(image.colorCount(), 8);
    }
}

// --- Options ----------------------------------------------------------------------------------

TEST_F(MainFormTest, ChoosingAlternativStoresItAndTheNextDropUsesIt) {
    TempTree tree;
    tree.File("BRIEF an oma.TXT");
    Start();
    QTest::mouseClick(Control<QRadioButton>("OptCaseType2"), Qt::LeftButton);
    EXPECT_EQ(CurrentCaseType, 2);
    EXPECT_EQ(Stored("CaseType"), QStringLiteral("2"));

    std::unique_ptr<QMimeData> mime(FileList({tree.Path("BRIEF an oma.TXT")}));
    ASSERT_TRUE(DropOnZone(*mime));
    EXPECT_TRUE(ProcessUntil([&] { return tree.Names() == std::vector<std::string>{"Brief an oma.txt"}; }))
        << tree.Names().front();
}

TEST_F(MainFormTest, ClearingImmerObenLeavesTheTopBandAndStoresZero) {
    MainForm& form = Start();
    form.move(70, 50);
    const QRect before = form.geometry();
    QTest::mouseClick(Control<QCheckBox>("ChkTopMost"), Qt::LeftButton);
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.geometry(), before);
    EXPECT_EQ(Stored("Floating"), QStringLiteral("0"));

    QTest::mouseClick(Control<QCheckBox>("ChkTopMost"), Qt::LeftButton);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(form.geometry(), before);
    EXPECT_EQ(Stored("Floating"), QStringLiteral("1"));
}

TEST_F(MainFormTest, ClearingDirektSwitchesToTwoMovesAndStoresZero) {
    Start();
    QTest::mouseClick(Control<QCheckBox>("ChkMethode"), Qt::LeftButton);
    EXPECT_EQ(RenameDirect, 0);
    EXPECT_EQ(Stored("Methode"), QStringLiteral("0"));
    QTest::mouseClick(Control<QCheckBox>("ChkMethode"), Qt::LeftButton);
    EXPECT_EQ(RenameDirect, 1);
    EXPECT_EQ(Stored("Methode"), QStringLiteral("1"));
}

TEST_F(MainFormTest, AcceleratorsClickTheirControls) {
    MainForm& form = Start();
    QApplication::setActiveWindow(&form);
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    // An accelerator presses its button at once and clicks it when Qt's short press animation
    // ends; the test waits for that event, not for a time.
    const auto press = [&](Qt::Key key, const char* name) {
        QTest::keyClick(form.windowHandle(), key, Qt::AltModifier);
        auto* button = Control<QAbstractButton>(name);
        EXPECT_TRUE(button->isDown()) << name;
        for (int round = 0; round < 20 && button->isDown(); ++round) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    };
    press(Qt::Key_G, "OptCaseType0");
    EXPECT_EQ(CurrentCaseType, 0);
    press(Qt::Key_A, "OptCaseType2");
    EXPECT_EQ(CurrentCaseType, 2);
    press(Qt::Key_K, "OptCaseType1");
    EXPECT_EQ(CurrentCaseType, 1);
    press(Qt::Key_D, "ChkMethode");
    EXPECT_EQ(RenameDirect, 0);
    EXPECT_EQ(Stored("Methode"), QStringLiteral("0"));
}

// --- Drops ------------------------------------------------------------------------------------

TEST_F(MainFormTest, DroppedFilesAndFoldersAreRenamedOnDisk) {
    TempTree tree;
    tree.File("Brief.TXT");
    tree.File("Fotos/Urlaub AM Meer.JPG");
    tree.File("Fotos/Alt/DSC 001.jpg");
    tree.File("Bleibt.TXT");
    tree.File("Was NUN?.MP3");  // a "?" is an ordinary character of a name
    MainForm& form = Start();

    std::unique_ptr<QMimeData> mime(
        FileList({tree.Path("Brief.TXT"), tree.Path("Fotos"), tree.Path("Was NUN?.MP3")}));
    ASSERT_TRUE(DropOnZone(*mime));
    // The batch starts only after the drop event has returned to the file manager.
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"Bleibt.TXT", "Brief.TXT", "Fotos", "Was NUN?.MP3"}));

    ASSERT_TRUE(ProcessUntil([&] { return tree.Names().at(1) == "brief.txt" && BatchRunning == 0; }));
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"Bleibt.TXT", "brief.txt", "fotos", "was nun?.mp3"}));
    const auto snapshot = tree.Snapshot();
    EXPECT_EQ(snapshot.count("fotos/urlaub am meer.jpg"), 1U);
    EXPECT_EQ(snapshot.count("fotos/alt/dsc 001.jpg"), 1U);
    EXPECT_EQ(snapshot.count("Bleibt.TXT"), 1U);
    // Back to idle.
    EXPECT_EQ(BatchRunning, 0);
    EXPECT_TRUE(form.isEnabled());
    EXPECT_EQ(form.DropTarget()->BorderStyle(), 0);
    EXPECT_EQ(Control<QProgressBar>("Pbar")->value(), 0);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(MainFormTest, TheProgressBarMovesWhileOneDroppedFolderIsRenamed) {
    // The usual drop: one big folder. The bar moves by the share of its own subfolders done,
    // then stands at 100 for the dropped item, and goes back to 0 at the end.
    TempTree tree;
    for (const char* sub : {"A", "B", "C", "D"}) {
        tree.File(std::string("Fotos/") + sub + "/BILD.JPG");
        tree.File(std::string("Fotos/") + sub + "/TIEF/BILD.JPG");
    }
    Start();
    std::vector<int> values;
    QObject::connect(Control<QProgressBar>("Pbar"), &QProgressBar::valueChanged,
                     [&values](int value) { values.push_back(value); });
    std::unique_ptr<QMimeData> mime(FileList({tree.Path("Fotos")}));
    ASSERT_TRUE(DropOnZone(*mime));
    ASSERT_TRUE(
        ProcessUntil([&] { return tree.Names() == std::vector<std::string>{"fotos"} && BatchRunning == 0; }));
    EXPECT_EQ(values, (std::vector<int>{25, 50, 75, 100, 0}));
    EXPECT_EQ(tree.Snapshot().count("fotos/d/tief/bild.jpg"), 1U);
}

TEST_F(MainFormTest, ANameThatIsNotUtf8ReachesTheEngineIntactAndIsReported) {
    TempTree tree;
    tree.File("Gut.TXT");
    tree.File("Alt\xFF.TXT");
    Start();
    auto mime = std::make_unique<QMimeData>();
    const QByteArray root = QUrl::fromLocalFile(QString::fromStdString(tree.Root())).toEncoded();
    mime->setUrls({QUrl::fromEncoded(root + "/Alt%FF.TXT"), QUrl::fromEncoded(root + "/Gut.TXT")});
    ASSERT_TRUE(DropOnZone(*mime));
    ASSERT_TRUE(ProcessUntil([&] { return !m_messages.empty(); }));
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"Alt\xFF.TXT", "gut.txt"}));
    ASSERT_EQ(m_messages.size(), 1U);
    EXPECT_EQ(m_messages[0].code, kIconWarning);
    EXPECT_EQ(m_messages[0].title, QStringLiteral("Versalo"));
    EXPECT_TRUE(m_messages[0].prompt.contains(QStringLiteral("kein gültiges UTF-8")))
        << m_messages[0].prompt.toStdString();
}

TEST_F(MainFormTest, DroppedTextOrWebLinksGetTheInformationMessage) {
    TempTree tree;
    tree.File("Brief.TXT");
    Start();
    QMimeData text;
    text.setText(QString::fromStdString(tree.Path("Brief.TXT")));
    QMimeData link;
    link.setUrls({QUrl(QStringLiteral("https://www.versalo.example/Neu.HTM"))});
    for (const QMimeData* mime : {&text, &link}) {
        m_messages.clear();
        ASSERT_TRUE(DropOnZone(*mime));
        ASSERT_TRUE(ProcessUntil([&] { return !m_messages.empty(); }));
        EXPECT_EQ(m_messages[0].prompt,
                  QStringLiteral("Bitte nur Datei- und Verzeichnisnamen in die Liste ziehen."));
        EXPECT_EQ(m_messages[0].code, 64);
        EXPECT_EQ(m_messages[0].title, QStringLiteral("Versalo"));
    }
    EXPECT_EQ(tree.Names(), std::vector<std::string>{"Brief.TXT"});
    EXPECT_EQ(BatchRunning, 0);
}

TEST_F(MainFormTest, ADropBesideTheDropZoneDoesNothing) {
    TempTree tree;
    tree.File("Brief.TXT");
    Start();
    std::unique_ptr<QMimeData> mime(FileList({tree.Path("Brief.TXT")}));
    for (const char* beside : {"Pbar", "OptCaseType1", "Btn1"}) {
        EXPECT_FALSE(DropAt(*mime, MiddleOf(beside))) << beside;
    }
    // The frame round the zone, just above the picture.
    QWidget* frame = Control<QWidget>("DropFrame");
    EXPECT_FALSE(DropAt(*mime, frame->mapTo(m_form.get(), QPoint(frame->width() / 2, 3))));
    // Even a drop handed straight to the window itself is refused.
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_form.get(), &drop);
    EXPECT_FALSE(drop.isAccepted());
    ProcessPending();
    EXPECT_EQ(tree.Names(), std::vector<std::string>{"Brief.TXT"});
    EXPECT_TRUE(m_messages.empty());
}

TEST(DropDataTest, LocalFileUrlsBecomeBytePaths) {
    QMimeData mime;
    mime.setUrls({QUrl::fromEncoded("file:///tmp/a%20b/100%25%3F.txt"),
                  QUrl::fromEncoded("file:///tmp/%C3%84%FF"),
                  QUrl::fromEncoded("file://localhost/tmp/Ordner/")});
    const DropData data = DropDataFromMime(mime);
    EXPECT_TRUE(data.hasFileList);
    EXPECT_EQ(data.paths,
              (std::vector<std::string>{"/tmp/a b/100%?.txt", "/tmp/\xC3\x84\xFF", "/tmp/Ordner/"}));

    QMimeData mixed;
    mixed.setUrls(
        {QUrl::fromLocalFile(QStringLiteral("/tmp/a")), QUrl(QStringLiteral("https://example.org/b"))});
    EXPECT_FALSE(DropDataFromMime(mixed).hasFileList);
    QMimeData none;
    none.setText(QStringLiteral("/tmp/a"));
    EXPECT_FALSE(DropDataFromMime(none).hasFileList);
}

// --- Closing ----------------------------------------------------------------------------------

TEST_F(MainFormTest, ClosingWhileIdleSavesThePositionWithoutAQuestion) {
    MainForm& form = Start();
    form.move(60, 90);
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(m_ends, 1);
    EXPECT_EQ(Stored("_Top"), QStringLiteral("1350"));
    EXPECT_EQ(Stored("_Left"), QStringLiteral("900"));
    EXPECT_FALSE(form.isVisible());
}

TEST_F(MainFormTest, EndeClosesTheWindowThroughTheCloseHandler) {
    MainForm& form = Start();
    form.move(30, 45);
    QTest::mouseClick(Control<QPushButton>("Btn0"), Qt::LeftButton);
    EXPECT_EQ(m_ends, 1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Stored("_Top"), QStringLiteral("675"));
    EXPECT_EQ(Stored("_Left"), QStringLiteral("450"));
}

TEST_F(MainFormTest, InfoShowsOneModelessInfoDialogInTheBandOfTheMainWindow) {
    MainForm& form = Start();
    const auto infoDialogs = [] {
        std::vector<InfoForm*> shown;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* info = qobject_cast<InfoForm*>(window); info != nullptr && info->isVisible()) {
                shown.push_back(info);
            }
        }
        return shown;
    };
    QTest::mouseClick(Control<QPushButton>("Btn2"), Qt::LeftButton);
    // "Immer oben" is on (the first start sets it): the dialog opens in the main window's band.
    ASSERT_EQ(infoDialogs().size(), 1U);
    EXPECT_TRUE(infoDialogs()[0]->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QTest::mouseClick(Control<QPushButton>("Btn2"), Qt::LeftButton);
    const std::vector<InfoForm*> shown = infoDialogs();
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_FALSE(shown[0]->isModal());
    EXPECT_EQ(shown[0]->parentWidget(), nullptr);
    EXPECT_TRUE(form.isEnabled());
    EXPECT_TRUE(shown[0]->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    shown[0]->close();
    ProcessPending();
    EXPECT_TRUE(infoDialogs().empty());

    QTest::mouseClick(Control<QCheckBox>("ChkTopMost"), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>("Btn2"), Qt::LeftButton);
    ASSERT_EQ(infoDialogs().size(), 1U);
    EXPECT_FALSE(infoDialogs()[0]->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // Switched on again while the dialog is open, Info brings it into the top band as well.
    QTest::mouseClick(Control<QCheckBox>("ChkTopMost"), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>("Btn2"), Qt::LeftButton);
    ASSERT_EQ(infoDialogs().size(), 1U);
    EXPECT_TRUE(infoDialogs()[0]->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    infoDialogs()[0]->close();
    ProcessPending();
}

class CloseDuringBatchTest : public MainFormTest {
protected:
    // Drops three files and asks to close the window while the batch is at its first
    // event-processing point; records what the window and the disk look like at the question.
    void DropThreeAndClose(int answer) {
        m_tree.File("Eins.TXT");
        m_tree.File("Zwei.TXT");
        m_tree.File("Drei.TXT");
        MainForm& form = Start();
        form.move(45, 30);
        m_answers.push_back(answer);
        m_onMessage = [this, &form] {
            // A second drop while the window is busy is refused.
            std::unique_ptr<QMimeData> again(FileList({m_tree.Path("Zwei.TXT")}));
            m_secondDropTaken = DropOnZone(*again);
            m_namesAtQuestion = m_tree.Names();
            m_batchRunningAtQuestion = BatchRunning;
            m_enabledAtQuestion = form.isEnabled();
            m_borderAtQuestion = form.DropTarget()->BorderStyle();
            m_progressAtQuestion = Control<QProgressBar>("Pbar")->value();
        };
        std::unique_ptr<QMimeData> mime(
            FileList({m_tree.Path("Eins.TXT"), m_tree.Path("Zwei.TXT"), m_tree.Path("Drei.TXT")}));
        ASSERT_TRUE(DropOnZone(*mime));
        // The close request arrives after the batch has started, like a click on the close box.
        QMetaObject::invokeMethod(
            &form, [&form] { form.close(); }, Qt::QueuedConnection);
        ASSERT_TRUE(ProcessUntil([&] { return !m_messages.empty() && BatchRunning == 0; }));
        ProcessPending();
    }

    TempTree m_tree;
    std::vector<std::string> m_namesAtQuestion;
    std::int16_t m_batchRunningAtQuestion = 0;
    bool m_enabledAtQuestion = true;
    int m_borderAtQuestion = 0;
    int m_progressAtQuestion = 0;
    bool m_secondDropTaken = true;
};

TEST_F(CloseDuringBatchTest, NoKeepsTheBatchRunning) {
    DropThreeAndClose(kAnswerNo);
    ASSERT_EQ(m_messages.size(), 1U);
    EXPECT_EQ(m_messages[0].prompt, QStringLiteral("Wollen Sie wirklich abbrechen?"));
    EXPECT_EQ(m_messages[0].code, 292);
    EXPECT_EQ(m_messages[0].title, QStringLiteral("Versalo"));
    // Asked in the middle of the batch, in its busy state.
    EXPECT_EQ(m_namesAtQuestion, (std::vector<std::string>{"Drei.TXT", "Zwei.TXT", "eins.txt"}));
    EXPECT_EQ(m_batchRunningAtQuestion, -1);
    EXPECT_FALSE(m_enabledAtQuestion);
    EXPECT_EQ(m_borderAtQuestion, 1);
    EXPECT_EQ(m_progressAtQuestion, 33);
    EXPECT_FALSE(m_secondDropTaken);
    // The batch went on to its end; the program lives on.
    EXPECT_EQ(m_tree.Names(), (std::vector<std::string>{"drei.txt", "eins.txt", "zwei.txt"}));
    EXPECT_EQ(m_ends, 0);
    EXPECT_FALSE(m_form->QuitRequested());
    EXPECT_TRUE(m_form->isVisible());
    EXPECT_TRUE(m_form->isEnabled());
    EXPECT_EQ(Stored("_Top"), QStringLiteral("<fehlt>"));
}

TEST_F(CloseDuringBatchTest, YesSavesThePositionAndEndsWithoutAFurtherRename) {
    DropThreeAndClose(kAnswerYes);
    ASSERT_EQ(m_messages.size(), 1U);
    EXPECT_EQ(m_messages[0].prompt, QStringLiteral("Wollen Sie wirklich abbrechen?"));
    EXPECT_EQ(m_namesAtQuestion, (std::vector<std::string>{"Drei.TXT", "Zwei.TXT", "eins.txt"}));
    EXPECT_EQ(m_tree.Names(), (std::vector<std::string>{"Drei.TXT", "Zwei.TXT", "eins.txt"}));
    EXPECT_EQ(m_ends, 1);
    EXPECT_TRUE(m_form->QuitRequested());
    EXPECT_FALSE(m_form->isVisible());
    EXPECT_EQ(Stored("_Top"), QStringLiteral("450"));
    EXPECT_EQ(Stored("_Left"), QStringLiteral("675"));
}

// --- Undo of the last drop ------------------------------------------------------------------

class UndoMenuTest : public MainFormTest {
protected:
    // Opens the drop zone's context menu as a right click does; returns the menu shown.
    QMenu* OpenContextMenu() {
        QWidget* zone = m_form->DropTarget();
        QContextMenuEvent event(QContextMenuEvent::Mouse, zone->rect().center(),
                                zone->mapToGlobal(zone->rect().center()));
        QCoreApplication::sendEvent(zone, &event);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
};

TEST_F(UndoMenuTest, TheMenuOffersUndoOnlyAfterADropThatRenamedSomething) {
    TempTree tree;
    tree.File("Fotos/McDonald.TXT", "a");
    tree.File("Fotos/Ürlaub/ÄRGER.Doc", "b");
    tree.File("schon klein.txt", "c");
    const auto before = tree.Snapshot();
    MainForm& form = Start();

    QMenu* menu = OpenContextMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().at(0), form.UndoAction());
    EXPECT_FALSE(form.UndoAction()->isEnabled());
    menu->close();

    // A drop that changes nothing leaves nothing to take back.
    std::unique_ptr<QMimeData> unchanged(FileList({tree.Path("schon klein.txt")}));
    ASSERT_TRUE(DropOnZone(*unchanged));
    ProcessPending();
    EXPECT_FALSE(form.UndoAction()->isEnabled());

    std::unique_ptr<QMimeData> mime(FileList({tree.Path("Fotos")}));
    ASSERT_TRUE(DropOnZone(*mime));
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names().at(0) == "fotos"; }));
    ASSERT_TRUE(ProcessUntil([&] { return form.UndoAction()->isEnabled(); }));
    EXPECT_EQ(form.UndoAction()->text(), QStringLiteral("Letzte Umbenennung rückgängig machen (4 Namen)"));

    menu = OpenContextMenu();
    ASSERT_NE(menu, nullptr);
    menu->actions().at(0)->trigger();
    menu->close();
    ASSERT_TRUE(ProcessUntil([&] { return tree.Snapshot() == before; }));
    ASSERT_TRUE(ProcessUntil([&] { return BatchRunning == 0 && form.isEnabled(); }));
    // An undo cannot itself be undone.
    EXPECT_FALSE(form.UndoAction()->isEnabled());
    EXPECT_TRUE(m_messages.empty());
    EXPECT_TRUE(test::TemporaryNamesBelow(tree.Root()).empty());
}

TEST_F(UndoMenuTest, TheMenuKeyOffersTheSameMenuAndAClickBesideTheZoneNone) {
    MainForm& form = Start();
    QWidget* button = Control<QWidget>("Btn1");
    // The menu key goes to the control with the focus, and from there, unhandled, to the window.
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(button, &key);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->actions().at(0), form.UndoAction());
    menu->close();
    ProcessPending();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(button, &click);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(UndoMenuTest, UndoSkipsWhatChangedSinceAndShowsTheSummary) {
    TempTree tree;
    tree.File("Eins.TXT", "1");
    tree.File("Zwei.TXT", "2");
    MainForm& form = Start();
    std::unique_ptr<QMimeData> mime(FileList({tree.Path("Eins.TXT"), tree.Path("Zwei.TXT")}));
    ASSERT_TRUE(DropOnZone(*mime));
    ASSERT_TRUE(ProcessUntil([&] { return form.UndoAction()->isEnabled(); }));
    EXPECT_EQ(form.UndoAction()->text(), QStringLiteral("Letzte Umbenennung rückgängig machen (2 Namen)"));
    tree.File("Zwei.TXT", "neu");  // the old name is taken meanwhile

    const BatchResult result = form.RunUndo();
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.skipped.Count(), 1U);
    EXPECT_EQ(tree.Snapshot(), (std::map<std::string, std::string>{
                                   {"Eins.TXT", "1"}, {"Zwei.TXT", "neu"}, {"zwei.txt", "2"}}));
    ASSERT_EQ(m_messages.size(), 1U);
    EXPECT_TRUE(m_messages[0].prompt.contains(QStringLiteral("inzwischen vergeben")));
    EXPECT_FALSE(form.UndoAction()->isEnabled());
}

TEST_F(UndoMenuTest, ANewDropReplacesWhatCanBeTakenBack) {
    TempTree tree;
    tree.File("Erste.TXT", "1");
    tree.File("Zweite.TXT", "2");
    MainForm& form = Start();
    std::unique_ptr<QMimeData> first(FileList({tree.Path("Erste.TXT")}));
    ASSERT_TRUE(DropOnZone(*first));
    ASSERT_TRUE(ProcessUntil([&] { return form.UndoAction()->isEnabled(); }));
    std::unique_ptr<QMimeData> second(FileList({tree.Path("Zweite.TXT")}));
    ASSERT_TRUE(DropOnZone(*second));
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names().back() == "zweite.txt"; }));
    ProcessPending();
    EXPECT_EQ(form.UndoAction()->text(), QStringLiteral("Letzte Umbenennung rückgängig machen (1 Name)"));
    form.RunUndo();
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"Zweite.TXT", "erste.txt"}));
}

// --- Start-up in a Wayland session ----------------------------------------------------------

TEST(StartUpTest, AWaylandSessionRunsThroughXWaylandUnlessThePlatformWasChosen) {
    struct Row {
        const char* waylandDisplay;
        const char* sessionType;
        const char* display;
        const char* platform;
        const char* expected;  // QT_QPA_PLATFORM afterwards; nullptr: still unset
    };
    const Row rows[] = {
        {"wayland-0", "wayland", ":0", nullptr, "xcb"},
        {nullptr, "wayland", ":0", nullptr, "xcb"},
        {"wayland-0", nullptr, ":0", nullptr, "xcb"},
        {"wayland-0", "wayland", ":0", "wayland", "wayland"},  // the user's choice wins
        {"wayland-0", "wayland", nullptr, nullptr, nullptr},   // no XWayland to go to
        {nullptr, "x11", ":0", nullptr, nullptr},              // an X11 session needs nothing
    };
    const char* names[] = {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "DISPLAY", "QT_QPA_PLATFORM"};
    std::vector<QByteArray> saved;
    for (const char* name : names) {
        saved.push_back(qgetenv(name));
    }
    for (const Row& row : rows) {
        const char* values[] = {row.waylandDisplay, row.sessionType, row.display, row.platform};
        for (std::size_t i = 0; i < 4; ++i) {
            if (values[i] != nullptr) {
                qputenv(names[i], values[i]);
            } else {
                qunsetenv(names[i]);
            }
        }
        PreferXWaylandInWaylandSession();
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        EXPECT_EQ(platform != nullptr ? std::string(platform) : std::string("<unset>"),
                  row.expected != nullptr ? row.expected : "<unset>")
            << (row.waylandDisplay ? row.waylandDisplay : "-") << " "
            << (row.sessionType ? row.sessionType : "-");
    }
    for (std::size_t i = 0; i < 4; ++i) {
        if (saved[i].isNull()) {
            qunsetenv(names[i]);
        } else {
            qputenv(names[i], saved[i]);
        }
    }
}

}  // namespace
}  // namespace versalo
