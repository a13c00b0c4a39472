// What the simulated box looks like after an exchange, for windows and tests.
#pragma once

#include <array>
#include <cstdint>

#include "simulator/box_model.h"

namespace kinemo::simulator {

struct MotorSnapshot {
    std::int32_t position = kStartPosition;
    std::uint8_t state = 0;  // 0 off, 1 left, 2 right (3 shown as sent)
    std::uint8_t padding[3] = {};
    std::uint64_t onTicks = 0;  // ticks with the motor on, since start
};

struct BoxSnapshot {
    std::uint64_t ticks = 0;          // exchanges answered (or applied) since start
    std::int64_t elapsedUs = 0;       // start of the latest exchange, since Start()
    std::uint64_t skippedBytes = 0;   // bytes outside any frame
    std::uint64_t ignoredFrames = 0;  // frames received while silent
    std::uint16_t inputs = 0;         // inputs as answered, forces applied
    std::uint16_t modelInputs = 0;    // inputs the carriages produce
    std::uint16_t forcedMask = 0;     // inputs held by the user ...
    std::uint16_t forcedLevels = 0;   // ... at these levels
    std::uint16_t outputs = 0;        // outputs of the latest exchange
    std::uint8_t lastCommand = 0;     // 0xC1 or 0xC2, 0 before the first frame
    std::uint8_t lineOpen = 0;        // 1 while the pseudo-terminal is open
    std::uint8_t padding[4] = {};
    std::array<MotorSnapshot, kMotorCount> motors{};

    // Input E(number) as the latest answer reported it.
    bool Input(int number) const { return ((inputs >> (number - 1)) & 1u) != 0; }
    // The inputs the next answer will report if the carriages stay put: the
    // model's inputs with the user's current forces.
    std::uint16_t PresentInputs() const {
        return static_cast<std::uint16_t>((modelInputs & ~forcedMask) |
                                          (forcedLevels & forcedMask));
    }
};

}  // namespace kinemo::simulator
