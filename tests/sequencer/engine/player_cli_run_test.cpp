// The whole headless path: kinemo-cli run against the simulated box program,
// checked on the box's exchange trace.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "sequencer/engine/player.h"
#include "sequencer/engine/program_file.h"
#include "sequencer/engine/run_control.h"
#include "simulator/box_model.h"
#include "simulator/simulated_box.h"
#include "tests/sequencer/engine/player_test_support.h"
#include "tests/tools/cli_process.h"

namespace kinemo::engine {
namespace {

using namespace cli::test;

using TraceLine = std::pair<std::uint32_t, std::uint32_t>;  // output word, input word

// The 0xC1 exchanges of a trace: tick,us,cmd,out1,out2,in1,in2.
std::vector<TraceLine> ReadTrace(const std::string& path) {
    std::vector<TraceLine> lines;
    std::istringstream text(ReadFileText(path));
    TraceLine line;
    for (std::string row; std::getline(text, row);) {
        if (std::sscanf(row.c_str(), "%*[^,],%*[^,],C1,%x,,%x", &line.first, &line.second) == 2) {
            lines.push_back(line);
        }
    }
    return lines;
}

// Plays a program file against the simulator's own carriage model in memory:
// the exchanges the box must see from a run of that file.
class ModelLink : public InterfaceLink {
  public:
    std::uint32_t Exchange(std::uint32_t output) override {
        const std::uint32_t input = model.Apply(static_cast<std::uint16_t>(output)) & 0xFFU;
        lines.push_back({output, input});
        return input;
    }
    simulator::BoxModel model;
    std::vector<TraceLine> lines;
};

// `movement` -1 plays the list as the file says, otherwise that movement once.
std::vector<TraceLine> ExpectedExchanges(const std::string& programPath, int movement) {
    ProgramContents contents;
    EXPECT_EQ(ReadProgramFile(programPath, contents), ProgramFileStatus::kOk);
    ModelLink link;
    link.Exchange(0);  // the driver's test exchange when it opens the port
    testing::CountingListener listener;
    RunControl control(link, listener, nullptr);
    std::copy(contents.records.begin(), contents.records.end(),
              control.Movements().records.begin());
    control.Movements().movementCount = static_cast<std::uint8_t>(contents.records.size());
    StoreRunSettings(control.Settings(), contents.settings);
    EXPECT_TRUE(movement < 0 ? control.RunList() : control.TestMovement(movement));
    EXPECT_TRUE(control.WaitUntilIdle(testing::kGenerousWaitMs));
    return link.lines;
}

class CliRunTest : public ::testing::Test {
  protected:
    static std::string Example(const std::string& name) {
        return std::string(KINEMO_EXAMPLES_DIR) + "/" + name;
    }

