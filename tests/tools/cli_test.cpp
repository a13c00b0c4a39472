// kinemo-cli run as a process: exact output, files and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "sequencer/engine/program_file.h"
#include "sequencer/engine/timeline.h"
#include "tests/platform/fake_sysfs.h"
#include "tests/tools/cli_process.h"

namespace kinemo::cli::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using engine::MovementRecord;

// Three movements: constant, accelerated, and one with every limit kind.
std::vector<MovementRecord> ExampleRecords() {
    engine::MovementList list;
    for (int i = 0; i < 3; ++i) {
        engine::ResetMovement(list, i);
    }
    MovementRecord& constant = list.records[0];
    engine::SetRecordName(constant, "Konstant");
    constant.direction = {engine::kDirectionLeft, engine::kDirectionRight, engine::kDirectionOff,
                          engine::kDirectionLeft};
    constant.speed = {25, 50, 0, 37};
    constant.fineSpeed = {0, 0, 0, 25};
    MovementRecord& ramp = list.records[1];
    engine::SetRecordName(ramp, "Rampe");
    std::tie(ramp.direction[0], ramp.speed[0], ramp.fineSpeed[0], ramp.targetSpeed[0],
             ramp.targetFineSpeed[0], ramp.accelOn[0], ramp.accelDuration[0]) =
        std::tuple(engine::kDirectionRight, 80, 0, 20, 0, 1, 50);
    MovementRecord& limits = list.records[2];
    engine::SetRecordName(limits, "Grenzen");
    // M2 up to -1 impulses on E5 (compared as unsigned: 4294967295), M3 without
    // a duration limit, M4's end switch on but without an input.
    std::tie(limits.endSwitchOn[0], limits.endSwitchInput[0], limits.maxImpulsesOn[1],
             limits.maxImpulses[1], limits.impulseInput[1]) = std::tuple(1, 3, 1, -1, 5);
    std::tie(limits.direction[2], limits.maxDurationOn[2]) = std::tuple(engine::kDirectionLeft, 0);
    std::tie(limits.endSwitchOn[3], limits.endSwitchInput[3], limits.maxDuration[3]) =
        std::tuple(1, 0, 65535);
    return {list.records.begin(), list.records.begin() + 3};
}

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFileBytes(File("beispiel.kmo"), engine::SerializeProgram({1, 1, 2}, ExampleRecords()));
    }
    // Runs a command that must succeed quietly on standard error.
    std::string RunOk(const std::vector<std::string>& args) {
        const ProcessResult result = RunCliProcess(args, folder_.Path());
        EXPECT_EQ(result, (ProcessResult{0, 0, result.out, ""}));
        return result.out;
    }
    void ExpectRefused(const std::vector<std::string>& args, const std::string& line) {
        EXPECT_EQ(RunCliProcess(args, folder_.Path()),
                  (ProcessResult{2, 0, "", "kinemo-cli: " + line + "\n"}));
    }
    std::string File(const std::string& name) const { return folder_.File(name); }

    TempFolder folder_;
};

// The pattern and ratio kinemo-cli shows are the generator's, to the last
// tick and digit, below and above half speed (whether they are right is the
// generator's test).
TEST_F(CliTest, PulseShowsTheGeneratorsRatioAndPattern) {
    EXPECT_EQ(RunOk({"pulse", "25", "--ticks", "24"}),
              "Geschwindigkeit: 25.00 %\nPulseRatio: 2.00000 (2)\nTicks: 24, davon an: 6\n"
              "001000100010001000100010\n");
    EXPECT_EQ(RunOk({"pulse", "12.34", "--ticks=16"}),
              "Geschwindigkeit: 12.34 %\nPulseRatio: 6.10372 (6.1037200000000009)\n"
              "Ticks: 16, davon an: 2\n0000001000000010\n");
    EXPECT_EQ(RunOk({"pulse", "66.67", "--ticks=16"}),
              "Geschwindigkeit: 66.67 %\nPulseRatio: -1.00030 (-1.0003000000000002)\n"
              "Ticks: 16, davon an: 11\n1011011011011011\n");
    EXPECT_EQ(RunOk({"pulse", "-0", "--ticks", "2"}).rfind("Geschwindigkeit: 0.00 %\n", 0), 0u);
}

