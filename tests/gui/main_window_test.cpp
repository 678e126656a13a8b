// The window program as a user meets it: real drops on the drop zone renaming real files, clicks
// on the real buttons, the close box during a batch, the undo menu, the info dialog, each test in
// its own temporary folder and settings file. Message boxes are answered by clicking their buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <memory>

#include "tests/support/run.h"
#include "tests/support/temp_tree.h"
#include "ui/info_dialog/info_form.h"
#include "ui/main_window/drop_zone.h"
#include "ui/main_window/main_form.h"
#include "ui/main_window/options_dialog.h"
#include "ui/main_window/skipped_list.h"

namespace versalo {
namespace {

using test::NothingLost;
using test::Snapshot;
using test::TempTree;
using Names = std::vector<std::string>;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", m_config.Root().c_str());
        // Every message box that comes up is noted and answered with m_answer (Return for
        // NoButton); a list of entries is copied and closed.
        QObject::connect(&m_answerer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->isVisible()) {
                m_boxes.push_back(box->icon());
                m_texts.push_back(box->text());
                m_answer == QMessageBox::NoButton ? QTest::keyClick(box, Qt::Key_Return)
                                                  : QTest::mouseClick(box->button(m_answer), Qt::LeftButton);
            }
            auto* list = qobject_cast<SkippedList*>(QApplication::activeModalWidget());
            if (list != nullptr && list->isVisible()) {
                m_lists.push_back(list->findChild<QListWidget*>()->count());
                EXPECT_LE(list->frameGeometry().height(), list->screen()->availableGeometry().height());
                for (QAbstractButton* button : list->findChildren<QAbstractButton*>()) {
                    if (button->text() == "&Kopieren") {
                        QTest::mouseClick(button, Qt::LeftButton);
                    }
                }
                QTest::keyClick(list, Qt::Key_Return);
            }
        });
        m_answerer.start(5);
    }
    void TearDown() override {
        m_form.reset();
        delete Info();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString SettingsFile() const { return QString::fromStdString(m_config.Path(kSettings)); }
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
        m_form = std::make_unique<MainForm>([this](const QUrl& url) {
            m_opened.push_back(url);
            return m_openerFound;
        });
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
    // system delivers a drop from a source that allows every action; Shift asks for a move.
    // Returns the action the source is told of, IgnoreAction when the drop was refused.
    Qt::DropAction Drop(const TempTree* tree, const Names& items, Qt::KeyboardModifiers keys = {}) const {
        QMimeData mime;
        QList<QUrl> urls;
        for (const std::string& item : items) {
            urls.append(QUrl::fromLocalFile(QString::fromStdString(tree != nullptr ? tree->Path(item) : "")));
        }
        tree != nullptr ? mime.setUrls(urls) : mime.setText(QString::fromStdString(items.at(0)));
        const QPoint point = Zone()->mapTo(m_form.get(), Zone()->rect().center());
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(point, actions, &mime, Qt::LeftButton, keys);
        QCoreApplication::sendEvent(m_form->windowHandle(), &enter);
        QDropEvent drop(point, actions, &mime, Qt::LeftButton, keys);
        QCoreApplication::sendEvent(m_form->windowHandle(), &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }
    // The undo entry of the drop zone's context menu, opened as a right click does.
    QAction* UndoInMenu() const {
        QContextMenuEvent event(QContextMenuEvent::Mouse, Zone()->rect().center(),
                                Zone()->mapToGlobal(Zone()->rect().center()));
        QCoreApplication::sendEvent(Zone(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu == nullptr ? nullptr : menu->actions().at(0);
    }

    // Lets the window run its events until done() holds, for about two seconds at most.
    static bool ProcessUntil(const std::function<bool()>& done) {
        return test::WaitUntil(done, 200, [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
    }
    bool Idle() const { return m_form->isEnabled(); }
    QString BarText() const {
        const auto* bar = m_form->findChild<QProgressBar*>();
        return bar->isTextVisible() ? bar->text() : QString();
    }
    static constexpr const char* kSettings = "Quistel's Kistwerk.ini";
    TempTree m_config;  // the settings folder
    QTimer m_answerer;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
    std::vector<QMessageBox::Icon> m_boxes;
    std::vector<QString> m_texts;
    std::vector<int> m_lists;  // the number of entries of each list of entries shown
    std::vector<QUrl> m_opened;
    bool m_openerFound = true;
    std::unique_ptr<MainForm> m_form;
};

TEST_F(WindowTest, DropsRenameFilesAndFoldersWithTheChosenCase) {
    TempTree tree;
    tree.Build("Brief.TXT|Was NUN?.MP3|Fotos/A/Urlaub AM Meer.JPG|Fotos/B/X|Fotos/C/X|Fotos/D/X|Bleibt.TXT");
    const Snapshot before = tree.Snapshot();
    Start();
    // The bar moves a third for each item dropped, within the folder a quarter of that per subfolder.
    std::vector<int> progress;
    QObject::connect(m_form->findChild<QProgressBar*>(), &QProgressBar::valueChanged,
                     [&progress](int value) { progress.push_back(value); });
    ASSERT_TRUE(Drop(&tree, {"Brief.TXT", "Fotos", "Was NUN?.MP3"}));  // "?" is just a character
    // The batch starts only after the drop event has returned to the file manager.
    EXPECT_EQ(tree.Names().at(1), "Brief.TXT");
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names().at(1) == "brief.txt" && Idle(); }));
    EXPECT_EQ(tree.Names(), (Names{"Bleibt.TXT", "brief.txt", "fotos", "was nun?.mp3"}));
    EXPECT_EQ(tree.Names("fotos/a"), Names{"urlaub am meer.jpg"});
    EXPECT_EQ(progress, (std::vector<int>{33, 42, 50, 58, 67, 100, 0}));
    EXPECT_TRUE(NothingLost(before, tree.Snapshot()));
    EXPECT_EQ(BarText(), "11 Namen geändert");  // the success stays in sight until the next drop

    // A click on GROSS is stored and used by the next drop; text is no file list. A drop the
    // user makes as a move is taken as a copy, so that the file manager deletes nothing.
    Click("&GROSS");
    EXPECT_EQ(Stored("CaseType"), "0");
    ASSERT_EQ(Drop(&tree, {"brief.txt"}, Qt::ShiftModifier), Qt::CopyAction);
    ASSERT_TRUE(ProcessUntil([&] { return tree.Snapshot().count("BRIEF.TXT") == 1 && Idle(); }));
    EXPECT_EQ(BarText(), "1 Name geändert");
    ASSERT_TRUE(Drop(nullptr, {"Bleibt.TXT"}));
    ASSERT_TRUE(ProcessUntil([&] { return !m_boxes.empty(); }));
    EXPECT_EQ(m_boxes[0], QMessageBox::Information);
    EXPECT_EQ(tree.Snapshot().count("Bleibt.TXT"), 1U);
}

// Stored settings at and one past each end of their ranges, and garbage: a value out of range gives
// the default (klein, both boxes set), which is stored at once; a value in range is used and kept.
// The position is stored in twips; closing stores it. Settings that cannot be stored are told.
TEST_F(WindowTest, StartsFromStoredSettingsInAndOutOfTheirRanges) {
    struct Row {
        std::string settings;
        QString expected;  // what "ÄRGER IM büro.TXT" becomes; the stored CaseType, Floating, Methode
        QPoint position;
    };
    const Row rows[] = {
        {"CaseType=-1\nFloating=-1\nMethode=-1\n_Top=450\n_Left=675\n", "ärger im büro.txt 111", {45, 30}},
        {"CaseType=3\nFloating=3\nMethode=3\n_Top=0\n_Left=0\n", "ärger im büro.txt 111", {0, 0}},
        {"CaseType=0\nFloating=0\nMethode=0\n_Top=450\n_Left=675\n", "ÄRGER IM BÜRO.TXT 000", {45, 30}},
        {"CaseType=2\nFloating=2\nMethode=2\n_Top=450\n_Left=675\n", "Ärger im büro.txt 222", {45, 30}},
        {"CaseType=7\nFloating=ja\nMethode=1, 2\n_Top=x\nWoerter=2\nNamensteil=-1\nEintraege=x\nTiefe=-2\n"
         "Ausnehmen=neu*, b\n\x01\xff[[\n",
         "ärger im büro.txt 111",
         {307, 282}},  // centred by its outer size (the platform frames it only when it is shown)
    };
    for (const Row& row : rows) {
        m_config.File(kSettings, "[Versalo]\n" + row.settings);
        TempTree tree;
        tree.File("ÄRGER IM büro.TXT");
        Start();
        EXPECT_EQ(m_form->pos(), row.position);
        ASSERT_TRUE(Drop(&tree, {"ÄRGER IM büro.TXT"}));
        ASSERT_TRUE(ProcessUntil([&] { return tree.Names().at(0) != "ÄRGER IM büro.TXT" && Idle(); }));
        EXPECT_EQ(QString::fromStdString(tree.Names().at(0)) + " " + Stored("CaseType") + Stored("Floating") +
                      Stored("Methode"),
                  row.expected);
        EXPECT_EQ(m_form->windowFlags().testFlag(Qt::WindowStaysOnTopHint), Stored("Floating") != "0");
        EXPECT_EQ(BarText(), QStringLiteral("1 Name geändert"));  // no option differs from its default
        m_form->move(60, 90);
        Click("&Ende");
        EXPECT_EQ(Stored("_Top") + " " + Stored("_Left"), "1350 900");
    }
    // Settings that cannot be written (a folder where the file belongs) are told once.
    std::filesystem::remove(SettingsFile().toStdString());
    ASSERT_TRUE(QDir().mkpath(SettingsFile()));
    Start();
    Click("&GROSS");
    Click("&Direkt");
    ProcessUntil([] { return false; });
    ASSERT_EQ(m_texts.size(), 1U);
    EXPECT_TRUE(m_texts[0].contains(SettingsFile())) << m_texts[0].toStdString();
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
    QColor border;  // the drop zone's edge while the batch runs
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!Idle()) {
            closer.stop();
            border = Zone()->grab().toImage().pixelColor(0, 0);
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
    const bool stop = GetParam() == QMessageBox::Yes;  // Return takes the default, "Nein"
    EXPECT_EQ(lower == kFiles, !stop);
    EXPECT_GT(lower, 0);
    EXPECT_EQ(m_form->isVisible(), !stop);
    EXPECT_EQ(Stored("_Top") != "-", stop);
    EXPECT_EQ(border, Zone()->palette().color(QPalette::Active, QPalette::WindowText));
}
INSTANTIATE_TEST_SUITE_P(EachAnswer, CloseDuringBatch,
                         ::testing::Values(QMessageBox::Yes, QMessageBox::No, QMessageBox::NoButton),
                         [](const auto& answer) {
                             return answer.param == QMessageBox::Yes  ? "Ja"
                                    : answer.param == QMessageBox::No ? "Nein"
                                                                      : "Eingabetaste";
                         });

// The undo menu, and a long list of entries that kept their names: scrollable, copied.
TEST_F(WindowTest, TheUndoMenuTakesTheLastDropBack) {
    TempTree tree;
    tree.Build("Fotos/McDonald.TXT|Fotos/Ürlaub/ÄRGER.Doc|Zwei.TXT");
    for (int i = 1; i <= 12; ++i) {  // each new name is taken: the drop's list of entries is long
        tree.Build("Voll/F" + std::to_string(i) + ".TXT|Voll/f" + std::to_string(i) + ".txt");
    }
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
            ASSERT_TRUE(Drop(&tree, {"Fotos", "Voll", "Zwei.TXT"}));
            ASSERT_TRUE(
                ProcessUntil([&] { return tree.Names().at(0) == "fotos" && !m_lists.empty() && Idle(); }));
            EXPECT_EQ(m_lists, std::vector{12});
            const QStringList copied = QGuiApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts);
            ASSERT_EQ(copied.size(), 12);
            EXPECT_TRUE(copied[11].contains(QString::fromStdString(tree.Path("voll/"))))
                << copied[11].toStdString();
            tree.File("Zwei.TXT", "neu");  // the old name is taken meanwhile: that rename stays
        }
    }
    expected["Zwei.TXT"] = "neu";
    expected["zwei.txt"] = "Zwei.TXT";
    EXPECT_EQ(tree.Snapshot(), expected);
    EXPECT_EQ(m_boxes, std::vector{QMessageBox::Warning});  // the list of entries came as a list
}

