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
#include <QPushButton>
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

struct Box {
    QString text;
    QMessageBox::Icon icon;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        // Every message box that comes up is noted and answered with the next answer (else OK).
        QObject::connect(&m_answerer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) {
                return;
            }
            m_boxes.push_back({box->text(), box->icon()});
            const auto answer = m_answers.empty() ? QMessageBox::Ok : m_answers.front();
            if (!m_answers.empty()) {
                m_answers.erase(m_answers.begin());
            }
            QTest::mouseClick(box->button(answer), Qt::LeftButton);
        });
        m_answerer.start(5);
    }
    void TearDown() override {
        m_form.reset();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (qobject_cast<InfoForm*>(window) != nullptr) {
                window->close();
            }
        }
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

    MainForm& Start() {
        m_form = std::make_unique<MainForm>([this](const QUrl& url) { m_opened.push_back(url); });
        m_form->show();
        return *m_form;
    }
    DropZone* Zone() const { return m_form->findChild<DropZone*>(); }
    // Clicks the control with this caption, as the user does.
    void Click(const QString& caption) const {
        for (QAbstractButton* button : m_form->findChildren<QAbstractButton*>()) {
            if (button->text() == caption) {
                QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, 4));
                return;
            }
        }
        ADD_FAILURE() << caption.toStdString();
    }

    // Drops the files on the middle of the drop zone, as the window system delivers a drop.
    bool Drop(const TempTree& tree, const Names& relative) const {
        QMimeData mime;
        QList<QUrl> urls;
        for (const std::string& path : relative) {
            urls.append(QUrl::fromLocalFile(QString::fromStdString(tree.Path(path))));
        }
        mime.setUrls(urls);
        return Drop(mime);
    }
    bool Drop(const QMimeData& mime) const {
        const QPoint point = Zone()->mapTo(m_form.get(), Zone()->rect().center());
        QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_form->windowHandle(), &enter);
        QDropEvent drop(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_form->windowHandle(), &drop);
        return drop.isAccepted();
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
    std::vector<QMessageBox::StandardButton> m_answers;
    std::vector<Box> m_boxes;
    std::vector<QUrl> m_opened;
    std::unique_ptr<MainForm> m_form;
};

TEST_F(WindowTest, DropsRenameFilesAndFoldersWithTheChosenCase) {
    TempTree tree;
    tree.File("Brief.TXT");
    tree.File("Was NUN?.MP3");  // a "?" is an ordinary character of a name
    tree.File("Fotos/Urlaub AM Meer.JPG");
    tree.File("Bleibt.TXT");
    Start();
    ASSERT_TRUE(Drop(tree, {"Brief.TXT", "Fotos", "Was NUN?.MP3"}));
    // The batch starts only after the drop event has returned to the file manager.
    EXPECT_EQ(tree.Names().at(1), "Brief.TXT");
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names().at(1) == "brief.txt" && Idle(); }));
    EXPECT_EQ(tree.Names(), (Names{"Bleibt.TXT", "brief.txt", "fotos", "was nun?.mp3"}));
    EXPECT_EQ(tree.Snapshot().count("fotos/urlaub am meer.jpg"), 1U);

    // A click on GROSS is stored and used by the next drop; text is no file list.
    Click("&GROSS");
    EXPECT_EQ(Stored("CaseType"), "0");
    ASSERT_TRUE(Drop(tree, {"brief.txt"}));
    ASSERT_TRUE(ProcessUntil([&] { return tree.Snapshot().count("BRIEF.TXT") == 1; }));
    QMimeData text;
    text.setText(QStringLiteral("Bleibt.TXT"));
    ASSERT_TRUE(Drop(text));
    ASSERT_TRUE(ProcessUntil([&] { return !m_boxes.empty(); }));
    EXPECT_EQ(m_boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(tree.Snapshot().count("Bleibt.TXT"), 1U);
}

