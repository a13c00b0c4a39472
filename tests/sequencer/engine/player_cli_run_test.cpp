// The whole headless path: kinemo-cli run against the simulated box program,
// checked on the box's exchange trace.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "sequencer/engine/player.h"
#include "sequencer/engine/program_file.h"
#include "sequencer/engine/timeline.h"
#include "simulator/box_model.h"
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
    std::string line;
    std::getline(text, line);  // header
    while (std::getline(text, line)) {
        std::vector<std::string> fields;
        std::stringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) {
            fields.push_back(cell);
        }
        if (fields.size() >= 6 && fields[2] == "C1") {
            lines.push_back({static_cast<std::uint32_t>(std::stoul(fields[3], nullptr, 16)),
                             static_cast<std::uint32_t>(std::stoul(fields[5], nullptr, 16))});
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
    for (std::size_t i = 0; i < contents.records.size(); ++i) {
        list->records[i] = contents.records[i];
    }
    list->movementCount = static_cast<std::uint8_t>(contents.records.size());
    auto timeline = std::make_unique<Timeline>();
    const int first = movement < 0 ? 0 : movement;
    ComputeTimeline(*list, first, movement < 0 ? list->movementCount - 1 : movement, *timeline,
                    nullptr);
    RunSettings settings;
    StoreRunSettings(settings, contents.settings);
    StopFlag stop{0};
    ModelLink link;
    link.Exchange(0);  // the driver's test exchange when it opens the port
    PlayerContext context{&link, timeline.get(), &settings, &stop, nullptr};
    if (movement < 0) {
        PlayRun(context, list->movementCount);
    } else {
        PlayRun(context, 1, false);
    }
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

// Testing one movement (--movement) plays it alone and once, numbered 0.
TEST_F(CliRunTest, EveryExampleReachesTheBoxWordForWordWithItsLimitsApplied) {
    std::map<std::string, std::array<int, 8>> onTicks;
    for (const auto& [name, movement, out] :
         {std::tuple{"ramp.kmo", -1, "Höchstdauer: 500\nHöchstdauer: 300\n\nBewegung 0: M1"},
          {"impulse_limit.kmo", -1, ""},
          {"end_switch.kmo", -1, ""},
          {"endless_loop.kmo", -1, ""},
          {"impulse_limit.kmo", 1, "\nBewegung 0: M1: 0 Impulse, M2: 10 impulse\n"}}) {
        const std::string key = std::string(name) + std::to_string(movement);
        SCOPED_TRACE(key);
        std::vector<std::string> args = {"run", Example(name), "--port", "COM1"};
        if (movement >= 0) {
            args.insert(args.end(), {"--movement", std::to_string(movement)});
        }
        const auto run = RunOnBox(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<TraceLine> trace = ReadTrace(Trace());
        EXPECT_EQ(trace, ExpectedExchanges(Example(name), movement));
        onTicks[key] = {};
        for (const TraceLine& line : trace) {
            for (int motor = 0; motor < 4; ++motor) {
                const std::uint32_t state = (line.out >> (2 * motor)) & 3U;
                if (state != 0) {
                    ++onTicks[key][2 * motor + state - 1];
                }
            }
        }
        EXPECT_NE(run.err.find("Berechnen...\nAusführen...\nFertig\n"), std::string::npos)
            << run.err;
        EXPECT_NE(run.out.find(out), std::string::npos) << run.out;
    }
    // On-ticks per motor and direction (M1 left, M1 right, M2 left, ...) as the
    // limits allow them on the simulated carriages.
    EXPECT_EQ(onTicks["impulse_limit.kmo-1"][3], 160);  // 20 impulses of 8 steps
    EXPECT_EQ(onTicks["impulse_limit.kmo-1"][2], 80);   // 10 impulses
    EXPECT_EQ(onTicks["impulse_limit.kmo1"][2], 80);    // the same movement alone
    EXPECT_EQ(onTicks["end_switch.kmo-1"][4], 1000);    // from the middle to the end switch
    EXPECT_EQ(onTicks["endless_loop.kmo-1"][6], 8 * 299 + 200);  // until E8 closes
    EXPECT_EQ(onTicks["endless_loop.kmo-1"][7], 8 * 199);
}

TEST_F(CliRunTest, TheCommittedExamplesAreWhatTheGeneratorWrites) {
    const auto make =
        cli::test::RunProcess({KINEMO_MAKE_EXAMPLES_PATH, folder_.Path()}, folder_.Path());
    ASSERT_EQ(make.exitCode, 0) << make.err;
    for (const char* name :
         {"ramp.kmo", "impulse_limit.kmo", "end_switch.kmo", "endless_loop.kmo"}) {
        const std::string made = ReadFileText(folder_.File(name));
        EXPECT_EQ(made.size(), kProgramHeaderSize + 2 * kMovementRecordSize) << name;
        EXPECT_EQ(made, ReadFileText(Example(name))) << name;
    }
}

TEST_F(CliRunTest, InterruptTerminateAndHangupStopTheRunWithAllMotorsOff) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        auto box = std::make_unique<ChildProcess>(
            std::vector<std::string>{KINEMO_SIM_PATH, "--fast", "--headless", "--trace", Trace()},
            folder_.Path());
        const std::string device = box->WaitForLine(0);
        ASSERT_FALSE(device.empty());
        ChildProcess cli({KINEMO_CLI_PATH, "run", Example("ramp.kmo"), "--port", "COM1", "--loop"},
                         folder_.Path(), {{"KINEMO_PORT_COM1", device}});
        ASSERT_TRUE(cli.WaitForText("Ausführen...\n", true));
        ASSERT_TRUE(cli.WaitForText("Bewegung 1:"));  // well into the run
        cli.Signal(signal);
        const auto ended = cli.Wait();
        ASSERT_EQ(ended.exitCode, 0) << ended.err;
        EXPECT_EQ(ended.err, "Berechnen...\nAusführen...\nAbgebrochen\nFertig\n");
        box->Signal(SIGTERM);
        ASSERT_EQ(box->Wait().exitCode, 0);
        const std::vector<TraceLine> trace = ReadTrace(Trace());
        ASSERT_GE(trace.size(), 3U);
        EXPECT_EQ(trace[trace.size() - 1].out, 0U);
        EXPECT_EQ(trace[trace.size() - 2].out, 0U);
    }
}

