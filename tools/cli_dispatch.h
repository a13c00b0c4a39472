// The kinemo-cli dispatcher: picks the command named by the first argument.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "tools/cli_command.h"
#include "tools/cli_frame.h"

namespace kinemo::cli {

// Everything a kinemo-cli command line can ask for, decided from the
// arguments alone.
using CliRequest = std::variant<Refusal, HelpRequest, InfoRequest, PulseRequest, TimelineRequest,
                                NewRequest, PortsRequest, RunRequest, PlotRequest>;

// Parses one command line (without the program name). Touches no file, port
// or device: what a command can only find out from its file or port comes
// later, when the request runs.
CliRequest ParseCli(std::span<const std::string> args);

// An argument vector (without the program name) that ParseCli turns back into
// the same request; empty for a Refusal.
std::vector<std::string> ToArgs(const CliRequest& request);

// Runs one command line (without the program name) and returns the exit code:
// 0 done, 2 bad input (one line on `err`), 1 an unexpected failure.
int RunCli(std::span<const std::string> args, std::FILE* out, std::FILE* err);

}  // namespace kinemo::cli
