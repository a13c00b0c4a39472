#include "sequencer/engine/player.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "sequencer/engine/live_run.h"
#include "tests/sequencer/engine/player_test_support.h"

namespace kinemo::engine {
namespace {

using testing::Words;
using Inputs = std::function<std::uint8_t(std::size_t)>;

constexpr std::uint8_t kAllLeft = 0x55;
constexpr SlotLimits kStopAtOnce{.maxDuration = {1, 1, 1, 1}};

// `count` ticks of `word`, then the tick in which the last motor stops: all off.
Words Held(std::uint32_t word, std::size_t count) {
    Words words(count, word);
    words.push_back(0);
    return words;
}

// E1 changes at exchanges 3, 6, 9, ...; tick k sees the change answered by
// exchange k - 1, so the n-th change is seen in tick 3n + 1.
std::uint8_t E1TogglesEveryThirdExchange(std::size_t index) {
    return static_cast<std::uint8_t>((index / 3) % 2);
}

class PlayerTest : public ::testing::Test {
  protected:
    void Row(int row, std::uint8_t word, const SlotLimits& limits = kStopAtOnce) {
        std::memset(timeline_.Row(row), word, kTimelineRowLength);
        timeline_.Limits(row) = limits;
    }
    // Plays and returns the tick words, without the opening and closing exchange.
    Words Play(int runLength, RunOutcome outcome = RunOutcome::kFinished, bool loop = true) {
        link_.outputs.clear();
        EXPECT_EQ(PlayRun(context_, runLength, loop), outcome);
        EXPECT_EQ(link_.outputs.back(), 0U);
        return Words(link_.outputs.begin() + 1, link_.outputs.end() - 1);
    }

    void StopAt(std::size_t at) {
        link_.onExchange = [this, at](std::size_t i, std::uint32_t) {
            stop_.store(i == at ? 1 : stop_.load());
        };
    }

