#include "sequencer/engine/player.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "sequencer/engine/live_run.h"
#include "tests/sequencer/engine/player_test_support.h"

namespace kinemo::engine {
namespace {

using testing::CapturedText;
using testing::ScriptedLink;
using Words = std::vector<std::uint32_t>;
using Inputs = std::function<std::uint8_t(std::size_t)>;

constexpr std::uint8_t kAllLeft = 0x55;

class PlayerTest : public ::testing::Test {
  protected:
    PlayerTest() {
        context_ = {&link_, &timeline_, &settings_, &stop_, diagnostics_.File(), &live_};
    }

    // Fills the whole row with one word and gives every motor the limits
    // "stop before the first tick" unless a test changes them.
    SlotLimits& Row(int row, std::uint8_t word) {
        std::memset(timeline_.Row(row), word, kTimelineRowLength);
        SlotLimits& limits = timeline_.Limits(row);
        limits = SlotLimits{};
        limits.maxDuration = {1, 1, 1, 1};
        return limits;
    }

    RunOutcome Play(int runLength) { return PlayRun(context_, runLength); }

    // Output words of the ticks, without the opening and the closing exchange.
    Words Ticks() const { return Words(link_.outputs.begin() + 1, link_.outputs.end() - 1); }

    ScriptedLink link_;
    Timeline timeline_;
    RunSettings settings_;
    StopFlag stop_{0};
    CapturedText diagnostics_;
    LiveRunChannel live_;
    PlayerContext context_;
};

// E1 changes at exchanges 3, 6, 9, ...; tick k sees the change answered by
// exchange k - 1, so the n-th change is seen in tick 3n + 1.
std::uint8_t E1TogglesEveryThirdExchange(std::size_t index) {
    return static_cast<std::uint8_t>((index / 3) % 2);
}

TEST_F(PlayerTest, LimitsStopEachMotorAtItsTick) {
    struct Case {
        const char* what;
        std::uint8_t word;
        std::function<void(SlotLimits&)> limit;
        Inputs inputs;
        Words ticks;
    };
    const Case cases[] = {
        {"maximum duration N runs N - 1 ticks",
         0x01,
         [](SlotLimits& l) { l.maxDuration[0] = 5; },
         nullptr,
         {1, 1, 1, 1, 0}},
        // The tick in which the last motor stops sends 0 for all motors.
        {"maximum duration 1", kAllLeft, [](SlotLimits&) {}, nullptr, {0}},
        {"impulse limit 0 stops at the first change",
         0x01,
         [](SlotLimits& l) {
             l.maxDuration[0] = 0;
             l.impulseInput[0] = 1;
         },
         E1TogglesEveryThirdExchange,
         {1, 1, 1, 0}},
        {"an end switch released again keeps the motor stopped",
         0x05,
         [](SlotLimits& l) {
             l.endSwitchInput[0] = 2;
             l.maxDuration = {0, 8, 1, 1};
         },
         [](std::size_t i) { return static_cast<std::uint8_t>(i == 3 ? 2 : 0); },
         {5, 5, 5, 4, 4, 4, 4, 0}},
        {"input numbers outside 1..8 are never set",
         kAllLeft,
         [](SlotLimits& l) {
             l.endSwitchInput = {9, 0xFF, 0, 0};
             l.impulseInput = {0, 0, 200, 9};
             l.maxDuration = {3, 3, 3, 3};
         },
         [](std::size_t i) { return static_cast<std::uint8_t>(i % 2 ? 0xFF : 0); },
         {kAllLeft, kAllLeft, 0}},
    };
    settings_.offSwitchOn = 1;
    settings_.offSwitchInput = 0xFF;  // input 256: never pressed
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        link_.outputs.clear();
        c.limit(Row(0, c.word));
        link_.inputs = c.inputs;
        EXPECT_EQ(Play(1), RunOutcome::kFinished);
        EXPECT_EQ(Ticks(), c.ticks);
    }
    static_assert(!InputSet(0xFF, 0) && !InputSet(0xFF, 9) && !InputSet(0xFF, 255));
    static_assert(InputSet(0x80, 8) && InputSet(0x01, 1) && !InputSet(0x01, 2));
}

TEST_F(PlayerTest, MaximumDurationZeroNeverEndsAndTheRowPlaysAgainAfter65536Ticks) {
    std::uint8_t* row = timeline_.Row(0);
    for (std::uint32_t position = 0; position < kTimelineRowLength; ++position) {
        row[position] = static_cast<std::uint8_t>(position % 3 == 0 ? 1 : 2);
    }
    row[kTimelineRowLength - 1] = 0;  // as a computation leaves it
    timeline_.Limits(0).maxDuration = {0, 1, 1, 1};
    constexpr std::size_t kStopAfter = 3 * kTimelineRowLength + 17;
    link_.onExchange = [this](std::size_t index, std::uint32_t) {
        if (index == kStopAfter) {
            stop_.store(1);
        }
    };
    EXPECT_EQ(Play(1), RunOutcome::kStopped);
    ASSERT_EQ(link_.outputs.size(), kStopAfter + 2);
    for (std::size_t tick = 1; tick <= kStopAfter; ++tick) {
        ASSERT_EQ(link_.outputs[tick], row[(tick - 1) % kTimelineRowLength]) << "tick " << tick;
    }
    EXPECT_EQ(link_.outputs.back(), 0U);
}

TEST_F(PlayerTest, ImpulseLimitTenStopsAtTheTenthChangeOfLevel) {
    SlotLimits& limits = Row(0, 0x01);
    limits.maxDuration[0] = 0;
    limits.impulseInput[0] = 1;
    limits.maxImpulses[0] = 10;
    link_.inputs = E1TogglesEveryThirdExchange;
    Play(1);
    Words expected(30, 1);
    expected.push_back(0);  // tick 31
    EXPECT_EQ(Ticks(), expected);
    EXPECT_EQ(diagnostics_.Text(),
              "\nBewegung 0: M1: 10 Impulse, M2: 0 impulse\n"
              "Pulsecount[0]:10,  [1]:0,  [2]:0,  [3]:    0\n\n");
}

TEST_F(PlayerTest, StoppedMotorsGoOnCountingAndCountsRestartEveryMovement) {
    // M1 stops at its first impulse; M2 runs 40 ticks, so the movement goes on.
    SlotLimits& first = Row(0, 0x05);
    first.impulseInput[0] = 1;
    first.maxDuration = {0, 41, 1, 1};
    first.maxImpulses[1] = 4294967295U;  // printed unsigned, not in force for M2
    SlotLimits& second = Row(1, 0x05);
    second.impulseInput[0] = 1;
    second.maxDuration = {5, 5, 1, 1};
    second.maxImpulses[0] = 100;
    link_.inputs = E1TogglesEveryThirdExchange;
    Play(2);
    // Row 0: ticks 1..41 see the changes of exchanges 3..39: 13 changes.
    // Row 1: ticks 42..46 see exchanges 41..45: the change at 42 and 45.
    EXPECT_EQ(diagnostics_.Text(),
              "\nBewegung 0: M1: 0 Impulse, M2: 4294967295 impulse\n"
              "Pulsecount[0]:13,  [1]:0,  [2]:0,  [3]:    0\n\n"
              "\nBewegung 1: M1: 100 Impulse, M2: 0 impulse\n"
              "Pulsecount[0]:2,  [1]:0,  [2]:0,  [3]:    0\n\n");
}

TEST_F(PlayerTest, PressedEndSwitchStopsBeforeTheFirstTickAndWinsOverImpulses) {
    // E1 changes at every exchange; E2 (M1's end switch) is pressed in the
    // answers of exchanges 0..4 and released afterwards.
    SlotLimits& limits = Row(0, 0x05);
    limits.endSwitchInput[0] = 2;
    limits.impulseInput[0] = 1;
    limits.maxImpulses[0] = 100;
    limits.maxDuration = {0, 21, 1, 1};
    link_.inputs = [](std::size_t index) {
        return static_cast<std::uint8_t>((index % 2) | (index < 5 ? 2 : 0));
    };
    Play(1);
    Words expected(20, 0x04);
    expected.push_back(0);
    EXPECT_EQ(Ticks(), expected);  // M1 never runs
    // Counted only in ticks 6..21, once the end switch is released.
    EXPECT_NE(diagnostics_.Text().find("Pulsecount[0]:16,"), std::string::npos);
}

TEST_F(PlayerTest, OffSwitchEndsTheRunAtTheNextTickOnlyWhereItIsWatched) {
    struct Case {
        std::uint8_t on, input;   // input 0..7 is E1..E8
        std::uint8_t pressed;     // the input word once pressed ...
        std::size_t pressedFrom;  // ... from this exchange's answer on
        RunOutcome outcome;
        Words outputs;
    };
    const Words finished = {0, kAllLeft, kAllLeft, 0, 0};
    for (const Case& c :
         {Case{1, 7, 0x80, 0, RunOutcome::kStopped, {0, 0}},  // before the first word
          Case{1, 2, 0x04, 4, RunOutcome::kStopped, {0, kAllLeft, kAllLeft, kAllLeft, kAllLeft, 0}},
          Case{0, 7, 0x80, 0, RunOutcome::kFinished, finished},     // not watched
          Case{1, 6, 0x80, 0, RunOutcome::kFinished, finished}}) {  // another input
        SCOPED_TRACE(int{c.input});
        link_.outputs.clear();
        const std::uint32_t limit = c.outcome == RunOutcome::kStopped ? 0 : 3;
        Row(0, kAllLeft).maxDuration = {limit, limit, limit, limit};
        settings_.offSwitchOn = c.on;
        settings_.offSwitchInput = c.input;
        link_.inputs = [pressed = c.pressed, from = c.pressedFrom](std::size_t index) {
            return static_cast<std::uint8_t>(index >= from ? pressed : 0);
        };
        EXPECT_EQ(Play(1), c.outcome);
        EXPECT_EQ(link_.outputs, c.outputs);
        EXPECT_EQ(stop_.load(), 0);
        if (c.outputs.size() == 2) {
            EXPECT_EQ(diagnostics_.Text(), "");
        }
    }
}

TEST_F(PlayerTest, EndlessLoopRepeatsTheListUntilUncheckedAndEndsAfterTheLastRow) {
    Row(0, 0x01).maxDuration = {3, 3, 3, 3};
    Row(1, 0x04).maxDuration = {3, 3, 3, 3};
    Row(2, 0x10).maxDuration = {3, 3, 3, 3};
    settings_.endlessLoop = 1;
    int row1Ticks = 0;
    link_.onExchange = [&](std::size_t, std::uint32_t output) {
        // Unchecked during row 1 of the third pass.
        if (output == 0x04 && ++row1Ticks == 5) {
            settings_.endlessLoop.store(0);
        }
    };
    EXPECT_EQ(Play(3), RunOutcome::kFinished);
    Words expected = {0};
    for (int pass = 0; pass < 3; ++pass) {
        for (std::uint32_t word : {0x01U, 0x04U, 0x10U}) {
            expected.insert(expected.end(), {word, word, 0});
        }
    }
    expected.push_back(0);
    EXPECT_EQ(link_.outputs, expected);

    // Without rows, or for a run that does not loop: one pass.
    link_.outputs.clear();
    link_.onExchange = nullptr;
    settings_.endlessLoop = 1;
    EXPECT_EQ(Play(0), RunOutcome::kFinished);
    EXPECT_EQ(link_.outputs, (Words{0, 0}));
    EXPECT_EQ(PlayRun(context_, 1, false), RunOutcome::kFinished);
    EXPECT_EQ(link_.outputs, (Words{0, 0, 0, 1, 1, 0, 0}));
}

TEST_F(PlayerTest, StopFlagSetBetweenAnyTwoExchangesPutsAllOffOnTheWireAtTheNextExchange) {
    std::mt19937 random(20261206);
    constexpr std::uint8_t kTrialWords[] = {0x55, 0xAA, 0x66};
    for (int trial = 0; trial < 1000; ++trial) {
        std::uniform_int_distribution<std::uint32_t> duration(1, 12);
        for (int row = 0; row < 3; ++row) {
            Row(row, kTrialWords[row]).maxDuration = {duration(random), duration(random),
                                                      duration(random), duration(random)};
        }
        settings_.endlessLoop = 1;
        const std::size_t stopAt = std::uniform_int_distribution<std::size_t>(0, 150)(random);
        link_.outputs.clear();
        link_.onExchange = [&](std::size_t index, std::uint32_t) {
            if (index == stopAt) {
                stop_.store(1);
            }
        };
        ASSERT_EQ(Play(3), RunOutcome::kStopped) << "trial " << trial;
        ASSERT_EQ(link_.outputs.size(), stopAt + 2) << "trial " << trial;
        ASSERT_EQ(link_.outputs.back(), 0U) << "trial " << trial;
        ASSERT_EQ(stop_.load(), 0);
        ASSERT_EQ(settings_.endlessLoop.load(), 1);
    }
}

// What a window reads through the live channel while the player plays (from
// the link, between two exchanges) and after it.
TEST_F(PlayerTest, EveryExchangeIsPublishedLiveAndTheLastValuesStay) {
    // Row 0: M1 stops after 5 ticks, M2 at its second impulse on E3; row 1: 3 ticks.
    SlotLimits& first = timeline_.Limits(0);
    first.maxDuration = {6, 0, 6, 6};
    first.impulseInput[1] = 3;
    first.maxImpulses[1] = 2;
    timeline_.Limits(1).maxDuration = {4, 4, 4, 4};
    // E3 changes at exchanges 2 and 4 (two impulses); E8 is held from exchange 6.
    link_.inputs = [](std::size_t i) {
        return static_cast<std::uint8_t>(((i >= 2 && i < 4) ? 0x04 : 0) | (i >= 6 ? 0x80 : 0));
    };
    std::vector<LiveRunState> seen;
    link_.onExchange = [&](std::size_t, std::uint32_t) { seen.push_back(live_.Read()); };
    ASSERT_EQ(PlayRun(context_, 2, false), RunOutcome::kFinished);

    // Each exchange sees what the one before published.
    ASSERT_EQ(seen.size(), link_.outputs.size());
    EXPECT_FALSE(seen[0].running);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_TRUE(seen[i].running);
        EXPECT_EQ(seen[i].ticks, i) << i;
        EXPECT_EQ(seen[i].inputs, link_.inputs(i - 1)) << i;
        EXPECT_EQ(seen[i].run, 1u);
    }
    // Row 0 as it ends: M2 has counted both impulses against its limit of 2.
    const LiveRunState& endOfRow0 = seen[6];
    EXPECT_EQ(endOfRow0.row, 0u);
    EXPECT_EQ(endOfRow0.movementTick, 5u);
    EXPECT_EQ(endOfRow0.impulses[1], 2u);
    EXPECT_EQ(endOfRow0.impulseLimits, (std::array<std::uint32_t, 4>{0, 2, 0, 0}));
    EXPECT_EQ(endOfRow0.impulseInputs[1], 3);
    EXPECT_EQ(seen[8].row, 1u);
    EXPECT_EQ(seen[8].impulses[1], 0u);  // counts start afresh with each movement
    EXPECT_EQ(seen[8].impulseLimits[1], 0u);
    const LiveRunState after = live_.Read();
    EXPECT_FALSE(after.running);
    EXPECT_EQ(after.ticks, link_.outputs.size());
    EXPECT_EQ(after.inputs, 0x80);
    EXPECT_EQ(after.row, 1u);

    // The next run, stopped, counts from 0 again under a new number and
    // publishes its final exchange.
    link_.outputs.clear();
    link_.onExchange = [&](std::size_t index, std::uint32_t) {
        if (index == 3) {
            stop_.store(1);
        }
    };
    link_.inputs = [](std::size_t) { return std::uint8_t{0x01}; };
    ASSERT_EQ(PlayRun(context_, 2, false), RunOutcome::kStopped);
    EXPECT_FALSE(live_.Read().running);
    EXPECT_EQ(live_.Read().run, 2u);
    EXPECT_EQ(live_.Read().ticks, link_.outputs.size());
    EXPECT_EQ(live_.Read().inputs, 0x01);
}

}  // namespace
}  // namespace kinemo::engine
