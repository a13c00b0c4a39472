// The control thread: runs started and stopped from another thread, the end
// of every run reported with its outcome, and every way out all-off.
#include "joystick/joy_controller.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "tests/joystick/joy_test_support.h"

namespace kinemo::joy {
namespace {

using test::At;
using test::Words;

constexpr int kGenerousMs = 60000;

// A controller on `source` with the default settings, a link that records
// the words and the outcomes it reports; both are read once the run is over
// (the events order the control thread's writes before the reads).
class Rig : public InterfaceLink, public RunEndedListener {
  public:
    explicit Rig(JoystickSource& source)
        : controller(std::make_unique<JoyController>(*this, source, *this)) {
        PublishAll(controller->Live(), test::FreshSettings(test::Caps(2, 4, false)));
    }
    std::uint32_t Exchange(std::uint32_t output) override {
        words.push_back(output);
        if (words.size() == 10) {
            tenWords.Set();
        }
        return 0;
    }
    void PostRunEnded(RunOutcome outcome) override {
        outcomes.push_back(outcome);
        ended.Set();
    }
    bool WaitForEnd() {
        return ended.WaitFor(kGenerousMs) && controller->WaitUntilIdle(kGenerousMs);
    }

    Words words;
    std::vector<RunOutcome> outcomes;
    platform::ManualResetEvent tenWords, ended;
    // Last, so that it ends its run before the rest goes.
    std::unique_ptr<JoyController> controller;
};

// A joystick that can no longer be read.
struct GoneSource : JoystickSource {
    ReadResult Read(platform::JoystickPosition&) override { return ReadResult::kFailed; }
};

TEST(JoyController, ARunEndsByItselfWhenTheReplayEndsOrTheJoystickIsGone) {
    platform::JoystickSystem system;
    const Replay replay = test::MakeReplay(test::Caps(2, 4, false), test::Reads(5, At(0)));
    ReplaySource played(replay);
    GoneSource gone;
    for (const auto& [source, outcome, words] :
         {std::tuple<JoystickSource*, RunOutcome, Words>{
              &played, RunOutcome::kReplayEnded, {0, 1, 1, 1, 0}},
          {&gone, RunOutcome::kJoystickLost, {}}}) {
        Rig rig(*source);
        rig.controller->Start();
        ASSERT_TRUE(rig.WaitForEnd());
        rig.controller->OnRunEnded();
        EXPECT_EQ(std::tuple(rig.outcomes, rig.words, rig.controller->RunsEnded(),
                             rig.controller->Running()),
                  std::tuple(std::vector{outcome}, words, 1U, false));
    }
}

// Once the run drives M1 "R": the way out (stop, wait for all-off, start no
// more), or the controller destroyed; then NOT-AUS right after the start,
// many times. Each ends that run with all-off.
TEST(JoyController, TheWayOutNotAusOrTheEndOfTheControllerEndsTheRunAllOff) {
    platform::JoystickSystem system;
    platform::VirtualJoystick stick;
    ASSERT_TRUE(stick.Attach("Dauer", 2, 4, 0));
    stick.Set(At(65535));  // held for ever
    for (int round = 0; round < 20; ++round) {
        DeviceSource source(stick.Index());
        Rig rig(source);
        rig.controller->Start();
        ASSERT_TRUE(round > 1 || rig.tenWords.WaitFor(kGenerousMs));
        if (round == 1) {
            rig.controller.reset();
        } else {
            if (round == 0) {
                ASSERT_TRUE(rig.controller->StopAndWait(kGenerousMs));
                const std::size_t sent = rig.words.size();
                rig.controller->Start();
                EXPECT_TRUE(rig.controller->WaitUntilIdle(kGenerousMs));
                EXPECT_EQ(std::pair(rig.words.size(), rig.controller->RunsEnded()),
                          std::pair(sent, std::uint64_t{1}));
            } else {
                rig.controller->Stop();
            }
            ASSERT_TRUE(rig.WaitForEnd());
            EXPECT_EQ(rig.outcomes, std::vector{RunOutcome::kStopped});
        }
        EXPECT_EQ(std::pair(rig.outcomes.size(), rig.words.back()), std::pair(1UL, 0U));
        EXPECT_TRUE(round > 1 || rig.words[rig.words.size() - 2] == 2U);
    }
}

}  // namespace
}  // namespace kinemo::joy
