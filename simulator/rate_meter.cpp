#include "simulator/rate_meter.h"

#include <algorithm>

namespace kinemo::simulator {

void RateMeter::Add(const BoxSnapshot& snapshot, std::int64_t nowUs) {
    Sample& s = ring_[head_];
    s.us = nowUs;
    s.ticks = snapshot.ticks;
    for (int k = 0; k < kMotorCount; ++k) {
        s.onTicks[static_cast<std::size_t>(k)] =
            snapshot.motors[static_cast<std::size_t>(k)].onTicks;
    }
    head_ = (head_ + 1) % kCapacity;
    if (count_ < kCapacity) {
        ++count_;
    }
}

const RateMeter::Sample& RateMeter::Base() const {
    const Sample& newest = Newest();
    // The sample before the newest counts even when older than the window,
    // so a slow redraw still shows the rate since the one before.
    std::size_t best = (head_ + kCapacity - std::min<std::size_t>(count_, 2)) % kCapacity;
    for (std::size_t back = 3; back <= count_; ++back) {
        const std::size_t index = (head_ + kCapacity - back) % kCapacity;
        if (newest.us - ring_[index].us > kWindowUs) {
            break;
        }
        best = index;
    }
    return ring_[best];
}

double RateMeter::TickRate() const {
    if (count_ < 2) {
        return 0.0;
    }
    const Sample& newest = Newest();
    const Sample& base = Base();
    const std::int64_t us = newest.us - base.us;
    if (us <= 0 || newest.ticks < base.ticks) {
        return 0.0;
    }
    return static_cast<double>(newest.ticks - base.ticks) * 1e6 / static_cast<double>(us);
}

double RateMeter::MotorSpeedPercent(int motor) const {
    if (count_ < 2 || motor < 0 || motor >= kMotorCount) {
        return 0.0;
    }
    const Sample& newest = Newest();
    const Sample& base = Base();
    const auto k = static_cast<std::size_t>(motor);
    if (newest.ticks <= base.ticks || newest.onTicks[k] < base.onTicks[k]) {
        return 0.0;
    }
    return static_cast<double>(newest.onTicks[k] - base.onTicks[k]) * 100.0 /
           static_cast<double>(newest.ticks - base.ticks);
}

}  // namespace kinemo::simulator
