// The sequencer program as a process: how it ends and what the box sees.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "simulator/simulated_box.h"

extern char** environ;

namespace {

// Runs the probe program with `action` and the box on COM1; returns its exit
// status as waitpid reports it (-1 if it could not start or did not end
// within a generous limit, after which it is killed).
int RunProbe(const std::string& action, const std::string& boxDevice = "/nonexistent") {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("KINEMO_PORT_COM1=", 0) != 0 &&
            entry.rfind("KINEMO_PROBE_ACTION=", 0) != 0) {
            env.push_back(entry);
        }
    }
    env.push_back("KINEMO_PROBE_ACTION=" + action);
    env.push_back("KINEMO_PORT_COM1=" + boxDevice);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (std::string& entry : env) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string program = KINEMO_SHELL_PROBE;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status;
}

TEST(SequencerProgram, CancelInConnectDialogEndsWithExitCodeZero) {
    const int status = RunProbe("cancel");
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SequencerProgram, EscapeInMainWindowEndsWithExitCodeZero) {
    const int status = RunProbe("escape-main");
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Ending the program in the middle of a run, by "Ende" or by a signal,
// leaves every motor off: the last word on the wire is 0.
TEST(SequencerProgram, EndingDuringARunSwitchesTheMotorsOff) {
    for (const char* action : {"end-run", "signal-run"}) {
        SCOPED_TRACE(action);
        kinemo::simulator::SimulatedBox box;
        const std::string device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
        const int status = RunProbe(action, device);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);
        const kinemo::simulator::BoxSnapshot last = box.Snapshot();
        EXPECT_GT(last.motors[0].onTicks, 0U);  // M1 did turn
        EXPECT_EQ(last.outputs, 0U);            // and everything is off at the end
        box.Stop();
    }
}

}  // namespace
