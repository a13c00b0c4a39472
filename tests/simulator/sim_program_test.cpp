// The kinemo-sim program as users start it.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/simulator/line_client.h"
#include "tests/tools/cli_process.h"

namespace {

using kinemo::cli::test::ChildProcess;
using kinemo::cli::test::ReadFileText;
namespace fs = std::filesystem;

// kinemo-sim started with `args` in the test's temporary folder.
ChildProcess Sim(std::vector<std::string> args) {
    args.insert(args.begin(), KINEMO_SIM_PROGRAM);
    return ChildProcess(args, ::testing::TempDir());
}

// Five exchanges with the box behind `device` (a link or the device itself).
void Exchange(const std::string& device, std::uint8_t out) {
    kinemo::simulator::testing::LineClient line(device);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(line.Exchange({0xC1, out}, 1), std::vector<std::uint8_t>{0x00});
    }
}

// Exit codes of launched programs and options; a file in the link's place
// is left alone. The probe finds the box through KINEMO_PORT_COM1, prints
// the device and exits with 41 (the impulse input E1 rose).
TEST(SimProgram, ExitCodesOfLaunchedProgramsAndOptions) {
    const std::string file = ::testing::TempDir() + "/kinemo-sim-not-a-link";
    kinemo::cli::test::WriteFileBytes(file, {'k', 'e', 'e', 'p'});
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"--headless", "--launch", "sh", "-c", "exit 7"}, 7},
        {{"--headless", "--launch", "/nonexistent/program"}, 127},
        {{"--headless", "--link", file}, 1},
        {{"--headless", "--no-such-option"}, 2},
        {{"--help"}, 0},
        {{"--headless", "--fast", "--launch", KINEMO_SIM_PROBE}, 41},
    };
    for (const auto& [args, code] : cases) {
        ChildProcess sim = Sim(args);
        ASSERT_TRUE(sim.Started());
        if (args.back() == KINEMO_SIM_PROBE) {
            const std::string device = sim.WaitForLine(0);
            EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
            EXPECT_EQ(sim.WaitForLine(1), device);
        }
        const auto result = sim.Wait();
        EXPECT_EQ(result.exitCode, code) << args.back();
        EXPECT_TRUE(args.back() != "--help" || result.out.rfind("Usage: kinemo-sim", 0) == 0);
    }
    EXPECT_EQ(ReadFileText(file), "keep");
}

// SIGTERM removes the link that pointed at the device; a hangup ends a
// launched program (by a passed-on SIGTERM) and passes on its end; after
// SIGINT the trace is complete.
TEST(SimProgram, SignalsEndTheBoxCleanly) {
    const std::string link = ::testing::TempDir() + "/kinemo-sim-link";
    ::unlink(link.c_str());
    ChildProcess linked = Sim({"--headless", "--fast", "--link", link});
    ASSERT_TRUE(linked.Started());
    const std::string device = linked.WaitForLine(0);
    EXPECT_EQ(fs::read_symlink(link).string(), device);
    Exchange(link, 0x00);
    linked.Signal(SIGTERM);
    EXPECT_EQ(linked.Wait().exitCode, 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    ChildProcess launched = Sim({"--headless", "--link", link, "--launch", "sleep", "60"});
    ASSERT_TRUE(launched.Started());
    ASSERT_FALSE(launched.WaitForLine(0).empty());
    launched.Signal(SIGHUP);
    EXPECT_EQ(launched.Wait().exitCode, 128 + SIGTERM);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    const std::string trace = ::testing::TempDir() + "/kinemo-sim-trace.csv";
    ChildProcess traced = Sim({"--headless", "--trace", trace});
    ASSERT_TRUE(traced.Started());
    Exchange(traced.WaitForLine(0), 0xAA);
    traced.Signal(SIGINT);
    EXPECT_EQ(traced.Wait().exitCode, 0);
    std::string lines = "tick,us,cmd,out1,out2,in1,in2\n";
    for (int tick = 1; tick <= 5; ++tick) {
        lines += std::to_string(tick) + ",[0-9]+,C1,AA,,00,\n";
    }
    EXPECT_TRUE(std::regex_match(ReadFileText(trace), std::regex(lines))) << ReadFileText(trace);
}

}  // namespace
