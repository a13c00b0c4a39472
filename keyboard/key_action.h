// Motor states and key actions of the keyboard controller, with the texts
// their lists show. A list position equals the code, so the texts are kept
// in code order.
#pragma once

#include <array>
#include <cstdint>

#include "pulse/pulse_generator.h"

namespace kinemo::keyboard {

// Motors the keyboard controller drives (M1..M4) and inputs it reads (E1..E8).
inline constexpr int kMotorCount = 4;
inline constexpr int kInputCount = 8;

using pulse::kMotorLeft;
using pulse::kMotorOff;
using pulse::kMotorRight;
using pulse::MotorState;

// Largest MotorState code; 3 never occurs on the wire.
inline constexpr std::uint8_t kMaxMotorState = kMotorRight;
// Speeds are whole percent.
inline constexpr std::uint8_t kMaxSpeed = 100;
// Inputs are chosen by position 0..7 for E1..E8.
inline constexpr std::uint8_t kMaxInput = kInputCount - 1;

// List texts of the motor states: "A" off, "L" left, "R" right.
inline constexpr std::array<const char*, 3> kMotorStateTexts = {"A", "L", "R"};

// What typing an entry's character does.
enum KeyAction : std::uint8_t {
    kNoAction = 0,       // nothing
    kSetStates = 1,      // each included motor takes the entry's value as its state
    kSetSpeeds = 2,      // each included motor takes the entry's value as its speed (percent)
    kEmergencyStop = 3,  // the run is stopped
};
inline constexpr std::uint8_t kMaxKeyAction = kEmergencyStop;

// Texts of the action list (Latin-1 would be the box's own; these are UTF-8
// for the window).
inline constexpr std::array<const char*, 4> kKeyActionTexts = {
    "--keine Aktion--", "Motorstatus ändern", "Geschwindigkeiten ändern", "Notaus"};

// Input list texts are "E1".."E8"; this formats position 0..7.
inline constexpr std::array<const char*, kInputCount> kInputTexts = {"E1", "E2", "E3", "E4",
                                                                     "E5", "E6", "E7", "E8"};

}  // namespace kinemo::keyboard
