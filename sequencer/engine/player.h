// The player: plays computed timeline rows on the interface, one output word
// per tick, and ends each motor's part of a movement at its limits.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "platform/threads.h"
#include "sequencer/engine/live_run.h"
#include "sequencer/engine/movement_list.h"
#include "sequencer/engine/timeline.h"

namespace kinemo::engine {

// Shown (and printed by kinemo-cli) when the line went away during a run.
inline constexpr char kLinkLostText[] = "Verbindung zum Interface verloren";

// One tick of the interface: sends a Motor output word, returns the Input word.
class InterfaceLink {
  public:
    virtual ~InterfaceLink() = default;
    virtual std::uint32_t Exchange(std::uint32_t output) = 0;
    // True once the line itself is gone (hangup or I/O error): every further
    // exchange returns at once without reaching the box. An unanswered tick is
    // no lost link. Read by the player after every exchange.
    virtual bool LinkLost() { return false; }
    // Called before a run starts: a link that was lost may open its port again
    // (a box plugged back in); nothing happens otherwise.
    virtual void Reopen() {}
};

// Learns of the end of every run, finished or stopped. Called on the player
// thread: an implementation only posts a message (the window posts RunEnded)
// and never touches the dialog itself.
class RunEndedListener {
  public:
    virtual ~RunEndedListener() = default;
    virtual void PostRunEnded() = 0;
};

// The emergency-stop flag: one byte, written by the dialog thread and by the
// player, read by the player at every motor check (four times per tick).
using StopFlag = std::atomic<std::uint8_t>;

// Everything one run reads. The timeline and the run settings are only read
// (the settings as the run goes, so unchecking the endless loop ends it after
// the last row); the stop flag is read, set by the off switch and cleared when
// the player has stopped.
struct PlayerContext {
    InterfaceLink* link = nullptr;
    const Timeline* timeline = nullptr;
    const RunSettings* settings = nullptr;
    StopFlag* stopRequested = nullptr;
    std::FILE* diagnostics = nullptr;  // may be null: no diagnostic lines
    LiveRunChannel* live = nullptr;    // may be null: nothing published
};

enum class RunOutcome {
    kFinished,  // every row played (and the endless loop left)
    kStopped,   // NOT-AUS, "Ende" or the off switch
    kLinkLost,  // the line went away: ended as by NOT-AUS, the rest never sent
};

// Input n (1..8) is set when bit n - 1 of the Input word is 1. Input numbers
// outside 1..8 (possible in program files) are never set.
constexpr bool InputSet(std::uint8_t inputWord, unsigned input) {
    return input - 1U < 8U && ((inputWord >> (input - 1U)) & 1U) != 0;
}

// Plays rows 0..runLength-1 of the timeline, repeated while `loop` is set and
// the endlessLoop setting is 1, and returns after the final all-off exchange. Every way out sends
// the output word 0. No allocation, locking or waiting inside a tick; the two diagnostic lines are
// written between movements only.
RunOutcome PlayRun(const PlayerContext& context, int runLength, bool loop = true);

// What the player thread shares with the dialog thread between runs.
struct PlayerThreadState {
    PlayerContext context;
    RunEndedListener* listener = nullptr;
    // Releases the player for one run; manual-reset, and reset by the player
    // as it wakes, so one signal releases exactly one run even when it comes
    // before the player waits.
    platform::ManualResetEvent startEvent;
    // Rows computed for the run, fixed when the run starts.
    std::atomic<int> runLength{0};
    // Whether the run follows the endless-loop setting, fixed when it starts.
    std::atomic<bool> loop{false};
    // Signalled while no run is in progress.
    platform::ManualResetEvent idle{true};
    // Set when the program ends: the player leaves instead of running again.
    std::atomic<bool> quit{false};
    // Signalled as the player thread's last act.
    platform::ManualResetEvent exited;
    // How the latest run ended, stored before RunEnded is posted.
    std::atomic<RunOutcome> outcome{RunOutcome::kFinished};
};

// The player thread: forever waits for startEvent, plays one run, sends all-off
// once more and posts RunEnded; leaves when `quit` is set (then without the
// extra all-off: the run's own last word was all-off). `parameter` is a
// PlayerThreadState.
void PlayerThreadMain(void* parameter);

}  // namespace kinemo::engine