// The header of a new list and the defaults of a new movement, byte for byte,
// replacing an existing file; a relative name lands in the working folder.
TEST_F(CliTest, NewWritesTheOneMovementOfANewList) {
    WriteFileBytes(File("neu.kmo"), Bytes(1000, 0xEE));
    EXPECT_EQ(RunOk({"new", "neu.kmo"}), "");
    std::string hex;
    for (const std::uint8_t byte : ReadFileBytes(File("neu.kmo"))) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 15];
    }
    EXPECT_EQ(
        hex,
        "4b4d4f330000074e657565204265776567756e67000000000000000063636363636363636464646464646464"
        "01010101000000000000000000000000000000000000007d0000007d0000007d0000007d0000000000000000"
        "000000000000000000000002000000040000000600000008000000010000000100000001000000010000007d"
        "0000007d0000007d0000007d0000000000000000000000000000000000000000000000000000000000000000"
        "00000001030507");
}

// Settings and every movement, names escaped, and what a long file left out.
TEST_F(CliTest, InfoShowsSettingsEveryMovementAndWhatWasNotLoaded) {
    engine::MovementList list;
    engine::ResetMovement(list, 0);
    std::vector<MovementRecord> records(300, list.records[0]);
    engine::SetRecordName(records[0], "a\"b\\c\td");
    records[0].direction[0] = 7;
    records[0].impulseInput[0] = 9;
    Bytes bytes = engine::SerializeProgram({0, 0, 0}, records);
    bytes.resize(bytes.size() + 100, 0);  // and a partial record at the end
    WriteFileBytes(File("gross.kmo"), bytes);
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"beispiel.kmo",
         {"Datei: beispiel.kmo\nBewegungen: 3\nEndlosschleife: an\nAus-Taster: an, Eingang E3\n\n"
          "Bewegung 0: \"Konstant\"\n"
          "  M1: Links\n"
          "    Geschwindigkeit: 25.00 % (25 + 0)\n"
          "    Zielgeschwindigkeit: 100.00 % (99 + 100)\n"
          "    Beschleunigung: aus, Beschl. dauer: 125 Ticks\n"
          "    Endtaster: aus, Eingang E2\n"
          "    Max. dauer: an, 125 Ticks\n"
          "    Max. Impulse: aus, 0 Impulse an Eingang E1\n"
          "  M2: Rechts\n",
          "  M3: Aus\n    Geschwindigkeit: 0.00 % (0 + 0)\n",
          "  M4: Links\n    Geschwindigkeit: 37.25 % (37 + 25)\n",
          "Bewegung 1: \"Rampe\"\n  M1: Rechts\n    Geschwindigkeit: 80.00 % (80 + 0)\n"
          "    Zielgeschwindigkeit: 20.00 % (20 + 0)\n"
          "    Beschleunigung: an, Beschl. dauer: 50 Ticks\n",
          "    Endtaster: an, Eingang E3\n",
          "    Max. Impulse: an, 4294967295 Impulse an Eingang E5\n",
          "    Endtaster: an, Eingang keiner\n"}},
        {"gross.kmo",
         {"Bewegungen: 255\nNicht geladen: 45 weitere Bewegungen (höchstens 255)\n"
          "Nicht geladen: unvollständige Bewegung am Dateiende\n"
          "Endlosschleife: aus\nAus-Taster: aus, Eingang E1\n",
          "Bewegung 0: \"a\\x22b\\x5Cc\\x09d\"\n  M1: ungültig (7)\n",
          "Impulse an Eingang ungültig (9)\n", "Bewegung 254: "}}};
    for (const auto& [file, parts] : cases) {
        const std::string out = RunOk({"info", file});
        for (const std::string& part : parts) {
            EXPECT_NE(out.find(part), std::string::npos) << part;
        }
        EXPECT_EQ(out.find("Bewegung 255: "), std::string::npos);
    }
}

