// KinemoJoy's control thread and the operations the window (and
// kinemo-joy-cli) call on it: "LOS!", "NOT-AUS", the RunEnded handler and the
// stop with wait behind "Ende" and every other way out.
//
// The control thread lives as long as the controller: it waits for the start
// event, resets it, clears the stop flag, reopens a lost line, runs one run
// (which always ends with the all-off exchange, except when the check read
// fails and nothing was sent), reports the end through the listener and waits
// again. It runs above normal priority during a run and at idle priority
// after it.
#pragma once

#include <cstdint>
#include <memory>

#include "joystick/control_loop.h"
#include "joystick/joystick_source.h"
#include "platform/threads.h"

namespace kinemo::joy {

// Learns of the end of every run. Called on the control thread: the window
// only posts an event to itself (RunEnded) and never touches a control here.
class RunEndedListener {
  public:
    virtual ~RunEndedListener() = default;
    virtual void PostRunEnded(RunOutcome outcome) = 0;
};

class JoyController {
  public:
    // Starts the control thread at normal priority; it waits for "LOS!".
    JoyController(InterfaceLink& link, JoystickSource& source, RunEndedListener& listener);
    // StopAndWait, then ends the control thread.
    ~JoyController();
    JoyController(const JoyController&) = delete;
    JoyController& operator=(const JoyController&) = delete;

    // The settings the loop reads every tick (publish into it, control_loop.h).
    LiveSettings& Live();
    // The one-byte stop flag; a lock-free atomic store, so also safe from a
    // signal handler.
    StopFlag& StopRequested();

    // Exchanges the joystick source (for a recording or replay). Only while
    // no run is in progress; false otherwise.
    bool SetSource(JoystickSource& source);

    // "LOS!" (after the window has published the mappings): raises the
    // control thread above normal and signals the start event. A "LOS!" while
    // the previous run is still finishing starts the next run right after it.
    void Start();
    // "NOT-AUS": sets the stop flag; the loop completes its tick, sends
    // all-off and reports the end. Safe from any thread.
    void Stop();
    // The RunEnded handler on the dialog thread: the control thread to idle.
    void OnRunEnded();
    // The way out ("Ende", the close box, a signal): stop, then wait at most
    // `timeoutMs` for the run's final all-off exchange. No run starts after
    // it. True when no run is left in progress (the interface may then be
    // closed).
    bool StopAndWait(int timeoutMs = 1000);

    // From Start until the run's final exchange is done.
    bool Running() const;
    bool WaitUntilIdle(int timeoutMs);
    // Runs ended so far (counted as they end, before the listener is told).
    std::uint64_t RunsEnded() const;

    platform::ThreadId ControlThread() const;
    platform::PriorityApplied PriorityApplied() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kinemo::joy
