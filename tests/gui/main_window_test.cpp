// The window program as a user meets it: real drops on the drop zone renaming real files, clicks
// on the real buttons, the close box during a batch, the undo menu, the info dialog, each test in
// its own temporary folder and settings file. Message boxes are answered by clicking their buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "tests/support/temp_tree.h"
#include "ui/info_dialog/info_form.h"
#include "ui/main_window/drop_zone.h"
#include "ui/main_window/main_form.h"

namespace versalo {
namespace {

using test::TempTree;
using Names = std::vector<std::string>;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        // Every message box that comes up is noted and answered with m_answer.
        QObject::connect(&m_answerer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->isVisible()) {
                m_boxes.push_back(box->icon());
                QTest::mouseClick(box->button(m_answer), Qt::LeftButton);
            }
        });
        m_answerer.start(5);
    }
    void TearDown() override {
        m_form.reset();
        delete Info();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString SettingsFile() const { return m_config.filePath(QStringLiteral("Quistel's Kistwerk.ini")); }
    void WriteSettings(const QByteArray& text) const {
        QFile file(SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QString Stored(const char* key) const {
        return QSettings(SettingsFile(), QSettings::IniFormat)
            .value(QStringLiteral("Versalo/") + QLatin1String(key), QStringLiteral("-"))
            .toString();
    }
    static InfoForm* Info() {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* info = qobject_cast<InfoForm*>(window)) {
                return info;
            }
        }
        return nullptr;
    }

    void Start() {
        m_form = std::make_unique<MainForm>([this](const QUrl& url) { m_opened.push_back(url); });
        m_form->show();
    }
    DropZone* Zone() const { return m_form->findChild<DropZone*>(); }
    // Clicks the control with this caption, as the user does.
    void Click(const QString& caption) const {
        for (QAbstractButton* button : m_form->findChildren<QAbstractButton*>()) {
            if (button->text() == caption) {
                return QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, 4));
            }
        }
        ADD_FAILURE() << caption.toStdString();
    }

    // Drops the files (or, without a tree, the text) on the middle of the drop zone, as the window
    // system delivers a drop.
    bool Drop(const TempTree* tree, const Names& items) const {
        QMimeData mime;
        QList<QUrl> urls;
        for (const std::string& item : items) {
            urls.append(QUrl::fromLocalFile(QString::fromStdString(tree != nullptr ? tree->Path(item) : "")));
        }
        tree != nullptr ? mime.setUrls(urls) : mime.setText(QString::fromStdString(items.at(0)));
        const QPoint point = Zone()->mapTo(m_form.get(), Zone()->rect().center());
        QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_form->windowHandle(), &enter);
        QDropEvent drop(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_form->windowHandle(), &drop);
        return drop.isAccepted();
    }
    // The undo entry of the drop zone's context menu, opened as a right click does.
    QAction* UndoInMenu() const {
        QContextMenuEvent event(QContextMenuEvent::Mouse, Zone()->rect().center(),
                                Zone()->mapToGlobal(Zone()->rect().center()));
        QCoreApplication::sendEvent(Zone(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu == nullptr ? nullptr : menu->actions().at(0);
    }

    // Lets the window run its events until done() holds, for a bounded number of rounds.
    template <typename Done>
    static bool ProcessUntil(Done done) {
        for (int round = 0; round < 200 && !done(); ++round) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return done();
    }
    bool Idle() const { return m_form->isEnabled(); }

    QTemporaryDir m_config;
    QTimer m_answerer;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
    std::vector<QMessageBox::Icon> m_boxes;
    std::vector<QUrl> m_opened;
    std::unique_ptr<MainForm> m_form;
};

TEST_F(WindowTest, DropsRenameFilesAndFoldersWithTheChosenCase) {
    TempTree tree;
    tree.Build("Brief.TXT|Was NUN?.MP3|Fotos/Urlaub AM Meer.JPG|Bleibt.TXT");  // "?" is just a character
    Start();
    ASSERT_TRUE(Drop(&tree, {"Brief.TXT", "Fotos", "Was NUN?.MP3"}));
    // The batch starts only after the drop event has returned to the file manager.
    EXPECT_EQ(tree.Names().at(1), "Brief.TXT");
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names().at(1) == "brief.txt" && Idle(); }));
    EXPECT_EQ(tree.Names(), (Names{"Bleibt.TXT", "brief.txt", "fotos", "was nun?.mp3"}));
    EXPECT_EQ(tree.Snapshot().count("fotos/urlaub am meer.jpg"), 1U);

    // A click on GROSS is stored and used by the next drop; text is no file list.
    Click("&GROSS");
    EXPECT_EQ(Stored("CaseType"), "0");
    ASSERT_TRUE(Drop(&tree, {"brief.txt"}));
    ASSERT_TRUE(ProcessUntil([&] { return tree.Snapshot().count("BRIEF.TXT") == 1; }));
    ASSERT_TRUE(Drop(nullptr, {"Bleibt.TXT"}));
    ASSERT_TRUE(ProcessUntil([&] { return !m_boxes.empty(); }));
    EXPECT_EQ(m_boxes[0], QMessageBox::Information);
    EXPECT_EQ(tree.Snapshot().count("Bleibt.TXT"), 1U);
}