TEST_F(WindowTest, TheProgressBarMovesWhileOneBigFolderIsRenamed) {
    TempTree tree;
    for (const char* sub : {"A", "B", "C", "D"}) {
        tree.File(std::string("Fotos/") + sub + "/BILD.JPG");
        tree.File(std::string("Fotos/") + sub + "/TIEF/BILD.JPG");
    }
    Start();
    std::vector<int> values;
    QObject::connect(m_form->findChild<QProgressBar*>(), &QProgressBar::valueChanged,
                     [&values](int value) { values.push_back(value); });
    ASSERT_TRUE(Drop(tree, {"Fotos"}));
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names() == Names{"fotos"} && Idle(); }));
    EXPECT_EQ(values, (std::vector<int>{25, 50, 75, 100, 0}));
    EXPECT_EQ(tree.Snapshot().count("fotos/d/tief/bild.jpg"), 1U);
}

TEST_F(WindowTest, StartsFromStoredAndFromDamagedSettings) {
    WriteSettings("[Versalo]\nCaseType=2\nFloating=0\nMethode=0\n_Top=450\n_Left=675\n");
    TempTree tree;
    tree.File("ÄRGER IM büro.TXT");
    Start();
    EXPECT_EQ(m_form->pos(), QPoint(45, 30));
    EXPECT_FALSE(m_form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_TRUE(Drop(tree, {"ÄRGER IM büro.TXT"}));
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names() == Names{"Ärger im büro.txt"}; }));
    // Stored zeros stay as they are; closing stores the position.
    EXPECT_EQ(Stored("Methode"), "0");
    m_form->move(60, 90);
    Click("&Ende");
    EXPECT_EQ(Stored("_Top"), "1350");
    EXPECT_EQ(Stored("_Left"), "900");

    // Garbage gives the defaults (klein, both boxes set), which are stored at once.
    WriteSettings("[Versalo]\nCaseType=7\nFloating=ja\nMethode=1, 2\n_Top=x\n\x01\xff[[\n");
    tree.File("NEU.TXT");
    Start();
    EXPECT_TRUE(m_form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_TRUE(Drop(tree, {"NEU.TXT"}));
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names().at(0) == "neu.txt"; }));
    EXPECT_EQ(Stored("CaseType"), "1");
    EXPECT_EQ(Stored("Floating"), "1");
    EXPECT_EQ(Stored("Methode"), "1");
}

class CloseDuringBatch : public WindowTest,
                         public ::testing::WithParamInterface<QMessageBox::StandardButton> {};

TEST_P(CloseDuringBatch, AsksAndGoesOnOrStops) {
    // One wide folder: the close box is clicked at the batch's first look at the window's events,
    // which comes within the folder.
    TempTree tree;
    constexpr std::size_t kFiles = 600;
    for (std::size_t i = 0; i < kFiles; ++i) {
        tree.File("Gross/F" + std::to_string(i) + ".TXT");
    }
    Start();
    m_answers = {GetParam()};
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!Idle()) {
            closer.stop();
            m_form->close();
        }
    });
    closer.start(0);
    ASSERT_TRUE(Drop(tree, {"Gross"}));
    ASSERT_TRUE(ProcessUntil([&] { return !m_boxes.empty() && (Idle() || !m_form->isVisible()); }));
    ProcessUntil([] { return false; });
    ASSERT_EQ(m_boxes.size(), 1U);
    EXPECT_EQ(m_boxes[0].icon, QMessageBox::Question);
    const Names names = tree.Names(tree.Names().at(0));
    const auto lower = std::count_if(names.begin(), names.end(), [](const auto& n) { return n[0] == 'f'; });
    if (GetParam() == QMessageBox::No) {
        EXPECT_EQ(lower, kFiles);
        EXPECT_TRUE(m_form->isVisible());
        EXPECT_EQ(Stored("_Top"), "-");
    } else {
        EXPECT_GT(lower, 0);
        EXPECT_LT(lower, kFiles);
        EXPECT_FALSE(m_form->isVisible());
        EXPECT_NE(Stored("_Top"), "-");
    }
}
INSTANTIATE_TEST_SUITE_P(BothAnswers, CloseDuringBatch, ::testing::Values(QMessageBox::Yes, QMessageBox::No),
                         [](const auto& answer) { return answer.param == QMessageBox::Yes ? "Ja" : "Nein"; });

