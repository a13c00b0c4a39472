#include "simulator/box_model.h"

#include "protocol/box_protocol.h"

namespace kinemo::simulator {

std::uint16_t BoxModel::Apply(std::uint16_t outputs) {
    for (int k = 0; k < kMotorCount; ++k) {
        Carriage& c = carriages_[k];
        c.state = protocol::MotorField(outputs, k);
        int direction = 0;
        if (c.state == protocol::kMotorFieldLeft) {
            direction = -1;
        } else if (c.state == protocol::kMotorFieldRight) {
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
            word = static_cast<std::uint16_t>(word | protocol::InputBit(2 * k));
        }
        if (endSwitch) {
            word = static_cast<std::uint16_t>(word | protocol::InputBit(2 * k + 1));
        }
    }
    return word;
}

}  // namespace kinemo::simulator
