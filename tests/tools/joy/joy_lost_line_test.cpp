// kinemo-joy-cli when the simulated box's line goes away during a run: the
// control loop ends the run instead of spinning on the dead line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "simulator/simulated_box.h"
#include "tests/tools/cli_process.h"

namespace kinemo::joycli {
namespace {

TEST(JoyLostLine, HangupEndsTheRunWithTheTextAndExitCodeOne) {
    simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
    ASSERT_FALSE(box.Start().empty());
    cli::test::TempFolder folder;
    // A replay far longer than the test: only the line can end the run.
    const std::string replay = folder.File("long.replay");
    {
        std::FILE* file = std::fopen(replay.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("# kinemo-joy replay name=\"Test\" axes=2 buttons=4 hat=0\n", file);
        for (int i = 0; i < 200000; ++i) {
            std::fputs("65535,32768,32768,32768,32768,32768,65535,0\n", file);
        }
        std::fclose(file);
    }
    const std::string original = cli::test::ReadFileText(replay);
    cli::test::ChildProcess cli({KINEMO_JOY_CLI_PATH, "run", "--port", "COM1", "--replay", replay},
                                folder.Path(), {{"KINEMO_PORT_COM1", box.devicePath()}});
    ASSERT_TRUE(box.WaitForTicks(20, std::chrono::milliseconds(20000)));
    box.CloseLine();
    const cli::test::ProcessResult result = cli.Wait();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Verbindung zum Interface verloren\n"), std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("Bereit"), std::string::npos) << result.err;
    EXPECT_EQ(cli::test::ReadFileText(replay), original);
}

}  // namespace
}  // namespace kinemo::joycli
