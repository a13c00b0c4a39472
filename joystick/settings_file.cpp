#include "joystick/settings_file.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "joystick/joy_texts.h"
#include "platform/file_read.h"
#include "platform/file_save.h"

namespace kinemo::joy {
namespace {

constexpr std::size_t kMagicSize = 5;
constexpr std::size_t kMappingsOffset = 22;
constexpr std::size_t kOffSettingsOffset = kMappingsOffset + kSlotCount * sizeof(MotorMapping);
static_assert(kOffSettingsOffset == 150);
static_assert(kOffSettingsOffset + 16 == kSettingsFileSize);

std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) |
           (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

std::int32_t GetI32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::int32_t>(GetU32(bytes, offset));
}

void PutU32(SettingsBytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

bool StartsWith(std::span<const std::uint8_t> bytes, const char* magic) {
    return bytes.size() >= kMagicSize && std::memcmp(bytes.data(), magic, kMagicSize) == 0;
}

// A file that begins "KMJ14" is usable when it is complete and its module
// fields agree with each other; anything else counts as damaged, since the
// loop would otherwise drive a motor count the box does not have.
bool Usable(std::span<const std::uint8_t> bytes) {
    if (!StartsWith(bytes, kSettingsMagic) || bytes.size() < kSettingsFileSize) {
        return false;
    }
    const std::uint8_t extension = bytes[16];
    const std::uint8_t lpt = bytes[17];
    const std::uint32_t motors = GetU32(bytes, 18);
    return extension <= 1 && lpt <= 1 && motors == (extension != 0 ? 8U : 4U);
}

}  // namespace

SettingsBytes EncodeSettings(const JoySettings& settings) {
    SettingsBytes bytes{};
    std::memcpy(bytes.data(), kSettingsMagic, kMagicSize);
    bytes[5] = settings.joystickButtons;
    bytes[6] = settings.joystickAxes;
    PutU32(bytes, 7, settings.joystickCaps);
    bytes[11] = settings.moduleShown;
    PutU32(bytes, 12, static_cast<std::uint32_t>(settings.portNumber));
    bytes[16] = settings.extensionModule;
    bytes[17] = settings.lptPort;
    PutU32(bytes, 18, settings.motorCount);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        std::memcpy(bytes.data() + kMappingsOffset + slot * sizeof(MotorMapping),
                    &settings.mappings[slot], sizeof(MotorMapping));
    }
    PutU32(bytes, 150, settings.offSwitchOn != 0 ? 1U : 0U);
    PutU32(bytes, 154, settings.offButtonOn != 0 ? 1U : 0U);
    PutU32(bytes, 158, static_cast<std::uint32_t>(settings.offSwitchInput));
    PutU32(bytes, 162, static_cast<std::uint32_t>(settings.offButtonIndex));
    return bytes;
}

bool SaveSettings(const std::string& path, const JoySettings& settings) {
    const SettingsBytes bytes = EncodeSettings(settings);
    return platform::SaveFileAtomically(path, bytes) == 0;
}

bool WriteDeletedFile(const std::string& path) {
    const std::span text(reinterpret_cast<const std::uint8_t*>(kDeletedFileText),
                         std::strlen(kDeletedFileText));
    return platform::SaveFileAtomically(path, text) == 0;
}

bool ReadSettingsBytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    platform::FileStart file = platform::ReadFileStart(path, kSettingsFileSize + 1);
    bytes = std::move(file.bytes);
    return file.status == platform::FileReadStatus::kOk;
}

HeaderResult ParseSettingsHeader(std::span<const std::uint8_t> bytes,
                                 const platform::JoystickCaps& current, JoySettings& settings) {
    HeaderResult result;
    if (StartsWith(bytes, kDeletedMagic)) {
        result.status = HeaderStatus::kDeleted;
    } else if (!Usable(bytes)) {
        result.status = HeaderStatus::kForeign;
    } else {
        result.status = HeaderStatus::kUsable;
    }
    if (result.status != HeaderStatus::kUsable) {
        TakeJoystickCaps(settings, current);
        return result;
    }
    settings.joystickButtons = bytes[5];
    settings.joystickAxes = bytes[6];
    // The stored mask is not compared: an empty mask now counts as another
    // joystick even with equal counts.
    result.otherJoystick = current.buttons != settings.joystickButtons ||
                           current.axes != settings.joystickAxes || current.mask == 0;
    settings.joystickCaps = current.mask;
    if (result.otherJoystick) {
        settings.joystickButtons = static_cast<std::uint8_t>(current.buttons);
        settings.joystickAxes = static_cast<std::uint8_t>(current.axes);
    }
    settings.moduleShown = bytes[11];
    settings.portNumber = GetI32(bytes, 12);
    settings.extensionModule = bytes[16];
    settings.lptPort = bytes[17];
    settings.motorCount = GetU32(bytes, 18);
    return result;
}

HeaderResult ReadSettingsHeader(const std::string& path, const platform::JoystickCaps& current,
                                JoySettings& settings) {
    std::vector<std::uint8_t> bytes;
    if (!ReadSettingsBytes(path, bytes)) {
        TakeJoystickCaps(settings, current);
        return HeaderResult{HeaderStatus::kMissing, false};
    }
    return ParseSettingsHeader(bytes, current, settings);
}

LoadStatus ParseSettingsBody(std::span<const std::uint8_t> bytes, JoySettings& settings) {
    if (!Usable(bytes)) {
        return LoadStatus::kDefaults;
    }
    // Offsets 5..21 were taken by the header; the window starts on the
    // interface's motors whatever was shown when the file was saved.
    settings.moduleShown = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        std::memcpy(&settings.mappings[slot],
                    bytes.data() + kMappingsOffset + slot * sizeof(MotorMapping),
                    sizeof(MotorMapping));
    }
    const ListContents lists = MakeListContents(settings);
    // The check boxes hold a state, the lists a position that exists or none.
    const auto position = [](std::int32_t stored, std::size_t entries) {
        return stored >= 0 && static_cast<std::size_t>(stored) < entries ? stored : -1;
    };
    settings.offSwitchOn = GetU32(bytes, 150) != 0 ? 1 : 0;
    settings.offButtonOn = GetU32(bytes, 154) != 0 ? 1 : 0;
    settings.offSwitchInput = position(GetI32(bytes, 158), lists.offSwitch.size());
    settings.offButtonIndex = position(GetI32(bytes, 162), lists.buttons.size());
    DeriveAllBindings(settings, lists);
    return LoadStatus::kLoaded;
}

LoadStatus LoadSettings(const std::string& path, JoySettings& settings) {
    std::vector<std::uint8_t> bytes;
    if (!ReadSettingsBytes(path, bytes)) {
        return LoadStatus::kDefaults;
    }
    return ParseSettingsBody(bytes, settings);
}

}  // namespace kinemo::joy
