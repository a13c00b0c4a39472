// The whole headless path: kinemo-cli run against the simulated box program,
// checked on the box's exchange trace.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sequencer/engine/player.h"
#include "sequencer/engine/program_file.h"
#include "sequencer/engine/timeline.h"
#include "simulator/box_model.h"

extern char** environ;

namespace kinemo::engine {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kGenerousWait = std::chrono::seconds(60);

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A child process with its standard output and error in files.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::string& folder, const std::string& name,
          const std::vector<std::string>& extraEnvironment = {})
        : outPath_(folder + "/" + name + ".out"), errPath_(folder + "/" + name + ".err") {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (std::string(*entry).rfind("KINEMO_PORT_", 0) != 0) {
                environment.emplace_back(*entry);
            }
        }
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        std::vector<char*> env;
        for (const std::string& entry : environment) {
            env.push_back(const_cast<char*>(entry.c_str()));
        }
        env.push_back(nullptr);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const { kill(pid_, signal); }
    // The exit code, or -1 when the child did not exit normally in time.
    int Wait() {
        const auto deadline = Clock::now() + kGenerousWait;
        while (Clock::now() < deadline) {
            int status = 0;
            const pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    std::string Out() const { return ReadText(outPath_); }
    std::string Err() const { return ReadText(errPath_); }
    // Waits until standard error (or output) holds `text`.
    bool WaitForText(const std::string& text, bool inErr) const {
        const auto deadline = Clock::now() + kGenerousWait;
        while (Clock::now() < deadline) {
            if ((inErr ? Err() : Out()).find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

  private:
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
    bool exited_ = false;
};

struct TraceLine {
    std::uint32_t out = 0;
    std::uint32_t in = 0;
};

// The 0xC1 exchanges of a trace: tick,us,cmd,out1,out2,in1,in2.
std::vector<TraceLine> ReadTrace(const std::string& path) {
    std::vector<TraceLine> lines;
    std::istringstream text(ReadText(path));
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

std::vector<TraceLine> ExpectedExchanges(const std::string& programPath) {
    ProgramContents contents;
    EXPECT_EQ(ReadProgramFile(programPath, contents), ProgramFileStatus::kOk);
    auto list = std::make_unique<MovementList>();
    FillMovementsAtStartup(*list);
    for (std::size_t i = 0; i < contents.records.size(); ++i) {
        list->records[i] = contents.records[i];
    }
    list->movementCount = static_cast<std::uint8_t>(contents.records.size());
    auto timeline = std::make_unique<Timeline>();
    ComputeTimeline(*list, 0, list->movementCount - 1, *timeline, nullptr);
    RunSettings settings;
    StoreRunSettings(settings, contents.settings);
    StopFlag stop{0};
    ModelLink link;
    link.Exchange(0);  // the driver's test exchange when it opens the port
    PlayerContext context{&link, timeline.get(), &settings, &stop, nullptr};
    PlayRun(context, list->movementCount);
    link.Exchange(0);  // the end-of-run handler's all-off
    return link.lines;
}

class CliRunTest : public ::testing::Test {
  protected:
    CliRunTest() {
        char pattern[] = "/tmp/kinemo-cli-run-XXXXXX";
        folder_ = mkdtemp(pattern);
    }
    ~CliRunTest() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

    std::string Example(const std::string& name) const {
        return std::string(KINEMO_EXAMPLES_DIR) + "/" + name;
    }
    std::string Trace() const { return folder_ + "/trace.csv"; }

    // Starts the simulated box alone and returns its device path.
    std::string StartBox(std::unique_ptr<Child>& box) {
        box = std::make_unique<Child>(
            std::vector<std::string>{KINEMO_SIM_PATH, "--fast", "--headless", "--trace", Trace()},
            folder_, "sim");
        EXPECT_TRUE(box->Started());
        EXPECT_TRUE(box->WaitForText("\n", false));
        const std::string out = box->Out();
        return out.substr(0, out.find('\n'));
    }

    std::string folder_;
    std::map<std::string, std::array<int, 8>> onTicks_;
};

bool SameExchanges(const std::vector<TraceLine>& a, const std::vector<TraceLine>& b) {
    if (a.size() != b.size()) {
        ADD_FAILURE() << "exchanges: " << a.size() << " against " << b.size();
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].out != b[i].out || a[i].in != b[i].in) {
            ADD_FAILURE() << "exchange " << i << ": out " << a[i].out << " in " << a[i].in
                          << " against out " << b[i].out << " in " << b[i].in;
            return false;
        }
    }
    return true;
}

TEST_F(CliRunTest, EveryExampleReachesTheBoxWordForWordWithItsLimitsApplied) {
    for (const char* name :
         {"ramp.kmo", "impulse_limit.kmo", "end_switch.kmo", "endless_loop.kmo"}) {
        SCOPED_TRACE(name);
        Child sim({KINEMO_SIM_PATH, "--fast", "--headless", "--trace", Trace(), "--launch",
                   KINEMO_CLI_PATH, "run", Example(name), "--port", "COM1"},
                  folder_, "sim");
        ASSERT_TRUE(sim.Started());
        ASSERT_EQ(sim.Wait(), 0) << sim.Err();
        const std::vector<TraceLine> trace = ReadTrace(Trace());
        EXPECT_TRUE(SameExchanges(trace, ExpectedExchanges(Example(name))));
        onTicks_[name] = {0, 0, 0, 0, 0, 0, 0, 0};
        for (const TraceLine& line : trace) {
            for (int motor = 0; motor < 4; ++motor) {
                const std::uint32_t state = (line.out >> (2 * motor)) & 3U;
                if (state != 0) {
                    ++onTicks_[name][2 * motor + state - 1];
                }
            }
        }
        const std::string err = sim.Err();
        EXPECT_NE(err.find("Berechnen...\nAusführen...\nFertig\n"), std::string::npos) << err;
    }
    // On-ticks per motor and direction (M1 left, M1 right, M2 left, ...) as the
    // limits allow them on the simulated carriages.
    EXPECT_EQ(onTicks_["impulse_limit.kmo"][3], 160);           // 20 impulses of 8 steps
    EXPECT_EQ(onTicks_["impulse_limit.kmo"][2], 80);            // 10 impulses
    EXPECT_EQ(onTicks_["end_switch.kmo"][4], 1000);             // from the middle to the end switch
    EXPECT_EQ(onTicks_["endless_loop.kmo"][6], 8 * 299 + 200);  // until E8 closes
    EXPECT_EQ(onTicks_["endless_loop.kmo"][7], 8 * 199);
}

TEST_F(CliRunTest, TheCommittedExamplesAreWhatTheGeneratorWrites) {
    Child make({KINEMO_MAKE_EXAMPLES_PATH, folder_}, folder_, "make");
    ASSERT_EQ(make.Wait(), 0) << make.Err();
    for (const char* name :
         {"ramp.kmo", "impulse_limit.kmo", "end_switch.kmo", "endless_loop.kmo"}) {
        const std::string made = ReadText(folder_ + "/" + name);
        EXPECT_EQ(made.size(), kProgramHeaderSize + 2 * kMovementRecordSize) << name;
        EXPECT_EQ(made, ReadText(Example(name))) << name;
    }
}

TEST_F(CliRunTest, TheRampPrintsItsDiagnosticLines) {
    Child sim({KINEMO_SIM_PATH, "--fast", "--headless", "--launch", KINEMO_CLI_PATH, "run",
               Example("ramp.kmo"), "--port", "COM1"},
              folder_, "sim");
    ASSERT_EQ(sim.Wait(), 0);
    const std::string out = sim.Out();
    EXPECT_NE(out.find("Höchstdauer: 500\n"
                       "Höchstdauer: 300\n"
                       "\nBewegung 0: M1: 0 Impulse, M2: 0 impulse\n"
                       "Pulsecount[0]:0,  [1]:0,  [2]:0,  [3]:    0\n\n"
                       "\nBewegung 1: M1: 0 Impulse, M2: 0 impulse\n"
                       "Pulsecount[0]:0,  [1]:0,  [2]:0,  [3]:    0\n\n"),
              std::string::npos)
        << out;
}

TEST_F(CliRunTest, TestingOneMovementPlaysItAloneOnce) {
    Child sim(
        {KINEMO_SIM_PATH, "--fast", "--headless", "--trace", Trace(), "--launch", KINEMO_CLI_PATH,
         "run", Example("impulse_limit.kmo"), "--port", "COM1", "--movement", "1"},
        folder_, "sim");
    ASSERT_EQ(sim.Wait(), 0);
    const std::vector<TraceLine> trace = ReadTrace(Trace());
    // Open, start, 80 ticks left at full speed until 10 impulses, stop, end, handler.
    ASSERT_EQ(trace.size(), 1U + 1U + 80U + 1U + 1U + 1U);
    for (std::size_t i = 2; i < 82; ++i) {
        ASSERT_EQ(trace[i].out, 0x04U) << i;
    }
    EXPECT_EQ(trace[82].out, 0U);
    EXPECT_NE(sim.Out().find("\nBewegung 0: M1: 0 Impulse, M2: 10 impulse\n"
                             "Pulsecount[0]:0,  [1]:10,  [2]:0,  [3]:    0\n\n"),
              std::string::npos);
}

TEST_F(CliRunTest, InterruptAndTerminateStopTheRunWithAllMotorsOff) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        std::unique_ptr<Child> box;
        const std::string device = StartBox(box);
        Child cli({KINEMO_CLI_PATH, "run", Example("ramp.kmo"), "--port", "COM1", "--loop"},
                  folder_, "cli", {"KINEMO_PORT_COM1=" + device});
        ASSERT_TRUE(cli.WaitForText("Ausführen...\n", true));
        ASSERT_TRUE(cli.WaitForText("Bewegung 1:", false));  // well into the run
        cli.Signal(signal);
        ASSERT_EQ(cli.Wait(), 0) << cli.Err();
        EXPECT_EQ(cli.Err(), "Berechnen...\nAusführen...\nAbgebrochen\nFertig\n");
        box->Signal(SIGTERM);
        ASSERT_EQ(box->Wait(), 0);
        const std::vector<TraceLine> trace = ReadTrace(Trace());
        ASSERT_GE(trace.size(), 3U);
        EXPECT_EQ(trace[trace.size() - 1].out, 0U);
        EXPECT_EQ(trace[trace.size() - 2].out, 0U);
    }
}

TEST_F(CliRunTest, AFailedConnectionAndBadArgumentsAreReported) {
    Child noBox({KINEMO_CLI_PATH, "run", Example("ramp.kmo"), "--port", "COM1"}, folder_, "nobox",
                {"KINEMO_PORT_COM1=" + folder_ + "/missing"});
    EXPECT_EQ(noBox.Wait(), 1);
    EXPECT_EQ(noBox.Err(), "Keine Verbindung zum Interface!\n");
    EXPECT_EQ(noBox.Out(), "");

    const std::vector<std::vector<std::string>> bad = {
        {"run", Example("ramp.kmo")},
        {"run", "--port", "COM1"},
        {"run", Example("ramp.kmo"), "--port", "COM1", "--loop", "--no-loop"},
        {"run", Example("ramp.kmo"), "--port", "COM1", "--movement", "2"},
        {"run", Example("ramp.kmo"), "--port", "COM1", "--movement", "x"},
        {"run", Example("ramp.kmo"), "--port", "COM1", "--movement", "0", "--loop"},
        {"run", folder_ + "/none.kmo", "--port", "COM1"},
    };
    for (const std::vector<std::string>& args : bad) {
        std::vector<std::string> argv = {KINEMO_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        Child cli(argv, folder_, "bad");
        EXPECT_EQ(cli.Wait(), 2) << argv.back();
        const std::string err = cli.Err();
        EXPECT_EQ(err.rfind("kinemo-cli: ", 0), 0U) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

}  // namespace
}  // namespace kinemo::engine
