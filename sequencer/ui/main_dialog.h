// The sequencer's main window: four motor panels editing the current movement,
// the movement list with its editing buttons, the run buttons, the run
// settings, the file buttons and the status line.
//
// The dialog is the only editor of the movement table, which lives in the
// run control; it copies the controls into record `currentMovement` with
// StoreMovement and back with ShowMovement at fixed moments. The end of a run
// arrives as a posted RunEnded event and is handled on the dialog's thread.
#pragma once

#include <QString>
#include <array>
#include <cstdio>
#include <functional>
#include <memory>

#include "platform/dialog_file.h"
#include "platform/dialog_message.h"
#include "platform/dialog_window.h"
#include "sequencer/engine/run_control.h"
#include "sequencer/ui/motor_panel.h"

namespace kinemo::ui {

class MainDialog : public platform::DialogWindow {
    Q_OBJECT

  public:
    // The dialog creates its run control, and with it the player thread, on
    // `link`. Messages and file dialogs go through the given services.
    // `diagnostics` receives the engine's diagnostic lines.
    MainDialog(engine::InterfaceLink& link, platform::MessageService& messages,
               platform::FileDialogService& files, QWidget* parent = nullptr,
               std::FILE* diagnostics = stdout);
    ~MainDialog() override;

    engine::RunControl& Run() { return *run_; }
    const engine::MovementRecord& CopyBuffer() const { return copyBuffer_; }

    // Opens the about box (credit button and context menu entry).
    void SetAboutHandler(std::function<void(QWidget*)> handler) {
        aboutHandler_ = std::move(handler);
    }

    // Copy between the controls and record `index`, with the run settings.
    void StoreMovement(int index);
    void ShowMovement(int index);
    void ApplyEnableRules();

  protected:
    bool event(QEvent* event) override;

  private:
    class RunEndedPoster;

    void CreateControls();
    void Initialise();
    void ShowAbout();
    void SetStatus(const char* text);
    engine::MovementList& Movements();

    // Run hand-off.
    void TestMovement();
    void RunList();
    void EmergencyStop();
    void OnRunEnded();
    void End();
    void ApplyOffSwitchRule();

    // List editing.
    void SelectMovement();
    void RenameMovement();
    // The common start of add and paste: stores the selected movement and
    // marks the list full when the insertion fills it; false at the limit.
    bool BeginInsertion();
    void AddMovement();
    void DeleteMovement();
    void CutMovement();
    void CopyMovement();
    void PasteMovement();
    bool NewList();
    bool CopyBufferHoldsMovement() const;
    void SetAddEnabled(bool enabled);
    void SetDeleteEnabled(bool enabled);
    void SetCutEnabled(bool enabled);
    void SetPasteEnabled(bool enabled);
    void MarkListFull();

    // Program files.
    void SaveProgram();
    void LoadProgram();
    platform::FileDialogRequest ProgramFileRequest(platform::FileDialogMode mode) const;
    void ShowFileError(const QString& text);

    platform::MessageService& messages_;
    platform::FileDialogService& files_;
    std::unique_ptr<RunEndedPoster> poster_;
    std::unique_ptr<engine::RunControl> run_;
    std::array<std::unique_ptr<MotorPanel>, engine::kMotorCount> panels_;
    engine::MovementRecord copyBuffer_{};
    std::function<void(QWidget*)> aboutHandler_;
};

}  // namespace kinemo::ui
