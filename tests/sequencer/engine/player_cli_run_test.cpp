// The whole headless path: kinemo-cli run against the simulated box program,
// checked on the box's exchange trace.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "sequencer/engine/player.h"
#include "sequencer/engine/program_file.h"
#include "sequencer/engine/timeline.h"
#include "simulator/box_model.h"
#include "simulator/simulated_box.h"
#include "tests/tools/cli_process.h"

namespace kinemo::engine {
namespace {

using cli::test::ChildProcess;
using cli::test::ReadFileText;

struct TraceLine {
    std::uint32_t out = 0;
    std::uint32_t in = 0;
    bool operator==(const TraceLine&) const = default;
};
void PrintTo(const TraceLine& line, std::ostream* os) {
    *os << line.out << "/" << line.in;
}

// The 0xC1 exchanges of a trace: tick,us,cmd,out1,out2,in1,in2.
std::vector<TraceLine> ReadTrace(const std::string& path) {
    std::vector<TraceLine> lines;
    std::istringstream text(ReadFileText(path));
    char command[8];
    TraceLine line;
    for (std::string row; std::getline(text, row);) {
        if (std::sscanf(row.c_str(), "%*[^,],%*[^,],%7[^,],%x,,%x", command, &line.out, &line.in) ==
                3 &&
            std::string(command) == "C1") {
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
    auto list = std::make_unique<MovementList>();
    FillMovementsAtStartup(*list);
    std::copy(contents.records.begin(), contents.records.end(), list->records.begin());
    list->movementCount = static_cast<std::uint8_t>(contents.records.size());
    auto timeline = std::make_unique<Timeline>();
    const int last = movement < 0 ? list->movementCount - 1 : movement;
    ComputeTimeline(*list, std::max(movement, 0), last, *timeline, nullptr);
    RunSettings settings;
    StoreRunSettings(settings, contents.settings);
    StopFlag stop{0};
    ModelLink link;
    link.Exchange(0);  // the driver's test exchange when it opens the port
    PlayerContext context{&link, timeline.get(), &settings, &stop, nullptr};
    PlayRun(context, movement < 0 ? list->movementCount : 1, movement < 0);
    link.Exchange(0);  // the end-of-run handler's all-off
    return link.lines;
}

class CliRunTest : public ::testing::Test {
  protected:
    static std::string Example(const std::string& name) {
        return std::string(KINEMO_EXAMPLES_DIR) + "/" + name;
    }
    std::string Trace() const { return folder_.File("trace.csv"); }
    // Runs kinemo-cli with `args` on a fresh simulated box, tracing it.
    cli::test::ProcessResult RunOnBox(std::vector<std::string> args) const {
        std::vector<std::string> argv{KINEMO_SIM_PATH, "--fast",   "--headless",   "--trace",
                                      Trace(),         "--launch", KINEMO_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        return cli::test::RunProcess(argv, folder_.Path());
    }

    cli::test::TempFolder folder_;
};

// Every example word for word and with the box's answers as its carriage
// model gives them; testing one movement (--movement) plays it alone and
// once, numbered 0.
TEST_F(CliRunTest, EveryExampleReachesTheBoxWordForWordWithItsLimitsApplied) {
    for (const auto& [name, movement, out] :
         {std::tuple{"ramp.kmo", -1, "Höchstdauer: 500\nHöchstdauer: 300\n\nBewegung 0: M1"},
          {"impulse_limit.kmo", -1, ""},
          {"end_switch.kmo", -1, ""},
          {"endless_loop.kmo", -1, ""},
          {"impulse_limit.kmo", 1, "\nBewegung 0: M1: 0 Impulse, M2: 10 impulse\n"}}) {
        SCOPED_TRACE(std::string(name) + std::to_string(movement));
        std::vector<std::string> args = {"run", Example(name), "--port", "COM1"};
        if (movement >= 0) {
            args.insert(args.end(), {"--movement", std::to_string(movement)});
        }
        const auto run = RunOnBox(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadTrace(Trace()), ExpectedExchanges(Example(name), movement));
        EXPECT_NE(run.err.find("Berechnen...\nAusführen...\nFertig\n"), std::string::npos)
            << run.err;
        EXPECT_NE(run.out.find(out), std::string::npos) << run.out;
    }
}

TEST_F(CliRunTest, TheCommittedExamplesAreWhatTheGeneratorWrites) {
    const auto make =
        cli::test::RunProcess({KINEMO_MAKE_EXAMPLES_PATH, folder_.Path()}, folder_.Path());
    ASSERT_EQ(make.exitCode, 0) << make.err;
    for (const char* name :
         {"ramp.kmo", "impulse_limit.kmo", "end_switch.kmo", "endless_loop.kmo"}) {
        EXPECT_EQ(ReadFileText(folder_.File(name)), ReadFileText(Example(name))) << name;
    }
}

TEST_F(CliRunTest, InterruptTerminateAndHangupStopTheRunWithAllMotorsOff) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        ChildProcess box({KINEMO_SIM_PATH, "--fast", "--headless", "--trace", Trace()},
                         folder_.Path());
        const std::string device = box.WaitForLine(0);
        ASSERT_FALSE(device.empty());
        ChildProcess cli({KINEMO_CLI_PATH, "run", Example("ramp.kmo"), "--port", "COM1", "--loop"},
                         folder_.Path(), {{"KINEMO_PORT_COM1", device}});
        ASSERT_TRUE(cli.WaitForText("Ausführen...\n", true));
        ASSERT_TRUE(cli.WaitForText("Bewegung 1:"));  // well into the run
        cli.Signal(signal);
        const auto ended = cli.Wait();
        ASSERT_EQ(ended.exitCode, 0) << ended.err;
        EXPECT_EQ(ended.err, "Berechnen...\nAusführen...\nAbgebrochen\nFertig\n");
        box.Signal(SIGTERM);
        ASSERT_EQ(box.Wait().exitCode, 0);
        const std::vector<TraceLine> trace = ReadTrace(Trace());
        ASSERT_GE(trace.size(), 3U);
        EXPECT_EQ(trace.end()[-1].out + trace.end()[-2].out, 0U);
    }
}

// A lost line ends the run with the text and exit code 1, never "Fertig",
// and leaves the program file as it was.
TEST_F(CliRunTest, AHangupOfTheLineEndsTheRunWithTheTextAndExitCodeOne) {
    simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
    ASSERT_FALSE(box.Start().empty());
    const std::string program = folder_.File("loop.kmo");
    const std::vector<std::uint8_t> original =
        cli::test::ReadFileBytes(Example("endless_loop.kmo"));
    cli::test::WriteFileBytes(program, original);
    ChildProcess cli({KINEMO_CLI_PATH, "run", program, "--port", "COM1", "--loop"}, folder_.Path(),
                     {{"KINEMO_PORT_COM1", box.devicePath()}});
    ASSERT_TRUE(box.WaitForTicks(20, std::chrono::seconds(20)));
    box.CloseLine();
    const cli::test::ProcessResult result = cli.Wait();
    EXPECT_EQ(std::tie(result.exitCode, result.err),
              std::tuple(1, "Berechnen...\nAusführen...\nVerbindung zum Interface verloren\n"));
    EXPECT_EQ(cli::test::ReadFileBytes(program), original);
}

TEST_F(CliRunTest, AFailedConnectionAndBadArgumentsAreReported) {
    using cli::test::ProcessResult;
    const std::string ramp = Example("ramp.kmo"), none = folder_.File("none.kmo");
    EXPECT_EQ(cli::test::RunCliProcess({"run", ramp, "--port", "COM1"}, folder_.Path(),
                                       {{"KINEMO_PORT_COM1", folder_.File("missing")}}),
              (ProcessResult{1, 0, "", "Keine Verbindung zum Interface!\n"}));
    using Args = std::vector<std::string>;
    for (const auto& [args, text] : {
             std::pair<Args, std::string>{{"run", ramp}, "Option --port NAME fehlt"},
             {{"run", "--port", "COM1"}, "Argument DATEI.kmo fehlt"},
             {{"run", ramp, "--port", "COM1", "--loop", "--no-loop"},
              "--loop und --no-loop schließen einander aus"},
             {{"run", ramp, "--port", "COM1", "--movement", "2"},
              "--movement: die Datei hat nur 2 Bewegungen (von 0 an gezählt)"},
             {{"run", ramp, "--port", "COM1", "--movement", "x"},
              "--movement ist keine ganze Zahl: \"x\""},
             {{"run", ramp, "--port", "COM1", "--movement", "0", "--loop"},
              "--loop passt nicht zu --movement (ein Test läuft einmal)"},
             {{"run", none, "--port", "COM1"}, none + ": Datei kann nicht geöffnet werden"},
         }) {
        EXPECT_EQ(cli::test::RunCliProcess(args, folder_.Path()),
                  (ProcessResult{2, 0, "", "kinemo-cli: " + text + "\n"}));
    }
}

}  // namespace
}  // namespace kinemo::engine
