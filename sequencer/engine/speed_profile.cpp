#include "sequencer/engine/speed_profile.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kinemo::engine {
namespace {

constexpr std::uint8_t kInputCount = 8;

// Number of set bits of each of the eight bit positions over words [begin, end).
// Motor m is on to the left in a word when bit 2m is set and to the right when
// bit 2m + 1 is set (3 never occurs), so these are the on-tick counts.
std::array<std::uint32_t, 8> CountBitPlanes(const std::uint8_t* begin, const std::uint8_t* end) {
    std::array<std::uint32_t, 8> planes{};
    const std::uint8_t* p = begin;
    // Eight words at a time: one population count per bit position.
    constexpr std::uint64_t kLowBits = 0x0101010101010101ULL;
    while (end - p >= 8) {
        std::uint64_t chunk = 0;
        std::memcpy(&chunk, p, sizeof chunk);
        for (int b = 0; b < 8; ++b) {
            planes[b] += static_cast<std::uint32_t>(std::popcount(chunk & (kLowBits << b)));
        }
        p += 8;
    }
    for (; p < end; ++p) {
        for (int b = 0; b < 8; ++b) {
            planes[b] += (*p >> b) & 1U;
        }
    }
    return planes;
}

// Ticks a computation writes into the row of this plan.
std::uint32_t ComputedTicks(const MovementPlan& plan) {
    return plan.accelerated && RampLength(plan) < kComputedPasses ? kComputedPasses - 1
                                                                  : kComputedPasses;
}

}  // namespace

std::string LimitMarkText(const LimitMark& mark) {
    const std::string input = "E" + std::to_string(mark.input);
    switch (mark.kind) {
        case LimitKind::kMaxDuration:
            return "Max. dauer: " + std::to_string(mark.value);
        case LimitKind::kImpulses: {
            // A limit of 0 stops at the first impulse, like a limit of 1.
            const std::uint32_t count = std::max<std::uint32_t>(mark.value, 1);
            return "bis " + input + ": " + std::to_string(count) +
                   (count == 1 ? " Impuls" : " Impulse");
        }
        case LimitKind::kEndSwitch:
            return "bis " + input + ": Endtaster";
    }
    return {};
}

MovementSpan SpanOfMovement(const SlotLimits& limits, const MovementPlan& plan) {
    const std::uint32_t computed = ComputedTicks(plan);
    MovementSpan span;
    bool allTimed = true;
    std::uint32_t longest = 0;
    for (int m = 0; m < kMotorCount; ++m) {
        const std::uint32_t duration = limits.maxDuration[m];
        if (duration == 0) {
            allTimed = false;
            span.motorTicks[m] = computed;
            continue;
        }
        // Masked before the N-th word: on during N - 1 ticks.
        span.motorTicks[m] = std::min(duration - 1, computed);
        longest = std::max(longest, duration);
    }
    if (allTimed && longest <= computed + 1) {
        span.length = longest;  // the last exchange sends all motors off
    } else {
        // Only the model ends it, or it runs past its row and plays the row
        // again: show the row once.
        span.length = computed;
        span.open = true;
    }
    return span;
}

SpeedProfile BuildSpeedProfile(const Timeline& timeline, const MovementList& list, int first,
                               int last, const ProfileOptions& options) {
    SpeedProfile profile;
    if (last < first || first < 0 || last >= kMovementSlots || last - first >= kTimelineRows) {
        return profile;
    }
    const int rowCount = last - first + 1;
    profile.movements.reserve(static_cast<std::size_t>(rowCount));
    for (int row = 0; row < rowCount; ++row) {
        const MovementRecord& record = list.records[static_cast<std::size_t>(first + row)];
        const MovementPlan plan = PlanMovement(record);
        const SlotLimits& limits = timeline.Limits(row);
        const MovementSpan span = SpanOfMovement(limits, plan);
        ProfileMovement movement;
        movement.record = first + row;
        movement.name = RecordName(record);
        movement.startTick = profile.totalTicks;
        movement.length = span.length;
        movement.open = span.open;
        movement.rampLength = plan.accelerated ? RampLength(plan) : 0;
        movement.states = plan.states;
        movement.motorTicks = span.motorTicks;
        for (int m = 0; m < kMotorCount; ++m) {
            if (limits.maxDuration[m] != 0) {
                profile.marks.push_back({row, m, LimitKind::kMaxDuration,
                                         movement.startTick + span.motorTicks[m], 0,
                                         limits.maxDuration[m]});
            }
            if (limits.impulseInput[m] >= 1 && limits.impulseInput[m] <= kInputCount) {
                profile.marks.push_back({row, m, LimitKind::kImpulses, movement.startTick,
                                         limits.impulseInput[m], limits.maxImpulses[m]});
            }
            if (limits.endSwitchInput[m] >= 1 && limits.endSwitchInput[m] <= kInputCount) {
                profile.marks.push_back({row, m, LimitKind::kEndSwitch, movement.startTick,
                                         limits.endSwitchInput[m], 0});
            }
        }
        profile.totalTicks += span.length;
        profile.movements.push_back(std::move(movement));
    }

    std::uint64_t window = options.windowTicks;
    if (window == 0) {
        const std::uint64_t most = std::max<std::uint32_t>(options.maxWindows, 1);
        window = std::max<std::uint64_t>({1, options.minWindowTicks,
                                          (profile.totalTicks + most - 1) / most});
    }
    profile.windowTicks = static_cast<std::uint32_t>(window);
    profile.windows.resize(static_cast<std::size_t>((profile.totalTicks + window - 1) / window));

    for (int row = 0; row < rowCount; ++row) {
        const ProfileMovement& movement = profile.movements[static_cast<std::size_t>(row)];
        const std::uint8_t* words = timeline.Row(row);
        std::uint32_t pos = 0;
        while (pos < movement.length) {
            const std::uint64_t tick = movement.startTick + pos;
            const std::uint64_t windowIndex = tick / window;
            // The segment ends at the window's end, the movement's end or the
            // next motor stop, whichever comes first.
            std::uint64_t next = std::min<std::uint64_t>(
                movement.length, (windowIndex + 1) * window - movement.startTick);
            for (const std::uint32_t stop : movement.motorTicks) {
                if (stop > pos) {
                    next = std::min<std::uint64_t>(next, stop);
                }
            }
            const auto end = static_cast<std::uint32_t>(next);
            const std::array<std::uint32_t, 8> planes = CountBitPlanes(words + pos, words + end);
            ProfileWindow& target = profile.windows[static_cast<std::size_t>(windowIndex)];
            target.ticks += end - pos;
            for (int m = 0; m < kMotorCount; ++m) {
                if (movement.motorTicks[m] > pos) {
                    target.leftOn[m] += planes[2 * m];
                    target.rightOn[m] += planes[2 * m + 1];
                }
            }
            pos = end;
        }
    }
    return profile;
}

}  // namespace kinemo::engine
