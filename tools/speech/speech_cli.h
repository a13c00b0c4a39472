// kinemo-speech-cli: the keyboard controller without a window. Keys come as
// bytes on standard input, from a speech recogniser's output, a script or a
// terminal.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "tools/cli_frame.h"

namespace kinemo::platform {
class TerminationSignals;
}

namespace kinemo::speech {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;   // refused settings file, no connection
inline constexpr int kExitBadInput = 2;  // bad arguments

struct CliStreams {
    int input = 0;            // the key bytes (standard input)
    std::FILE* out = stdout;  // help and the keys listing
    std::FILE* err = stderr;  // status texts and failures
    // SIGINT, SIGTERM and SIGHUP as a descriptor; may be null (no signals).
    platform::TerminationSignals* signals = nullptr;
};

// run: the settings file, the port and, with --voice, where words come from.
struct RunRequest {
    std::string settingsPath;  // never empty
    int portNumber = 1;        // COM1 to COM4
    bool listening = false;    // --voice
    std::string wordListPath;  // with --voice: never empty
    std::string wavPath;       // with --voice: exactly one of this and microphone
    bool microphone = false;
    bool operator==(const RunRequest&) const = default;
};
// keys: the settings file to list.
struct KeysRequest {
    std::string path;
    bool operator==(const KeysRequest&) const = default;
};
using SpeechCliRequest = std::variant<cli::Refusal, cli::HelpRequest, RunRequest, KeysRequest>;

// Parses one command line (without the program name), touching no file,
// port, sound device or terminal.
SpeechCliRequest ParseSpeechCli(std::span<const std::string> args);

// An argument vector that ParseSpeechCli turns back into the same request;
// empty for a Refusal.
std::vector<std::string> ToArgs(const SpeechCliRequest& request);

// Runs one command line (without the program name); returns the exit code.
int RunSpeechCli(std::span<const std::string> args, const CliStreams& streams);

}  // namespace kinemo::speech