// Rows and limits as the engine computes them in process; the longest
// duration is shown when more than one movement is computed; last before
// first computes nothing and leaves an empty file.
TEST_F(CliTest, TimelineWritesTheEnginesRowsAndLimits) {
    auto list = std::make_unique<engine::MovementList>();
    const std::vector<MovementRecord> records = ExampleRecords();
    std::copy(records.begin(), records.end(), list->records.begin());
    list->movementCount = 3;
    using Range = std::tuple<std::vector<std::string>, int, int>;
    for (const auto& [range, first, last] :
         {Range{{}, 0, 2}, Range{{"--first", "1", "--last=2"}, 1, 2},
          Range{{"--first=2", "--last=1"}, 2, 1}}) {
        auto timeline = std::make_unique<engine::Timeline>();
        engine::ComputeTimeline(*list, first, last, *timeline, nullptr);
        Bytes rows;
        std::string limits = first < last ? "Höchstdauer: 50\n" : "";
        for (int row = 0; row <= last - first; ++row) {
            rows.insert(rows.end(), timeline->Row(row),
                        timeline->Row(row) + engine::kTimelineRowLength);
            const engine::SlotLimits& l = timeline->Limits(row);
            for (int m = 0; m < 4; ++m) {
                char line[128];
                std::snprintf(line, sizeof line, "limits %d %d %u %u %u %u\n", row, m + 1,
                              l.endSwitchInput[m], l.impulseInput[m], l.maxImpulses[m],
                              l.maxDuration[m]);
                limits += line;
            }
        }
        std::vector<std::string> args{"timeline", "beispiel.kmo", "--out", "zeilen.bin"};
        args.insert(args.end(), range.begin(), range.end());
        EXPECT_EQ(RunOk(args), limits);
        EXPECT_EQ(ReadFileBytes(File("zeilen.bin")), rows) << first << ".." << last;
    }
}

