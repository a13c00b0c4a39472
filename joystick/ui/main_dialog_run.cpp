// The run hand-off of the main window: "LOS!" (with the recording beside
// it), "NOT-AUS", the end of a run, the reset and every way out.
#include <QEvent>

#include "joystick/joy_texts.h"
#include "joystick/settings_file.h"
#include "joystick/ui/main_dialog.h"
#include "joystick/ui/main_dialog_ids.h"
#include "joystick/ui/run_ended_event.h"
#include "platform/thread_handover.h"

namespace kinemo::joy::ui {
namespace {

// A stopped run finishes its tick and its all-off exchange well within this.
constexpr int kFinishRunMs = 1000;

}  // namespace

void MainDialog::Start() {
    // A recording needs the joystick to itself: a run that "NOT-AUS" has just
    // stopped completes its last tick first, and its recording is closed.
    if (recorder_ != nullptr || IsChecked(kIdRecord)) {
        controller_->WaitUntilIdle(kFinishRunMs);
        FinishRecording();
        if (IsChecked(kIdRecord) && !BeginRecording()) {
            return;
        }
    }
    SetEnabled(kIdStart, false);
    SetEnabled(kIdApply, true);
    SetStatus(kStatusRun);
    StoreMappings();
    running_ = true;
    controller_->Start();
}

bool MainDialog::BeginRecording() {
    platform::FileDialogRequest request;
    request.mode = platform::FileDialogMode::kSave;
    request.filter = QStringLiteral("*.replay");
    request.defaultExtension = QStringLiteral("replay");
    request.initialName = QStringLiteral("aufnahme.replay");
    request.caption = QStringLiteral("Aufnahme speichern unter");
    const QString path = services_.files->Choose(this, request);
    if (path.isEmpty()) {
        return false;  // cancelled: no run either
    }
    auto recorder = std::make_unique<RecordingSource>(*services_.source, services_.caps);
    if (!recorder->Open(path.toStdString()) || !controller_->SetSource(*recorder)) {
        platform::MessageRequest failed;
        failed.text = QStringLiteral("Die Aufnahme kann nicht angelegt werden:\n%1").arg(path);
        failed.icon = platform::MessageIcon::kError;
        services_.messages->Show(this, failed);
        return false;
    }
    recorder_ = std::move(recorder);
    recordingPath_ = path;
    return true;
}

void MainDialog::FinishRecording(bool report) {
    if (recorder_ == nullptr || !controller_->SetSource(*services_.source)) {
        return;  // none, or a run still reads through it
    }
    const bool written = recorder_->Finish();
    recorder_.reset();
    if (!written && report) {
        platform::MessageRequest failed;
        failed.text =
            QStringLiteral("Die Aufnahme konnte nicht vollständig geschrieben werden:\n%1")
                .arg(recordingPath_);
        failed.icon = platform::MessageIcon::kError;
        services_.messages->Show(this, failed);
    }
}

void MainDialog::EmergencyStop() {
    controller_->Stop();
    SetStatus(kStatusReady);
    SetEnabled(kIdStart, true);
    SetEnabled(kIdApply, false);
}

void MainDialog::OnRunEnded(RunOutcome outcome) {
    if (outcome == RunOutcome::kJoystickLost && running_) {
        platform::MessageRequest lost;
        lost.text = QString::fromUtf8(kJoystickLostText);
        lost.buttons = platform::MessageButtons::kAbortRetryIgnore;
        lost.icon = platform::MessageIcon::kError;
        if (services_.messages->Show(this, lost) == platform::MessageResult::kAbort) {
            running_ = false;
            if (services_.endProgram) {
                services_.endProgram(kExitJoystickLost, false);
            }
            return;
        }
        // Retry and Ignore both read again: the same run starts over.
        controller_->Start();
        return;
    }
    // The end of a run that "NOT-AUS" stopped while "LOS!" has already
    // started the next one: the window stays with the run going on.
    if (controller_->Running()) {
        return;
    }
    controller_->OnRunEnded();
    running_ = false;
    SetStatus(kStatusReady);
    SetEnabled(kIdStart, true);
    FinishRecording();
    if (outcome == RunOutcome::kLinkLost) {
        // The line went away: the run ended as by NOT-AUS; the user is told once.
        platform::MessageRequest lost;
        lost.text = QString::fromUtf8(kLinkLostText);
        lost.icon = platform::MessageIcon::kError;
        services_.messages->Show(this, lost);
    }
}

void MainDialog::ResetAndShow() {
    ResetSettings(settings_);
    ShowMappings();
    ShowOffSettings();
    RetitlePanels();
    ApplyEnableRules();
    PublishAll(live_, settings_);
    SetEnabled(kIdApply, false);
}

void MainDialog::Reset() {
    platform::MessageRequest question;
    question.text = QString::fromUtf8(kResetQuestionText);
    question.caption = QString::fromUtf8(kResetQuestionCaption);
    question.buttons = platform::MessageButtons::kYesNoCancel;
    question.icon = platform::MessageIcon::kQuestion;
    const platform::MessageResult answer = services_.messages->Show(this, question);
    if (answer == platform::MessageResult::kYes) {
        // Keep port and joystick: stop a run and restore every mapping.
        ComboSetSelection(kIdModule, 0);
        settings_.moduleShown = 0;
        EmergencyStop();
        ResetAndShow();
        return;
    }
    if (answer != platform::MessageResult::kNo) {
        return;
    }
    platform::MessageRequest restart;
    restart.text = QString::fromUtf8(kRestartText);
    restart.caption = QString::fromUtf8(kRestartCaption);
    restart.buttons = platform::MessageButtons::kOkCancel;
    restart.icon = platform::MessageIcon::kInformation;
    if (services_.messages->Show(this, restart) != platform::MessageResult::kOk) {
        return;
    }
    if (!WriteDeletedFile(services_.settingsPath)) {
        platform::MessageRequest failed;
        failed.text = QStringLiteral("Die Einstellungsdatei kann nicht geschrieben werden:\n%1")
                          .arg(QString::fromStdString(services_.settingsPath));
        failed.icon = platform::MessageIcon::kError;
        services_.messages->Show(this, failed);
        return;
    }
    // The next start asks for port and module again; the settings shown now
    // must not overwrite the file.
    if (services_.endProgram) {
        services_.endProgram(0, false);
    }
}

void MainDialog::End() {
    if (services_.endProgram) {
        services_.endProgram(0, true);
    }
}

void MainDialog::reject() {
    // Escape and the close box end the program as "Ende" does: the run stops
    // with all motors off and the settings are saved.
    End();
}

bool MainDialog::event(QEvent* event) {
    if (event->type() == platform::kRunEndedEvent) {
        platform::MarkTakenOver(event);
        OnRunEnded(static_cast<RunEndedEvent*>(event)->Outcome());
        return true;
    }
    return DialogWindow::event(event);
}

}  // namespace kinemo::joy::ui
