// Run control with its real player thread against the in-memory interface.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "sequencer/engine/run_control.h"
#include "tests/sequencer/engine/player_test_support.h"

namespace kinemo::engine {
namespace {

using namespace testing;

class RunControlTest : public ::testing::Test {
  protected:
    RunControlTest()
        : control_(std::make_unique<RunControl>(link_, listener_, diagnostics_.File())) {}

    MovementList& List() { return control_->Movements(); }

    ScriptedLink link_;
    CountingListener listener_;
    CapturedText diagnostics_;
    std::unique_ptr<RunControl> control_;
};

// The player and a registered connect thread are raised and lowered around
// every run; whatever priority the system grants (to the superuser or not),
// runs work all the same.
TEST_F(RunControlTest, LosPlaysTheListAndTestingPlaysOneMovementOnceLeavingListAndSettings) {
    platform::ManualResetEvent connectDone;
    platform::Thread connect(
        [](void* done) { static_cast<platform::ManualResetEvent*>(done)->Wait(); }, &connectDone);
    control_->SetConnectThread(connect.Id());
    SetMovement(List(), 0, 0, kDirectionLeft, 4);
    SetMovement(List(), 1, 1, kDirectionRight, 3);
    SetMovement(List(), 2, 2, kDirectionLeft, 3);
    List().movementCount = 3;
    EXPECT_TRUE(control_->RunList() && control_->WaitUntilIdle(kGenerousWaitMs));
    EXPECT_EQ(listener_.posts.load(), 1);
    EXPECT_NE(diagnostics_.Text().find("\nBewegung 2: M1: 0 Impulse"), std::string::npos);
    control_->OnRunEnded();  // the run ends with all off once more
    EXPECT_EQ(link_.outputs, (Words{0, 1, 1, 1, 0, 8, 8, 0, 16, 16, 0, 0, 0}));

    // Played once although the loop is on; the list and settings stay as they are.
    link_.outputs.clear();
    control_->Settings().endlessLoop = 1;
    EXPECT_TRUE(control_->TestMovement(1) && control_->WaitUntilIdle(kGenerousWaitMs));
    control_->OnRunEnded();
    control_->ClearConnectThread();
    connectDone.Set();
    connect.Join();
    EXPECT_EQ(link_.outputs, (Words{0, 8, 8, 0, 0, 0}));
    EXPECT_EQ(std::tuple(listener_.posts.load(), control_->Settings().endlessLoop.load(),
                         List().movementCount),
              std::tuple(2, 1, 3));
    EXPECT_FALSE(control_->Start({250, 7, false}));  // beyond the table
    control_.reset();                                // ending the program while idle: no exchange
    EXPECT_EQ(link_.outputs.size(), 6U);
}

// The stop flag to all-off at the next exchange is the player's test. A stop
// keeps the loop setting; ending the program during a run stops the motors
// and the player, and posts nothing to a window that is gone.
TEST_F(RunControlTest, EmergencyStopAndEndingTheProgramDuringARunPutAllOff) {
    SetMovement(List(), 0, 0, kDirectionLeft, 0);
    control_->Settings().endlessLoop = 1;
    link_.holdUntil = &control_->StopRequested();
    ASSERT_TRUE(control_->RunList());
    link_.WaitForExchanges(2000);
    EXPECT_FALSE(control_->RunList());  // refused while the player reads the timeline
    EXPECT_FALSE(control_->TestMovement(0));
    control_->EmergencyStop();
    ASSERT_TRUE(control_->WaitUntilIdle(kGenerousWaitMs));
    EXPECT_EQ(std::tuple(link_.outputs.back(), listener_.posts.load(),
                         control_->StopRequested().load(), control_->Settings().endlessLoop.load()),
              std::tuple(0U, 1, 0, 1));
    control_->OnRunEnded();
    link_.released = false;
    ASSERT_TRUE(control_->RunList());
    link_.WaitForExchanges(link_.exchanges.load() + 1);
    control_.reset();
    EXPECT_EQ(std::tuple(link_.outputs.back(), listener_.posts.load()), std::tuple(0U, 1));
}

}  // namespace
}  // namespace kinemo::engine