TEST_F(WindowTest, TheProgressBarMovesWhileOneBigFolderIsRenamed) {
    TempTree tree;
    tree.Build(
        "Fotos/A/BILD.JPG|Fotos/A/TIEF/BILD.JPG|Fotos/B/BILD.JPG|Fotos/B/TIEF/BILD.JPG|Fotos/C/BILD.JPG|"
        "Fotos/C/TIEF/BILD.JPG|Fotos/D/BILD.JPG|Fotos/D/TIEF/BILD.JPG");
    Start();
    std::vector<int> values;
    QObject::connect(m_form->findChild<QProgressBar*>(), &QProgressBar::valueChanged,
                     [&values](int value) { values.push_back(value); });
    ASSERT_TRUE(Drop(&tree, {"Fotos"}));
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names() == Names{"fotos"} && Idle(); }));
    EXPECT_EQ(values, (std::vector<int>{25, 50, 75, 100, 0}));
}

TEST_F(WindowTest, StartsFromStoredAndFromDamagedSettings) {
    WriteSettings("[Versalo]\nCaseType=2\nFloating=0\nMethode=0\n_Top=450\n_Left=675\n");
    TempTree tree;
    tree.File("ÄRGER IM büro.TXT");
    Start();
    EXPECT_EQ(m_form->pos(), QPoint(45, 30));
    EXPECT_FALSE(m_form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_TRUE(Drop(&tree, {"ÄRGER IM büro.TXT"}));
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names() == Names{"Ärger im büro.txt"}; }));
    // Stored zeros stay as they are; closing stores the position.
    EXPECT_EQ(Stored("Methode"), "0");
    m_form->move(60, 90);
    Click("&Ende");
    EXPECT_EQ(Stored("_Top") + " " + Stored("_Left"), "1350 900");

    // Garbage gives the defaults (klein, both boxes set), which are stored at once.
    WriteSettings("[Versalo]\nCaseType=7\nFloating=ja\nMethode=1, 2\n_Top=x\n\x01\xff[[\n");
    tree.File("NEU.TXT");
    Start();
    EXPECT_TRUE(m_form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_TRUE(Drop(&tree, {"NEU.TXT"}));
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names().at(0) == "neu.txt"; }));
    EXPECT_EQ(Stored("CaseType") + Stored("Floating") + Stored("Methode"), "111");
}

class CloseDuringBatch : public WindowTest,
                         public ::testing::WithParamInterface<QMessageBox::StandardButton> {};

TEST_P(CloseDuringBatch, AsksAndGoesOnOrStops) {
    // One wide folder: the close box is clicked at the batch's first look at the window's events,
    // which comes within the folder.
    TempTree tree;
    constexpr long kFiles = 600;
    for (long i = 0; i < kFiles; ++i) {
        tree.File("Gross/F" + std::to_string(i) + ".TXT");
    }
    Start();
    m_answer = GetParam();
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!Idle()) {
            closer.stop();
            m_form->close();
        }
    });
    closer.start(0);
    ASSERT_TRUE(Drop(&tree, {"Gross"}));
    ASSERT_TRUE(ProcessUntil([&] { return !m_boxes.empty() && (Idle() || !m_form->isVisible()); }));
    ProcessUntil([] { return false; });
    EXPECT_EQ(m_boxes, std::vector{QMessageBox::Question});
    const Names names = tree.Names(tree.Names().at(0));
    const long lower = std::count_if(names.begin(), names.end(), [](const auto& n) { return n[0] == 'f'; });
    const bool stop = GetParam() == QMessageBox::Yes;
    EXPECT_EQ(lower == kFiles, !stop);
    EXPECT_GT(lower, 0);
    EXPECT_EQ(m_form->isVisible(), !stop);
    EXPECT_EQ(Stored("_Top") != "-", stop);
}
INSTANTIATE_TEST_SUITE_P(BothAnswers, CloseDuringBatch, ::testing::Values(QMessageBox::Yes, QMessageBox::No),
                         [](const auto& answer) { return answer.param == QMessageBox::Yes ? "Ja" : "Nein"; });

