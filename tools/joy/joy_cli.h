// kinemo-joy-cli: KinemoJoy's engine without a window.
//
//   kinemo-joy-cli run [--settings FILE] [--port NAME] [--extension | --no-extension]
//                      [--replay FILE] [--record FILE]
//   kinemo-joy-cli joysticks
//   kinemo-joy-cli show [FILE]
//
// Exit codes: 0 done, 1 no joystick or no interface, 2 bad arguments, an
// unusable settings or replay file, or the joystick lost at the start of a run.
#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "platform/termination_signals.h"
#include "tools/cli_frame.h"

namespace kinemo::joycli {

// run: what the arguments ask for; the file decides the rest.
struct RunRequest {
    std::string settingsPath;         // never empty
    std::optional<std::string> port;  // a name ParsePortName takes
    std::optional<bool> extension;
    std::optional<std::string> replayPath;  // never empty when set
    std::optional<std::string> recordPath;  // never empty when set
    bool operator==(const RunRequest&) const = default;
};
struct JoysticksRequest {
    bool operator==(const JoysticksRequest&) const = default;
};
struct ShowRequest {
    std::string path;
    bool operator==(const ShowRequest&) const = default;
};

using JoyCliRequest =
    std::variant<cli::Refusal, cli::HelpRequest, RunRequest, JoysticksRequest, ShowRequest>;

// Parses one command line (without the program name), touching no file,
// port or joystick.
JoyCliRequest ParseJoyCli(std::span<const std::string> args);

// An argument vector that ParseJoyCli turns back into the same request;
// empty for a Refusal.
std::vector<std::string> ToArgs(const JoyCliRequest& request);

// Runs one command line (without the program name). `signals` was set up
// first thing in main(); SIGINT, SIGTERM and SIGHUP then end a run like the
// off button, with the final all-off exchange.
int RunJoyCli(std::span<const std::string> args, std::FILE* out, std::FILE* err,
              platform::TerminationSignals& signals);

}  // namespace kinemo::joycli
