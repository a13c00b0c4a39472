#include "keyboard/ui/voice_settings.h"

#include <cstring>
#include <filesystem>
#include <span>

#include "keyboard/voice/voice_input.h"
#include "keyboard/voice/word_list.h"
#include "platform/file_save.h"

namespace kinemo::keyboard::ui {
namespace {

constexpr std::string_view kOnLine = "Spracheingabe=ein\n";
constexpr std::string_view kOffLine = "Spracheingabe=aus\n";
constexpr std::string_view kListKey = "Wortliste=";

bool FitsOnALine(std::string_view path) {
    return path.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

}  // namespace

std::string ShippedWordList() {
    // The example lists lie in the same folder as the pronunciation list,
    // in the source tree as in an installation.
    const std::string pronunciations = voice::FindPronunciationFile();
    if (pronunciations.empty()) {
        return {};
    }
    const std::filesystem::path list =
        std::filesystem::path(pronunciations).parent_path() / "befehle.txt";
    std::error_code ec;
    return std::filesystem::is_regular_file(list, ec) ? list.string() : std::string();
}

std::string VoiceSettingsPath(const std::string& settingsPath) {
    return (std::filesystem::path(settingsPath).parent_path() / kVoiceSettingsFileName).string();
}

std::string EncodeVoiceSettings(const VoiceSettings& settings) {
    std::string text(settings.on ? kOnLine : kOffLine);
    text += kListKey;
    if (FitsOnALine(settings.wordListPath)) {
        text += settings.wordListPath;
    }
    text += '\n';
    return text;
}

bool DecodeVoiceSettings(std::string_view text, VoiceSettings& settings) {
    if (text.size() > kMaxVoiceSettingsBytes) {
        return false;
    }
    VoiceSettings read;
    if (text.starts_with(kOnLine)) {
        read.on = true;
    } else if (!text.starts_with(kOffLine)) {
        return false;
    }
    text.remove_prefix(kOnLine.size());  // both lines are the same length
    if (!text.starts_with(kListKey) || !text.ends_with('\n')) {
        return false;
    }
    text.remove_prefix(kListKey.size());
    text.remove_suffix(1);
    if (!FitsOnALine(text)) {
        return false;
    }
    read.wordListPath = std::string(text);
    settings = std::move(read);
    return true;
}

VoiceSettings LoadVoiceSettings(const std::string& path) {
    VoiceSettings settings;
    std::error_code ec;
    // Only a plain file: a pipe or device of that name must not hang the start.
    if (!std::filesystem::is_regular_file(path, ec)) {
        return settings;
    }
    std::string text;
    std::string error;
    if (voice::ReadSmallFile(path, kMaxVoiceSettingsBytes, text, error)) {
        DecodeVoiceSettings(text, settings);
    }
    return settings;
}

SaveResult SaveVoiceSettings(const std::string& path, const VoiceSettings& settings) {
    const std::string text = EncodeVoiceSettings(settings);
    const int error = platform::SaveFileAtomically(
        path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (error != 0) {
        return {false, std::strerror(error)};
    }
    return {true, {}};
}

std::string VoiceSaveFailedMessage(const SaveResult& result) {
    std::string message = kVoiceSaveFailedText;
    if (!result.reason.empty()) {
        message += "\n" + result.reason;
    }
    return message;
}

}  // namespace kinemo::keyboard::ui
