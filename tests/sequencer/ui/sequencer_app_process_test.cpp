// The sequencer program as a process: how it ends and what the box sees.
#include <gtest/gtest.h>

#include <string>

#include "simulator/simulated_box.h"
#include "tests/tools/cli_process.h"

namespace {

// Runs the probe program with `action` and the box on COM1; returns how it ended.
kinemo::cli::test::ProcessResult RunProbe(const std::string& action,
                                          const std::string& boxDevice = "/nonexistent") {
    return kinemo::cli::test::RunProcess({KINEMO_SHELL_PROBE}, ::testing::TempDir(),
                                         {{"KINEMO_PROBE_ACTION", action},
                                          {"KINEMO_PORT_COM1", boxDevice},
                                          {"QT_QPA_PLATFORM", "offscreen"}});
}

TEST(SequencerProgram, EscapeInMainWindowEndsWithExitCodeZero) {
    EXPECT_EQ(RunProbe("escape-main").exitCode, 0);
}

// Ending the program in the middle of a run, by "Ende" or by a signal,
// leaves every motor off: the last word on the wire is 0.
TEST(SequencerProgram, EndingDuringARunSwitchesTheMotorsOff) {
    for (const char* action : {"end-run", "signal-run"}) {
        SCOPED_TRACE(action);
        kinemo::simulator::SimulatedBox box;
        const std::string device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
        const auto ended = RunProbe(action, device);
        EXPECT_EQ(ended.exitCode, 0) << ended.err;
        const kinemo::simulator::BoxSnapshot last = box.Snapshot();
        EXPECT_GT(last.motors[0].onTicks, 0U);  // M1 did turn
        EXPECT_EQ(last.outputs, 0U);            // and everything is off at the end
        box.Stop();
    }
}

}  // namespace
