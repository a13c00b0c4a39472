// Run control with its real player thread against the in-memory interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "sequencer/engine/run_control.h"
#include "tests/platform/threads_test_support.h"
#include "tests/sequencer/engine/player_test_support.h"

namespace kinemo::engine {
namespace {

using testing::CapturedText;
using testing::CountingListener;
using testing::kGenerousWaitMs;
using testing::ScriptedLink;
using Words = std::vector<std::uint32_t>;

// Link whose exchange count can be watched from the test thread. An endless
// run can be held after a number of exchanges until the stop flag is set, so
// that a slow test thread never lets the recording grow without bound.
class WatchedLink : public ScriptedLink {
  public:
    std::uint32_t Exchange(std::uint32_t output) override {
        const std::uint32_t input = ScriptedLink::Exchange(output);
        const std::size_t count = exchanges.fetch_add(1) + 1;
        if (holdUntil != nullptr && count >= holdAfter) {
            while (holdUntil->load() == 0) {
                std::this_thread::yield();
            }
        }
        return input;
    }
    void WaitForExchanges(std::size_t count) const {
        while (exchanges.load() < count) {
            std::this_thread::yield();
        }
    }
    std::atomic<std::size_t> exchanges{0};
    StopFlag* holdUntil = nullptr;
    std::size_t holdAfter = 5000;
};

// A movement in which `motor` runs at 100 % in `direction` for `duration` - 1
// ticks (0 = without end) and every other motor stops before the first tick.
void SetMovement(MovementList& list, int index, int motor, Direction direction,
                 std::int32_t duration) {
    ResetMovement(list, index);
    MovementRecord& record = list.records[index];
    record.maxDuration = {1, 1, 1, 1};
    record.direction[motor] = direction;
    record.maxDuration[motor] = duration;
    record.maxDurationOn[motor] = duration == 0 ? 0 : 1;
}

class RunControlTest : public ::testing::Test {
  protected:
    RunControlTest()
        : control_(std::make_unique<RunControl>(link_, listener_, diagnostics_.File())) {}

    MovementList& List() { return control_->Movements(); }

