// The values a run shares between the control thread and the threads that
// type keys or press "NOT-AUS": single atomic bytes, relaxed, each written by
// one side and read by the other at its next tick. No locks.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "keyboard/key_action.h"
#include "keyboard/start_settings.h"

namespace kinemo::keyboard {

// Why a run ended; stopRequested holds it (0 while the run may go on).
enum StopReason : std::uint8_t {
    kNotStopped = 0,
    kStopButton = 1,  // "NOT-AUS", "Ende", a signal, the end of the command line's input
    kStopKey = 2,     // a key whose action is "Notaus"
    kOffSwitch = 3,   // the off switch's input became active
    kLinkLost = 4,    // the line went away (hangup, I/O error): ended as by "NOT-AUS"
};

struct RunVariables {
    // MotorState and speed (0..100 %) of each motor; written by the key
    // handler, read (and the state also written, by an end switch) by the
    // control loop.
    std::array<std::atomic<std::uint8_t>, kMotorCount> state{};
    std::array<std::atomic<std::uint8_t>, kMotorCount> speed{};
    // Bit j set: motor j's pulse pattern starts afresh (accumulator 0) at the
    // next pulse step. The accumulators themselves belong to the control
    // thread, so a restart can never be lost in a half-done update.
    std::atomic<std::uint8_t> restartPatterns{0};
    // The one-byte stop flag: non-zero ends the run after the tick in
    // progress; the value says why.
    std::atomic<std::uint8_t> stopRequested{kNotStopped};

    // Written by the control loop on every tick, for display and tests: the
    // ticks of the current (or last) run, the last output word sent and the
    // last input word received.
    std::atomic<std::uint32_t> ticks{0};
    std::atomic<std::uint8_t> lastOutput{0};
    std::atomic<std::uint8_t> lastInput{0};

    // Sets the stop flag unless a reason is already recorded. Any thread.
    void RequestStop(StopReason reason) {
        std::uint8_t expected = kNotStopped;
        stopRequested.compare_exchange_strong(expected, reason, std::memory_order_relaxed);
    }
    StopReason Stopped() const {
        return static_cast<StopReason>(stopRequested.load(std::memory_order_relaxed));
    }
};

// Makes the variables ready for a new run before the control thread is
// released: every state and speed from the start settings as they stand now,
// no pattern restart pending, the stop flag and the counters cleared. Keys
// typed from then on act on the new run.
void PrepareRun(RunVariables& run, const LiveSettings& settings);

}  // namespace kinemo::keyboard
