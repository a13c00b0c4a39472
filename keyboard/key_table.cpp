#include "keyboard/key_table.h"

#include <algorithm>

namespace kinemo::keyboard {

void KeyTable::Reset() {
    count_ = 1;
    characters_.fill(0);
    actions_.fill(0);
    for (int motor = 0; motor < kMotorCount; ++motor) {
        included_[motor].fill(0);
        values_[motor].fill(0);
    }
    characters_[0] = kPlaceholderCharacter;
}

int KeyTable::Append(std::uint8_t character) {
    if (Full()) {
        return -1;
    }
    const int index = count_++;
    characters_[index] = character;
    actions_[index] = kNoAction;
    for (int motor = 0; motor < kMotorCount; ++motor) {
        included_[motor][index] = 0;
        values_[motor][index] = 0;
    }
    return index;
}

bool KeyTable::Remove(int index) {
    if (index < 1 || index >= count_) {
        return false;
    }
    // Every column moves by the same amount, so the entries stay aligned.
    const auto shift = [&](KeyColumn& column) {
        std::copy(column.begin() + index + 1, column.begin() + count_, column.begin() + index);
        column[count_ - 1] = 0;
    };
    shift(characters_);
    shift(actions_);
    for (int motor = 0; motor < kMotorCount; ++motor) {
        shift(included_[motor]);
        shift(values_[motor]);
    }
    --count_;
    return true;
}

bool KeyTable::Assign(int count, const KeyColumn& characters, const KeyColumn& actions,
                      const std::array<KeyColumn, kMotorCount>& included,
                      const std::array<KeyColumn, kMotorCount>& values) {
    if (count < 1 || count > kMaxKeys) {
        return false;
    }
    count_ = count;
    characters_ = characters;
    characters_[0] = kPlaceholderCharacter;
    actions_ = actions;
    included_ = included;
    values_ = values;
    return true;
}

KeyAction ChooseAction(KeyTable& table, int index, KeyAction action) {
    if (index == 0) {
        action = kNoAction;
    }
    for (int motor = 0; motor < kMotorCount; ++motor) {
        table.SetIncluded(index, motor, false);
        table.SetValue(index, motor, 0);
    }
    table.SetAction(index, action);
    if (action == kSetSpeeds) {
        for (int motor = 0; motor < kMotorCount; ++motor) {
            table.SetValue(index, motor, kMaxSpeed);
        }
    }
    return action;
}

}  // namespace kinemo::keyboard
