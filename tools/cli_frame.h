// The command-line frame the -cli tools share: "TOOL BEFEHL [ARGUMENTE]" with
// the overview on "help", --help or -h, a command's own help on --help or -h
// among its arguments (before "--"), and one line on standard error for every
// failure, starting with the tool's name.
#pragma once

#include <cstdio>
#include <exception>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

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

// A command line refused before anything runs: the one line printed after the
// tool's name, and the exit code.
struct Refusal {
    std::string message;
    int code = kExitBadInput;
    bool operator==(const Refusal&) const = default;
};

// What the frame makes of a command line before any command runs.
struct FrameStep {
    enum class Kind { kRefused, kOverview, kCommandHelp, kCommand };
    Kind kind = Kind::kRefused;
    Refusal refusal;   // for kRefused
    CommandArgs rest;  // the arguments after the command's name
};

// `known` tells whether args[0] names a command of the tool. Touches nothing.
FrameStep TakeFrame(std::string_view toolName, std::span<const std::string> args, bool known);

// Runs a command's work: a CliFailure ends with exit code 2, any other
// exception ("Interner Fehler: ...") and output that cannot be written with 1;
// otherwise the work's own code.
int RunGuarded(const CliTool& tool, const std::function<int()>& work);

// Visits a request variant with one lambda per kind.
template <typename... Visitors>
struct Overloaded : Visitors... {
    using Visitors::operator()...;
};
template <typename... Visitors>
Overloaded(Visitors...) -> Overloaded<Visitors...>;

// The command of a table (with a `name` member) named by args[0], or null.
template <typename Command>
const Command* FindCommand(std::span<const std::string> args, std::span<const Command> commands) {
    for (const Command& command : commands) {
        if (!args.empty() && command.name == args[0]) {
            return &command;
        }
    }
    return nullptr;
}

// The overview (empty `command`) or the help of the command named.
struct HelpRequest {
    std::string command;
    bool operator==(const HelpRequest&) const = default;
};

// Parses one command line (without the program name) over a table of
// commands with `name` and `parse` members; `parse` turns a command's
// arguments into its request or throws CliFailure. Request is a variant
// holding Refusal, HelpRequest and the commands' requests.
template <typename Request, typename Command>
Request ParseCommandLine(std::string_view toolName, std::span<const std::string> args,
                         std::span<const Command> commands) {
    const Command* command = FindCommand(args, commands);
    const FrameStep step = TakeFrame(toolName, args, command != nullptr);
    switch (step.kind) {
        case FrameStep::Kind::kRefused:
            return step.refusal;
        case FrameStep::Kind::kOverview:
            return HelpRequest{};
        case FrameStep::Kind::kCommandHelp:
            return HelpRequest{std::string(command->name)};
        case FrameStep::Kind::kCommand:
            break;
    }
    try {
        return command->parse(step.rest);
    } catch (const CliFailure& failure) {
        return Refusal{failure.what(), kExitBadInput};
    } catch (const std::exception& failure) {
        return Refusal{std::string("Interner Fehler: ") + failure.what(), kExitFailure};
    }
}

// Prints what a help request asks for on the tool's output; returns 0.
template <typename Command>
int PrintHelp(const CliTool& tool, const HelpRequest& help, std::span<const Command> commands) {
    const Command* command = FindCommand(std::span(&help.command, 1), commands);
    if (command == nullptr) {
        tool.printUsage(tool.out);
    } else {
        std::fprintf(tool.out, "%.*s", static_cast<int>(command->help.size()),
                     command->help.data());
    }
    return kExitOk;
}

// Carries out a parsed command line: prints a Refusal or a HelpRequest, and
// hands any other request to `run` (the command's work) under RunGuarded.
template <typename Request, typename Command, typename Run>
int RunParsed(const CliTool& tool, const Request& request, std::span<const Command> commands,
              Run run) {
    return std::visit(
        Overloaded{
            [&](const Refusal& refusal) { return FailLine(tool, refusal.message, refusal.code); },
            [&](const HelpRequest& help) { return PrintHelp(tool, help, commands); },
            [&](const auto& command) { return RunGuarded(tool, [&] { return run(command); }); },
        },
        request);
}

// The argument vector of a help request.
std::vector<std::string> HelpArgs(const HelpRequest& help);

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
    const Command* found = FindCommand(args, commands);
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
