// settings.kmj: KinemoJoy's settings file, 166 bytes, little-endian, no padding.
//
//   offset size
//        0    5  "KMJ14", no terminator
//        5    1  joystickButtons
//        6    1  joystickAxes
//        7    4  joystickCaps
//       11    1  moduleShown at the time of saving
//       12    4  portNumber (signed)
//       16    1  extensionModule
//       17    1  lptPort
//       18    4  motorCount
//       22  128  the eight MotorMappings, slot 0..7 (M1, M5, M2, M6, ...), 16 bytes each
//      150    4  offSwitchOn (1 checked, else 0)
//      154    4  offButtonOn
//      158    4  offSwitchInput (list position, -1 none)
//      162    4  offButtonIndex (list position, -1 none)
//
// The file is read twice at start: the header while the connect dialog
// initialises (ReadSettingsHeader), the mappings while the main window does
// (LoadSettings). It is written at every orderly end (SaveSettings).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "joystick/joy_settings.h"
#include "platform/joystick.h"

namespace kinemo::joy {

inline constexpr std::size_t kSettingsFileSize = 166;
inline constexpr char kSettingsFileName[] = "settings.kmj";
inline constexpr char kSettingsMagic[] = "KMJ14";
inline constexpr char kDeletedMagic[] = "DELET";

using SettingsBytes = std::array<std::uint8_t, kSettingsFileSize>;

// The file's bytes for these settings (the mappings as they stand: the window
// runs StoreMappings first).
SettingsBytes EncodeSettings(const JoySettings& settings);

// Writes the file through a temporary file in the same folder and a rename,
// so an interrupted save never leaves a broken file. False when it could not
// be written; the old file is then untouched.
bool SaveSettings(const std::string& path, const JoySettings& settings);
// "Alle Einstellungen zurücksetzen" answered No and OK: replaces the file by
// one holding only kDeletedFileText.
bool WriteDeletedFile(const std::string& path);

// What ReadSettingsHeader found.
enum class HeaderStatus {
    kUsable,   // "KMJ14" and all 166 bytes: header taken, connect automatically
    kMissing,  // no file, or it cannot be read: no message
    kDeleted,  // begins "DELET": like a missing file, no message
    kForeign,  // another version or damaged (also: shorter than 166 bytes)
};

struct HeaderResult {
    HeaderStatus status = HeaderStatus::kMissing;
    // kUsable only: the joystick found now is another one; the window shows
    // OtherJoystickText (caption kOtherJoystickCaption) before connecting.
    bool otherJoystick = false;

    // kForeign: show kForeignFileText (caption kForeignFileCaption, OK and
    // Cancel; Cancel ends the process with exit code 2).
    bool ShowForeignWarning() const { return status == HeaderStatus::kForeign; }
    // Without usable settings: show JoystickFoundText (after the warning, if
    // any) and let the user choose port and module.
    bool AskForPort() const { return status != HeaderStatus::kUsable; }
    // With usable settings: connect at once with the stored port and module;
    // on success the connect dialog closes without user action.
    bool ConnectNow() const { return status == HeaderStatus::kUsable; }
};

// Step one of reading the settings, with the joystick found now. `settings`
// must hold what the connect dialog set (port 0, no module, 4 motors). Takes
// the joystick's counts and mask from `current` where the header's rules say
// so, and the stored port and module when the file is usable.
HeaderResult ReadSettingsHeader(const std::string& path, const platform::JoystickCaps& current,
                                JoySettings& settings);
// The same from bytes already read (the whole file; nullptr-free span).
HeaderResult ParseSettingsHeader(std::span<const std::uint8_t> bytes,
                                 const platform::JoystickCaps& current, JoySettings& settings);

enum class LoadStatus {
    kLoaded,    // mappings and off settings taken, bindings derived
    kDefaults,  // no usable file: the defaults stay
};

// Step two, after ResetSettings: the mappings and off settings of a usable
// file, then the bindings derived from the loaded list positions against the
// current lists. moduleShown stays 0. A list position with no entry in the
// current lists stays as stored (the window shows no selection) and binds its
// slot to nothing.
LoadStatus LoadSettings(const std::string& path, JoySettings& settings);
LoadStatus ParseSettingsBody(std::span<const std::uint8_t> bytes, JoySettings& settings);

// Reads at most kSettingsFileSize + 1 bytes of a file (enough to tell every
// case apart). False when it cannot be opened or read, or is no plain file
// (a pipe or device of that name is never waited on).
bool ReadSettingsBytes(const std::string& path, std::vector<std::uint8_t>& bytes);

}  // namespace kinemo::joy
