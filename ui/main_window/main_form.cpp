#include "ui/main_window/main_form.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QIcon>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "collection/qt/shell_open.h"
#include "collection/qt/window_placement.h"
#include "engine/engine_state.h"
#include "settings/settings_store.h"
#include "settings/window_position.h"
#include "ui/info_dialog/info_form.h"
#include "ui/main_window/caption_check_box.h"
#include "ui/main_window/caption_frame.h"
#include "ui/main_window/drop_zone.h"

namespace versalo {

namespace {

// The window's client area, in twips.
constexpr int kClientWidth = 2712;
constexpr int kClientHeight = 3480;

struct Place {
    int left;
    int top;
    int width;
    int height;
};

// Places from the window's layout, in twips of the parent's client area.
constexpr Place kChkMethode{1740, 2160, 855, 375};
constexpr Place kPbar{60, 2580, 2595, 255};
constexpr std::array<Place, 3> kOptCaseType{{
    {120, 1620, 1035, 255},  // 0 "&GROSS"
    {120, 1920, 1095, 255},  // 1 "&klein"
    {120, 2220, 1095, 255},  // 2 "&Alternativ"
}};
constexpr Place kChkTopMost{1740, 1620, 855, 435};
constexpr std::array<Place, 3> kBtn{{
    {1800, 2940, 855, 435},  // 0 "&Ende"
    {960, 2940, 735, 435},   // 1 "&Hilfe"
    {60, 2940, 795, 435},    // 2 "&Info"
}};
constexpr Place kDropFrame{60, 60, 2595, 1455};
constexpr Place kImage1{120, 240, 2340, 1080};  // inside the frame

const std::array<const char*, 3> kCaseCaptions{"&GROSS", "&klein", "&Alternativ"};
const std::array<const char*, 3> kBtnCaptions{"&Ende", "&Hilfe", "&Info"};

constexpr int kMessageQuestion = kButtonsYesNo + kIconQuestion + kDefaultButton2;  // 292
const char* const kQuitQuestion = "Wollen Sie wirklich abbrechen?";

void PlaceControl(QWidget* control, const Place& place) {
    control->setGeometry(TwipsToPixels(place.left), TwipsToPixels(place.top), TwipsToPixels(place.width),
                         TwipsToPixels(place.height));
}

// Every control uses Arial 8.4 pt (on Linux fontconfig gives its metric twin, Liberation Sans).
QFont ControlFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.4);
    font.setWeight(QFont::Normal);
    return font;
}

// A check box's value: 0 clear, 1 checked, 2 grey.
std::int16_t CheckValue(const QCheckBox* box) {
    switch (box->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

void SetCheckValue(QCheckBox* box, std::int32_t value) {
    box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

}  // namespace

QIcon ProgramIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/versalo/icon-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/versalo/icon-16.png"), QSize(16, 16));
    return icon;
}

MainForm::MainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_messageBox(ShowMessageBox),
      m_endProgram([] { QCoreApplication::exit(0); }) {
    setObjectName(QStringLiteral("MainForm"));
    setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));
    setWindowIcon(ProgramIcon());
    CreateControls();
    // Where the window stands until a stored position moves it.
    CenterOnScreen(this);
    OnLoad();
}

MainForm::~MainForm() = default;

