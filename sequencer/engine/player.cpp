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

// The run's state for a window, published after every exchange.
class LivePublisher {
  public:
    explicit LivePublisher(LiveRunChannel* channel) : channel_(channel) {
        if (channel_ != nullptr) {
            state_ = channel_->Read();
            state_ = LiveRunState{0, state_.run + 1};
            state_.running = true;
        }
    }
    void StartRow(int row, const SlotLimits& limits) {
        state_.row = static_cast<std::uint32_t>(row);
        for (int m = 0; m < kMotorCount; ++m) {
            state_.impulseInputs[m] = limits.impulseInput[m];
            state_.impulseLimits[m] = limits.impulseInput[m] != 0 ? limits.maxImpulses[m] : 0;
        }
    }
    void Tick(std::uint8_t inputs, std::uint32_t movementTick,
              const std::array<std::uint32_t, kMotorCount>& counts) {
        if (channel_ != nullptr) {
            ++state_.ticks;
            state_.inputs = inputs;
            state_.movementTick = movementTick;
            state_.impulses = counts;
            channel_->Publish(state_);
        }
    }
    void End() {
        if (channel_ != nullptr) {
            state_.running = false;
            channel_->Publish(state_);
        }
    }

  private:
    LiveRunChannel* channel_;
    LiveRunState state_{};
};

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
    LivePublisher live(context.live);
    live.Tick(current, 0, counts);
    // A dead line answers every exchange at once with 0; playing on would
    // race through the rows and report them done. End as NOT-AUS does, with
    // the final all-off attempted.
    const auto lineLost = [&]() {
        link.Exchange(0);
        live.End();
        stopRequested.store(0, std::memory_order_relaxed);
        return RunOutcome::kLinkLost;
    };
    if (link.LinkLost()) {
        return lineLost();
    }

    do {
        for (int p = 0; p < runLength; ++p) {
            const std::uint8_t* row = timeline.Row(p);
            const SlotLimits& limits = timeline.Limits(p);
            std::uint8_t active = 0xFF;
            std::uint32_t j = 1;
            std::uint32_t position = 0;
            live.StartRow(p, limits);
            do {
                const auto changed = static_cast<std::uint8_t>(previous ^ current);
                if (settings.offSwitchOn.load(std::memory_order_relaxed) != 0 &&
                    InputSet(current,
                             settings.offSwitchInput.load(std::memory_order_relaxed) + 1U)) {
                    stopRequested.store(1, std::memory_order_relaxed);
                }
                for (int m = 0; m < kMotorCount; ++m) {
                    if (stopRequested.load(std::memory_order_relaxed) != 0) {
                        live.Tick(static_cast<std::uint8_t>(link.Exchange(0)), j - 1, counts);
                        live.End();
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
                if (link.LinkLost()) {
                    return lineLost();
                }
                live.Tick(current, j, counts);
                ++j;
                position = (j - 1) & kPositionMask;
            } while (active != 0);
            WriteMovementDiagnostics(context.diagnostics, p, limits, counts);
            counts.fill(0);
        }
        // With no rows the loop would never check the stop flag again.
    } while (loop && runLength > 0 && settings.endlessLoop.load(std::memory_order_relaxed) == 1);

    live.Tick(static_cast<std::uint8_t>(link.Exchange(0)), 0, counts);
    live.End();
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
        state.outcome.store(PlayRun(state.context, state.runLength.load(), state.loop.load()));
        if (state.quit.load()) {
            break;
        }
        // All motors off once more after every run, here rather than on the
        // window thread: on a box that stopped answering this exchange waits
        // for the read timeout, and the window must not.
        state.context.link->Exchange(0);
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
