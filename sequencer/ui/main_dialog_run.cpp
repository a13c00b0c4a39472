// The run hand-off of the main dialog: "Bewegung Testen", "LOS!", "NOT-AUS",
// "Ende" and the end of a run.
#include <QEvent>

#include "platform/dialog_events.h"
#include "platform/dialog_message.h"
#include "sequencer/ui/main_dialog.h"
#include "sequencer/ui/main_dialog_ids.h"

namespace kinemo::ui {

void MainDialog::TestMovement() {
    SetEnabled(kIdTestMovement, false);
    SetEnabled(kIdRunList, false);
    SetStatus(kStatusComputing);
    // The computation blocks this thread: show the status before it starts.
    ControlWidget(kIdStatus)->repaint();
    const int current = Movements().currentMovement;
    StoreMovement(current);
    // The movement runs once; the list and the "Endlosschleife" setting stay.
    if (!Run().TestMovement(current)) {
        return;  // a run is still in progress; its RunEnded re-enables the buttons
    }
    SetStatus(kStatusRunning);
}

void MainDialog::RunList() {
    SetEnabled(kIdTestMovement, false);
    SetEnabled(kIdRunList, false);
    SetStatus(kStatusComputing);
    ControlWidget(kIdStatus)->repaint();
    StoreMovement(Movements().currentMovement);
    if (!Run().RunList()) {
        return;
    }
    SetStatus(kStatusRunning);
}

void MainDialog::EmergencyStop() {
    Run().EmergencyStop();
    SetStatus(kStatusStopped);
}

void MainDialog::OnRunEnded() {
    Run().OnRunEnded();
    if (Run().LastOutcome() == engine::RunOutcome::kLinkLost) {
        SetStatus(kStatusStopped);
        // Once per run that lost its line; caption: the program's title.
        platform::MessageRequest message;
        message.text = QString::fromUtf8(engine::kLinkLostText);
        message.buttons = platform::MessageButtons::kOk;
        messages_.Show(this, message);
    } else {
        SetStatus(kStatusFinished);
    }
    SetEnabled(kIdTestMovement, true);
    SetEnabled(kIdRunList, true);
}

void MainDialog::End() {
    Run().EmergencyStop();
    accept();
}

bool MainDialog::event(QEvent* event) {
    if (event->type() == platform::kRunEndedEvent) {
        OnRunEnded();
        return true;
    }
    return DialogWindow::event(event);
}

}  // namespace kinemo::ui
