// The commands of kinemo-speech-cli. Each reports bad arguments by throwing
// cli::CliFailure with one line; the dispatcher prints it and exits with 2.
#pragma once

#include <string>

#include "keyboard/settings_file.h"
#include "tools/cli_command.h"
#include "tools/speech/speech_cli.h"

namespace kinemo::speech {

// run [--settings FILE] [--port COM1..COM4] [--voice WORDLIST [--audio FILE.wav | --microphone]]
RunRequest ParseRunArgs(cli::CommandArgs args);
int RunCommand(const RunRequest& request, const CliStreams& streams);
// keys [FILE]
KeysRequest ParseKeysArgs(cli::CommandArgs args);
int RunCommand(const KeysRequest& request, const CliStreams& streams);

// Reads the settings file for a command: missing means the defaults; a
// refused file prints the refusal message on `err` and gives false.
bool LoadForCommand(const std::string& path, keyboard::KeyboardSettings& settings, std::FILE* err);

// The readable listing of `keys`: start settings, off switch and every key
// with its action and, per motor, whether it is included and its value.
std::string DescribeSettings(const keyboard::KeyboardSettings& settings);

}  // namespace kinemo::speech