    WatchedLink link_;
    CountingListener listener_;
    CapturedText diagnostics_;
    std::unique_ptr<RunControl> control_;
};

TEST_F(RunControlTest, LosPlaysTheListAndTestingPlaysOneMovementOnceLeavingListAndSettings) {
    SetMovement(List(), 0, 0, kDirectionLeft, 4);
    SetMovement(List(), 1, 1, kDirectionRight, 3);
    SetMovement(List(), 2, 2, kDirectionLeft, 3);
    List().movementCount = 3;
    ASSERT_TRUE(control_->RunList());
    ASSERT_TRUE(control_->WaitUntilIdle(kGenerousWaitMs));
    EXPECT_FALSE(control_->Running());
    EXPECT_EQ(link_.outputs, (Words{0, 1, 1, 1, 0, 8, 8, 0, 16, 16, 0, 0}));
    EXPECT_EQ(listener_.posts.load(), 1);
    EXPECT_NE(diagnostics_.Text().find("\nBewegung 2: M1: 0 Impulse"), std::string::npos);
    control_->OnRunEnded();  // the window's all-off
    EXPECT_EQ(link_.outputs.size(), 13U);
    EXPECT_EQ(link_.outputs.back(), 0U);

    // Played once although the loop is on; the list and settings stay as they are.
    link_.outputs.clear();
    control_->Settings().endlessLoop = 1;
    ASSERT_TRUE(control_->TestMovement(1));
    ASSERT_TRUE(control_->WaitUntilIdle(kGenerousWaitMs));
    EXPECT_EQ(link_.outputs, (Words{0, 8, 8, 0, 0}));
    EXPECT_EQ(listener_.posts.load(), 2);
    EXPECT_EQ(control_->Settings().endlessLoop.load(), 1);
    EXPECT_EQ(List().movementCount, 3);
    EXPECT_FALSE(control_->Start({250, 7, false}));  // beyond the table
}

TEST_F(RunControlTest, EmergencyStopPutsAllOffOnTheWireWithinOneTick) {
    SetMovement(List(), 0, 0, kDirectionLeft, 0);
    List().movementCount = 1;
    control_->Settings().endlessLoop = 1;
    std::atomic<std::size_t> firstSeen{SIZE_MAX};
    link_.onExchange = [&](std::size_t index, std::uint32_t) {
        if (control_->StopRequested().load() != 0 && firstSeen.load() == SIZE_MAX) {
            firstSeen.store(index);
        }
    };
    link_.holdUntil = &control_->StopRequested();
    ASSERT_TRUE(control_->RunList());
    link_.WaitForExchanges(2000);
    EXPECT_FALSE(control_->RunList());  // refused while the player reads the timeline
    EXPECT_FALSE(control_->TestMovement(0));
    control_->EmergencyStop();
    ASSERT_TRUE(control_->WaitUntilIdle(kGenerousWaitMs));
    // The flag may come just after the last motor check of a tick, so that
    // tick's word still goes out; the next one must be all-off.
    ASSERT_NE(firstSeen.load(), SIZE_MAX);
    EXPECT_LE(link_.outputs.size(), firstSeen.load() + 2);
    EXPECT_EQ(link_.outputs.back(), 0U);
    EXPECT_EQ(listener_.posts.load(), 1);
    EXPECT_EQ(control_->StopRequested().load(), 0);
    EXPECT_EQ(control_->Settings().endlessLoop.load(), 1);  // a stop leaves the setting
}

TEST_F(RunControlTest, EndingTheProgramDuringARunStopsTheMotorsAndThePlayer) {
    SetMovement(List(), 0, 3, kDirectionRight, 0);
    link_.holdUntil = &control_->StopRequested();
    ASSERT_TRUE(control_->RunList());
    link_.WaitForExchanges(500);
    control_.reset();
    const std::size_t sent = link_.outputs.size();
    EXPECT_EQ(link_.outputs.back(), 0U);
    EXPECT_EQ(std::count(link_.outputs.begin(), link_.outputs.end(), 0x80U) +
                  std::count(link_.outputs.begin(), link_.outputs.end(), 0U),
              static_cast<std::ptrdiff_t>(sent));
    EXPECT_GE(std::count(link_.outputs.begin(), link_.outputs.end(), 0x80U), 400);
    EXPECT_EQ(listener_.posts.load(), 0);  // the window is gone
    EXPECT_EQ(link_.exchanges.load(), sent);
}

TEST_F(RunControlTest, EndingTheProgramWhileIdleEndsThePlayerWithoutAnExchange) {
    control_.reset();
    EXPECT_TRUE(link_.outputs.empty());
}

// The player (and the connect thread, while one is registered) are raised
// and lowered around every run; whatever priority the system grants, or
// where it allows none of that, runs must work all the same. Each call
// starts a fresh control, so its first start may come before the player
// waits: one start must still release exactly one run.
int RunTwiceAndCheck() {
    WatchedLink link;
    CountingListener listener;
    RunControl control(link, listener, nullptr);
    SetMovement(control.Movements(), 0, 0, kDirectionLeft, 3);
    platform::ManualResetEvent connectDone;
    platform::Thread connect(
        [](void* done) { static_cast<platform::ManualResetEvent*>(done)->Wait(); }, &connectDone);
    control.SetConnectThread(connect.Id());
    int result = 0;
    for (int run = 0; run < 2 && result == 0; ++run) {
        if (!control.RunList() || !control.WaitUntilIdle(kGenerousWaitMs)) {
            result = 1;
        }
        control.OnRunEnded();
    }
    control.ClearConnectThread();
    connectDone.Set();
    connect.Join();
    const bool right =
        link.outputs == Words{0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0} && listener.posts == 2;
    return result != 0 ? result : right ? 0 : 2;
}

TEST(RunControlPriority, RunsWorkWhateverPriorityTheSystemGrants) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        ASSERT_EQ(RunTwiceAndCheck(), 0) << attempt;
    }
}

TEST(RunControlPriority, RunsWorkWithFullAndWithoutSchedulingPrivileges) {
    using platform::testing::RunInChild;
    using platform::testing::SchedulingPrivilege;
    if (geteuid() != 0) {
        GTEST_SKIP() << "dropping to an unprivileged user needs the superuser";
    }
    EXPECT_EQ(RunInChild(SchedulingPrivilege::kFull, RunTwiceAndCheck), 0);
    EXPECT_EQ(RunInChild(SchedulingPrivilege::kNone, RunTwiceAndCheck), 0);
}

}  // namespace
}  // namespace kinemo::engine
