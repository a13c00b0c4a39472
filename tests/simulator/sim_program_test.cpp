// The kinemo-sim program as users start it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial_port.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

// kinemo-sim started with a pipe on its standard output.
class SimProcess {
  public:
    explicit SimProcess(std::vector<std::string> args) {
        args.insert(args.begin(), KINEMO_SIM_PROGRAM);
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
    }
    ~SimProcess() {
        if (pid_ > 0 && !ended_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) {
            ::close(out_);
        }
    }

    bool started() const { return pid_ > 0; }

    // Next line of its standard output (without the newline); empty on EOF.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        while (true) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 30'000) <= 0 || ::read(out_, &c, 1) != 1 || c == '\n') {
                return line;
            }
            line.push_back(c);
        }
    }

    void Signal(int signal) { ::kill(pid_, signal); }

    // Its exit code, -1 if it has not ended within the timeout.
    int Wait(std::chrono::seconds timeout = 30s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool ended_ = false;
};

TEST(SimProgram, LaunchesAProgramOnTheBoxAndEndsWithItsExitCode) {
    SimProcess sim({"--headless", "--fast", "--launch", KINEMO_SIM_PROBE});
    ASSERT_TRUE(sim.started());
    const std::string device = sim.ReadLine();
    EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    // The probe found the box through KINEMO_PORT_COM1 and prints the device.
    EXPECT_EQ(sim.ReadLine(), device);
    EXPECT_EQ(sim.Wait(), 41);
}

TEST(SimProgram, PassesOnAFailingExitCodeAndAMissingProgram) {
    SimProcess failing({"--headless", "--launch", "sh", "-c", "exit 7"});
    ASSERT_TRUE(failing.started());
    EXPECT_EQ(failing.Wait(), 7);
    SimProcess missing({"--headless", "--launch", "/nonexistent/program"});
    ASSERT_TRUE(missing.started());
    EXPECT_EQ(missing.Wait(), 127);
}

TEST(SimProgram, LinkPointsAtTheDeviceAndGoesAwayOnSigterm) {
    const std::string link = ::testing::TempDir() + "/kinemo-sim-link";
    ::unlink(link.c_str());
    SimProcess sim({"--headless", "--fast", "--link", link});
    ASSERT_TRUE(sim.started());
    const std::string device = sim.ReadLine();
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof(target) - 1), 0);
    EXPECT_EQ(std::string(target), device);

    kinemo::platform::SerialPort port;
    ASSERT_TRUE(port.Open(link.c_str()));
    ASSERT_TRUE(port.SetTimeouts(kinemo::platform::SerialTimeouts{}));
    const std::uint8_t request[2] = {0xC1, 0x00};
    std::uint8_t answer = 0xFF;
    EXPECT_EQ(port.Exchange(request, 2, &answer, 1), 1u);
    EXPECT_EQ(answer, 0x00);

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
    struct stat info {};
    EXPECT_NE(::lstat(link.c_str(), &info), 0);
}

TEST(SimProgram, HangupEndsALaunchedProgramAndPassesOnItsEnd) {
    const std::string link = ::testing::TempDir() + "/kinemo-sim-hangup-link";
    SimProcess sim({"--headless", "--link", link, "--launch", "sleep", "60"});
    ASSERT_TRUE(sim.started());
    ASSERT_FALSE(sim.ReadLine().empty());
    sim.Signal(SIGHUP);
    EXPECT_EQ(sim.Wait(), 128 + SIGTERM);  // sleep ended by the passed-on SIGTERM
    struct stat info {};
    EXPECT_NE(::lstat(link.c_str(), &info), 0);
}

TEST(SimProgram, RefusesToReplaceAFileWithItsLink) {
    const std::string path = ::testing::TempDir() + "/kinemo-sim-not-a-link";
    std::ofstream(path) << "keep me";
    SimProcess sim({"--headless", "--link", path});
    ASSERT_TRUE(sim.started());
    EXPECT_EQ(sim.Wait(), 1);
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "keep me");
}

TEST(SimProgram, TraceIsCompleteAfterSigint) {
    const std::string trace = ::testing::TempDir() + "/kinemo-sim-trace.csv";
    SimProcess sim({"--headless", "--trace", trace});
    ASSERT_TRUE(sim.started());
    const std::string device = sim.ReadLine();
    kinemo::platform::SerialPort port;
    ASSERT_TRUE(port.Open(device.c_str()));
    ASSERT_TRUE(port.SetTimeouts(kinemo::platform::SerialTimeouts{}));
    const std::uint8_t request[2] = {0xC1, 0xAA};
    std::uint8_t answer = 0;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(port.Exchange(request, 2, &answer, 1), 1u);
    }
    sim.Signal(SIGINT);
    EXPECT_EQ(sim.Wait(), 0);
    std::ifstream in(trace);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "tick,us,cmd,out1,out2,in1,in2");
    EXPECT_EQ(lines[5].rfind("5,", 0), 0u);
    EXPECT_NE(lines[5].find(",C1,AA,,00,"), std::string::npos) << lines[5];
}

TEST(SimProgram, HelpAndBadOptions) {
    SimProcess help({"--help"});
    ASSERT_TRUE(help.started());
    EXPECT_EQ(help.ReadLine().rfind("Usage: kinemo-sim", 0), 0u);
    EXPECT_EQ(help.Wait(), 0);
    SimProcess bad({"--headless", "--no-such-option"});
    ASSERT_TRUE(bad.started());
    EXPECT_EQ(bad.Wait(), 2);
}

}  // namespace
