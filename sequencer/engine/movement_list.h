// The sequencer's movement table and the run settings beside it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "sequencer/engine/movement_record.h"

namespace kinemo::engine {

// The list holds 1..255 movements; the table has one slot more, which is never
// part of the list.
inline constexpr int kMaxMovements = 255;
inline constexpr int kMovementSlots = 256;
inline constexpr char kNewMovementName[] = "Neue Bewegung";

struct MovementList {
    std::array<MovementRecord, kMovementSlots> records{};
    std::uint8_t movementCount = 1;  // 1..255, the number of list entries
    int currentMovement = 0;         // index of the movement shown in the dialog
};

// Run settings, global to the list and stored in program files. The dialog
// writes them while the player thread reads them during a run, so each is an
// indivisible byte; relaxed ordering is enough because each value stands alone.
struct RunSettings {
    std::atomic<std::uint8_t> endlessLoop{0};     // 1 = repeat the list endlessly
    std::atomic<std::uint8_t> offSwitchOn{0};     // 1 = watch the off switch
    std::atomic<std::uint8_t> offSwitchInput{7};  // 0..7 = E1..E8 (0-based!)
};

// Plain copy of the run settings, as stored in a program file.
struct RunSettingsValues {
    std::uint8_t endlessLoop = 0;
    std::uint8_t offSwitchOn = 0;
    std::uint8_t offSwitchInput = 7;

    bool operator==(const RunSettingsValues&) const = default;
};

RunSettingsValues LoadRunSettings(const RunSettings& settings);
void StoreRunSettings(RunSettings& settings, const RunSettingsValues& values);

// Writes the defaults of a new movement into record `index`: per motor 100.00 %
// start and target speed, direction off, no acceleration (125 ticks), end
// switch off on E2/E4/E6/E8, maximum duration on at 125 ticks, impulses off on
// E1/E3/E5/E7; name "Neue Bewegung". The padding bytes are left alone.
void ResetMovement(MovementList& list, int index);

// The program-start fill of all 255 usable records: like ResetMovement but with
// `endSwitchInput`, `impulseInput` and `maxDurationOn` 0. The list then holds
// the one movement "Neue Bewegung" and `currentMovement` is 0.
void FillMovementsAtStartup(MovementList& list);

}  // namespace kinemo::engine
