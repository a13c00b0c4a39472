#include "keyboard/settings_file.h"

#include <array>
#include <cstring>

#include "platform/file_read.h"
#include "platform/file_save.h"

namespace kinemo::keyboard {

namespace {

// Sequential little-endian reader that fails once past the end.
class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool Int32(std::int32_t& value) {
        if (bytes_.size() - position_ < 4) {
            return false;
        }
        std::uint32_t raw = 0;
        for (int i = 3; i >= 0; --i) {
            raw = (raw << 8) | bytes_[position_ + static_cast<std::size_t>(i)];
        }
        value = static_cast<std::int32_t>(raw);
        position_ += 4;
        return true;
    }
    // A 32-bit integer that must lie in [0, max].
    bool Ranged(std::int32_t max, std::uint8_t& value) {
        std::int32_t raw = 0;
        if (!Int32(raw) || raw < 0 || raw > max) {
            return false;
        }
        value = static_cast<std::uint8_t>(raw);
        return true;
    }
    bool Flag(bool& value) {
        std::uint8_t raw = 0;
        if (!Ranged(1, raw)) {
            return false;
        }
        value = raw != 0;
        return true;
    }
    // `count` bytes into column[first..first+count).
    bool Column(KeyColumn& column, int first, int count) {
        const auto size = static_cast<std::size_t>(count);
        if (bytes_.size() - position_ < size) {
            return false;
        }
        std::memcpy(column.data() + first, bytes_.data() + position_, size);
        position_ += size;
        return true;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

void PutInt32(std::vector<std::uint8_t>& out, std::int32_t value) {
    const auto raw = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(raw >> (8 * i)));
    }
}

void PutColumn(std::vector<std::uint8_t>& out, const KeyColumn& column, int first, int count) {
    out.insert(out.end(), column.begin() + first, column.begin() + count);
}

// The values an entry's action reads must be in range; values of other
// actions are not read and are kept as they are.
bool EntriesInRange(int count, const KeyColumn& actions,
                    const std::array<KeyColumn, kMotorCount>& included,
                    const std::array<KeyColumn, kMotorCount>& values) {
    for (int entry = 0; entry < count; ++entry) {
        if (actions[entry] > kMaxKeyAction) {
            return false;
        }
        const int limit = actions[entry] == kSetStates   ? kMaxMotorState
                          : actions[entry] == kSetSpeeds ? kMaxSpeed
                                                         : 255;
        for (int motor = 0; motor < kMotorCount; ++motor) {
            if (included[motor][entry] > 1 || values[motor][entry] > limit) {
                return false;
            }
        }
    }
    return true;
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

}  // namespace

std::vector<std::uint8_t> EncodeSettings(const KeyboardSettings& settings) {
    const KeyTable& keys = settings.keys;
    const int count = keys.Count();
    std::vector<std::uint8_t> out;
    out.reserve(SettingsFileSize(count));
    for (const MotorStartSettings& motor : settings.start.motors) {
        PutInt32(out, motor.startState);
        PutInt32(out, motor.startSpeed);
        PutInt32(out, motor.endSwitches ? 1 : 0);
        PutInt32(out, motor.leftInput);
        PutInt32(out, motor.rightInput);
    }
    PutInt32(out, settings.start.offSwitch ? 1 : 0);
    PutInt32(out, settings.start.offSwitchInput);
    PutInt32(out, count);
    PutColumn(out, keys.Characters(), 1, count);
    PutColumn(out, keys.Actions(), 0, count);
    for (int motor = 0; motor < kMotorCount; ++motor) {
        PutColumn(out, keys.IncludedColumn(motor), 0, count);
        PutColumn(out, keys.ValueColumn(motor), 0, count);
    }
    return out;
}

bool DecodeSettings(std::span<const std::uint8_t> bytes, KeyboardSettings& settings) {
    Reader in(bytes);
    StartSettings start;
    for (MotorStartSettings& motor : start.motors) {
        if (!in.Ranged(kMaxMotorState, motor.startState) ||
            !in.Ranged(kMaxSpeed, motor.startSpeed) || !in.Flag(motor.endSwitches) ||
            !in.Ranged(kMaxInput, motor.leftInput) || !in.Ranged(kMaxInput, motor.rightInput)) {
            return false;
        }
    }
    if (!in.Flag(start.offSwitch) || !in.Ranged(kMaxInput, start.offSwitchInput)) {
        return false;
    }
    std::int32_t count = 0;
    if (!in.Int32(count) || count < 1 || count > kMaxKeys) {
        return false;
    }
    KeyColumn characters{};
    KeyColumn actions{};
    std::array<KeyColumn, kMotorCount> included{};
    std::array<KeyColumn, kMotorCount> values{};
    if (!in.Column(characters, 1, count - 1) || !in.Column(actions, 0, count)) {
        return false;
    }
    for (int motor = 0; motor < kMotorCount; ++motor) {
        if (!in.Column(included[motor], 0, count) || !in.Column(values[motor], 0, count)) {
            return false;
        }
    }
    if (!EntriesInRange(count, actions, included, values)) {
        return false;
    }
    settings.start = start;
    settings.keys.Assign(count, characters, actions, included, values);
    return true;
}

LoadOutcome LoadSettingsFile(const std::string& path, KeyboardSettings& settings) {
    // Anything after the largest layout is ignored, so that much is enough.
    const platform::FileStart file = platform::ReadFileStart(path, SettingsFileSize(kMaxKeys));
    if (file.status == platform::FileReadStatus::kMissing) {
        return LoadOutcome::kMissing;
    }
    if (file.status != platform::FileReadStatus::kOk || !DecodeSettings(file.bytes, settings)) {
        return LoadOutcome::kInvalid;
    }
    return LoadOutcome::kLoaded;
}

SaveResult SaveSettingsFile(const std::string& path, const KeyboardSettings& settings) {
    const int error = platform::SaveFileAtomically(path, EncodeSettings(settings));
    if (error != 0) {
        return {false, ErrorText(error)};
    }
    return {true, {}};
}

std::string SaveFailedMessage(const SaveResult& result) {
    std::string message = kSaveFailedText;
    if (!result.reason.empty()) {
        message += "\n";
        message += result.reason;
    }
    return message;
}

}  // namespace kinemo::keyboard
