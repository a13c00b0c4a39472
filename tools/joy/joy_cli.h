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
#include <span>
#include <string>

#include "platform/termination_signals.h"

namespace kinemo::joycli {

// Runs one command line (without the program name). `signals` was set up
// first thing in main(); SIGINT, SIGTERM and SIGHUP then end a run like the
// off button, with the final all-off exchange.
int RunJoyCli(std::span<const std::string> args, std::FILE* out, std::FILE* err,
              platform::TerminationSignals& signals);

}  // namespace kinemo::joycli
