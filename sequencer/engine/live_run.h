// What a run is doing, as the player publishes it after every exchange: the
// inputs that came back, the row being played, the tick counts and each
// motor's impulses against its limit. The player writes it without locks or
// allocation (a sequence lock of atomic words); a window reads it whenever it
// redraws, and the last values stay readable between runs.
#pragma once

#include <array>
#include <cstdint>

#include "platform/snapshot_channel.h"
#include "sequencer/engine/movement_record.h"

namespace kinemo::engine {

struct LiveRunState {
    std::uint64_t ticks = 0;         // exchanges of the run so far, the first all-off one included
    std::uint32_t run = 0;           // counts runs from 1; 0 before the first
    std::uint32_t row = 0;           // timeline row being played (movement first + row)
    std::uint32_t movementTick = 0;  // ticks played of this movement
    std::array<std::uint32_t, kMotorCount> impulses{};
    std::array<std::uint32_t, kMotorCount> impulseLimits{};  // where an impulse limit is on
    std::array<std::uint8_t, kMotorCount> impulseInputs{};   // 1..8, 0: no impulse limit
    std::uint8_t inputs = 0;                                 // E1 in bit 0
    bool running = false;
};

using LiveRunChannel = platform::SnapshotChannel<LiveRunState>;

}  // namespace kinemo::engine
