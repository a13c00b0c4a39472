// The mechanics behind the simulated box: one carriage per motor output.
//
// Each motor M1-M8 drives a carriage along a travel of kTravelSteps steps.
// Every exchange (tick) in which a motor is on moves its carriage one step:
// left (state 1) towards 0, right (state 2) towards kTravelSteps. A carriage
// standing at an end does not move further, and a step that does not happen
// produces no impulse. Motor Mk (k = 1..8) feeds two inputs:
//   E(2k-1), the impulse input: its level changes after every 8 steps the
//            carriage has made in either direction, like a cam on the shaft;
//            it starts low;
//   E(2k),   the end switch: closed while the carriage stands at 0 or at
//            kTravelSteps.
// Carriages start in the middle, so both switches start open.
//
// A field value of 3 (never sent by the programs) is treated as off.
#pragma once

#include <array>
#include <cstdint>

namespace kinemo::simulator {

inline constexpr int kMotorCount = 8;
inline constexpr int kInputCount = 16;
inline constexpr std::int32_t kTravelSteps = 2000;
inline constexpr std::int32_t kStartPosition = kTravelSteps / 2;
inline constexpr std::uint32_t kStepsPerImpulseLevel = 8;

struct Carriage {
    std::int32_t position = kStartPosition;
    std::uint32_t stepsMoved = 0;  // steps actually made, both directions
    std::uint64_t onTicks = 0;     // ticks in which the motor was switched on
    std::uint8_t state = 0;        // motor field of the latest exchange
};

class BoxModel {
  public:
    // Applies one tick of the outputs: motor k (0 for M1) in bits 2k and 2k+1.
    // Returns the model's input word after the motion (E(n) in bit n-1).
    std::uint16_t Apply(std::uint16_t outputs);

    // The inputs the carriages produce in their current positions.
    std::uint16_t Inputs() const;

    const Carriage& carriage(int motor) const { return carriages_[motor]; }

    // Puts every carriage back to its start.
    void Reset() { carriages_ = {}; }

  private:
    std::array<Carriage, kMotorCount> carriages_{};
};

}  // namespace kinemo::simulator
