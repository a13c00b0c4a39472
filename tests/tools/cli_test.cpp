// kinemo-cli run as a process: exact output, files and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pulse/pulse_generator.h"
#include "sequencer/engine/program_file.h"
#include "sequencer/engine/timeline.h"
#include "tests/tools/cli_process.h"

namespace kinemo::cli::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class CliTest : public ::testing::Test {
  protected:
    ProcessResult Run(const std::vector<std::string>& args) {
        return RunCliProcess(args, folder_.Path());
    }

    // Runs a command that must succeed quietly on standard error.
    std::string RunOk(const std::vector<std::string>& args) {
        const ProcessResult result = Run(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        return result.out;
    }

    // Runs a command that must be refused with exactly this line.
    void ExpectRefused(const std::vector<std::string>& args, const std::string& line) {
        const ProcessResult result = Run(args);
        std::string shown;
        for (const std::string& arg : args) {
            shown += arg + " ";
        }
        EXPECT_EQ(result.exitCode, 2) << shown;
        EXPECT_EQ(result.err, "kinemo-cli: " + line + "\n") << shown;
        EXPECT_EQ(result.out, "") << shown;
    }

    std::string File(const std::string& name) const { return folder_.File(name); }

    TempFolder folder_;
};

// Three movements: constant, accelerated, and one with every limit kind.
std::vector<engine::MovementRecord> ExampleRecords() {
    engine::MovementList list;
    for (int i = 0; i < 3; ++i) {
        engine::ResetMovement(list, i);
    }
    engine::MovementRecord& constant = list.records[0];
    engine::SetRecordName(constant, "Konstant");
    constant.direction = {engine::kDirectionLeft, engine::kDirectionRight, engine::kDirectionOff,
                          engine::kDirectionLeft};
    constant.speed = {25, 50, 0, 37};
    constant.fineSpeed = {0, 0, 0, 25};

    engine::MovementRecord& ramp = list.records[1];
    engine::SetRecordName(ramp, "Rampe");
    ramp.direction[0] = engine::kDirectionRight;
    ramp.speed[0] = 80;
    ramp.fineSpeed[0] = 0;
    ramp.targetSpeed[0] = 20;
    ramp.targetFineSpeed[0] = 0;
    ramp.accelOn[0] = 1;
    ramp.accelDuration[0] = 50;

    engine::MovementRecord& limits = list.records[2];
    engine::SetRecordName(limits, "Grenzen");
    limits.direction[2] = engine::kDirectionLeft;
    limits.endSwitchOn[0] = 1;
    limits.endSwitchInput[0] = 3;
    limits.maxImpulsesOn[1] = 1;
    limits.maxImpulses[1] = -1;  // compared as unsigned: 4294967295
    limits.impulseInput[1] = 5;
    limits.maxDurationOn[2] = 0;
    limits.endSwitchOn[3] = 1;
    limits.endSwitchInput[3] = 0;  // on, but without an input
    limits.maxDuration[3] = 65535;
    return {list.records.begin(), list.records.begin() + 3};
}

std::string WriteExample(const std::string& path) {
    const auto status = engine::WriteProgramFile(path, {1, 1, 2}, ExampleRecords());
    EXPECT_EQ(status, engine::ProgramFileStatus::kOk);
    return path;
}

// The rows and limits lines the engine gives in-process for records first..last.
struct Expected {
    Bytes rows;
    std::string limits;
};

Expected ComputeInProcess(int first, int last) {
    auto list = std::make_unique<engine::MovementList>();
    const std::vector<engine::MovementRecord> records = ExampleRecords();
    std::copy(records.begin(), records.end(), list->records.begin());
    list->movementCount = 3;
    auto timeline = std::make_unique<engine::Timeline>();
    engine::ComputeTimeline(*list, first, last, *timeline, nullptr);
    Expected expected;
    for (int row = 0; row <= last - first; ++row) {
        expected.rows.insert(expected.rows.end(), timeline->Row(row),
                             timeline->Row(row) + engine::kTimelineRowLength);
        for (int m = 0; m < 4; ++m) {
            const engine::SlotLimits& l = timeline->Limits(row);
            char line[128];
            std::snprintf(line, sizeof line, "limits %d %d %u %u %u %u\n", row, m + 1,
                          l.endSwitchInput[m], l.impulseInput[m], l.maxImpulses[m],
                          l.maxDuration[m]);
            expected.limits += line;
        }
    }
    return expected;
}

// The pattern line of `pulse`: the last line of its output.
std::string PatternOf(const std::string& out) {
    const std::size_t end = out.size() - 1;
    return out.substr(out.rfind('\n', end - 1) + 1, end - out.rfind('\n', end - 1) - 1);
}

TEST_F(CliTest, HelpForTheToolAndEveryCommand) {
    const std::string usage = RunOk({"--help"});
    for (const char* command : {"info", "pulse", "timeline", "new", "ports"}) {
        EXPECT_NE(usage.find(std::string("  ") + command + " "), std::string::npos) << command;
        const std::string help = RunOk({command, "--help"});
        EXPECT_EQ(help.rfind(std::string("Aufruf: kinemo-cli ") + command, 0), 0u) << help;
        EXPECT_EQ(RunOk({command, "x", "-h"}), help);
    }
    EXPECT_EQ(RunOk({"-h"}), usage);
    EXPECT_EQ(RunOk({"help"}), usage);
}

// The pattern and ratio kinemo-cli shows are the generator's, to the last
// tick and digit, also at the ends of the range.
TEST_F(CliTest, PulseShowsTheGeneratorsRatioAndPattern) {
    EXPECT_EQ(RunOk({"pulse", "25", "--ticks", "24"}),
              "Geschwindigkeit: 25.00 %\n"
              "PulseRatio: 2.00000 (2)\n"
              "Ticks: 24, davon an: 6\n"
              "001000100010001000100010\n");
    EXPECT_EQ(PatternOf(RunOk({"pulse", "25"})).size(), 40u);  // the default length
    for (const char* speed : {"0", "0.01", "12.34", "49.99", "50.01", "66.67", "99.5", "100"}) {
        const pulse::PulseRatio ratio = pulse::ComputePulseRatio(std::strtod(speed, nullptr));
        pulse::PulseAccumulator accumulator = 0;
        const std::uint32_t pattern = 1;
        std::string expected;
        for (int tick = 0; tick < 10000; ++tick) {
            expected += pulse::PulseStep(&ratio, &accumulator, &pattern, 1) != 0 ? '1' : '0';
        }
        const std::string out = RunOk({"pulse", speed, "--ticks=10000"});
        EXPECT_EQ(PatternOf(out), expected) << speed;
        char ratioLine[96];
        std::snprintf(ratioLine, sizeof ratioLine, "PulseRatio: %.5f (%.17g)\n", ratio, ratio);
        EXPECT_NE(out.find(ratioLine), std::string::npos) << out.substr(0, 200);
    }
    // 0.01 % is on once in 9999 ticks.
    const std::string low = PatternOf(RunOk({"pulse", "0.01", "--ticks", "10000"}));
    EXPECT_EQ(low.find('1'), 9998u);
    EXPECT_EQ(low.rfind('1'), 9998u);
}

TEST_F(CliTest, NewWritesTheOneMovementOfANewList) {
    const std::string path = File("neu.kmo");
    EXPECT_EQ(RunOk({"new", path}), "");
    // The header of a new list and the defaults of a new movement, byte for byte.
    const std::string hex =
        "4b4d4f330000074e657565204265776567756e67000000000000000063636363636363636464646464646464"
        "01010101000000000000000000000000000000000000007d0000007d0000007d0000007d0000000000000000"
        "000000000000000000000002000000040000000600000008000000010000000100000001000000010000007d"
        "0000007d0000007d0000007d0000000000000000000000000000000000000000000000000000000000000000"
        "00000001030507";
    Bytes expected;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        expected.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    EXPECT_EQ(ReadFileBytes(path), expected);

    // An existing file is replaced, and a relative name lands in the working folder.
    WriteFileBytes(path, Bytes(1000, 0xEE));
    EXPECT_EQ(RunOk({"new", "neu.kmo"}), "");
    EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST_F(CliTest, InfoShowsSettingsAndEveryMovement) {
    const std::string path = WriteExample(File("beispiel.kmo"));
    const std::string out = RunOk({"info", path});
    EXPECT_EQ(out.rfind("Datei: " + path +
                            "\n"
                            "Bewegungen: 3\n"
                            "Endlosschleife: an\n"
                            "Aus-Taster: an, Eingang E3\n"
                            "\n"
                            "Bewegung 0: \"Konstant\"\n"
                            "  M1: Links\n"
                            "    Geschwindigkeit: 25.00 % (25 + 0)\n"
                            "    Zielgeschwindigkeit: 100.00 % (99 + 100)\n"
                            "    Beschleunigung: aus, Beschl. dauer: 125 Ticks\n"
                            "    Endtaster: aus, Eingang E2\n"
                            "    Max. dauer: an, 125 Ticks\n"
                            "    Max. Impulse: aus, 0 Impulse an Eingang E1\n"
                            "  M2: Rechts\n",
                        0),
              0u)
        << out;
    EXPECT_NE(out.find("  M3: Aus\n    Geschwindigkeit: 0.00 % (0 + 0)\n"), std::string::npos);
    EXPECT_NE(out.find("  M4: Links\n    Geschwindigkeit: 37.25 % (37 + 25)\n"), std::string::npos);
    EXPECT_NE(out.find("Bewegung 1: \"Rampe\"\n  M1: Rechts\n"
                       "    Geschwindigkeit: 80.00 % (80 + 0)\n"
                       "    Zielgeschwindigkeit: 20.00 % (20 + 0)\n"
                       "    Beschleunigung: an, Beschl. dauer: 50 Ticks\n"),
              std::string::npos);
    EXPECT_NE(out.find("    Endtaster: an, Eingang E3\n"), std::string::npos);
    EXPECT_NE(out.find("    Max. Impulse: an, 4294967295 Impulse an Eingang E5\n"),
              std::string::npos);
    EXPECT_NE(out.find("    Endtaster: an, Eingang keiner\n"), std::string::npos);
}

TEST_F(CliTest, InfoEscapesNamesAndReportsWhatWasNotLoaded) {
    std::vector<engine::MovementRecord> records(300);
    engine::MovementList list;
    engine::ResetMovement(list, 0);
    std::fill(records.begin(), records.end(), list.records[0]);
    engine::SetRecordName(records[0], "a\"b\\c\td");
    records[0].direction[0] = 7;
    records[0].impulseInput[0] = 9;
    Bytes bytes = engine::SerializeProgram({0, 0, 0}, records);
    bytes.resize(bytes.size() + 100, 0);  // and a partial record at the end
    const std::string path = File("gross.kmo");
    WriteFileBytes(path, bytes);
    const std::string out = RunOk({"info", path});
    EXPECT_NE(out.find("Bewegungen: 255\n"
                       "Nicht geladen: 45 weitere Bewegungen (höchstens 255)\n"
                       "Nicht geladen: unvollständige Bewegung am Dateiende\n"
                       "Endlosschleife: aus\n"
                       "Aus-Taster: aus, Eingang E1\n"),
              std::string::npos)
        << out.substr(0, 300);
    EXPECT_NE(out.find("Bewegung 0: \"a\\x22b\\x5Cc\\x09d\"\n  M1: ungültig (7)\n"),
              std::string::npos);
    EXPECT_NE(out.find("Impulse an Eingang ungültig (9)\n"), std::string::npos);
    EXPECT_NE(out.find("Bewegung 254: "), std::string::npos);
    EXPECT_EQ(out.find("Bewegung 255: "), std::string::npos);
}

// Rows and limits as the engine computes them in process; the longest
// duration is shown when more than one movement is computed.
TEST_F(CliTest, TimelineWritesTheEnginesRowsAndLimits) {
    const std::string path = WriteExample(File("beispiel.kmo"));
    const std::string rows = File("zeilen.bin");
    struct Case {
        std::vector<std::string> range;
        int first, last;
    };
    for (const Case& c : {Case{{}, 0, 2}, Case{{"--first", "1", "--last=2"}, 1, 2},
                          Case{{"--first", "2"}, 2, 2}, Case{{"--last", "0"}, 0, 0}}) {
        std::vector<std::string> args{"timeline", path, "--out", rows};
        args.insert(args.end(), c.range.begin(), c.range.end());
        const Expected expected = ComputeInProcess(c.first, c.last);
        EXPECT_EQ(RunOk(args), (c.first < c.last ? "Höchstdauer: 50\n" : "") + expected.limits);
        EXPECT_EQ(ReadFileBytes(rows), expected.rows) << c.first << ".." << c.last;
    }
    // Last before first computes nothing and leaves an empty file.
    EXPECT_EQ(RunOk({"timeline", path, "--first", "2", "--last", "1", "--out", rows}), "");
    EXPECT_EQ(ReadFileBytes(rows).size(), 0u);
}

TEST_F(CliTest, TimelineReachesTheLastOf255Movements) {
    engine::MovementList list;
    engine::ResetMovement(list, 0);
    std::vector<engine::MovementRecord> records(255, list.records[0]);
    records[254].direction[0] = engine::kDirectionLeft;
    records[254].speed[0] = 50;
    records[254].fineSpeed[0] = 0;
    records[254].maxDuration[3] = 999;
    const std::string path = File("voll.kmo");
    ASSERT_EQ(engine::WriteProgramFile(path, {}, records), engine::ProgramFileStatus::kOk);
    const std::string rows = File("zeilen.bin");
    EXPECT_EQ(RunOk({"timeline", path, "--first", "254", "--out", rows}),
              "limits 0 1 0 0 0 125\nlimits 0 2 0 0 0 125\nlimits 0 3 0 0 0 125\n"
              "limits 0 4 0 0 0 999\n");
    const Bytes row = ReadFileBytes(rows);
    ASSERT_EQ(row.size(), 65536u);
    EXPECT_EQ(std::count(row.begin(), row.end(), 1), 32768);  // 50 %: every second tick of 65535
    EXPECT_EQ(row[0], 1);
    EXPECT_EQ(row[65535], 0);
    ExpectRefused({"timeline", path, "--last", "255", "--out", rows},
                  "--last muss zwischen 0 und 254 liegen: \"255\"");
}

TEST_F(CliTest, BadInputGivesOneLineAndExitCodeTwo) {
    const std::string good = WriteExample(File("gut.kmo"));
    const std::string rows = File("zeilen.bin");
    WriteFileBytes(File("text.kmo"), Bytes{'H', 'a', 'l', 'l', 'o', '\n'});
    Bytes version = ReadFileBytes(good);
    version[3] = '2';
    WriteFileBytes(File("version.kmo"), version);
    WriteFileBytes(File("kurz.kmo"), Bytes{'K', 'M', 'O', '3', 0, 0, 7, 1, 2});
    const std::string folder = folder_.Path();

    ExpectRefused({}, "Befehl fehlt (kinemo-cli --help zeigt die Befehle)");
    ExpectRefused({"tanz"}, "Unbekannter Befehl \"tanz\" (kinemo-cli --help zeigt die Befehle)");
    ExpectRefused({"info"}, "Argument DATEI.kmo fehlt");
    ExpectRefused({"info", good, good}, "Überzähliges Argument \"" + good + "\"");
    ExpectRefused({"info", File("fehlt.kmo")},
                  File("fehlt.kmo") + ": Datei kann nicht geöffnet werden");
    ExpectRefused({"info", folder}, folder + ": Datei kann nicht geöffnet werden");
    ExpectRefused({"info", File("text.kmo")}, File("text.kmo") + ": Ungültige Datei");
    ExpectRefused({"info", File("version.kmo")}, File("version.kmo") + ": Falsche Kinemo-Version");
    ExpectRefused({"info", File("kurz.kmo")},
                  File("kurz.kmo") + ": Die Datei enthält keine vollständige Bewegung");
    ExpectRefused({"info", good, "--all"}, "Unbekannte Option \"--all\"");

    ExpectRefused({"pulse"}, "Argument GESCHWINDIGKEIT fehlt");
    ExpectRefused({"pulse", "100.01"},
                  "Geschwindigkeit muss zwischen 0 und 100 liegen: \"100.01\"");
    ExpectRefused({"pulse", "-1"}, "Geschwindigkeit muss zwischen 0 und 100 liegen: \"-1\"");
    ExpectRefused({"pulse", "nan"}, "Geschwindigkeit muss zwischen 0 und 100 liegen: \"nan\"");
    ExpectRefused({"pulse", "schnell"}, "Geschwindigkeit ist keine Zahl: \"schnell\"");
    ExpectRefused({"pulse", "25%"}, "Geschwindigkeit ist keine Zahl: \"25%\"");
    ExpectRefused({"pulse", "1e1"}, "Geschwindigkeit ist keine Zahl: \"1e1\"");
    ExpectRefused({"pulse", ""}, "Geschwindigkeit ist keine Zahl: \"\"");
    ExpectRefused({"pulse", "25", "--ticks"}, "Option --ticks braucht einen Wert");
    ExpectRefused({"pulse", "25", "--ticks", "0"},
                  "Tickzahl muss zwischen 1 und 10000000 liegen: \"0\"");
    ExpectRefused({"pulse", "25", "--ticks", "99999999999999999999"},
                  "Tickzahl muss zwischen 1 und 10000000 liegen: \"99999999999999999999\"");
    ExpectRefused({"pulse", "25", "--ticks", "3.5"}, "Tickzahl ist keine ganze Zahl: \"3.5\"");
    ExpectRefused({"pulse", "25", "--ticks", "4", "--ticks", "5"},
                  "Option --ticks ist doppelt angegeben");
    ExpectRefused({"pulse", "25", "--tick", "4"}, "Unbekannte Option \"--tick\"");

    ExpectRefused({"timeline", good}, "Option --out ZEILEN.bin fehlt");
    ExpectRefused({"timeline", good, "--out", rows, "--first", "3"},
                  "--first muss zwischen 0 und 2 liegen: \"3\"");
    ExpectRefused({"timeline", good, "--out", rows, "--last", "-1"},
                  "--last muss zwischen 0 und 2 liegen: \"-1\"");
    ExpectRefused({"timeline", good, "--out", rows, "--last", "zwei"},
                  "--last ist keine ganze Zahl: \"zwei\"");
    ExpectRefused({"timeline", File("version.kmo"), "--out", rows},
                  File("version.kmo") + ": Falsche Kinemo-Version");
    ExpectRefused({"timeline", good, "--out", File("fehlt/zeilen.bin")},
                  File("fehlt/zeilen.bin") + ": Datei kann nicht angelegt werden");
    EXPECT_FALSE(std::filesystem::exists(rows));  // no refused command wrote it

    ExpectRefused({"new"}, "Argument DATEI.kmo fehlt");
    ExpectRefused({"new", File("fehlt/neu.kmo")},
                  File("fehlt/neu.kmo") + ": Datei kann nicht angelegt werden");
    ExpectRefused({"new", folder}, folder + ": Datei kann nicht angelegt werden");
    ExpectRefused({"new", good, "--force"}, "Unbekannte Option \"--force\"");
    ExpectRefused({"ports", "COM1"}, "Überzähliges Argument \"COM1\"");
    ExpectRefused({"ports", "--all"}, "Unbekannte Option \"--all\"");
    EXPECT_EQ(engine::SerializeProgram({1, 1, 2}, ExampleRecords()), ReadFileBytes(good));
}

}  // namespace
}  // namespace kinemo::cli::test