TEST_F(WindowTest, InfoAndHelpOpenTheirTargetsOrNameThemAndTheDialogFollowsTheTopBand) {
    m_openerFound = false;  // no browser, no mail program: each target is named in a message
    Start();
    Click("&Hilfe");
    ASSERT_EQ(m_opened.size(), 1U);
    EXPECT_TRUE(QFile::exists(m_opened[0].toLocalFile())) << m_opened[0].toString().toStdString();
    Click("&Info");  // "Immer oben" is set by default: the dialog must not hide behind the window
    ASSERT_TRUE(ProcessUntil([&] { return Info() != nullptr && Info()->isVisible(); }));
    EXPECT_TRUE(Info()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    Click("&Immer oben");  // cleared while the dialog is open: it leaves the band with the window
    EXPECT_FALSE(Info()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
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
    ASSERT_EQ(m_texts.size(), 4U);
    EXPECT_TRUE(m_texts[0].contains(m_opened[0].toLocalFile())) << m_texts[0].toStdString();
    EXPECT_TRUE(m_texts[1].contains(m_opened[1].path())) << m_texts[1].toStdString();
    EXPECT_TRUE(m_texts[3].contains(m_opened[3].toString())) << m_texts[3].toStdString();
}

TEST(WindowCommandLine, IsReadBeforeAnyDisplayIsNeeded) {
    struct Row {
        std::vector<std::string> arguments;
        int status;
        std::string out;  // the start of standard output
        std::string err;  // a part of standard error
    };
    const Row rows[] = {
        {{"--bogus"}, 2, "", "unbekannte Option '--bogus'\nWeitere Informationen mit 'versalo --help'"},
        {{"-hx"}, 2, "", "unbekannte Option '-x'"},
        {{"--help=ja"}, 2, "", "die Option '--help' erlaubt keinen Wert"},
        {{"-style"}, 2, "", "die Option '-style' verlangt einen Wert"},
        {{"--hel"}, 0, "Aufruf: versalo [OPTION]... [PFAD]...\n", ""},
        {{"-hV"}, 0, "Aufruf: versalo", ""},
        {{"--vers", "--", "-x"}, 0, "Versalo ", ""},
    };
    for (const Row& row : rows) {
        std::vector<std::string> argv{VERSALO_WINDOW_PROGRAM};
        argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
        const test::RunResult result =
            test::RunProgram(argv, {.env = {"QT_QPA_PLATFORM=xcb", "DISPLAY=", "WAYLAND_DISPLAY="}});
        EXPECT_EQ(result.status, row.status) << row.arguments[0] << "\n" << result.err;
        EXPECT_TRUE(result.out.starts_with(row.out)) << row.arguments[0] << "\n" << result.out;
        EXPECT_NE(result.err.find(row.err), std::string::npos) << row.arguments[0] << "\n" << result.err;
        for (const QString& line : QString::fromStdString(result.out).split(u'\n')) {
            EXPECT_LE(line.size(), 79) << line.toStdString();  // wrapped for an 80-column terminal
        }
    }
}

// The options set in their dialog (with its live example) apply to a drop, are told in the idle
// window, are taken back by undo like any drop, and are kept for "versalo PATH...", whose paths
// are one drop and never reach Qt.
TEST_F(WindowTest, OptionsFromTheirDialogApplyToADropAndToPathsOnTheCommandLine) {
    TempTree tree;
    tree.Build(
        "Musik/don't stop me now.flac|Musik/paul mccartney live dvd.MKV|Musik/NODE_MODULES/X.JS|Neu/I'LL "
        "BE.OGG|"
        "Neu/--platform|Neu/keine/|Neu/-zwei.TXT|Neu/-platform|Neu/plat.TXT");
    auto before = tree.Snapshot();
    Start();
    Click(QStringLiteral("&Alternativ"));
    QString example;
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget())) {
            dialog->findChild<QComboBox*>(QStringLiteral("Woerter"))->setCurrentIndex(1);
            dialog->findChild<QLineEdit*>(QStringLiteral("Ausnehmen"))->setText(QStringLiteral("node_*"));
            dialog->findChild<QLineEdit*>(QStringLiteral("Behalten"))
                ->setText(QStringLiteral("DVD;McCartney"));
            example = dialog->findChild<QLabel*>(QStringLiteral("Beispiel"))->text();
            dialog->accept();
        }
    });
    chooser.start(5);
    ASSERT_NE(UndoInMenu(), nullptr);
    QAction* options = QApplication::activePopupWidget()->actions().at(1);
    QApplication::activePopupWidget()->close();
    options->trigger();
    ASSERT_TRUE(ProcessUntil([&] { return !example.isEmpty(); }));
    EXPECT_TRUE(
        example.contains(QStringLiteral("paul mccartney live dvd.mkv  →  Paul McCartney Live DVD.mkv")))
        << example.toStdString();
    EXPECT_EQ(BarText(), QStringLiteral("jedes Wort · 1 Ausnahme · 2 Wörter behalten"));
    EXPECT_TRUE(Zone()->toolTip().contains(QStringLiteral("ausgenommen: node_*")));
    ASSERT_TRUE(Drop(&tree, {"Musik"}));
    const Names named{"Don't Stop Me Now.flac", "NODE_MODULES", "Paul McCartney Live DVD.mkv"};
    ASSERT_TRUE(ProcessUntil([&] { return tree.Names("Musik") == named && Idle(); }));
    EXPECT_EQ(tree.Names("Musik/NODE_MODULES"), Names{"X.JS"});
    EXPECT_EQ(
        BarText(),
        QStringLiteral("2 Namen geändert, 1 ausgenommen · jedes Wort · 1 Ausnahme · 2 Wörter behalten"));
    UndoInMenu()->trigger();
    QApplication::activePopupWidget()->close();
    ASSERT_TRUE(ProcessUntil([&] { return tree.Snapshot() == before && Idle(); }));
    EXPECT_EQ(Stored("Woerter"), QStringLiteral("1"));

    // Qt takes "-platform NAME" (or "--platform NAME") wherever it sees it and ends the program
    // when there is no such platform; here each of them is a path to rename, one pair after "--",
    // one pair because it exists.
    const Names renamed{"--Platform", "-Platform", "-Zwei.txt", "I'll Be.ogg", "Keine", "Plat.txt"};
    const test::Process program({VERSALO_WINDOW_PROGRAM, tree.Path("Neu/I'LL BE.OGG"), "--platform", "keine",
                                 "--", "-zwei.TXT", "-platform", "plat.TXT"},
                                {.folder = tree.Path("Neu")});
    test::WaitUntil([&] { return tree.Names("Neu") == renamed; }, 10000);
    EXPECT_EQ(tree.Names("Neu"), renamed);
}

}  // namespace
}  // namespace versalo
