// The command-line frame the -cli tools share: "TOOL BEFEHL [ARGUMENTE]" with
// the overview on "help", --help or -h, a command's own help on --help or -h
// among its arguments (before "--"), and one line on standard error for every
// failure, starting with the tool's name.
#pragma once

#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "tools/cli_command.h"

namespace kinemo::cli {

struct CliTool {
    std::string_view name;  // "kinemo-cli": starts every error line
    std::FILE* out;
    std::FILE* err;
    void (*printUsage)(std::FILE* out);  // the overview of the commands
};

// Prints "NAME: MESSAGE" on the tool's error stream; returns `code`.
int FailLine(const CliTool& tool, const std::string& message, int code);

// Runs one command line (without the program name). `help` is the help text of
// the command named by args[0], or null when there is no such command; `run`
// runs it with the arguments after its name. A CliFailure ends with exit code
// 2, any other exception ("Interner Fehler: ...") and output that cannot be
// written with 1; otherwise the command's own code.
int RunCommandLine(const CliTool& tool, std::span<const std::string> args,
                   const std::string_view* help, const std::function<int(CommandArgs)>& run);

// The same over a table of commands with `name` and `help` members; `invoke`
// gets the command found and its arguments.
template <typename Command, typename Invoke>
int RunCommandLine(const CliTool& tool, std::span<const std::string> args,
                   std::span<const Command> commands, Invoke invoke) {
    const Command* found = nullptr;
    for (const Command& command : commands) {
        if (!args.empty() && command.name == args[0]) {
            found = &command;
            break;
        }
    }
    return RunCommandLine(tool, args, found == nullptr ? nullptr : &found->help,
                          [&](CommandArgs rest) { return invoke(*found, rest); });
}

// Prints "  NAME SUMMARY" a line for each of `commands` (with `name` and
// `summary` members), the names padded to `width`, for a tool's overview.
template <typename Command>
void PrintCommandList(std::FILE* out, std::span<const Command> commands, int width) {
    for (const Command& command : commands) {
        std::fprintf(out, "  %-*.*s %.*s\n", width, static_cast<int>(command.name.size()),
                     command.name.data(), static_cast<int>(command.summary.size()),
                     command.summary.data());
    }
}

}  // namespace kinemo::cli
