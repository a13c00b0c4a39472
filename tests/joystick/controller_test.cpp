// The control thread: runs started and stopped from another thread, the end
// of every run reported with its outcome, and every way out all-off.
#include "joystick/joy_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

#include "tests/joystick/joy_test_support.h"

namespace kinemo::joy {
namespace {

using test::At;
using test::Words;

constexpr int kGenerousMs = 60000;

// Holds one position for ever, read through SDL's virtual joystick.
class EndlessStick : public JoystickSource {
  public:
    explicit EndlessStick(const platform::JoystickPosition& position) : position_(position) {
        EXPECT_TRUE(stick_.Attach("Dauer", 2, 4, 0) && device_.Open(stick_.Index()));
    }
    ReadResult Read(platform::JoystickPosition& position) override {
        stick_.Set(position_);
        return device_.Read(position) ? ReadResult::kOk : ReadResult::kFailed;
    }

  private:
    platform::JoystickPosition position_;
    platform::VirtualJoystick stick_;
    platform::JoystickDevice device_;
};

// A controller on `source` with the default settings, a link that records
// the words (read only once the run is over) and the outcomes it reports.
class Rig : public InterfaceLink, public RunEndedListener {
  public:
    explicit Rig(JoystickSource& source)
        : controller(std::make_unique<JoyController>(*this, source, *this)) {
        PublishAll(controller->Live(), test::FreshSettings(test::Caps(2, 4, false)));
    }
    std::uint32_t Exchange(std::uint32_t output) override {
        words.push_back(output);
        exchanges.fetch_add(1);
        return 0;
    }
    void PostRunEnded(RunOutcome outcome) override {
        std::lock_guard lock(mutex_);
        outcomes_.push_back(outcome);
        ended.Set();
    }
    std::vector<RunOutcome> Outcomes() {
        std::lock_guard lock(mutex_);
        return outcomes_;
    }
    // Starts a run and waits (generously bounded) for `count` exchanges.
    bool StartAndWaitFor(std::size_t count) {
        controller->Start();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (exchanges.load() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        return exchanges.load() >= count;
    }
    bool WaitForEnd() {
        return ended.WaitFor(kGenerousMs) && controller->WaitUntilIdle(kGenerousMs);
    }

    Words words;
    std::atomic<std::size_t> exchanges{0};
    platform::ManualResetEvent ended;
    std::mutex mutex_;
    std::vector<RunOutcome> outcomes_;
    // Last, so that it ends its run before the rest goes.
    std::unique_ptr<JoyController> controller;
};

class ControllerTest : public ::testing::Test {
  protected:
    platform::JoystickSystem system_;
};

TEST_F(ControllerTest, ARunEndsByItselfWhenTheReplayEndsOrTheJoystickIsGone) {
    const Replay replay = test::MakeReplay(test::Caps(2, 4, false), test::Reads(5, At(0)));
    ReplaySource played(replay);
    test::GoneSource gone;
    for (const auto& [source, outcome, words] :
         {std::tuple<JoystickSource*, RunOutcome, Words>{
              &played, RunOutcome::kReplayEnded, {0, 1, 1, 1, 0}},
          {&gone, RunOutcome::kJoystickLost, {}}}) {
        Rig rig(*source);
        rig.controller->Start();
        ASSERT_TRUE(rig.WaitForEnd());
        rig.controller->OnRunEnded();
        EXPECT_EQ(rig.Outcomes(), std::vector{outcome});
        EXPECT_EQ(rig.words, words);
        EXPECT_EQ(rig.controller->RunsEnded(), 1U);
        EXPECT_FALSE(rig.controller->Running());
    }
}

// NOT-AUS once the run drives M1 "R", then right after the start, many
// times: each ends that run with all-off.
TEST_F(ControllerTest, NotAusEndsTheRunWithAllOffEvenRightAfterTheStart) {
    for (int round = 0; round < 20; ++round) {
        EndlessStick source(At(65535));
        Rig rig(source);
        ASSERT_TRUE(rig.StartAndWaitFor(round == 0 ? 10 : 0));
        rig.controller->Stop();
        ASSERT_TRUE(rig.WaitForEnd());
        EXPECT_EQ(rig.Outcomes(), std::vector{RunOutcome::kStopped});
        EXPECT_EQ(rig.words.back(), 0U);
        EXPECT_TRUE(round > 0 || rig.words[rig.words.size() - 2] == 2U);
    }
}

// The way out stops the run, waits for all-off and starts no more;
// destroying the controller during a run ends it all-off too.
TEST_F(ControllerTest, TheWayOutStopsTheRunWaitsForAllOffAndStartsNoMore) {
    EndlessStick source(At(0));
    Rig rig(source);
    ASSERT_TRUE(rig.StartAndWaitFor(10));
    ASSERT_TRUE(rig.controller->StopAndWait(kGenerousMs));
    EXPECT_EQ(rig.words.back(), 0U);
    const std::size_t words = rig.words.size();
    rig.controller->Start();
    EXPECT_TRUE(rig.controller->WaitUntilIdle(kGenerousMs));
    EXPECT_EQ(rig.words.size(), words);
    EXPECT_EQ(rig.controller->RunsEnded(), 1U);

    EndlessStick again(At(0));
    Rig destroyed(again);
    ASSERT_TRUE(destroyed.StartAndWaitFor(10));
    destroyed.controller.reset();
    EXPECT_EQ(destroyed.words.back(), 0U);
    EXPECT_EQ(destroyed.Outcomes().size(), 1U);
}

}  // namespace
}  // namespace kinemo::joy
