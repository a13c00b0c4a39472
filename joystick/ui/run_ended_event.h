// The end of a run as a posted event: the control thread's listener posts it
// to the main window, which handles it on the dialog's thread. It carries how
// the run ended, so two ends posted in quick succession keep their own.
#pragma once

#include <QEvent>
#include <QObject>

#include "joystick/control_loop.h"
#include "joystick/joy_controller.h"
#include "platform/dialog_events.h"

namespace kinemo::joy::ui {

class RunEndedEvent : public QEvent {
  public:
    explicit RunEndedEvent(RunOutcome outcome)
        : QEvent(platform::kRunEndedEvent), outcome_(outcome) {}
    RunOutcome Outcome() const { return outcome_; }

  private:
    RunOutcome outcome_;
};

// Posts RunEnded from the control thread; the window marks it taken over
// before it reads the outcome.
class RunEndedToWindow : public RunEndedListener {
  public:
    explicit RunEndedToWindow(QObject* window) : window_(window) {}
    void PostRunEnded(RunOutcome outcome) override {
        platform::PostFilledEvent(window_, new RunEndedEvent(outcome));
    }

  private:
    QObject* window_;
};

}  // namespace kinemo::joy::ui