void MainForm::CreateControls() {
    const QFont font = ControlFont();

    m_chkMethode = new CaptionCheckBox(QStringLiteral("&Direkt"), this);
    m_chkMethode->setObjectName(QStringLiteral("ChkMethode"));
    PlaceControl(m_chkMethode, kChkMethode);

    m_pbar = new QProgressBar(this);
    m_pbar->setObjectName(QStringLiteral("Pbar"));
    m_pbar->setRange(0, 100);
    m_pbar->setValue(0);
    m_pbar->setTextVisible(false);
    m_pbar->setFocusPolicy(Qt::NoFocus);
    PlaceControl(m_pbar, kPbar);

    // The three options sit directly on the window and form one group; none is selected until
    // the stored choice selects one.
    m_caseGroup = new QButtonGroup(this);
    m_caseGroup->setExclusive(true);
    for (int index = 2; index >= 0; --index) {
        const auto slot = static_cast<std::size_t>(index);
        auto* option = new QRadioButton(QString::fromUtf8(kCaseCaptions.at(slot)), this);
        option->setObjectName(QStringLiteral("OptCaseType%1").arg(index));
        PlaceControl(option, kOptCaseType.at(slot));
        m_caseGroup->addButton(option, index);
        connect(option, &QRadioButton::toggled, this, [this, index](bool selected) {
            if (selected) {
                OnCaseTypeClick(index);
            }
        });
        m_optCaseType.at(slot) = option;
    }

    m_chkTopMost = new CaptionCheckBox(QStringLiteral("&Immer oben"), this);
    m_chkTopMost->setObjectName(QStringLiteral("ChkTopMost"));
    PlaceControl(m_chkTopMost, kChkTopMost);

    for (int index = 2; index >= 1; --index) {
        const auto slot = static_cast<std::size_t>(index);
        m_btn.at(slot) = new QPushButton(QString::fromUtf8(kBtnCaptions.at(slot)), this);
    }

    m_dropFrame = new CaptionFrame(QStringLiteral("Die Namen hier hineinziehen ..."), this);
    m_dropFrame->setObjectName(QStringLiteral("DropFrame"));
    m_dropFrame->setFocusPolicy(Qt::NoFocus);
    PlaceControl(m_dropFrame, kDropFrame);

    m_dropZone = new DropZone(m_dropFrame);
    m_dropZone->setObjectName(QStringLiteral("Image1"));
    m_dropZone->SetPicture(QPixmap(QStringLiteral(":/versalo/drop-zone.png")));
    PlaceControl(m_dropZone, kImage1);
    m_dropZone->SetDropHandler([this](const DropData& drop) { RunDrop(drop); });

    // Right click (or the menu key) on the drop zone offers to take the last drop back. The
    // action runs after the menu has closed, like a drop runs after its event.
    m_undoAction = new QAction(this);
    connect(m_undoAction, &QAction::triggered, this,
            [this] { QTimer::singleShot(0, this, [this] { RunUndo(); }); });
    m_dropZone->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_dropZone, &QWidget::customContextMenuRequested, this, &MainForm::ShowUndoMenu);
    UpdateUndoAction();

    m_btn.at(0) = new QPushButton(QString::fromUtf8(kBtnCaptions.at(0)), this);
    for (std::size_t slot = 0; slot < m_btn.size(); ++slot) {
        QPushButton* button = m_btn.at(slot);
        const int index = static_cast<int>(slot);
        button->setObjectName(QStringLiteral("Btn%1").arg(index));
        button->setAutoDefault(false);
        button->setDefault(false);
        PlaceControl(button, kBtn.at(slot));
        connect(button, &QPushButton::clicked, this, [this, index] { OnBtnClick(index); });
    }

    for (QWidget* control : std::initializer_list<QWidget*>{m_chkMethode, m_pbar, m_optCaseType[0],
                                                            m_optCaseType[1], m_optCaseType[2], m_chkTopMost,
                                                            m_btn[0], m_btn[1], m_btn[2], m_dropFrame}) {
        control->setFont(font);
    }

    // Tab order: the options, the two boxes, then the buttons from left to right.
    const std::array<QWidget*, 8> tabOrder{m_optCaseType[0], m_optCaseType[1], m_optCaseType[2], m_chkTopMost,
                                           m_chkMethode,     m_btn[2],         m_btn[1],         m_btn[0]};
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));
    }

    // Handlers run whenever a box's value changes, by a click or from code.
    connect(m_chkMethode, &QCheckBox::stateChanged, this, [this] { OnMethodeClick(); });
    connect(m_chkTopMost, &QCheckBox::stateChanged, this, [this] { OnTopMostClick(); });
}

void MainForm::OnLoad() {
    setWindowTitle(QString::fromUtf8(kProgramTitle));
    RestoreSettings();
}

