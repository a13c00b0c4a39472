// The command-line frame of the -cli tools with a small command table: every
// way a command line ends, with its exit code and the exact text on each stream.
#include "tools/cli_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace kinemo::cli {
namespace {

struct Command {
    std::string_view name;
    std::string_view help;
};

constexpr std::array kCommands = {
    Command{"echo", "Aufruf: t echo WORT\n"},
    Command{"bad", "Aufruf: t bad\n"},
    Command{"boom", "Aufruf: t boom\n"},
};

// "bad" and "boom" throw; "echo" prints its words and fails without any.
int Invoke(const Command& command, CommandArgs rest, std::FILE* out) {
    if (command.name == "bad") {
        throw CliFailure("Zahl fehlt");
    }
    if (command.name == "boom") {
        throw std::runtime_error("kaputt");
    }
    for (const std::string& arg : rest) {
        std::fprintf(out, "%s\n", arg.c_str());
    }
    return rest.empty() ? kExitFailure : kExitOk;
}

std::string Contents(std::FILE* file) {
    std::rewind(file);
    char text[256] = {};
    std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    return text;
}

// Exit code, standard output and standard error of one command line.
using Ended = std::tuple<int, std::string, std::string>;

Ended RunLine(const std::vector<std::string>& args, std::FILE* out) {
    std::FILE* err = std::tmpfile();
    const CliTool tool{"t", out, err, [](std::FILE* to) { std::fputs("Aufruf: t BEFEHL\n", to); }};
    const int code = RunCommandLine(
        tool, args, std::span<const Command>(kCommands),
        [out](const Command& command, CommandArgs rest) { return Invoke(command, rest, out); });
    return {code, Contents(out), Contents(err)};
}

TEST(CliFrame, EveryEndOfACommandLine) {
    const std::string usage = "Aufruf: t BEFEHL\n";
    const std::vector<std::pair<std::vector<std::string>, Ended>> cases = {
        {{}, {kExitBadInput, "", "t: Befehl fehlt (t --help zeigt die Befehle)\n"}},
        {{"help"}, {kExitOk, usage, ""}},
        {{"-h", "echo"}, {kExitOk, usage, ""}},
        {{"nix"},
         {kExitBadInput, "", "t: Unbekannter Befehl \"nix\" (t --help zeigt die Befehle)\n"}},
        {{"echo", "a", "--help"}, {kExitOk, "Aufruf: t echo WORT\n", ""}},
        {{"echo", "--", "--help"}, {kExitOk, "--\n--help\n", ""}},
        {{"echo"}, {kExitFailure, "", ""}},
        {{"bad", "-h"}, {kExitOk, "Aufruf: t bad\n", ""}},
        {{"bad"}, {kExitBadInput, "", "t: Zahl fehlt\n"}},
        {{"boom"}, {kExitFailure, "", "t: Interner Fehler: kaputt\n"}},
    };
    for (const auto& [args, ended] : cases) {
        EXPECT_EQ(RunLine(args, std::tmpfile()), ended) << testing::PrintToString(args);
    }
}

TEST(CliFrame, OutputThatCannotBeWrittenIsAFailure) {
    std::FILE* full = std::fopen("/dev/full", "w");
    if (full == nullptr) {
        GTEST_SKIP() << "no /dev/full";
    }
    EXPECT_EQ(RunLine({"echo", "a"}, full),
              Ended(kExitFailure, "", "t: Ausgabe kann nicht geschrieben werden\n"));
}

}  // namespace
}  // namespace kinemo::cli
