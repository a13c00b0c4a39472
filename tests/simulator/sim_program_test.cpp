// The kinemo-sim program as users start it.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "tests/tools/cli_process.h"

namespace {

using kinemo::cli::test::ChildProcess;

// kinemo-sim started with `args` in the test's temporary folder.
class SimProcess : public ChildProcess {
  public:
    explicit SimProcess(std::vector<std::string> args)
        : ChildProcess(WithProgram(std::move(args)), ::testing::TempDir()) {}

  private:
    static std::vector<std::string> WithProgram(std::vector<std::string> args) {
        args.insert(args.begin(), KINEMO_SIM_PROGRAM);
        return args;
    }
};

TEST(SimProgram, LaunchesAProgramOnTheBoxAndEndsWithItsExitCode) {
    SimProcess sim({"--headless", "--fast", "--launch", KINEMO_SIM_PROBE});
    ASSERT_TRUE(sim.Started());
    const std::string device = sim.WaitForLine(0);
    EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    // The probe found the box through KINEMO_PORT_COM1 and prints the device.
    EXPECT_EQ(sim.WaitForLine(1), device);
    EXPECT_EQ(sim.Wait().exitCode, 41);
}

TEST(SimProgram, PassesOnAFailingExitCodeAndAMissingProgram) {
    SimProcess failing({"--headless", "--launch", "sh", "-c", "exit 7"});
    ASSERT_TRUE(failing.Started());
    EXPECT_EQ(failing.Wait().exitCode, 7);
    SimProcess missing({"--headless", "--launch", "/nonexistent/program"});
    ASSERT_TRUE(missing.Started());
    EXPECT_EQ(missing.Wait().exitCode, 127);
}

TEST(SimProgram, LinkPointsAtTheDeviceAndGoesAwayOnSigterm) {
    const std::string link = ::testing::TempDir() + "/kinemo-sim-link";
    ::unlink(link.c_str());
    SimProcess sim({"--headless", "--fast", "--link", link});
    ASSERT_TRUE(sim.Started());
    const std::string device = sim.WaitForLine(0);
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
    EXPECT_EQ(sim.Wait().exitCode, 0);
    struct stat info {};
    EXPECT_NE(::lstat(link.c_str(), &info), 0);
}

TEST(SimProgram, HangupEndsALaunchedProgramAndPassesOnItsEnd) {
    const std::string link = ::testing::TempDir() + "/kinemo-sim-hangup-link";
    SimProcess sim({"--headless", "--link", link, "--launch", "sleep", "60"});
    ASSERT_TRUE(sim.Started());
    ASSERT_FALSE(sim.WaitForLine(0).empty());
    sim.Signal(SIGHUP);
    EXPECT_EQ(sim.Wait().exitCode, 128 + SIGTERM);  // sleep ended by the passed-on SIGTERM
    struct stat info {};
    EXPECT_NE(::lstat(link.c_str(), &info), 0);
}

TEST(SimProgram, RefusesToReplaceAFileWithItsLink) {
    const std::string path = ::testing::TempDir() + "/kinemo-sim-not-a-link";
    std::ofstream(path) << "keep me";
    SimProcess sim({"--headless", "--link", path});
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(sim.Wait().exitCode, 1);
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "keep me");
}

TEST(SimProgram, TraceIsCompleteAfterSigint) {
    const std::string trace = ::testing::TempDir() + "/kinemo-sim-trace.csv";
    SimProcess sim({"--headless", "--trace", trace});
    ASSERT_TRUE(sim.Started());
    const std::string device = sim.WaitForLine(0);
    kinemo::platform::SerialPort port;
    ASSERT_TRUE(port.Open(device.c_str()));
    ASSERT_TRUE(port.SetTimeouts(kinemo::platform::SerialTimeouts{}));
    const std::uint8_t request[2] = {0xC1, 0xAA};
    std::uint8_t answer = 0;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(port.Exchange(request, 2, &answer, 1), 1u);
    }
    sim.Signal(SIGINT);
    EXPECT_EQ(sim.Wait().exitCode, 0);
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
    ASSERT_TRUE(help.Started());
    const auto shown = help.Wait();
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.out.rfind("Usage: kinemo-sim", 0), 0u);
    SimProcess bad({"--headless", "--no-such-option"});
    ASSERT_TRUE(bad.Started());
    EXPECT_EQ(bad.Wait().exitCode, 2);
}

}  // namespace
