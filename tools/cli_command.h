// The commands of kinemo-cli and what they share.
//
// A command is a function that gets the arguments after its name and the
// standard output stream. It reports bad input by throwing CliFailure with one
// line of text; the dispatcher prints that line on standard error and ends the
// process with exit code 2. Output goes to `out` only.
//
// Adding a command: write tools/cli_<name>.cpp with its function, declare the
// function below, add its source to tools/CMakeLists.txt and add ONE line to
// the table in tools/cli_dispatch.cpp.
#pragma once

#include <cstdio>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kinemo::cli {

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;   // the command ran but its work failed
inline constexpr int kExitBadInput = 2;  // bad arguments or an unusable file

// Bad input: the message is one line without the program name.
class CliFailure : public std::runtime_error {
  public:
    explicit CliFailure(const std::string& message) : std::runtime_error(message) {}
};

using CommandArgs = std::span<const std::string>;
using CommandFunction = int (*)(CommandArgs args, std::FILE* out);

struct CliCommand {
    std::string_view name;
    std::string_view summary;  // one line for the global help
    std::string_view help;     // the command's own help text, ending in a newline
    CommandFunction run;
};

int RunInfoCommand(CommandArgs args, std::FILE* out);
int RunPulseCommand(CommandArgs args, std::FILE* out);
int RunTimelineCommand(CommandArgs args, std::FILE* out);
int RunNewCommand(CommandArgs args, std::FILE* out);
int RunPortsCommand(CommandArgs args, std::FILE* out);
int RunRunCommand(CommandArgs args, std::FILE* out);
int RunPlotCommand(CommandArgs args, std::FILE* out);

}  // namespace kinemo::cli