    testing::ScriptedLink link_;
    Timeline timeline_;
    RunSettings settings_;
    StopFlag stop_{0};
    testing::CapturedText diagnostics_;
    LiveRunChannel live_;
    PlayerContext context_{&link_, &timeline_, &settings_, &stop_, diagnostics_.File(), &live_};
};

TEST_F(PlayerTest, LimitsStopEachMotorAtItsTickAndThePulsesAreCounted) {
    // What, the row's word, its limits, the inputs, the ticks played and M1's
    // count in the run's diagnostic text (if checked).
    using Case = std::tuple<const char*, std::uint8_t, SlotLimits, Inputs, Words, int>;
    const Inputs e2AtThree = [](std::size_t i) { return std::uint8_t(i == 3 ? 2 : 0); };
    // E2 pressed in the answers of exchanges 0..4, E1 changing at every exchange.
    const Inputs e2Early = [](std::size_t i) { return std::uint8_t((i % 2) | (i < 5 ? 2 : 0)); };
    const Inputs all = [](std::size_t i) { return std::uint8_t(i % 2 ? 0xFF : 0); };
    const Inputs toggles = E1TogglesEveryThirdExchange;
    // clang-format off
    const Case cases[] = {
        {"duration N: N - 1 ticks", 1, {.maxDuration = {5, 1, 1, 1}}, {}, Held(1, 4), -1},
        {"duration 1", kAllLeft, kStopAtOnce, {}, Held(0, 0), -1},
        {"impulse limit 0: the first change", 1, {{}, {1}, {}, {0, 1, 1, 1}}, toggles, Held(1, 3),
         -1},
        {"impulse limit 10", 1, {{}, {1}, {10}, {0, 1, 1, 1}}, toggles, Held(1, 30), 10},
        {"an end switch released again keeps the motor stopped", 5, {{2}, {}, {}, {0, 8, 1, 1}},
         e2AtThree, {5, 5, 5, 4, 4, 4, 4, 0}, -1},
        {"a pressed end switch stops before the first tick, wins over impulses, counts once "
         "released", 5, {{2}, {1}, {100}, {0, 21, 1, 1}}, e2Early, Held(4, 20), 16},
        {"input numbers outside 1..8 are never set", kAllLeft,
         {{9, 0xFF, 0, 0}, {0, 0, 200, 9}, {}, {3, 3, 3, 3}}, all, Held(kAllLeft, 2), -1},
    };
    // clang-format on
    settings_.offSwitchOn = 1;
    settings_.offSwitchInput = 0xFF;  // input 256: never pressed
    for (const auto& [what, word, limits, inputs, ticks, pulses] : cases) {
        SCOPED_TRACE(what);
        Row(0, word, limits);
        link_.inputs = inputs;
        const std::size_t before = diagnostics_.Text().size();
        EXPECT_EQ(Play(1), ticks);
        const std::string count = "Pulsecount[0]:" + std::to_string(pulses) + ",";
        EXPECT_TRUE(pulses < 0 || diagnostics_.Text().find(count, before) != std::string::npos);
    }
}

// M1 stops at its first impulse but goes on counting while M2 runs 40 ticks;
// counts restart with every movement and limits print unsigned.
TEST_F(PlayerTest, StoppedMotorsGoOnCountingAndCountsRestartEveryMovement) {
    Row(0, 5, {.impulseInput = {1}, .maxImpulses = {0, 4294967295U}, .maxDuration = {0, 41, 1, 1}});
    Row(1, 5, {.impulseInput = {1}, .maxImpulses = {100}, .maxDuration = {5, 5, 1, 1}});
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

TEST_F(PlayerTest, MaximumDurationZeroNeverEndsAndTheRowPlaysAgainAfter65536Ticks) {
    // The row's last position stays 0, as a computation leaves it.
    constexpr std::size_t kStopAfter = 3 * kTimelineRowLength + 17;
    Words expected(kStopAfter);
    for (std::size_t tick = 0; tick < kStopAfter; ++tick) {
        const std::size_t position = tick % kTimelineRowLength;
        expected[tick] = position == kTimelineRowLength - 1 ? 0 : position % 3 == 0 ? 1 : 2;
        timeline_.Row(0)[position] = static_cast<std::uint8_t>(expected[tick]);
    }
    timeline_.Limits(0).maxDuration = {0, 1, 1, 1};
    StopAt(kStopAfter);
    EXPECT_TRUE(Play(1, RunOutcome::kStopped) == expected) << link_.outputs.size();
}

TEST_F(PlayerTest, OffSwitchEndsTheRunAtTheNextTickOnlyWhereItIsWatched) {
    // on, input (0..7 is E1..E8), the input word once pressed from exchange `from` on.
    for (const auto& [on, input, pressed, from, outcome, ticks] :
         {std::tuple{1, 7, 0x80, 0, RunOutcome::kStopped, Words{}},  // before the first word
          {1, 2, 0x04, 4, RunOutcome::kStopped, Words{kAllLeft, kAllLeft, kAllLeft, kAllLeft}},
          {0, 7, 0x80, 0, RunOutcome::kFinished, Held(kAllLeft, 2)},     // not watched
          {1, 6, 0x80, 0, RunOutcome::kFinished, Held(kAllLeft, 2)}}) {  // another input
        SCOPED_TRACE(input);
        const std::uint32_t limit = outcome == RunOutcome::kStopped ? 0 : 3;
        Row(0, kAllLeft, {.maxDuration = {limit, limit, limit, limit}});
        settings_.offSwitchOn = static_cast<std::uint8_t>(on);
        settings_.offSwitchInput = static_cast<std::uint8_t>(input);
        link_.inputs = [pressed = pressed, from = from](std::size_t index) {
            return static_cast<std::uint8_t>(index >= std::size_t(from) ? pressed : 0);
        };
        const std::size_t before = diagnostics_.Text().size();
        EXPECT_EQ(Play(1, outcome), ticks);
        EXPECT_EQ(stop_.load(), 0);
        EXPECT_TRUE(!ticks.empty() || diagnostics_.Text().size() == before);
    }
}

TEST_F(PlayerTest, EndlessLoopRepeatsTheListUntilUncheckedAndEndsAfterTheLastRow) {
    const std::uint8_t words[] = {0x01, 0x04, 0x10};
    for (int row = 0; row < 3; ++row) {
        Row(row, words[row], {.maxDuration = {3, 3, 3, 3}});
    }
    settings_.endlessLoop = 1;
    int row1Ticks = 0;
    link_.onExchange = [&](std::size_t, std::uint32_t output) {
        if (output == 0x04 && ++row1Ticks == 5) {  // during row 1 of the third pass
            settings_.endlessLoop.store(0);
        }
    };
    Words expected;
    for (int pass = 0; pass < 9; ++pass) {
        expected.insert(expected.end(), {words[pass % 3], words[pass % 3], 0});
    }
    EXPECT_EQ(Play(3), expected);
    // Without rows, or for a run that does not loop: one pass.
    link_.onExchange = nullptr;
    settings_.endlessLoop = 1;
    EXPECT_EQ(std::pair(Play(0), Play(1, RunOutcome::kFinished, false)),
              std::pair(Words{}, Held(1, 2)));
}

TEST_F(PlayerTest, StopFlagSetBetweenAnyTwoExchangesPutsAllOffOnTheWireAtTheNextExchange) {
    std::mt19937 random(20261206);
    settings_.endlessLoop = 1;
    constexpr std::uint8_t kTrialWords[] = {0x55, 0xAA, 0x66};
    for (int trial = 0; trial < 1000; ++trial) {
        SCOPED_TRACE(trial);
        for (int row = 0; row < 3; ++row) {
            const auto d = [&] { return std::uint32_t(random() % 12 + 1); };
            Row(row, kTrialWords[row], {.maxDuration = {d(), d(), d(), d()}});
        }
        const std::size_t stopAt = random() % 151;
        StopAt(stopAt);
        ASSERT_EQ(Play(3, RunOutcome::kStopped).size(), stopAt);
        ASSERT_TRUE(stop_.load() == 0 && settings_.endlessLoop.load() == 1);
    }
}

// What a window reads through the live channel while the player plays (from
// the link, between two exchanges) and after it.
TEST_F(PlayerTest, EveryExchangeIsPublishedLiveAndTheLastValuesStay) {
    // Row 0: M1 stops after 5 ticks, M2 at its second impulse on E3; row 1: 3 ticks.
    timeline_.Limits(0) = {
        .impulseInput = {0, 3}, .maxImpulses = {0, 2}, .maxDuration = {6, 0, 6, 6}};
    timeline_.Limits(1) = {.maxDuration = {4, 4, 4, 4}};
    // E3 changes at exchanges 2 and 4 (two impulses); E8 is held from exchange 6.
    link_.inputs = [](std::size_t i) {
        return static_cast<std::uint8_t>(((i >= 2 && i < 4) ? 0x04 : 0) | (i >= 6 ? 0x80 : 0));
    };
    const auto view = [](const LiveRunState& s) {
        return std::tuple(s.running, s.ticks, s.run, s.row, s.movementTick, s.impulses,
                          s.impulseLimits, s.impulseInputs, int{s.inputs});
    };
    using Counts = std::array<std::uint32_t, 4>;
    using Ins = std::array<std::uint8_t, 4>;
    std::vector<LiveRunState> seen;
    link_.onExchange = [&](std::size_t, std::uint32_t) { seen.push_back(live_.Read()); };
    Play(2, RunOutcome::kFinished, false);
    // Each exchange sees what the one before published.
    ASSERT_EQ(std::pair(seen.size(), seen[0].running), std::pair(12UL, false));
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_EQ(std::tuple(seen[i].running, seen[i].ticks, seen[i].run, int{seen[i].inputs}),
                  std::tuple(true, i, 1U, int{link_.inputs(i - 1)}));
    }
    // Row 0 as it ends: M2 has counted both impulses against its limit of 2;
    // counts start afresh with each movement.
    EXPECT_EQ(view(seen[6]), view({6, 1, 0, 5, Counts{0, 2}, Counts{0, 2}, Ins{0, 3}, 0, true}));
    EXPECT_EQ(view(seen[8]), view({8, 1, 1, 1, Counts{}, Counts{}, Ins{}, 0x80, true}));
    EXPECT_EQ(view(live_.Read()), view({12, 1, 1, 0, Counts{}, Counts{}, Ins{}, 0x80, false}));

    // The next run, stopped, counts from 0 again under a new number and
    // publishes its final exchange.
    StopAt(3);
    link_.inputs = [](std::size_t) { return std::uint8_t{0x01}; };
    Play(2, RunOutcome::kStopped, false);
    EXPECT_EQ(std::tuple(live_.Read().running, live_.Read().run, live_.Read().ticks,
                         int{live_.Read().inputs}),
              std::tuple(false, 2U, link_.outputs.size(), 1));
}

}  // namespace
}  // namespace kinemo::engine
