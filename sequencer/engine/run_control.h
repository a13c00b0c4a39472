// Run control of the sequencer: the player thread and the operations behind
// "Bewegung Testen", "LOS!", "NOT-AUS" and "Ende".
//
// The dialog thread owns the movement table and computes the timeline; the
// player thread plays it, one output word per tick through an InterfaceLink,
// and reports the end of every run through a RunEndedListener. No locks: the
// timeline is written only between runs, and the values both threads touch
// during a run are single atomic bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "platform/threads.h"
#include "sequencer/engine/movement_list.h"
#include "sequencer/engine/player.h"
#include "sequencer/engine/timeline.h"

namespace kinemo::engine {

using platform::ThreadPriority;

// What one run plays, handed to the engine as a value: the movements
// first..first + count - 1 of the list, computed into rows 0..count - 1 and
// played once, or repeated while the endless-loop setting stays on when
// `loop` is set. The list and the settings are left as they are.
struct RunRequest {
    int first = 0;
    int count = 0;
    bool loop = false;
};

// Owns the movement table, the run settings, the timeline and the player thread.
// All member functions except the destructor's wait run on the dialog thread,
// except where noted.
class RunControl {
  public:
    // `diagnostics` receives the engine's diagnostic lines (standard output in
    // the programs). The player thread starts at once, at normal priority, and
    // waits for a run.
    RunControl(InterfaceLink& link, RunEndedListener& listener, std::FILE* diagnostics = stdout);
    // Requests a stop, raises the player to normal priority and waits at most
    // one second for its final all-off exchange, so motors never keep running
    // after the program ends; then ends the player thread.
    ~RunControl();
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;

    MovementList& Movements();
    RunSettings& Settings();
    const Timeline& GetTimeline() const;

    // What the player publishes after every exchange (any thread may read it).
    const LiveRunChannel& Live() const;
    // The run started last (the first movement names the rows of LiveRunState).
    RunRequest LastRun() const;

    // Computes and starts `run`. Refused (false) while a run is in progress
    // (the player reads the timeline then) and for a range outside the table.
    bool Start(const RunRequest& run);
    // "Bewegung Testen" after the dialog's StoreMovement: movement `current`
    // once, whatever the endless-loop setting says.
    bool TestMovement(int current);
    // "LOS!" after the dialog's StoreMovement: the whole list, repeated while
    // the endless loop is on.
    bool RunList();
    // "NOT-AUS" and "Ende": sets stopRequested; the player stops within one tick.
    // Safe from any thread.
    void EmergencyStop();
    // Handler of RunEnded on the dialog thread: the player (and the connect
    // thread, if registered) back to idle priority. The player has sent its
    // all-off words before posting RunEnded; this never touches the line.
    void OnRunEnded();
    // How the latest run ended; valid once its RunEnded has arrived.
    RunOutcome LastOutcome() const;
    // True from StartRun until the player has finished the run (after its two
    // final all-off exchanges).
    bool Running() const;
    // Waits (at most `timeoutMs`) until no run is in progress; false on time-out.
    bool WaitUntilIdle(int timeoutMs);

    // The thread that runs the connect dialog, while it runs: it is set to idle
    // priority during runs. The connect thread registers itself (any thread may
    // call these).
    void SetConnectThread(const platform::ThreadId& thread);
    void ClearConnectThread();

    // The player thread, for priority changes and tests.
    platform::ThreadId PlayerThread() const;
    // What the last priority change of the player thread achieved.
    platform::PriorityApplied PlayerPriorityApplied() const;
    // The stop flag itself, for callers that must set it from a signal handler
    // (a lock-free atomic byte store is async-signal-safe).
    StopFlag& StopRequested();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kinemo::engine
