#include "sequencer/engine/player.h"

#include <array>

namespace kinemo::engine {

namespace {

constexpr std::uint32_t kPositionMask = kTimelineRowLength - 1;  // position = (j - 1) mod 65536

constexpr std::uint8_t MotorBits(int motor) {
    return static_cast<std::uint8_t>(3U << (2 * motor));
}

void WriteMovementDiagnostics(std::FILE* out, int row, const SlotLimits& limits,
                              const std::array<std::uint32_t, kMotorCount>& counts) {
    if (out == nullptr) {
        return;
    }
    std::fprintf(out, "\nBewegung %u: M1: %u Impulse, M2: %u impulse\n", static_cast<unsigned>(row),
                 static_cast<unsigned>(limits.maxImpulses[0]),
                 static_cast<unsigned>(limits.maxImpulses[1]));
    std::fprintf(out, "Pulsecount[0]:%d,  [1]:%d,  [2]:%d,  [3]:%5d\n\n",
                 static_cast<int>(counts[0]), static_cast<int>(counts[1]),
                 static_cast<int>(counts[2]), static_cast<int>(counts[3]));
    std::fflush(out);
}

}  // namespace

RunOutcome PlayRun(const PlayerContext& context, int runLength, bool loop) {
    InterfaceLink& link = *context.link;
    const Timeline& timeline = *context.timeline;
    const RunSettings& settings = *context.settings;
    StopFlag& stopRequested = *context.stopRequested;
    // The timeline holds at most kTimelineRows computed rows.
    if (runLength > kTimelineRows) {
        runLength = kTimelineRows;
    }

    auto current = static_cast<std::uint8_t>(link.Exchange(0));
    std::uint8_t previous = current;
    std::array<std::uint32_t, kMotorCount> counts{};

    do {
        for (int p = 0; p < runLength; ++p) {
            const std::uint8_t* row = timeline.Row(p);
            const SlotLimits& limits = timeline.Limits(p);
            std::uint8_t active = 0xFF;
            std::uint32_t j = 1;
            std::uint32_t position = 0;
            do {
                const auto changed = static_cast<std::uint8_t>(previous ^ current);
                if (settings.offSwitchOn.load(std::memory_order_relaxed) != 0 &&
                    InputSet(current,
                             settings.offSwitchInput.load(std::memory_order_relaxed) + 1U)) {
                    stopRequested.store(1, std::memory_order_relaxed);
                }
                for (int m = 0; m < kMotorCount; ++m) {
                    if (stopRequested.load(std::memory_order_relaxed) != 0) {
                        link.Exchange(0);
                        stopRequested.store(0, std::memory_order_relaxed);
                        return RunOutcome::kStopped;
                    }
                    // A pressed end switch wins: the motor's impulses are not
                    // counted in that tick.
                    if (limits.endSwitchInput[m] != 0 &&
                        InputSet(current, limits.endSwitchInput[m])) {
                        active &= static_cast<std::uint8_t>(~MotorBits(m));
                        continue;
                    }
                    bool stoppedByImpulses = false;
                    if (limits.impulseInput[m] != 0 && InputSet(changed, limits.impulseInput[m])) {
                        ++counts[m];
                        if (counts[m] >= limits.maxImpulses[m]) {
                            active &= static_cast<std::uint8_t>(~MotorBits(m));
                            stoppedByImpulses = true;
                        }
                    }
                    if (!stoppedByImpulses && j == limits.maxDuration[m]) {
                        active &= static_cast<std::uint8_t>(~MotorBits(m));
                    }
                }
                previous = current;
                current = static_cast<std::uint8_t>(link.Exchange(row[position] & active));
                ++j;
                position = (j - 1) & kPositionMask;
            } while (active != 0);
            WriteMovementDiagnostics(context.diagnostics, p, limits, counts);
            counts.fill(0);
        }
        // With no rows the loop would never check the stop flag again.
    } while (loop && runLength > 0 && settings.endlessLoop.load(std::memory_order_relaxed) == 1);

    link.Exchange(0);
    return RunOutcome::kFinished;
}

void PlayerThreadMain(void* parameter) {
    auto& state = *static_cast<PlayerThreadState*>(parameter);
    for (;;) {
        state.startEvent.Wait();
        state.startEvent.Reset();
        if (state.quit.load()) {
            break;
        }
        PlayRun(state.context, state.runLength.load(), state.loop.load());
        if (state.quit.load()) {
            break;
        }
        state.listener->PostRunEnded();
        state.idle.Set();
    }
    state.idle.Set();
    state.exited.Set();
}

}  // namespace kinemo::engine
