#include "simulator/box_model.h"

namespace kinemo::simulator {

std::uint16_t BoxModel::Apply(std::uint16_t outputs) {
    for (int k = 0; k < kMotorCount; ++k) {
        Carriage& c = carriages_[k];
        c.state = static_cast<std::uint8_t>((outputs >> (2 * k)) & 3u);
        int direction = 0;
        if (c.state == 1) {
            direction = -1;
        } else if (c.state == 2) {
            direction = 1;
        }
        if (direction == 0) {
            continue;
        }
        ++c.onTicks;
        const std::int32_t next = c.position + direction;
        if (next < 0 || next > kTravelSteps) {
            continue;  // stalled against the end
        }
        c.position = next;
        ++c.stepsMoved;
    }
    return Inputs();
}

std::uint16_t BoxModel::Inputs() const {
    std::uint16_t word = 0;
    for (int k = 0; k < kMotorCount; ++k) {
        const Carriage& c = carriages_[k];
        const bool impulse = ((c.stepsMoved / kStepsPerImpulseLevel) & 1u) != 0;
        const bool endSwitch = c.position == 0 || c.position == kTravelSteps;
        if (impulse) {
            word = static_cast<std::uint16_t>(word | (1u << (2 * k)));
        }
        if (endSwitch) {
            word = static_cast<std::uint16_t>(word | (1u << (2 * k + 1)));
        }
    }
    return word;
}

}  // namespace kinemo::simulator
