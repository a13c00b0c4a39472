// Turns the box's cumulative counters into rates for display: the tick rate
// and, per motor, its measured speed, the share of ticks in which it was on.
//
// Both are taken over the last second: the newest snapshot against the
// oldest one kept that is at most kWindowUs older (or against the one before
// the newest, if even that is older). Fed at the window's redraw
// rate (25 per second) the ring holds well over a second.
#pragma once

#include <array>
#include <cstdint>

#include "simulator/box_snapshot.h"

namespace kinemo::simulator {

class RateMeter {
  public:
    static constexpr std::int64_t kWindowUs = 1'000'000;

    // Adds a snapshot read at nowUs (any monotonic clock, in microseconds).
    void Add(const BoxSnapshot& snapshot, std::int64_t nowUs);

    // Exchanges per second over the last second; 0 until two samples exist.
    double TickRate() const;
    // Percent of the last second's ticks in which motor `motor` (0 = M1) was
    // on, 0 when there were no ticks.
    double MotorSpeedPercent(int motor) const;

  private:
    struct Sample {
        std::int64_t us = 0;
        std::uint64_t ticks = 0;
        std::array<std::uint64_t, kMotorCount> onTicks{};
    };
    static constexpr std::size_t kCapacity = 64;

    const Sample& Newest() const { return ring_[(head_ + kCapacity - 1) % kCapacity]; }
    // Oldest sample within the window before the newest one.
    const Sample& Base() const;

    std::array<Sample, kCapacity> ring_{};
    std::size_t head_ = 0;  // next slot to write
    std::size_t count_ = 0;
};

}  // namespace kinemo::simulator
