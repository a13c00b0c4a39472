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

#include "sequencer/engine/movement_list.h"
#include "sequencer/engine/timeline.h"

namespace kinemo::engine {

// One tick of the interface: sends a Motor output word, returns the Input word.
class InterfaceLink {
public:
    virtual ~InterfaceLink() = default;
    virtual std::uint32_t Exchange(std::uint32_t output) = 0;
};

// Learns of the end of every run, finished or stopped. Called on the player
// thread: an implementation only posts a message (the window posts RunEnded)
// and never touches the dialog itself.
class RunEndedListener {
public:
    virtual ~RunEndedListener() = default;
    virtual void PostRunEnded() = 0;
};

// Scheduling class of a thread; mapped by the platform layer to real-time
// scheduling where allowed, a nice value otherwise, unchanged where neither is.
enum class ThreadPriority { kIdle, kNormal, kAboveNormal, kHighest };

// Owns the movement table, the run settings, the timeline and the player thread.
// All member functions except the destructor's wait run on the dialog thread.
class RunControl {
public:
    // `diagnostics` receives the engine's diagnostic lines (standard output in
    // the programs). The player thread starts at once and waits for a run.
    RunControl(InterfaceLink& link, RunEndedListener& listener, std::FILE* diagnostics = stdout);
    // Requests a stop and waits at most one second for the player's final
    // all-off exchange, so motors never keep running after the program ends.
    ~RunControl();
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;

    MovementList& Movements();
    RunSettings& Settings();
    const Timeline& GetTimeline() const;

    // "Bewegung Testen" after the dialog's StoreMovement: movementCount := 1,
    // endlessLoop := 0, ComputeTimeline(current, current), StartRun().
    void TestMovement(int currentMovement);
    // "LOS!" after the dialog's StoreMovement: ComputeTimeline(0,
    // movementCount - 1), StartRun().
    void RunList();
    // "NOT-AUS" and "Ende": sets stopRequested; the player stops within one tick.
    void EmergencyStop();
    // Handler of RunEnded on the dialog thread: all motors off once more and the
    // player back to idle priority.
    void OnRunEnded();
    // True from StartRun until the player has finished the run.
    bool Running() const;
    // Waits (at most `timeoutMs`) until no run is in progress; false on time-out.
    bool WaitUntilIdle(int timeoutMs);

private:
    struct State;
    State* state_;
};

}  // namespace kinemo::engine
