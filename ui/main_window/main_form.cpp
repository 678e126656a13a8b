#include "ui/main_window/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "engine/paths.h"
#include "settings/settings_store.h"
#include "ui/desktop/window_placement.h"
#include "ui/desktop/window_position.h"
#include "ui/info_dialog/info_form.h"
#include "ui/main_window/caption_check_box.h"
#include "ui/main_window/caption_frame.h"
#include "ui/main_window/drop_zone.h"
#include "ui/main_window/skipped_list.h"

namespace versalo {

namespace {

// The window's layout in twips: its client area and every control in it.
constexpr int kClientWidth = 2712;
constexpr int kClientHeight = 3480;
constexpr TwipsRect kUpperPlace{120, 1620, 1035, 255};
constexpr TwipsRect kLowerPlace{120, 1920, 1095, 255};
constexpr TwipsRect kInitialCapitalPlace{120, 2220, 1095, 255};
constexpr TwipsRect kOnTopPlace{1740, 1620, 855, 435};
constexpr TwipsRect kDirectPlace{1740, 2160, 855, 375};
constexpr TwipsRect kProgressPlace{60, 2580, 2595, 255};
constexpr TwipsRect kInfoPlace{60, 2940, 795, 435};
constexpr TwipsRect kHelpPlace{960, 2940, 735, 435};
constexpr TwipsRect kQuitPlace{1800, 2940, 855, 435};
constexpr TwipsRect kDropFramePlace{60, 60, 2595, 1455};
constexpr TwipsRect kDropZonePlace{120, 240, 2340, 1080};  // inside the frame

QString Title() {
    return QStringLiteral("Versalo");
}

// Every control uses Arial 8.4 pt (on Linux fontconfig gives its metric twin, Liberation Sans).
QFont ControlFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.4);
    font.setWeight(QFont::Normal);
    return font;
}