TEST_F(CliTest, PlotWritesSvgAndPng) {
    using Case = std::tuple<std::string, std::vector<std::string>, std::string, std::string>;
    for (const auto& [picture, options, line, begins] :
         {Case{"b.svg",
               {},
               "b.svg: 3 Bewegungen, 65785 Ticks = 205,58 s bei 320 Ticks/s, Fenster 33 Ticks\n",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "},
          Case{"b.PNG",
               {"--movement", "1", "--width", "800"},
               "b.PNG: 1 Bewegung, 125 Ticks = 0,39 s bei 320 Ticks/s, Fenster 25 Ticks\n",
               "\x89PNG\r\n\x1a\n"}}) {
        std::vector<std::string> args{"plot", "beispiel.kmo", "--out", picture};
        args.insert(args.end(), options.begin(), options.end());
        EXPECT_EQ(RunOk(args), line);
        EXPECT_EQ(ReadFileText(File(picture)).rfind(begins, 0), 0u) << line;
    }
    const std::string svg = ReadFileText(File("b.svg"));
    for (const char* text : {">beispiel.kmo \xE2\x80\x93 3 Bewegungen", ">2: Grenzen<",
                             ">offen, 65535 Ticks gezeigt<"}) {
        EXPECT_NE(svg.find(text), std::string::npos) << text;
    }
    // No temporary file is left beside the pictures.
    EXPECT_EQ(RunProcess({"/bin/ls", folder_.Path()}, "/").out, "b.PNG\nb.svg\nbeispiel.kmo\n");
}

// Every name with its device and how it is mapped (by a variable, by
// default, not at all), a known device kind and an adapter's latency timer,
// read from a fake sysfs tree (which kind a device is, is the serial layer's
// test).
TEST_F(CliTest, PortsShowEveryNameWithItsDeviceKindAndTimer) {
    platform::testing::FakeTree tree;
    tree.Usb("ttyUSB0", "16\n");
    tree.Usb("ttyACM0", "");
    const Environment environment{
        {"KINEMO_SYSFS_ROOT", tree.Root()},         {"KINEMO_PORT_COM1", tree.Node("ttyUSB0")},
        {"KINEMO_PORT_COM2", tree.Dev("fehlt")},    {"KINEMO_PORT_COM3", ""},
        {"KINEMO_PORT_LPT2", tree.Node("ttyACM0")}, {"KINEMO_PORT_LPT", tree.Node("ttyZ")}};
    const std::string com4 = std::filesystem::exists("/dev/ttyS3") ? "vorhanden" : "fehlt";
    const std::string dev = tree.Dev("");
    std::string out;
    for (const std::string& line :
         {"COM1 " + dev + "ttyUSB0 vorhanden USB-Seriell, Latenz-Timer 16 ms (KINEMO_PORT_COM1)",
          "COM2 " + dev + "fehlt fehlt (KINEMO_PORT_COM2)",
          std::string("COM3 - nicht zugeordnet (KINEMO_PORT_COM3)"), "COM4 /dev/ttyS3 " + com4,
          std::string("LPT1 - nicht zugeordnet"),
          "LPT2 " + dev + "ttyACM0 vorhanden USB-Seriell (KINEMO_PORT_LPT2)",
          std::string("LPT3 - nicht zugeordnet"),
          "LPT " + dev + "ttyZ vorhanden (KINEMO_PORT_LPT)"}) {
        out += line + "\n";
    }
    EXPECT_EQ(RunCliProcess({"ports"}, folder_.Path(), environment),
              (ProcessResult{0, 0, out, ""}));
}

// What a command can only find out from its files; what the arguments alone
// refuse is the parser's test, which program files are refused the program
// file's: here one of each shows the way to the user.
TEST_F(CliTest, RefusalsGiveOneLineAndExitCodeTwoAndLeaveTheFilesAlone) {
    const Bytes good = ReadFileBytes(File("beispiel.kmo"));
    WriteFileText(File("alt.svg"), "alt");
    const std::string create = ": Datei kann nicht angelegt werden";
    ExpectRefused({}, "Befehl fehlt (kinemo-cli --help zeigt die Befehle)");
    ExpectRefused({"info", "fehlt.kmo"}, "fehlt.kmo: Datei kann nicht geöffnet werden");
    ExpectRefused({"timeline", "beispiel.kmo", "--out=zeilen.bin", "--first", "3"},
                  "--first muss zwischen 0 und 2 liegen: \"3\"");
    ExpectRefused({"timeline", "beispiel.kmo", "--out=zeilen.bin", "--last", "-1"},
                  "--last muss zwischen 0 und 2 liegen: \"-1\"");
    ExpectRefused({"timeline", "beispiel.kmo", "--out", "fehlt/z.bin"}, "fehlt/z.bin" + create);
    ExpectRefused({"new", "fehlt/neu.kmo"}, "fehlt/neu.kmo" + create);
    ExpectRefused({"plot", "beispiel.kmo", "--out", "alt.svg", "--movement", "3"},
                  "--movement muss zwischen 0 und 2 liegen: \"3\"");
    ExpectRefused({"plot", "beispiel.kmo", "--out", "fehlt/b.svg"}, "fehlt/b.svg" + create);
    EXPECT_FALSE(std::filesystem::exists(File("zeilen.bin")));
    EXPECT_EQ(ReadFileText(File("alt.svg")), "alt");
    EXPECT_EQ(ReadFileBytes(File("beispiel.kmo")), good);
}

}  // namespace
}  // namespace kinemo::cli::test
