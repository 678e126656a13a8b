#pragma once

#include <optional>
#include <string>

#include <QIcon>
#include <QPointer>
#include <QWidget>

#include "engine/batch_host.h"
#include "engine/case_rules.h"
#include "engine/drop_batch.h"
#include "engine/undo.h"
#include "settings/settings_store.h"
#include "ui/desktop/shell_open.h"
#include "ui/main_window/options_dialog.h"

class QAction;
class QCheckBox;
class QCloseEvent;
class QGroupBox;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace versalo {

class DropZone;
class InfoForm;
struct TwipsRect;

// The program's icon, 32 x 32 and 16 x 16.
QIcon ProgramIcon();

// The program's only main window: the drop zone, the three case options, the rename method and
// always-on-top boxes, the progress bar and the three command buttons. A drop batch runs in it.
class MainForm : public QWidget, public BatchHost {
    Q_OBJECT

public:
    // Builds the window from the stored settings; it is not shown yet. open is what the help and
    // info buttons hand their addresses to.
    explicit MainForm(UrlOpener open, QWidget* parent = nullptr);
    ~MainForm() override;

    // The batch for a drop; the drop zone calls it right after its drop event has returned. What
    // it renames is kept, so that it can be taken back. Refused while a batch runs.
    // rule, when given, is used instead of the chosen one, which stays as it is.
    BatchResult RunDrop(const DropData& drop, std::optional<CaseRule> rule = std::nullopt);

    // Takes back the renames of the last drop, newest first, like a batch. Afterwards there is
    // nothing left to take back: an undo cannot itself be undone.
    BatchResult RunUndo();

    // BatchHost: what a batch does to the window.
    void SetBusy(bool busy) override;
    void SetProgress(float percent) override;
    void ShowInformation(const std::string& text) override;
    void ShowSkipped(const SkipReport& report) override;
    void BatchFinished() override;
    void ProcessEvents() override;
    bool QuitRequested() override { return m_quitRequested; }
    void EntryDone(std::size_t entriesSoFar) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QRadioButton* AddCaseOption(const QString& caption, const TwipsRect& place, CaseRule rule);
    QCheckBox* AddCheckBox(const QString& caption, const TwipsRect& place);
    QPushButton* AddButton(const QString& caption, const TwipsRect& place);
    void CreateControls();
    void CreateDropZone();
    void RestoreSettings();

    void SelectCaseRule(CaseRule rule);
    void DirectChanged();
    void OnTopChanged();
    void ShowInfo();
    bool ConfirmQuit();
    void Store(Setting setting, int value);
    void TellSettingsNotWritten();
    void ShowResult(const BatchResult& result);
    BatchOptions Options(RenameListener* listener) const;
    void UpdateUndoAction();
    void ShowUndoMenu(const QPoint& dropZonePosition);
    void ShowOptions();
    // The idle bar: the last result and what the options change; the drop zone's tooltip.
    void UpdateIdleText();

    UrlOpener m_open;
    QRadioButton* m_upper = nullptr;
    QRadioButton* m_lower = nullptr;
    QRadioButton* m_initialCapital = nullptr;
    QCheckBox* m_onTop = nullptr;
    QCheckBox* m_direct = nullptr;
    QPushButton* m_info = nullptr;
    QPushButton* m_help = nullptr;
    QPushButton* m_quit = nullptr;
    QProgressBar* m_progress = nullptr;
    QGroupBox* m_dropFrame = nullptr;
    DropZone* m_dropZone = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_optionsAction = nullptr;
    DropOptions m_dropOptions;
    QString m_resultText;           // the last batch's result, until the next one
    QString m_lastDropped;          // the name of the last dropped item, for the options' example
    QPointer<InfoForm> m_infoForm;  // the open info dialog; it deletes itself when closed

    CaseRule m_caseRule = CaseRule::kLower;
    RenameMethod m_method = RenameMethod::kDirect;
    // The renames of the last drop; kept only as long as the program runs.
    UndoRecord m_lastDrop;
    bool m_busy = false;  // a batch runs: drops are refused, closing asks first
    bool m_quitRequested = false;
    bool m_askingToQuit = false;
    bool m_settingsLostTold = false;  // the user heard once that the settings cannot be written
};

}  // namespace versalo
