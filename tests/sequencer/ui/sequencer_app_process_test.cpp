// The sequencer program as a process, ended each way a user or the system
// ends it: exit code 0, and after a run every motor off (last word 0).
#include <gtest/gtest.h>

#include "simulator/simulated_box.h"
#include "tests/tools/cli_process.h"

TEST(SequencerProgram, EveryWayOutEndsWithZeroAndTheMotorsOff) {
    for (const auto& [action, runs] :
         {std::pair{"escape-main", false}, {"end-run", true}, {"signal-run", true}}) {
        SCOPED_TRACE(action);
        kinemo::simulator::SimulatedBox box;
        const std::string device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
        const auto ended = kinemo::cli::test::RunProcess({KINEMO_SHELL_PROBE}, ::testing::TempDir(),
                                                         {{"KINEMO_PROBE_ACTION", action},
                                                          {"KINEMO_PORT_COM1", device},
                                                          {"QT_QPA_PLATFORM", "offscreen"}});
        EXPECT_EQ(ended.exitCode, 0) << ended;
        EXPECT_EQ(box.Snapshot().motors[0].onTicks > 0, runs);  // M1 did turn
        EXPECT_EQ(box.Snapshot().outputs, 0U);
    }
}
