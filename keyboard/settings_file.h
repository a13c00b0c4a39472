// The settings file settings.kms: the start settings and the key table.
//
// Little-endian, no magic, no version; N = entries of the key table including
// the placeholder (1..255), 91 + 10N bytes:
//   20*j + 0/4/8/12/16   motor j (0..3): start state, start speed, end switches
//                        on, "L" input, "R" input, each a 32-bit integer
//   80, 84               off switch on, off-switch input (32-bit each)
//   88                   N, signed 32-bit
//   92                   characters of entries 1..N-1 (the placeholder's text is
//                        not stored), one byte each
//   91 + N               actions of entries 0..N-1
//   91 + 2N .. 91 + 9N   per motor M1..M4: N include flags, then N values
//
// Reading refuses a file that does not hold a whole layout or whose values
// are outside their ranges (state 0..2, speed 0..100, switches and include
// flags 0/1, inputs 0..7, actions 0..3, a kSetStates entry's values 0..2, a
// kSetSpeeds entry's values 0..100); the caller then shows
// kInvalidSettingsMessage and ends with exit code 1, so the file is never
// overwritten. Bytes after the layout are ignored. Writing replaces the file
// through a temporary file in the same folder, so a failed save leaves the old
// file whole.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "keyboard/key_table.h"
#include "keyboard/start_settings.h"

namespace kinemo::keyboard {

inline constexpr char kSettingsFileName[] = "settings.kms";
// Shown (caption: the program's name) when the file is refused; the program
// then ends with exit code 1.
inline constexpr char kInvalidSettingsMessage[] =
    "Ungültige Datei settings.kms\nLöschen Sie die Datei und starten Sie das Programm neu";
inline constexpr int kInvalidSettingsExitCode = 1;
// First line of the message shown when the file cannot be written at the end;
// SaveFailedMessage adds the system's reason.
inline constexpr char kSaveFailedText[] =
    "Die Einstellungen konnten nicht in settings.kms gespeichert werden.";

// Size of a file with `count` entries (placeholder included).
constexpr std::size_t SettingsFileSize(int count) {
    return 91 + 10 * static_cast<std::size_t>(count);
}

struct KeyboardSettings {
    StartSettings start = DefaultStartSettings();
    KeyTable keys;

    friend bool operator==(const KeyboardSettings&, const KeyboardSettings&) = default;
};

// The file's bytes for `settings`.
std::vector<std::uint8_t> EncodeSettings(const KeyboardSettings& settings);
// Parses a file's bytes into `settings`; false (and `settings` untouched) when
// the file is refused.
bool DecodeSettings(std::span<const std::uint8_t> bytes, KeyboardSettings& settings);

enum class LoadOutcome {
    kLoaded,   // read into `settings`
    kMissing,  // no such file: `settings` keeps what it held (the defaults)
    kInvalid,  // refused: show kInvalidSettingsMessage, end with exit code 1
};

// Reads the file at `path`. A file that exists but cannot be read counts as
// refused: it may hold the user's keys, and it must not be replaced by the
// defaults at the end.
LoadOutcome LoadSettingsFile(const std::string& path, KeyboardSettings& settings);

struct SaveResult {
    bool ok = false;
    std::string reason;  // the system's reason when !ok (strerror text)
};

// Writes the file at `path` (temporary sibling, then renamed over it; a file
// reached through a symbolic link is replaced where the link points; the
// replaced file's permissions are kept).
SaveResult SaveSettingsFile(const std::string& path, const KeyboardSettings& settings);

// The message for a failed save: kSaveFailedText, a line break and the reason.
std::string SaveFailedMessage(const SaveResult& result);

}  // namespace kinemo::keyboard