// A check box's stored value: 0 clear, 1 checked, 2 grey. A grey box counts as set.
int CheckValue(const QCheckBox* box) {
    switch (box->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

void SetCheckValue(QCheckBox* box, int value) {
    box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

// What the idle progress bar shows after a batch: "123 Namen geändert", "1 Name geändert".
QString ResultText(std::size_t renamed) {
    if (renamed == 1) {
        return QStringLiteral("1 Name geändert");
    }
    return QStringLiteral("%1 Namen geändert").arg(QLocale(QLocale::German).toString(qulonglong{renamed}));
}

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text) {
    QMessageBox box(icon, Title(), QString::fromStdString(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

QIcon ProgramIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/versalo/icon-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/versalo/icon-16.png"), QSize(16, 16));
    return icon;
}

MainForm::MainForm(UrlOpener open, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_open(std::move(open)) {
    setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));
    setWindowTitle(Title());
    setWindowIcon(ProgramIcon());
    // Set on the window, the font reaches every control; message boxes and menus are windows of
    // their own and keep the desktop's font.
    setFont(ControlFont());
    CreateControls();
    CreateDropZone();
    RestoreSettings();
    // Without a stored position the window stands in the middle of its screen.
    if (!RestoreWindowPosition(this)) {
        PlaceWhenFramed(this, [this] { CenterOnScreen(this); });
    }
}

MainForm::~MainForm() = default;

QRadioButton* MainForm::AddCaseOption(const QString& caption, const TwipsRect& place, CaseRule rule) {
    // The options sit directly on the window and so exclude each other; none is selected until
    // the stored choice selects one.
    auto* option = new QRadioButton(caption, this);
    option->setGeometry(ToPixels(place));
    connect(option, &QRadioButton::toggled, this, [this, rule](bool selected) {
        if (selected) {
            SelectCaseRule(rule);
        }
    });
    return option;
}

QCheckBox* MainForm::AddCheckBox(const QString& caption, const TwipsRect& place) {
    auto* box = new CaptionCheckBox(caption, this);
    box->setGeometry(ToPixels(place));
    return box;
}

QPushButton* MainForm::AddButton(const QString& caption, const TwipsRect& place) {
    auto* button = new QPushButton(caption, this);
    button->setAutoDefault(false);
    button->setGeometry(ToPixels(place));
    return button;
}

void MainForm::CreateControls() {
    // Made in the tab order: the options, the two boxes, then the buttons from left to right.
    m_upper = AddCaseOption(QStringLiteral("&GROSS"), kUpperPlace, CaseRule::kUpper);
    m_lower = AddCaseOption(QStringLiteral("&klein"), kLowerPlace, CaseRule::kLower);
    m_initialCapital =
        AddCaseOption(QStringLiteral("&Alternativ"), kInitialCapitalPlace, CaseRule::kInitialCapital);
    m_onTop = AddCheckBox(QStringLiteral("&Immer oben"), kOnTopPlace);
    m_direct = AddCheckBox(QStringLiteral("&Direkt"), kDirectPlace);
    m_info = AddButton(QStringLiteral("&Info"), kInfoPlace);
    m_help = AddButton(QStringLiteral("&Hilfe"), kHelpPlace);
    m_quit = AddButton(QStringLiteral("&Ende"), kQuitPlace);

    m_progress = new QProgressBar(this);
    m_progress->setGeometry(ToPixels(kProgressPlace));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setAlignment(Qt::AlignCenter);
    m_progress->setFocusPolicy(Qt::NoFocus);

    // The boxes act whenever their value changes, by a click or from the stored settings.
    connect(m_onTop, &QCheckBox::stateChanged, this, &MainForm::OnTopChanged);
    connect(m_direct, &QCheckBox::stateChanged, this, &MainForm::DirectChanged);
    connect(m_info, &QPushButton::clicked, this, &MainForm::ShowInfo);
    connect(m_help, &QPushButton::clicked, this, [this] { ShowHelp(this, m_open); });
    connect(m_quit, &QPushButton::clicked, this, &QWidget::close);
}

void MainForm::CreateDropZone() {
    m_dropFrame = new CaptionFrame(QStringLiteral("Die Namen hier hineinziehen ..."), this);
    m_dropFrame->setFocusPolicy(Qt::NoFocus);
    m_dropFrame->setGeometry(ToPixels(kDropFramePlace));

    m_dropZone = new DropZone(m_dropFrame);
    m_dropZone->SetPicture(QPixmap(QStringLiteral(":/versalo/drop-zone.png")));
    m_dropZone->setGeometry(ToPixels(kDropZonePlace));
    m_dropZone->SetDropHandler([this](const DropData& drop) { RunDrop(drop); });

    // Right click (or the menu key) on the drop zone offers to take the last drop back. The
    // action runs after the menu has closed, like a drop runs after its event.
    m_undoAction = new QAction(this);
    connect(m_undoAction, &QAction::triggered, this,
            [this] { QTimer::singleShot(0, this, [this] { RunUndo(); }); });
    m_optionsAction = new QAction(QStringLiteral("&Optionen …"), this);
    connect(m_optionsAction, &QAction::triggered, this,
            [this] { QTimer::singleShot(0, this, [this] { ShowOptions(); }); });
    m_dropZone->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_dropZone, &QWidget::customContextMenuRequested, this, &MainForm::ShowUndoMenu);
    UpdateUndoAction();
}

void MainForm::RestoreSettings() {
    // Selecting the stored option always stores it, since none is selected before. A box whose
    // stored value is 0 stays clear, so nothing changes and nothing is written.
    switch (static_cast<CaseRule>(ReadSetting(Setting::CaseType))) {
        case CaseRule::kUpper:
            m_upper->setChecked(true);
            break;
        case CaseRule::kLower:
            m_lower->setChecked(true);
            break;
        case CaseRule::kInitialCapital:
        case CaseRule::kEachWord:  // never stored as CaseType: Alternativ with Woerter=1
            m_initialCapital->setChecked(true);
            break;
    }
    SetCheckValue(m_onTop, ReadSetting(Setting::Floating));
    SetCheckValue(m_direct, ReadSetting(Setting::Methode));
    m_dropOptions = DropOptions::Stored();
    UpdateIdleText();
}

void MainForm::Store(Setting setting, int value) {
    if (!WriteSetting(setting, value) && !m_settingsLostTold) {
        // Said once, after the window is up (the first write comes while it is being built).
        m_settingsLostTold = true;
        QTimer::singleShot(0, this, &MainForm::TellSettingsNotWritten);
    }
}

void MainForm::TellSettingsNotWritten() {
    ShowMessageBox(this, QMessageBox::Warning,
                   "Die Einstellungen lassen sich nicht speichern:\n\n" + SettingsFilePath().toStdString() +
                       "\n\nIst der Ordner schreibgeschützt oder voll? Versalo arbeitet weiter, beginnt "
                       "beim nächsten Start aber wieder mit den vorigen Einstellungen.");
}

void MainForm::SelectCaseRule(CaseRule rule) {
    m_caseRule = rule;
    Store(Setting::CaseType, static_cast<int>(rule));
}

void MainForm::DirectChanged() {
    m_method = CheckValue(m_direct) != 0 ? RenameMethod::kDirect : RenameMethod::kTwoMoves;
    Store(Setting::Methode, CheckValue(m_direct));
}

void MainForm::OnTopChanged() {
    const bool onTop = CheckValue(m_onTop) != 0;
    SetTopMost(this, onTop);
    // An open info dialog stays in the main window's band, also when the box is cleared.
    if (m_infoForm != nullptr) {
        SetTopMost(m_infoForm, onTop);
    }
    Store(Setting::Floating, CheckValue(m_onTop));
}

void MainForm::ShowInfo() {
    // One dialog at a time. A main window that stays on top would cover a dialog of the normal
    // band, so the dialog joins its band.
    const bool onTop = CheckValue(m_onTop) != 0;
    if (m_infoForm != nullptr && m_infoForm->isVisible()) {
        SetTopMost(m_infoForm, onTop);
        m_infoForm->raise();
        m_infoForm->activateWindow();
        return;
    }
    // A closed dialog is deleted (or about to be): a fresh one works out its placement and year anew.
    m_infoForm = new InfoForm(m_open);
    m_infoForm->ShowPlaced(onTop);
}

void MainForm::ShowResult(const BatchResult& result) {
    // Until the next batch the empty bar tells what the last one did, so that a drop that needed
    // no message is seen to have worked, also without sound.
    if (result.started) {
        // Excluded entries are no failure, but the count says that the options left some out.
        m_resultText =
            ResultText(result.renamed) +
            (result.excluded > 0 ? QStringLiteral(", %1 ausgenommen").arg(result.excluded) : QString());
    }
    UpdateIdleText();
}

void MainForm::UpdateIdleText() {
    // Options that differ from their defaults are told at a glance, so that nobody is surprised
    // by a drop that changed only extensions.
    QStringList parts;
    for (const QString& part : {m_resultText, m_dropOptions.Summary()}) {
        if (!part.isEmpty()) {
            parts << part;
        }
    }
    m_progress->setFormat(parts.join(QStringLiteral(" · ")));
    m_progress->setTextVisible(!parts.isEmpty() && !m_busy);
    m_dropZone->setToolTip(m_dropOptions.Description());
}

void MainForm::ShowOptions() {
    if (m_busy) {
        return;
    }
    OptionsDialog dialog(m_dropOptions, m_caseRule, m_lastDropped, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_dropOptions = dialog.Chosen();
    if (!m_dropOptions.Store() && !m_settingsLostTold) {
        m_settingsLostTold = true;
        QTimer::singleShot(0, this, &MainForm::TellSettingsNotWritten);
    }
    UpdateIdleText();
}

BatchOptions MainForm::Options(RenameListener* listener) const {
    BatchOptions options;
    options.caseRule = m_dropOptions.RuleFor(m_caseRule);
    options.scope = m_dropOptions.scope;
    options.method = m_method;
    options.listener = listener;
    return options;
}

BatchResult MainForm::RunDrop(const DropData& drop, std::optional<CaseRule> rule) {
    if (m_busy) {
        return {};
    }
    UndoRecord record;
    BatchOptions options = Options(&record);
    if (rule) {
        options.caseRule = *rule;  // for this drop only; the window's choice stays
    }
    record.SetRule(options.caseRule, options.scope);  // undo checks each line against them
    if (!drop.paths.empty()) {
        const std::string& last = drop.paths.back();
        m_lastDropped = QString::fromStdString(SplitLastComponent(WithoutTrailingSlashes(last)).leaf);
    }
    BatchResult result = ProcessDrop(drop, *this, options);
    if (result.started) {
        m_lastDrop = std::move(record);  // a new batch replaces what the last one did
        UpdateUndoAction();
    }
    ShowResult(result);
    return result;
}

BatchResult MainForm::RunUndo() {
    if (m_lastDrop.Empty() || m_busy) {
        return {};
    }
    const UndoRecord record = std::move(m_lastDrop);
    m_lastDrop.Clear();
    UpdateUndoAction();
    BatchResult result = UndoRenames(record.Steps(), *this, Options(nullptr));
    ShowResult(result);
    return result;
}

void MainForm::UpdateUndoAction() {
    const std::size_t count = m_lastDrop.Count();
    QString text = QStringLiteral("Letzte Umbenennung rückgängig machen");
    if (count > 0) {
        text += count == 1 ? QStringLiteral(" (1 Name)") : QStringLiteral(" (%1 Namen)").arg(count);
    }
    m_undoAction->setText(text);
    m_undoAction->setEnabled(count > 0);
}

void MainForm::ShowUndoMenu(const QPoint& dropZonePosition) {
    if (m_busy) {
        return;
    }
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(m_undoAction);
    menu->addAction(m_optionsAction);
    menu->popup(m_dropZone->mapToGlobal(dropZonePosition));
}

void MainForm::contextMenuEvent(QContextMenuEvent* event) {
    // The menu key reaches the control that has the focus and, unhandled, the window: the drop
    // zone takes no focus, so its menu is offered from here, at its middle.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        ShowUndoMenu(m_dropZone->rect().center());
        event->accept();
        return;
    }
    QWidget::contextMenuEvent(event);
}

bool MainForm::ConfirmQuit() {
    QMessageBox box(QMessageBox::Question, Title(), QStringLiteral("Wollen Sie wirklich abbrechen?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    // Qt's own button texts are English unless a translation is installed.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    m_askingToQuit = true;
    const bool yes = box.exec() == QMessageBox::Yes;
    m_askingToQuit = false;
    return yes;
}

void MainForm::closeEvent(QCloseEvent* event) {
    // While the question is on the screen a second close only waits for its answer; "Nein" lets
    // the batch go on where it was.
    if (m_askingToQuit || (m_busy && !ConfirmQuit())) {
        event->ignore();
        return;
    }
    if (!SaveWindowPosition(this) && !m_settingsLostTold) {
        m_settingsLostTold = true;
        TellSettingsNotWritten();
    }
    // A batch in progress sees this at its next step and makes no further rename. The program
    // ends with this window (the info dialog does not keep it running).
    m_quitRequested = true;
    event->accept();
}

void MainForm::SetBusy(bool busy) {
    m_busy = busy;
    setEnabled(!busy);
    if (busy) {
        m_progress->setTextVisible(false);  // the last result is past
    }
    m_dropZone->ShowBusy(busy);
}

void MainForm::SetProgress(float percent) {
    m_progress->setValue(qRound(percent));
}

void MainForm::ShowInformation(const std::string& text) {
    ShowMessageBox(this, QMessageBox::Information, text);
}

void MainForm::ShowSkipped(const SkipReport& report) {
    if (report.Count() <= kSkippedInMessageBox) {
        ShowMessageBox(this, QMessageBox::Warning, report.Summary(NameQuoting::kWindow));
        return;
    }
    SkippedList list(report, this);
    list.exec();
}

void MainForm::BatchFinished() {
    QApplication::beep();
}

void MainForm::ProcessEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void MainForm::EntryDone(std::size_t entriesSoFar) {
    // The batch lets events run after each dropped item and each folder. Within one wide folder
    // the window would not repaint or hear the close box until the folder is done; a look at the
    // events every so many entries costs next to nothing beside that many renames.
    constexpr std::size_t kEntriesBetweenEvents = 512;
    if (entriesSoFar % kEntriesBetweenEvents == 0) {
        ProcessEvents();
    }
}

}  // namespace versalo