TEST_F(WindowTest, TheUndoMenuTakesTheLastDropBack) {
    TempTree tree;
    tree.Build("Fotos/McDonald.TXT|Fotos/Ürlaub/ÄRGER.Doc|Zwei.TXT");
    auto expected = tree.Snapshot();
    Start();
    for (int round = 0; round < 3; ++round) {  // before any drop, after one, after the undo
        QAction* undo = UndoInMenu();
        ASSERT_NE(undo, nullptr);
        EXPECT_EQ(undo->isEnabled(), round == 1);
        QApplication::activePopupWidget()->close();
        if (round == 1) {
            undo->trigger();
            ASSERT_TRUE(ProcessUntil([&] { return !m_boxes.empty() && Idle(); }));
        } else if (round == 0) {
            ASSERT_TRUE(Drop(&tree, {"Fotos", "Zwei.TXT"}));
            ASSERT_TRUE(ProcessUntil([&] { return tree.Names() == Names{"fotos", "zwei.txt"} && Idle(); }));
            tree.File("Zwei.TXT", "neu");  // the old name is taken meanwhile: that rename stays
        }
    }
    expected["Zwei.TXT"] = "neu";
    expected["zwei.txt"] = "Zwei.TXT";
    EXPECT_EQ(tree.Snapshot(), expected);
    EXPECT_EQ(m_boxes[0], QMessageBox::Warning);
}

TEST_F(WindowTest, InfoAndHelpOpenTheirTargetsAndTheDialogJoinsTheTopBand) {
    Start();
    Click("&Hilfe");
    ASSERT_EQ(m_opened.size(), 1U);
    EXPECT_TRUE(QFile::exists(m_opened[0].toLocalFile())) << m_opened[0].toString().toStdString();
    Click("&Info");  // "Immer oben" is set by default: the dialog must not hide behind the window
    ASSERT_TRUE(ProcessUntil([&] { return Info() != nullptr && Info()->isVisible(); }));
    EXPECT_TRUE(Info()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // The buttons from left to right: mail, news, registration, close.
    QList<QAbstractButton*> buttons = Info()->findChildren<QAbstractButton*>();
    std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    for (QAbstractButton* button : buttons) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    ASSERT_EQ(m_opened.size(), 4U);
    EXPECT_EQ(m_opened[1].scheme(), "mailto");
    EXPECT_EQ(m_opened[2].path(), "/new.htm");
    EXPECT_EQ(m_opened[3].path(), "/register");
    EXPECT_FALSE(Info()->isVisible());
}

TEST_F(WindowTest, PathsOnTheCommandLineAreOneDrop) {
    TempTree tree;
    tree.Build("Eins.TXT|-Zwei.TXT");
    WriteSettings("[Versalo]\nCaseType=0\n");
    QProcess program;
    program.setWorkingDirectory(QString::fromStdString(tree.Root()));
    program.start(
        QStringLiteral(VERSALO_WINDOW_PROGRAM),
        {QString::fromStdString(tree.Path("Eins.TXT")), QStringLiteral("--"), QStringLiteral("-Zwei.TXT")});
    for (int round = 0; round < 100 && tree.Names() != Names{"-ZWEI.TXT", "EINS.TXT"}; ++round) {
        program.waitForFinished(100);
    }
    program.kill();
    program.waitForFinished();
    EXPECT_EQ(tree.Names(), (Names{"-ZWEI.TXT", "EINS.TXT"}));
}

}  // namespace
}  // namespace versalo
