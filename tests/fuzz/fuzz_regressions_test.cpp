// Replays every saved input of the fuzz targets, and the shipped examples,
// through the targets' own checks; the command-line parsers those targets
// drive give their exact refusals, take numbers up to their bounds and leave
// the file system alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "fuzz/cli_checks.h"
#include "fuzz/fuzz_checks.h"
#include "tests/tools/cli_process.h"
#include "tools/cli_dispatch.h"
#include "tools/joy/joy_cli.h"
#include "tools/speech/speech_cli.h"

namespace kinemo::fuzz {
namespace {

namespace fs = std::filesystem;

// Each input and every cut of it (all cuts when `everyCut`) passes its check.
void ExpectPasses(Check check, const std::vector<std::uint8_t>& bytes, bool everyCut,
                  const std::string& name) {
    for (std::size_t cut = 0; cut <= bytes.size(); cut += everyCut ? 1 : 1 + bytes.size() / 64) {
        EXPECT_EQ(check(std::span(bytes).first(cut)), "") << name << " cut at " << cut;
    }
    EXPECT_EQ(check(bytes), "") << name;
}

int ReplayFolder(const fs::path& folder) {
    int checked = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const Check check = CheckForExtension(entry.path().extension().string());
        if (entry.is_regular_file() && check != nullptr) {
            ExpectPasses(check, cli::test::ReadFileBytes(entry.path()), false, entry.path());
            ++checked;
        }
    }
    return checked;
}

TEST(FuzzRegressions, SavedInputsAndExamplesPassTheirChecks) {
    EXPECT_GE(ReplayFolder(KINEMO_FUZZ_REGRESSIONS), 5);
    EXPECT_GE(ReplayFolder(KINEMO_EXAMPLES), 4);
}

TEST(CliParse, SeedsPassTheirChecks) {
    const std::vector<CliSeed> seeds = CliSeeds();
    EXPECT_GE(seeds.size(), 40U);
    for (const CliSeed& seed : seeds) {
        const Check check = CheckForExtension(seed.extension);
        ASSERT_NE(check, nullptr) << seed.extension;
        EXPECT_EQ(ArgsFromBytes(SeedBytes(seed)), seed.args);
        ExpectPasses(check, SeedBytes(seed), true, testing::PrintToString(seed.args));
    }
}

// The refusal message of a parse, or "" when it was accepted.
template <typename Request>
std::string RefusalOf(const Request& request) {
    const auto* refusal = std::get_if<cli::Refusal>(&request);
    EXPECT_TRUE(refusal == nullptr || refusal->code == cli::kExitBadInput);
    return refusal == nullptr ? "" : refusal->message;
}

// k kinemo-cli, s kinemo-speech-cli, j kinemo-joy-cli.
std::string Parse(char program, const std::vector<std::string>& args) {
    if (program == 'k') {
        return RefusalOf(cli::ParseCli(args));
    }
    return program == 's' ? RefusalOf(speech::ParseSpeechCli(args))
                          : RefusalOf(joycli::ParseJoyCli(args));
}

TEST(CliParse, RefusalsAndNumbersAtTheirBounds) {
    using Case = std::tuple<char, std::vector<std::string>, std::string>;  // refusal "": accepted
    const std::string speed = "Geschwindigkeit muss zwischen 0 und 100 liegen: ";
    const std::string ticks = "Tickzahl muss zwischen 1 und 10000000 liegen: ";
    const std::string noNumber = "Geschwindigkeit ist keine Zahl: ";
    const std::string port = "--port muss COM1, COM2, COM3 oder COM4 sein: ";
    const std::string ports = " (COM1 bis COM4, LPT1 bis LPT3, LPT)";
    const std::string voice = "--voice braucht genau eines von --audio DATEI.wav und --microphone";
    const std::string audio = "--audio und --microphone gehen nur mit --voice";
    const std::string movement = "--movement muss zwischen 0 und 254 liegen: ";
    const std::string width = "--width muss zwischen 400 und 20000 liegen: ";
    const std::string both = " schließen einander aus";
    const std::string k = "liste.kmo";
    const std::vector<Case> cases = {
        {'k', {"tanz"}, "Unbekannter Befehl \"tanz\" (kinemo-cli --help zeigt die Befehle)"},
        {'k', {"info"}, "Argument DATEI.kmo fehlt"},
        {'k', {"info", k, k}, "Überzähliges Argument \"liste.kmo\""},
        {'k', {"pulse", "0"}, ""},
        {'k', {"pulse", "100"}, ""},
        {'k', {"pulse", "100.01"}, speed + "\"100.01\""},
        {'k', {"pulse", "-0.01"}, speed + "\"-0.01\""},
        {'k', {"pulse", "nan"}, speed + "\"nan\""},
        {'k', {"pulse", "25%"}, noNumber + "\"25%\""},
        {'k', {"pulse", "1e1"}, noNumber + "\"1e1\""},
        {'k', {"pulse", ""}, noNumber + "\"\""},
        // Control characters are shown, so a refusal stays one line.
        {'k', {"pulse", "a\nb"}, noNumber + "\"a\\x0Ab\""},
        {'k', {"info", k, "--a\x7F"}, "Unbekannte Option \"--a\\x7F\""},
        {'k', {"pulse", "25", "--ticks"}, "Option --ticks braucht einen Wert"},
        {'k', {"pulse", "5", "--ticks", "1"}, ""},
        {'k', {"pulse", "5", "--ticks", "10000000"}, ""},
        {'k', {"pulse", "5", "--ticks", "0"}, ticks + "\"0\""},
        {'k', {"pulse", "5", "--ticks=10000001"}, ticks + "\"10000001\""},
        {'k', {"pulse", "5", "--ticks=99999999999999999999"}, ticks + "\"99999999999999999999\""},
        {'k', {"pulse", "25", "--ticks", "3.5"}, "Tickzahl ist keine ganze Zahl: \"3.5\""},
        {'k', {"pulse", "2", "--ticks=4", "--ticks=5"}, "Option --ticks ist doppelt angegeben"},
        {'k', {"pulse", "25", "--tick", "4"}, "Unbekannte Option \"--tick\""},
        {'k', {"timeline", k}, "Option --out ZEILEN.bin fehlt"},
        {'k', {"run", k, "--port", "COM1", "--movement", "254"}, ""},
        {'k', {"run", k, "--port", "COM1", "--movement", "255"}, movement + "\"255\""},
        {'k', {"plot", k}, "Option --out BILD.svg oder BILD.png fehlt"},
        {'k', {"plot", k, "--out", "a.jpg"}, "--out a.jpg: das Bild muss auf .svg oder .png enden"},
        {'k', {"plot", k, "--out", "a.svg", "--width", "20000"}, ""},
        {'k', {"plot", k, "--out", "a.svg", "--width", "399"}, width + "\"399\""},
        {'s', {"run", "--port", "COM1"}, ""},
        {'s', {"run", "--port", "COM4"}, ""},
        {'s', {"run", "--port", "COM0"}, port + "\"COM0\""},
        {'s', {"run", "--port", "COM5"}, port + "\"COM5\""},
        {'s', {"run", "--port", "LPT1"}, port + "\"LPT1\""},
        {'s', {"run", "extra"}, "Überzähliges Argument \"extra\""},
        {'s', {"run", "--settings="}, "--settings braucht einen Dateinamen"},
        {'s', {"run", "--voice", "w.txt"}, voice},
        {'s', {"run", "--voice", "w.txt", "--audio", "a.wav", "--microphone"}, voice},
        {'s', {"run", "--audio", "a.wav"}, audio},
        {'s', {"run", "--microphone"}, audio},
        {'j', {"run", "--port", "COM4"}, ""},
        {'j', {"run", "--port", "LPT3"}, ""},
        {'j', {"run", "--port", "COM5"}, "--port: unbekannter Anschluss \"COM5\"" + ports},
        {'j', {"run", "--port", "LPT4"}, "--port: unbekannter Anschluss \"LPT4\"" + ports},
        {'j', {"run", "--extension", "--no-extension"}, "--extension und --no-extension" + both},
        {'j', {"run", "extra"}, "Überzähliges Argument \"extra\""},
        {'j', {"joysticks", "x"}, "Überzähliges Argument \"x\""},
    };
    for (const auto& [program, args, refusal] : cases) {
        EXPECT_EQ(Parse(program, args), refusal) << program << testing::PrintToString(args);
    }
}

TEST(CliParse, ParsingCreatesNoFile) {
    cli::test::TempFolder folder;
    const std::string out = folder.File("x");
    EXPECT_EQ(Parse('k', {"new", out + ".kmo"}), "");
    EXPECT_EQ(Parse('k', {"timeline", out + ".kmo", "--out", out + ".bin"}), "");
    EXPECT_EQ(Parse('k', {"plot", out + ".kmo", "--out", out + ".svg"}), "");
    EXPECT_EQ(Parse('j', {"run", "--record", out + ".replay"}), "");
    EXPECT_TRUE(fs::is_empty(folder.Path()));
}

}  // namespace
}  // namespace kinemo::fuzz