void MainForm::RestoreSettings() {
    // Selecting the stored option always runs its handler, since none is selected before. A box
    // whose stored value is 0 stays clear: its handler does not run and writes nothing.
    const auto caseType = static_cast<std::size_t>(ReadSetting(Setting::CaseType));
    m_optCaseType.at(caseType)->setChecked(true);
    SetCheckValue(m_chkTopMost, ReadSetting(Setting::Floating));
    SetCheckValue(m_chkMethode, ReadSetting(Setting::Methode));
    RestoreWindowPosition(this);
}

void MainForm::OnCaseTypeClick(int index) {
    SaveValue(KeyOf(Setting::CaseType), static_cast<std::int16_t>(index));
    CurrentCaseType = static_cast<std::int16_t>(index);
}

void MainForm::OnMethodeClick() {
    RenameDirect = CheckValue(m_chkMethode);
    SaveValue(KeyOf(Setting::Methode), RenameDirect);
}

void MainForm::OnTopMostClick() {
    SetTopMost(this, CheckValue(m_chkTopMost) != 0 ? kTrue : kFalse);
    SaveValue(KeyOf(Setting::Floating), CheckValue(m_chkTopMost));
}

void MainForm::OnBtnClick(int index) {
    switch (index) {
        case 0:
            close();  // runs the close handler, which ends the program
            break;
        case 1:
            ShowHelp(this);
            break;
        case 2:
            // Modeless and without owner: the main window stays usable. A main window that stays
            // on top would cover a dialog of the normal band, so the dialog joins its band.
            ShowInfoForm(CheckValue(m_chkTopMost) != 0);
            break;
        default:
            break;
    }
}

BatchResult MainForm::RunDrop(const DropData& drop) {
    UndoRecord record;
    BatchOptions options;
    options.listener = &record;
    BatchResult result = ProcessDrop(drop, *this, options);
    if (result.started) {
        m_lastDrop = std::move(record);  // a new batch replaces what the last one did
        UpdateUndoAction();
    }
    return result;
}

BatchResult MainForm::RunUndo() {
    if (m_lastDrop.Empty() || BatchRunning != 0) {
        return {};
    }
    const UndoRecord record = std::move(m_lastDrop);
    m_lastDrop.Clear();
    UpdateUndoAction();
    return UndoRenames(record.Steps(), *this);
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
    if (BatchRunning != 0) {
        return;
    }
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(m_undoAction);
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

void MainForm::closeEvent(QCloseEvent* event) {
    if (m_askingToQuit) {
        event->ignore();  // the question is already on the screen
        return;
    }
    std::int16_t cancel = 0;
    if (BatchRunning != 0) {
        m_askingToQuit = true;
        const int answer = m_messageBox(this, QString::fromUtf8(kQuitQuestion), kMessageQuestion,
                                        QString::fromUtf8(kProgramTitle));
        m_askingToQuit = false;
        cancel = answer == kAnswerNo ? kTrue : kFalse;
    }
    if (cancel == kTrue) {
        event->ignore();  // the batch goes on where it was
        return;
    }
    SaveWindowPosition(this);
    // A batch in progress sees this at its next step and makes no further rename.
    m_quitRequested = true;
    event->accept();
    m_endProgram();
}

void MainForm::SetProgress(float value) {
    m_pbar->setValue(qRound(value));
}

void MainForm::SetDropZoneBorder(int style) {
    m_dropZone->SetBorderStyle(style);
}

void MainForm::SetMainWindowEnabled(std::int16_t flag) {
    setEnabled(flag != 0);
}

void MainForm::ShowMessage(const std::string& prompt, int code, const std::string& title) {
    m_messageBox(this, QString::fromStdString(prompt), code, QString::fromStdString(title));
}

void MainForm::ShowSkipped(const SkipReport& report) {
    m_messageBox(this, QString::fromStdString(report.Summary()), kButtonsOk + kIconWarning,
                 QString::fromUtf8(kProgramTitle));
}

void MainForm::Beep() {
    QApplication::beep();
}

void MainForm::ProcessEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace versalo
