// The control thread of the keyboard controller and the operations behind
// "LOS!", "NOT-AUS" and the key handler.
//
// The control thread lives as long as the controller: it waits for
// startEvent, runs one run (ControlLoop), whose last exchange sends all-off,
// reports the end through the RunEnded callback and waits again. The callback
// runs on the control thread: the window only posts an event from it, the
// command line only wakes its main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "keyboard/box_link.h"
#include "keyboard/key_table.h"
#include "keyboard/run_variables.h"
#include "keyboard/start_settings.h"
#include "platform/threads.h"

namespace kinemo::keyboard {

// `run` is the number the run got from Start (1 for the first run), so a
// report that arrives after a newer run has started can be told apart.
using RunEndedCallback = std::function<void(std::uint32_t run, StopReason reason)>;

enum class StartResult {
    kStarted,
    kNotConnected,  // the link has no connection: a run would only spin
    kRunning,       // a run is still in progress (also while a stopped run finishes its tick)
};

class RunController {
  public:
    // Starts the control thread at normal priority; it waits for a run. The
    // link, the settings and the callback must outlive the controller.
    RunController(BoxLink& link, const LiveSettings& settings, RunEndedCallback runEnded);
    // Stops a run in progress, raises the control thread to normal priority
    // and waits at most one second for the run's final all-off exchange, then
    // ends the thread; the run ended this way is not reported. A thread still
    // stuck in an exchange after that is left to finish alone (with its state).
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // "LOS!": after a lost line first opens the same port again (BoxLink::
    // Reopen); then prepares the run variables from the start settings, raises
    // the control thread to the highest priority and signals startEvent.
    StartResult Start();
    // "NOT-AUS" (and "Ende", signals, end of input): the run stops after the
    // tick in progress. Any thread; does nothing without a run.
    void RequestStop(StopReason reason = kStopButton);
    // The key handler (see key_handler.h) on this controller's run variables.
    int HandleKey(const KeyTable& table, std::uint8_t character);
    // For the RunEnded handler: the control thread drops to idle priority
    // until the next run.
    void OnRunEnded();

    // True from Start until the run's final all-off exchange is done.
    bool Running() const;
    // Waits at most `timeoutMs` until no run is in progress; false on time-out.
    bool WaitUntilIdle(int timeoutMs);
    // Number of the latest run started (0 before the first).
    std::uint32_t RunNumber() const;

    RunVariables& Variables();
    platform::ThreadId ControlThread() const;
    // What the latest priority change of the control thread achieved.
    platform::PriorityApplied PriorityApplied() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kinemo::keyboard
