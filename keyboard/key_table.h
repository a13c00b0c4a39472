// The key table: up to 255 entries in the order they were added, entry 0
// being the placeholder "--neu--". Each entry has its character, its action
// and, per motor, an include flag and a value (a MotorState code for
// kSetStates, a speed 0..100 for kSetSpeeds, not read otherwise).
//
// The table is held as index-aligned arrays of 255 bytes, the characters kept
// beside them. It is edited and read on one thread (the dialog's, or the
// command line's main thread); the key handler reads it on that same thread.
#pragma once

#include <array>
#include <cstdint>

#include "keyboard/key_action.h"

namespace kinemo::keyboard {

inline constexpr int kMaxKeys = 255;
// Text of entry 0; its first character is the entry's character.
inline constexpr char kPlaceholderText[] = "--neu--";
inline constexpr std::uint8_t kPlaceholderCharacter = '-';

using KeyColumn = std::array<std::uint8_t, kMaxKeys>;

class KeyTable {
  public:
    // The placeholder only, every array cleared.
    KeyTable() { Reset(); }

    // Back to the placeholder only; clears the actions, include flags and
    // values of all 255 entries.
    void Reset();

    // Number of entries, placeholder included: 1..255.
    int Count() const { return count_; }
    bool Full() const { return count_ >= kMaxKeys; }

    // Appends an entry for `character` (any byte; the same character may be
    // added more than once) with no action, no motor included and all values
    // 0. Returns its index, or -1 when the table is full.
    int Append(std::uint8_t character);

    // Removes entry `index` (1..Count()-1; never the placeholder): the
    // characters, actions, include flags and values of the following entries
    // move down together and the freed last entry is cleared. False for the
    // placeholder or an index out of range.
    bool Remove(int index);

    // Readers and writers of one entry. Indexes are not checked beyond what
    // the arrays hold (0..254); callers keep them below Count().
    std::uint8_t Character(int index) const { return characters_[index]; }
    KeyAction Action(int index) const { return static_cast<KeyAction>(actions_[index]); }
    bool Included(int index, int motor) const { return included_[motor][index] != 0; }
    std::uint8_t Value(int index, int motor) const { return values_[motor][index]; }

    void SetAction(int index, KeyAction action) { actions_[index] = action; }
    void SetIncluded(int index, int motor, bool included) {
        included_[motor][index] = included ? 1 : 0;
    }
    void SetValue(int index, int motor, std::uint8_t value) { values_[motor][index] = value; }

    // The whole columns (index-aligned, 255 entries each), for the settings
    // file. Entry 0's character is always the placeholder's.
    const KeyColumn& Characters() const { return characters_; }
    const KeyColumn& Actions() const { return actions_; }
    const KeyColumn& IncludedColumn(int motor) const { return included_[motor]; }
    const KeyColumn& ValueColumn(int motor) const { return values_[motor]; }

    // Replaces the whole table; `count` 1..255. Entry 0's character is forced
    // to the placeholder's, the columns beyond `count` are taken as given.
    // False (and nothing changed) for a count out of range.
    bool Assign(int count, const KeyColumn& characters, const KeyColumn& actions,
                const std::array<KeyColumn, kMotorCount>& included,
                const std::array<KeyColumn, kMotorCount>& values);

    friend bool operator==(const KeyTable&, const KeyTable&) = default;

  private:
    int count_ = 1;
    KeyColumn characters_{};
    KeyColumn actions_{};
    std::array<KeyColumn, kMotorCount> included_{};
    std::array<KeyColumn, kMotorCount> values_{};
};

// The key editor's "choose an action" rule on the table: the placeholder
// keeps kNoAction whatever is chosen; every motor's include flag and value
// become 0, the entry takes the action, and for kSetSpeeds its four values
// become 100. Returns the action the entry now has (the list shows it).
KeyAction ChooseAction(KeyTable& table, int index, KeyAction action);

}  // namespace kinemo::keyboard
