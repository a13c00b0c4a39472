// Start settings of the keyboard controller and the copy of them that the
// control thread reads while a run goes on.
//
// StartSettings is the plain record the window's controls and the settings
// file exchange. LiveSettings holds the same values as single atomic bytes:
// the window stores every change into it at once (the command line fills it
// once from the file), and the control loop loads the end-switch and
// off-switch settings from it on every tick and the start state and speed
// when a run begins. No request to the window's thread is ever made from the
// control thread, so a busy window cannot slow the ticks.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "keyboard/key_action.h"

namespace kinemo::keyboard {

struct MotorStartSettings {
    std::uint8_t startState = kMotorOff;  // MotorState 0..2
    std::uint8_t startSpeed = kMaxSpeed;  // percent 0..100
    bool endSwitches = false;             // "Endtaster (L/R):"
    std::uint8_t leftInput = 0;           // 0..7 for E1..E8: stops the motor while it runs "L"
    std::uint8_t rightInput = 1;          // 0..7: stops it while it runs "R"

    friend bool operator==(const MotorStartSettings&, const MotorStartSettings&) = default;
};

struct StartSettings {
    std::array<MotorStartSettings, kMotorCount> motors;
    bool offSwitch = false;           // "Austaster:"
    std::uint8_t offSwitchInput = 7;  // 0..7, E8 by default

    friend bool operator==(const StartSettings&, const StartSettings&) = default;
};

// The defaults "Einstellungen zurücksetzen" restores: every motor off at 100 %,
// end switches off with M1 E1/E2, M2 E3/E4, M3 E5/E6, M4 E7/E8 for "L"/"R",
// the off switch off at E8.
StartSettings DefaultStartSettings();

// One atomic byte per setting; relaxed loads and stores are enough, since
// every value stands alone and takes effect at the next tick.
struct LiveSettings {
    struct Motor {
        std::atomic<std::uint8_t> startState{kMotorOff};
        std::atomic<std::uint8_t> startSpeed{kMaxSpeed};
        std::atomic<std::uint8_t> endSwitches{0};
        std::atomic<std::uint8_t> leftInput{0};
        std::atomic<std::uint8_t> rightInput{1};
    };

    LiveSettings() { Store(DefaultStartSettings()); }
    explicit LiveSettings(const StartSettings& settings) { Store(settings); }
    LiveSettings(const LiveSettings&) = delete;
    LiveSettings& operator=(const LiveSettings&) = delete;

    // Every value at once (each store on its own; a tick in between may see
    // some old and some new values, as with single changes).
    void Store(const StartSettings& settings);
    StartSettings Load() const;

    std::array<Motor, kMotorCount> motors;
    std::atomic<std::uint8_t> offSwitch{0};
    std::atomic<std::uint8_t> offSwitchInput{7};
};

}  // namespace kinemo::keyboard