TEST_F(WindowTest, TheUndoMenuTakesTheLastDropBack) {
    TempTree tree;
    tree.File("Fotos/McDonald.TXT", "a");
    tree.File("Fotos/Ürlaub/ÄRGER.Doc", "b");
    tree.File("Zwei.TXT", "2");
    const auto before = tree.Snapshot();
    Start();
    const auto undoInMenu = [this] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, Zone()->rect().center(),
                                Zone()->mapToGlobal(Zone()->rect().center()));
        QCoreApplication::sendEvent(Zone(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        EXPECT_NE(menu, nullptr);
        return menu == nullptr ? nullptr : menu->actions().at(0);
    };
    QAction* undo = undoInMenu();
    ASSERT_NE(undo, nullptr);
    EXPECT_FALSE(undo->isEnabled());
    QApplication::activePopupWidget()->close();

    ASSERT_TRUE(Drop(tree, {"Fotos", "Zwei.TXT"}));
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names() == Names{"fotos", "zwei.txt"} && Idle(); }));
    tree.File("Zwei.TXT", "neu");  // the old name is taken meanwhile: that rename stays
    undo = undoInMenu();
    ASSERT_NE(undo, nullptr);
    ASSERT_TRUE(undo->isEnabled());
    undo->trigger();
    QApplication::activePopupWidget()->close();
    ASSERT_TRUE(ProcessUntil([&] { return !m_boxes.empty() && Idle(); }));
    auto expected = before;
    expected["Zwei.TXT"] = "neu";
    expected["zwei.txt"] = "2";
    EXPECT_EQ(tree.Snapshot(), expected);
    EXPECT_EQ(m_boxes[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(test::TemporaryNamesBelow(tree.Root()).empty());
    // An undo cannot itself be undone.
    undo = undoInMenu();
    ASSERT_NE(undo, nullptr);
    EXPECT_FALSE(undo->isEnabled());
}

TEST_F(WindowTest, InfoAndHelpOpenTheirTargetsAndTheDialogJoinsTheTopBand) {
    Start();
    Click("&Hilfe");
    ASSERT_EQ(m_opened.size(), 1U);
    EXPECT_TRUE(m_opened[0].isLocalFile());
    EXPECT_TRUE(QFile::exists(m_opened[0].toLocalFile())) << m_opened[0].toString().toStdString();

    Click("&Info");  // "Immer oben" is set by default: the dialog must not hide behind the window
    InfoForm* info = nullptr;
    ASSERT_TRUE(ProcessUntil([&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            info = info != nullptr ? info : qobject_cast<InfoForm*>(window);
        }
        return info != nullptr && info->isVisible();
    }));
    EXPECT_TRUE(info->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // The buttons from left to right: mail, news, registration, close.
    QList<QPushButton*> buttons = info->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 4);
    std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    for (QPushButton* button : buttons) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    ASSERT_EQ(m_opened.size(), 4U);
    EXPECT_EQ(m_opened[1].scheme(), "mailto");
    EXPECT_TRUE(m_opened[1].query().startsWith("subject=Versalo")) << m_opened[1].toString().toStdString();
    EXPECT_EQ(m_opened[2].path(), "/new.htm");
    EXPECT_EQ(m_opened[3].path(), "/register");
    EXPECT_EQ(m_opened[2].host(), m_opened[3].host());
    EXPECT_FALSE(info->isVisible());
}

TEST_F(WindowTest, PathsOnTheCommandLineAreOneDrop) {
    TempTree tree;
    tree.File("Eins.TXT");
    tree.File("-Zwei.TXT");
    WriteSettings("[Versalo]\nCaseType=0\n");
    QProcess program;
    program.setWorkingDirectory(QString::fromStdString(tree.Root()));
    program.start(
        QStringLiteral(VERSALO_WINDOW_PROGRAM),
        {QString::fromStdString(tree.Path("Eins.TXT")), QStringLiteral("--"), QStringLiteral("-Zwei.TXT")});
    ASSERT_TRUE(program.waitForStarted());
    for (int round = 0; round < 100 && tree.Names() != Names{"-ZWEI.TXT", "EINS.TXT"}; ++round) {
        program.waitForFinished(100);
    }
    program.kill();
    program.waitForFinished();
    EXPECT_EQ(tree.Names(), (Names{"-ZWEI.TXT", "EINS.TXT"}));
}

}  // namespace
}  // namespace versalo
