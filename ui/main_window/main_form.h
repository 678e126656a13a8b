#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include <QIcon>
#include <QWidget>

#include "engine/batch_host.h"
#include "engine/drop_batch.h"
#include "engine/undo.h"
#include "ui/main_window/message_box.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QCloseEvent;
class QGroupBox;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace versalo {

class DropZone;

// The program's icon, 32 x 32 and 16 x 16.
QIcon ProgramIcon();

// The program's only main window: the drop zone, the three case options, the rename method and
// always-on-top boxes, the progress bar and the three command buttons. It is the window a drop
// batch runs in.
//
// The controls carry the names they are known by (objectName): "DropFrame", "Image1",
// "OptCaseType0" to "OptCaseType2", "ChkTopMost", "ChkMethode", "Pbar", "Btn0" to "Btn2".
class MainForm : public QWidget, public BatchHost {
    Q_OBJECT

public:
    // Builds the window and runs its load handler: the caption, then the stored settings. The
    // window is not shown yet.
    explicit MainForm(QWidget* parent = nullptr);
    ~MainForm() override;

    // Replaces the message boxes (tests answer them at once instead of waiting for a click).
    void SetMessageBox(MessageBoxFunction messageBox) { m_messageBox = std::move(messageBox); }
    // Replaces what ends the program after an accepted close (by default the event loop ends).
    void SetEndProgram(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }

    // The batch for a drop; the drop zone calls it right after its drop event has returned.
    // What it renames is kept, so that it can be taken back.
    BatchResult RunDrop(const DropData& drop);

    // Takes back the renames of the last drop, newest first, like a batch. Afterwards there is
    // nothing left to take back: an undo cannot itself be undone.
    BatchResult RunUndo();

    // The drop zone's context-menu entry that runs RunUndo; enabled only while the last drop
    // renamed something, and telling how many names.
    QAction* UndoAction() const { return m_undoAction; }

    DropZone* DropTarget() const { return m_dropZone; }

    // BatchHost: what a drop batch does to the window.
    void SetProgress(float value) override;
    void SetDropZoneBorder(int style) override;
    void SetMainWindowEnabled(std::int16_t flag) override;
    void ShowMessage(const std::string& prompt, int code, const std::string& title) override;
    void ShowSkipped(const SkipReport& report) override;
    void Beep() override;
    void ProcessEvents() override;
    bool QuitRequested() override { return m_quitRequested; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreateControls();
    void OnLoad();
    void RestoreSettings();
    void OnCaseTypeClick(int index);
    void OnMethodeClick();
    void OnTopMostClick();
    void OnBtnClick(int index);
    void UpdateUndoAction();
    void ShowUndoMenu(const QPoint& dropZonePosition);

    QCheckBox* m_chkMethode = nullptr;
    QProgressBar* m_pbar = nullptr;
    std::array<QRadioButton*, 3> m_optCaseType{};
    QButtonGroup* m_caseGroup = nullptr;
    QCheckBox* m_chkTopMost = nullptr;
    std::array<QPushButton*, 3> m_btn{};
    QGroupBox* m_dropFrame = nullptr;
    DropZone* m_dropZone = nullptr;
    QAction* m_undoAction = nullptr;
    // The renames of the last drop; lives only as long as the program runs.
    UndoRecord m_lastDrop;

    MessageBoxFunction m_messageBox;
    std::function<void()> m_endProgram;
    bool m_quitRequested = false;
    bool m_askingToQuit = false;
};

}  // namespace versalo