    TempFolder folder_;
};

// The committed examples are what the generator writes. A list, an endless
// loop ended by its off switch and one movement tested (--movement: alone and
// once, numbered 0) reach the box word for word, with its answers as its
// carriage model gives them.
TEST_F(CliRunTest, EveryExampleIsWhatTheGeneratorWritesAndReachesTheBoxWordForWord) {
    const auto make = RunProcess({KINEMO_MAKE_EXAMPLES_PATH, folder_.Path()}, folder_.Path());
    ASSERT_EQ(make.exitCode, 0) << make.err;
    for (const char* name :
         {"ramp.kmo", "impulse_limit.kmo", "end_switch.kmo", "endless_loop.kmo"}) {
        EXPECT_EQ(ReadFileText(folder_.File(name)), ReadFileText(Example(name))) << name;
    }
    for (const auto& [name, movement, out] :
         {std::tuple{"ramp.kmo", -1, "Höchstdauer: 500\nHöchstdauer: 300\n\nBewegung 0: M1"},
          {"endless_loop.kmo", -1, ""},
          {"impulse_limit.kmo", 1, "\nBewegung 0: M1: 0 Impulse, M2: 10 impulse\n"}}) {
        SCOPED_TRACE(std::string(name) + std::to_string(movement));
        // kinemo-cli on a fresh simulated box that traces every exchange.
        const std::string trace = folder_.File("trace.csv");
        std::vector<std::string> argv{KINEMO_SIM_PATH, "--fast",   "--headless",    "--trace",
                                      trace,           "--launch", KINEMO_CLI_PATH, "run",
                                      Example(name),   "--port",   "COM1"};
        if (movement >= 0) {
            argv.insert(argv.end(), {"--movement", std::to_string(movement)});
        }
        const auto run = RunProcess(argv, folder_.Path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadTrace(trace), ExpectedExchanges(Example(name), movement));
        EXPECT_NE(run.err.find("Berechnen...\nAusführen...\nFertig\n"), std::string::npos)
            << run.err;
        EXPECT_NE(run.out.find(out), std::string::npos) << run.out;
    }
}

// A signal stops the run with all motors off; a lost line ends it with the
// text and exit code 1, never "Fertig". The program file stays as it was.
TEST_F(CliRunTest, SignalsStopTheRunAndALostLineEndsItWithExitCodeOne) {
    const std::string program = folder_.File("loop.kmo");
    const std::vector<std::uint8_t> original = ReadFileBytes(Example("ramp.kmo"));
    WriteFileBytes(program, original);
    const char* const stopped = "Berechnen...\nAusführen...\nAbgebrochen\nFertig\n";
    for (const auto& [signal, exitCode, err] :
         {std::tuple{SIGINT, 0, stopped},
          {SIGTERM, 0, stopped},
          {SIGHUP, 0, stopped},
          {0, 1, "Berechnen...\nAusführen...\nVerbindung zum Interface verloren\n"}}) {
        SCOPED_TRACE(signal);
        simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
        ASSERT_FALSE(box.Start().empty());
        ChildProcess cli({KINEMO_CLI_PATH, "run", program, "--port", "COM1", "--loop"},
                         folder_.Path(), {{"KINEMO_PORT_COM1", box.devicePath()}});
        ASSERT_TRUE(cli.WaitForText("Bewegung 1:"));  // well into the run
        signal != 0 ? cli.Signal(signal) : box.CloseLine();
        const ProcessResult result = cli.Wait();
        EXPECT_EQ(std::tie(result.exitCode, result.err), std::tuple(exitCode, err));
        EXPECT_TRUE(signal == 0 || box.Snapshot().outputs == 0);  // the last word: all off
    }
    EXPECT_EQ(ReadFileBytes(program), original);
}

TEST_F(CliRunTest, AFailedConnectionAndBadArgumentsAreReported) {
    const std::string ramp = Example("ramp.kmo"), none = folder_.File("none.kmo");
    EXPECT_EQ(RunCliProcess({"run", ramp, "--port", "COM1"}, folder_.Path(),
                            {{"KINEMO_PORT_COM1", folder_.File("missing")}}),
              (ProcessResult{1, 0, "", "Keine Verbindung zum Interface!\n"}));
    using Args = std::vector<std::string>;
    for (const auto& [args, text] : {
             std::pair<Args, std::string>{{"run", ramp}, "Option --port NAME fehlt"},
             {{"run", ramp, "--port", "COM1", "--loop", "--no-loop"},
              "--loop und --no-loop schließen einander aus"},
             {{"run", ramp, "--port", "COM1", "--movement", "2"},
              "--movement: die Datei hat nur 2 Bewegungen (von 0 an gezählt)"},
             {{"run", ramp, "--port", "COM1", "--movement", "0", "--loop"},
              "--loop passt nicht zu --movement (ein Test läuft einmal)"},
             {{"run", none, "--port", "COM1"}, none + ": Datei kann nicht geöffnet werden"},
         }) {
        EXPECT_EQ(RunCliProcess(args, folder_.Path()),
                  (ProcessResult{2, 0, "", "kinemo-cli: " + text + "\n"}));
    }
}

}  // namespace
}  // namespace kinemo::engine
