// The kinemo-sim program as users start it.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "tests/tools/cli_process.h"

namespace {

using kinemo::cli::test::ChildProcess;
using kinemo::cli::test::ReadFileText;

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

bool Gone(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) != 0;
}

// Five exchanges with the box behind `device` (a link or the device itself).
void Exchange(const std::string& device, std::uint8_t out) {
    kinemo::platform::SerialPort port;
    ASSERT_TRUE(port.Open(device.c_str()));
    ASSERT_TRUE(port.SetTimeouts(kinemo::platform::SerialTimeouts{}));
    const std::uint8_t request[2] = {0xC1, out};
    for (int i = 0; i < 5; ++i) {
        std::uint8_t answer = 0xFF;
        ASSERT_EQ(port.Exchange(request, 2, &answer, 1), 1u);
        EXPECT_EQ(answer, 0x00);
    }
}

TEST(SimProgram, ExitCodesOfLaunchedProgramsOptionsAndAFileInTheLinksPlace) {
    const std::string file = ::testing::TempDir() + "/kinemo-sim-not-a-link";
    kinemo::cli::test::WriteFileBytes(file, {'k', 'e', 'e', 'p'});
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"--headless", "--launch", "sh", "-c", "exit 7"}, 7},
        {{"--headless", "--launch", "/nonexistent/program"}, 127},
        {{"--headless", "--link", file}, 1},
        {{"--headless", "--no-such-option"}, 2},
        {{"--help"}, 0},
    };
    for (const auto& [args, code] : cases) {
        SimProcess sim(args);
        ASSERT_TRUE(sim.Started());
        const auto result = sim.Wait();
        EXPECT_EQ(result.exitCode, code) << args.back();
        if (args.back() == "--help") {
            EXPECT_EQ(result.out.rfind("Usage: kinemo-sim", 0), 0u);
        }
    }
    EXPECT_EQ(ReadFileText(file), "keep");
}

// The probe finds the box through KINEMO_PORT_COM1, prints the device and
// exits with 41 (the impulse input E1 rose).
TEST(SimProgram, LaunchesAProgramOnTheBoxAndEndsWithItsExitCode) {
    SimProcess sim({"--headless", "--fast", "--launch", KINEMO_SIM_PROBE});
    ASSERT_TRUE(sim.Started());
    const std::string device = sim.WaitForLine(0);
    EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    EXPECT_EQ(sim.WaitForLine(1), device);
    EXPECT_EQ(sim.Wait().exitCode, 41);
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
    Exchange(link, 0x00);
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait().exitCode, 0);
    EXPECT_TRUE(Gone(link));
}

TEST(SimProgram, HangupEndsALaunchedProgramAndPassesOnItsEnd) {
    const std::string link = ::testing::TempDir() + "/kinemo-sim-hangup-link";
    SimProcess sim({"--headless", "--link", link, "--launch", "sleep", "60"});
    ASSERT_TRUE(sim.Started());
    ASSERT_FALSE(sim.WaitForLine(0).empty());
    sim.Signal(SIGHUP);
    EXPECT_EQ(sim.Wait().exitCode, 128 + SIGTERM);  // sleep ended by the passed-on SIGTERM
    EXPECT_TRUE(Gone(link));
}

TEST(SimProgram, TraceIsCompleteAfterSigint) {
    const std::string trace = ::testing::TempDir() + "/kinemo-sim-trace.csv";
    SimProcess sim({"--headless", "--trace", trace});
    ASSERT_TRUE(sim.Started());
    Exchange(sim.WaitForLine(0), 0xAA);
    sim.Signal(SIGINT);
    EXPECT_EQ(sim.Wait().exitCode, 0);
    const std::string text = ReadFileText(trace);
    EXPECT_EQ(text.rfind("tick,us,cmd,out1,out2,in1,in2\n", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
    const std::string last = text.substr(text.rfind('\n', text.size() - 2) + 1);
    EXPECT_EQ(last.rfind("5,", 0), 0u);
    EXPECT_NE(last.find(",C1,AA,,00,\n"), std::string::npos) << last;
}

}  // namespace
