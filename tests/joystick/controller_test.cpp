// The control thread: runs started and stopped from another thread, the end
// of every run reported with its outcome, and every way out all-off.
#include "joystick/joy_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "tests/joystick/joy_test_support.h"

namespace kinemo::joy {
namespace {

using test::At;
using test::Caps;
using test::FreshSettings;
using test::MakeReplay;

constexpr int kGenerousMs = 60000;

class Outcomes : public RunEndedListener {
  public:
    void PostRunEnded(RunOutcome outcome) override {
        std::lock_guard lock(mutex_);
        outcomes_.push_back(outcome);
        ended_.Set();
    }
    std::vector<RunOutcome> Take() {
        std::lock_guard lock(mutex_);
        return outcomes_;
    }
    platform::ManualResetEvent ended_;

  private:
    std::mutex mutex_;
    std::vector<RunOutcome> outcomes_;
};

// Records the words; the link is only read after the run is over.
class WordLink : public InterfaceLink {
  public:
    std::uint32_t Exchange(std::uint32_t output) override {
        words.push_back(output);
        exchanges.fetch_add(1);
        return 0;
    }
    std::vector<std::uint32_t> words;
    std::atomic<std::size_t> exchanges{0};
};

// Holds one position for ever, read through SDL's virtual joystick.
class EndlessStick : public JoystickSource {
  public:
    explicit EndlessStick(const platform::JoystickPosition& position) : position_(position) {
        EXPECT_TRUE(stick_.Attach("Dauer", 2, 4, 0));
        EXPECT_TRUE(device_.Open(stick_.Index()));
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

// Waits (generously bounded) until the run has made some exchanges.
bool WaitForExchanges(const WordLink& link, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousMs);
    while (link.exchanges.load() < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

class ControllerTest : public ::testing::Test {
  protected:
    void Publish(JoyController& controller) {
        PublishAll(controller.Live(), FreshSettings(Caps(2, 4, false)));
    }
    platform::JoystickSystem system_;
};

TEST_F(ControllerTest, AReplayedRunEndsByItselfAndReportsIt) {
    const Replay replay = MakeReplay(Caps(2, 4, false), std::vector(5, At(0)));
    ReplaySource source(replay);
    WordLink link;
    Outcomes outcomes;
    JoyController controller(link, source, outcomes);
    Publish(controller);
    controller.Start();
    ASSERT_TRUE(outcomes.ended_.WaitFor(kGenerousMs));
    ASSERT_TRUE(controller.WaitUntilIdle(kGenerousMs));
    controller.OnRunEnded();
    EXPECT_EQ(outcomes.Take(), (std::vector<RunOutcome>{RunOutcome::kReplayEnded}));
    EXPECT_EQ(link.words, (std::vector<std::uint32_t>{0, 1, 1, 1, 0}));
    EXPECT_EQ(controller.RunsEnded(), 1U);
    EXPECT_FALSE(controller.Running());
}

TEST_F(ControllerTest, NotAusEndsARunningRunWithAllOff) {
    EndlessStick source(At(65535));
    WordLink link;
    Outcomes outcomes;
    JoyController controller(link, source, outcomes);
    Publish(controller);
    controller.Start();
    ASSERT_TRUE(WaitForExchanges(link, 10));
    controller.Stop();
    ASSERT_TRUE(outcomes.ended_.WaitFor(kGenerousMs));
    ASSERT_TRUE(controller.WaitUntilIdle(kGenerousMs));
    EXPECT_EQ(outcomes.Take(), (std::vector<RunOutcome>{RunOutcome::kStopped}));
    EXPECT_EQ(link.words.back(), 0U);
    EXPECT_EQ(link.words[link.words.size() - 2], 2U);
}

TEST_F(ControllerTest, AStopRightAfterTheStartStillEndsThatRun) {
    for (int round = 0; round < 20; ++round) {
        EndlessStick source(At(65535));
        WordLink link;
        Outcomes outcomes;
        JoyController controller(link, source, outcomes);
        Publish(controller);
        controller.Start();
        controller.Stop();
        ASSERT_TRUE(outcomes.ended_.WaitFor(kGenerousMs));
        ASSERT_TRUE(controller.WaitUntilIdle(kGenerousMs));
        EXPECT_EQ(outcomes.Take(), (std::vector<RunOutcome>{RunOutcome::kStopped}));
        EXPECT_EQ(link.words.back(), 0U);
    }
}

TEST_F(ControllerTest, TheWayOutStopsTheRunWaitsForAllOffAndStartsNoMore) {
    EndlessStick source(At(0));
    WordLink link;
    Outcomes outcomes;
    JoyController controller(link, source, outcomes);
    Publish(controller);
    controller.Start();
    ASSERT_TRUE(WaitForExchanges(link, 10));
    ASSERT_TRUE(controller.StopAndWait(kGenerousMs));
    EXPECT_EQ(link.words.back(), 0U);
    const std::size_t words = link.words.size();
    controller.Start();
    EXPECT_TRUE(controller.WaitUntilIdle(kGenerousMs));
    EXPECT_EQ(link.words.size(), words);
    EXPECT_EQ(controller.RunsEnded(), 1U);
}

TEST_F(ControllerTest, ALostJoystickEndsTheRunWithoutAnyExchange) {
    struct Gone : JoystickSource {
        ReadResult Read(platform::JoystickPosition&) override { return ReadResult::kFailed; }
    } gone;
    WordLink link;
    Outcomes outcomes;
    JoyController controller(link, gone, outcomes);
    controller.Start();
    ASSERT_TRUE(outcomes.ended_.WaitFor(kGenerousMs));
    ASSERT_TRUE(controller.WaitUntilIdle(kGenerousMs));
    EXPECT_EQ(outcomes.Take(), (std::vector<RunOutcome>{RunOutcome::kJoystickLost}));
    EXPECT_TRUE(link.words.empty());
}

TEST_F(ControllerTest, DestroyingTheControllerDuringARunEndsItAllOff) {
    EndlessStick source(At(0));
    WordLink link;
    Outcomes outcomes;
    {
        JoyController controller(link, source, outcomes);
        Publish(controller);
        controller.Start();
        ASSERT_TRUE(WaitForExchanges(link, 10));
    }
    EXPECT_EQ(link.words.back(), 0U);
    EXPECT_EQ(outcomes.Take().size(), 1U);
}

}  // namespace
}  // namespace kinemo::joy
