// kinemo-speech-cli keys [FILE]: the settings file, readably.
#include <cstdio>
#include <string>

#include "keyboard/key_action.h"
#include "keyboard/settings_file.h"
#include "tools/cli_args.h"
#include "tools/speech/speech_commands.h"

namespace kinemo::speech {
namespace {

using keyboard::kMotorCount;

// A key's character as the listing shows it: printable ASCII and Latin-1
// letters in quotes (Latin-1 written as UTF-8), everything else as its byte.
std::string CharacterText(std::uint8_t c) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", c);
    if (c > 0x20 && c < 0x7F && c != '"' && c != '\\') {
        return std::string("\"") + static_cast<char>(c) + "\"";
    }
    if (c >= 0xA1) {
        const char utf8[] = {static_cast<char>(0xC0 | (c >> 6)),
                             static_cast<char>(0x80 | (c & 0x3F)), 0};
        return std::string("\"") + utf8 + "\" (" + hex + ")";
    }
    return hex;
}

std::string Input(std::uint8_t input) {
    return input <= keyboard::kMaxInput ? keyboard::kInputTexts[input] : "?";
}

}  // namespace

bool LoadForCommand(const std::string& path, keyboard::KeyboardSettings& settings, std::FILE* err) {
    if (keyboard::LoadSettingsFile(path, settings) == keyboard::LoadOutcome::kInvalid) {
        std::fprintf(err, "%s\n", keyboard::kInvalidSettingsMessage);
        std::fflush(err);
        return false;
    }
    return true;
}

std::string DescribeSettings(const keyboard::KeyboardSettings& settings) {
    std::string text;
    char line[160];
    for (int motor = 0; motor < kMotorCount; ++motor) {
        const keyboard::MotorStartSettings& m = settings.start.motors[motor];
        std::snprintf(line, sizeof line, "Motor %d: Start %s %u %%, Endtaster %s (L: %s, R: %s)\n",
                      motor + 1, keyboard::kMotorStateTexts[m.startState % 3],
                      static_cast<unsigned>(m.startSpeed), m.endSwitches ? "an" : "aus",
                      Input(m.leftInput).c_str(), Input(m.rightInput).c_str());
        text += line;
    }
    std::snprintf(line, sizeof line, "Austaster: %s (%s)\n",
                  settings.start.offSwitch ? "an" : "aus",
                  Input(settings.start.offSwitchInput).c_str());
    text += line;
    const keyboard::KeyTable& keys = settings.keys;
    text += "Tasten: " + std::to_string(keys.Count() - 1) + "\n";
    for (int entry = 1; entry < keys.Count(); ++entry) {
        const keyboard::KeyAction action = keys.Action(entry);
        text += std::to_string(entry) + " " + CharacterText(keys.Character(entry)) + " " +
                keyboard::kKeyActionTexts[action <= keyboard::kMaxKeyAction ? action : 0];
        if (action == keyboard::kSetStates || action == keyboard::kSetSpeeds) {
            for (int motor = 0; motor < kMotorCount; ++motor) {
                const std::uint8_t value = keys.Value(entry, motor);
                std::string shown = "-";
                if (keys.Included(entry, motor)) {
                    shown = action == keyboard::kSetStates ? keyboard::kMotorStateTexts[value % 3]
                                                           : std::to_string(value) + " %";
                }
                text += (motor == 0 ? ": M" : ", M") + std::to_string(motor + 1) + " " + shown;
            }
        }
        text += "\n";
    }
    return text;
}

KeysRequest ParseKeysArgs(cli::CommandArgs args) {
    const cli::ParsedArgs parsed(args, {});
    KeysRequest request{keyboard::kSettingsFileName};
    if (args.size() > 0) {
        request.path = parsed.Positional({"DATEI"})[0];
    } else {
        parsed.Positional({});
    }
    return request;
}

int RunCommand(const KeysRequest& request, const CliStreams& streams) {
    keyboard::KeyboardSettings settings;
    if (!LoadForCommand(request.path, settings, streams.err)) {
        return kExitFailure;
    }
    std::fputs(DescribeSettings(settings).c_str(), streams.out);
    return kExitOk;
}

}  // namespace kinemo::speech
