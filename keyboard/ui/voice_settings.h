// The speech input's own settings: whether "Spracheingabe" is checked and
// which word list it listens for. They live in a small text file of their own
// beside settings.kms (whose layout has no room for them), read at start and
// written wherever settings.kms is written:
//
//     Spracheingabe=ein            (or "aus")
//     Wortliste=/path/to/list.txt  (empty: the word list shipped with the program)
//
// Both lines, in this order, each ended by a line feed, nothing else. Any
// other content (a damaged, cut-off, oversized or foreign file) gives the
// defaults; so does a missing file. Nothing of this is fatal: the file only
// holds a preference.
#pragma once

#include <string>
#include <string_view>

#include "keyboard/settings_file.h"

namespace kinemo::keyboard::ui {

inline constexpr char kVoiceSettingsFileName[] = "spracheingabe.txt";
// Larger than any path the system takes, far smaller than anything foreign.
inline constexpr std::size_t kMaxVoiceSettingsBytes = 8 * 1024;
inline constexpr char kVoiceSaveFailedText[] =
    "Die Einstellungen der Spracheingabe konnten nicht in spracheingabe.txt gespeichert werden.";

struct VoiceSettings {
    bool on = false;
    std::string wordListPath;  // empty: ShippedWordList()

    friend bool operator==(const VoiceSettings&, const VoiceSettings&) = default;
};

// The example word list installed with the program (befehle.txt beside the
// pronunciation list); empty when it cannot be found.
std::string ShippedWordList();

// The file beside `settingsPath` (the same folder).
std::string VoiceSettingsPath(const std::string& settingsPath);

// The file's text. A path that a line cannot hold (line breaks, NUL) is
// stored as the shipped list.
std::string EncodeVoiceSettings(const VoiceSettings& settings);
// False (and `settings` untouched) for anything but the layout above.
bool DecodeVoiceSettings(std::string_view text, VoiceSettings& settings);

// The settings at `path`, the defaults for a missing or unusable file.
VoiceSettings LoadVoiceSettings(const std::string& path);
// Writes the file atomically (temporary sibling, renamed over the old one).
SaveResult SaveVoiceSettings(const std::string& path, const VoiceSettings& settings);
// kVoiceSaveFailedText, a line break and the reason.
std::string VoiceSaveFailedMessage(const SaveResult& result);

}  // namespace kinemo::keyboard::ui
