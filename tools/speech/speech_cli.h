// kinemo-speech-cli: the keyboard controller without a window. Keys come as
// bytes on standard input, from a speech recogniser's output, a script or a
// terminal.
#pragma once

#include <cstdio>
#include <span>
#include <string>

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

// Runs one command line (without the program name); returns the exit code.
int RunSpeechCli(std::span<const std::string> args, const CliStreams& streams);

}  // namespace kinemo::speech
