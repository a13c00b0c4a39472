// The command-line parsers the fuzz targets drive: their seeds pass the
// targets' checks, numbers are taken up to their bounds and refused one past
// them, and parsing leaves the file system alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "fuzz/cli_checks.h"
#include "tools/cli_dispatch.h"
#include "tools/joy/joy_cli.h"
#include "tools/speech/speech_cli.h"

namespace kinemo::fuzz {
namespace {

// The refusal message of a parse, or "" when it was accepted.
template <typename Request>
std::string RefusalOf(const Request& request) {
    const auto* refusal = std::get_if<cli::Refusal>(&request);
    if (refusal == nullptr) {
        return "";
    }
    EXPECT_EQ(refusal->code, cli::kExitBadInput) << refusal->message;
    return refusal->message;
}

std::string Parse(char program, const std::vector<std::string>& args) {
    switch (program) {
        case 'k':
            return RefusalOf(cli::ParseCli(args));
        case 's':
            return RefusalOf(speech::ParseSpeechCli(args));
        default:
            return RefusalOf(joycli::ParseJoyCli(args));
    }
}

TEST(CliParse, SeedsPassTheirChecks) {
    int checked = 0;
    for (const CliSeed& seed : CliSeeds()) {
        const Check check = CheckForExtension(seed.extension);
        ASSERT_NE(check, nullptr) << seed.extension;
        const std::vector<std::uint8_t> bytes = SeedBytes(seed);
        EXPECT_EQ(ArgsFromBytes(bytes), seed.args);
        for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
            EXPECT_EQ(check(std::span(bytes).first(cut)), "") << testing::PrintToString(seed.args);
        }
        ++checked;
    }
    EXPECT_GE(checked, 40);
}

TEST(CliParse, NumbersAtTheirBoundsAndOnePast) {
    struct Case {
        char program;  // k kinemo-cli, s kinemo-speech-cli, j kinemo-joy-cli
        std::vector<std::string> args;
        std::string refusal;  // "" accepted
    };
    const std::string kmo = "liste.kmo";
    const std::vector<Case> cases = {
        {'k', {"pulse", "0"}, ""},
        {'k', {"pulse", "100"}, ""},
        {'k', {"pulse", "100.01"}, "Geschwindigkeit muss zwischen 0 und 100 liegen: \"100.01\""},
        {'k', {"pulse", "-0.01"}, "Geschwindigkeit muss zwischen 0 und 100 liegen: \"-0.01\""},
        {'k', {"pulse", "5", "--ticks", "1"}, ""},
        {'k', {"pulse", "5", "--ticks", "10000000"}, ""},
        {'k',
         {"pulse", "5", "--ticks", "0"},
         "Tickzahl muss zwischen 1 und 10000000 liegen: \"0\""},
        {'k',
         {"pulse", "5", "--ticks=10000001"},
         "Tickzahl muss zwischen 1 und 10000000 liegen: \"10000001\""},
        {'k', {"run", kmo, "--port", "COM1", "--movement", "0"}, ""},
        {'k', {"run", kmo, "--port", "COM1", "--movement", "254"}, ""},
        {'k',
         {"run", kmo, "--port", "COM1", "--movement", "255"},
         "--movement muss zwischen 0 und 254 liegen: \"255\""},
        {'k',
         {"run", kmo, "--port", "COM1", "--movement", "-1"},
         "--movement muss zwischen 0 und 254 liegen: \"-1\""},
        {'k', {"plot", kmo, "--out", "a.svg", "--width", "400"}, ""},
        {'k', {"plot", kmo, "--out", "a.svg", "--width", "20000"}, ""},
        {'k',
         {"plot", kmo, "--out", "a.svg", "--width", "399"},
         "--width muss zwischen 400 und 20000 liegen: \"399\""},
        {'k',
         {"plot", kmo, "--out", "a.svg", "--width", "20001"},
         "--width muss zwischen 400 und 20000 liegen: \"20001\""},
        {'s', {"run", "--port", "COM1"}, ""},
        {'s', {"run", "--port", "COM4"}, ""},
        {'s', {"run", "--port", "COM0"}, "--port muss COM1, COM2, COM3 oder COM4 sein: \"COM0\""},
        {'s', {"run", "--port", "COM5"}, "--port muss COM1, COM2, COM3 oder COM4 sein: \"COM5\""},
        {'j', {"run", "--port", "COM4"}, ""},
        {'j', {"run", "--port", "LPT3"}, ""},
        {'j',
         {"run", "--port", "COM5"},
         "--port: unbekannter Anschluss \"COM5\" (COM1 bis COM4, LPT1 bis LPT3, LPT)"},
        {'j',
         {"run", "--port", "LPT4"},
         "--port: unbekannter Anschluss \"LPT4\" (COM1 bis COM4, LPT1 bis LPT3, LPT)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Parse(c.program, c.args), c.refusal) << testing::PrintToString(c.args);
    }
}

TEST(CliParse, ParsingCreatesNoFile) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kinemo-cli-parse-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string out = (folder / "x").string();
    EXPECT_EQ(Parse('k', {"new", out + ".kmo"}), "");
    EXPECT_EQ(Parse('k', {"timeline", out + ".kmo", "--out", out + ".bin"}), "");
    EXPECT_EQ(Parse('k', {"plot", out + ".kmo", "--out", out + ".svg"}), "");
    EXPECT_EQ(Parse('j', {"run", "--record", out + ".replay"}), "");
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kinemo::fuzz