TEST_F(CliRunTest, AFailedConnectionAndBadArgumentsAreReported) {
    const auto noBox =
        cli::test::RunCliProcess({"run", Example("ramp.kmo"), "--port", "COM1"}, folder_.Path(),
                                 {{"KINEMO_PORT_COM1", folder_.File("missing")}});
    EXPECT_EQ(noBox.exitCode, 1);
    EXPECT_EQ(noBox.err, "Keine Verbindung zum Interface!\n");
    EXPECT_EQ(noBox.out, "");

    const std::vector<std::vector<std::string>> bad = {
        {"run", Example("ramp.kmo")},
        {"run", "--port", "COM1"},
        {"run", Example("ramp.kmo"), "--port", "COM1", "--loop", "--no-loop"},
        {"run", Example("ramp.kmo"), "--port", "COM1", "--movement", "2"},
        {"run", Example("ramp.kmo"), "--port", "COM1", "--movement", "x"},
        {"run", Example("ramp.kmo"), "--port", "COM1", "--movement", "0", "--loop"},
        {"run", folder_.File("none.kmo"), "--port", "COM1"},
    };
    for (const std::vector<std::string>& args : bad) {
        const auto refused = cli::test::RunCliProcess(args, folder_.Path());
        EXPECT_EQ(refused.exitCode, 2) << args.back();
        EXPECT_EQ(refused.err.rfind("kinemo-cli: ", 0), 0U) << refused.err;
        EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    }
}

}  // namespace
}  // namespace kinemo::engine
