// The key handler: one typed byte against the key table.
#pragma once

#include <cstdint>

#include "keyboard/key_table.h"
#include "keyboard/run_variables.h"

namespace kinemo::keyboard {

// Every entry whose character is `character` (the same byte: upper and lower
// case differ, bytes of 128 and more match like any other) acts, in list
// order, so for a motor two entries include the later one wins:
//   kSetStates: each included motor takes the entry's value as its state,
//   kSetSpeeds: each included motor takes the entry's value as its speed,
//   and either restarts the motor's pulse pattern at the next tick;
//   kEmergencyStop: the run stops (kStopKey).
// Motors an entry does not include keep their state and speed. Never blocks,
// never allocates; may run on any thread that does not edit `table` at the
// same time. Returns the number of entries that matched.
int HandleKey(const KeyTable& table, RunVariables& run, std::uint8_t character);

}  // namespace kinemo::keyboard
