// The command-line frame of the -cli tools with a small command table: every
// way a command line ends, with its exit code and the exact text on each stream.
#include "tools/cli_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <stdexcept>
#include <string>
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

void PrintUsage(std::FILE* out) {
    std::fputs("Aufruf: t BEFEHL\n", out);
}

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
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        text.push_back(static_cast<char>(c));
    }
    return text;
}

int RunLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    const CliTool tool{"t", out, err, PrintUsage};
    return RunCommandLine(
        tool, args, std::span<const Command>(kCommands),
        [out](const Command& command, CommandArgs rest) { return Invoke(command, rest, out); });
}

TEST(CliFrame, EveryEndOfACommandLine) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string out;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{}, kExitBadInput, "", "t: Befehl fehlt (t --help zeigt die Befehle)\n"},
        {{"help"}, kExitOk, "Aufruf: t BEFEHL\n", ""},
        {{"-h", "echo"}, kExitOk, "Aufruf: t BEFEHL\n", ""},
        {{"nix"},
         kExitBadInput,
         "",
         "t: Unbekannter Befehl \"nix\" (t --help zeigt die Befehle)\n"},
        {{"echo", "a", "--help"}, kExitOk, "Aufruf: t echo WORT\n", ""},
        {{"echo", "--", "--help"}, kExitOk, "--\n--help\n", ""},
        {{"echo"}, kExitFailure, "", ""},
        {{"bad", "-h"}, kExitOk, "Aufruf: t bad\n", ""},
        {{"bad"}, kExitBadInput, "", "t: Zahl fehlt\n"},
        {{"boom"}, kExitFailure, "", "t: Interner Fehler: kaputt\n"},
    };
    for (const Case& c : cases) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        ASSERT_NE(out, nullptr);
        ASSERT_NE(err, nullptr);
        EXPECT_EQ(RunLine(c.args, out, err), c.code) << testing::PrintToString(c.args);
        EXPECT_EQ(Contents(out), c.out) << testing::PrintToString(c.args);
        EXPECT_EQ(Contents(err), c.err) << testing::PrintToString(c.args);
        std::fclose(out);
        std::fclose(err);
    }
}

TEST(CliFrame, OutputThatCannotBeWrittenIsAFailure) {
    std::FILE* full = std::fopen("/dev/full", "w");
    if (full == nullptr) {
        GTEST_SKIP() << "no /dev/full";
    }
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(RunLine({"echo", "a"}, full, err), kExitFailure);
    EXPECT_EQ(Contents(err), "t: Ausgabe kann nicht geschrieben werden\n");
    std::fclose(full);
    std::fclose(err);
}

}  // namespace
}  // namespace kinemo::cli
