// What the player publishes for a window while it plays: read through the
// channel during the run (from the link, between two exchanges) and after it.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "sequencer/engine/live_run.h"
#include "sequencer/engine/player.h"
#include "tests/sequencer/engine/player_test_support.h"

namespace kinemo::engine {
namespace {

struct LiveFixture {
    std::unique_ptr<Timeline> timeline = std::make_unique<Timeline>();
    RunSettings settings;
    StopFlag stop{0};
    LiveRunChannel live;
    testing::ScriptedLink link;

    PlayerContext Context() { return {&link, timeline.get(), &settings, &stop, nullptr, &live}; }
};

// Row 0: M1 stops after 5 ticks, M2 at its second impulse on E3; row 1: 3 ticks.
void Limit(LiveFixture& run) {
    SlotLimits& first = run.timeline->Limits(0);
    first.maxDuration = {6, 0, 6, 6};
    first.impulseInput[1] = 3;
    first.maxImpulses[1] = 2;
    run.timeline->Limits(1).maxDuration = {4, 4, 4, 4};
}

TEST(LiveRun, EveryExchangeIsPublishedAndTheLastValuesStay) {
    LiveFixture run;
    Limit(run);
    // E3 changes at exchanges 2 and 4 (two impulses); E8 is held from exchange 6.
    run.link.inputs = [](std::size_t i) {
        std::uint8_t word = (i >= 2 && i < 4) ? 0x04 : 0x00;
        if (i >= 6) {
            word |= 0x80;
        }
        return word;
    };
    std::vector<LiveRunState> seen;
    run.link.onExchange = [&](std::size_t, std::uint32_t) { seen.push_back(run.live.Read()); };
    ASSERT_EQ(PlayRun(run.Context(), 2, false), RunOutcome::kFinished);

    // Each exchange sees what the one before published.
    ASSERT_EQ(seen.size(), run.link.outputs.size());
    EXPECT_FALSE(seen[0].running);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_TRUE(seen[i].running);
        EXPECT_EQ(seen[i].ticks, i) << i;
        EXPECT_EQ(seen[i].inputs, run.link.inputs(i - 1)) << i;
        EXPECT_EQ(seen[i].run, 1u);
    }
    // Row 0 as it ends: M2 has counted both impulses against its limit of 2.
    const LiveRunState& endOfRow0 = seen[6];
    EXPECT_EQ(endOfRow0.row, 0u);
    EXPECT_EQ(endOfRow0.movementTick, 5u);
    EXPECT_EQ(endOfRow0.impulses[1], 2u);
    EXPECT_EQ(endOfRow0.impulseLimits, (std::array<std::uint32_t, 4>{0, 2, 0, 0}));
    EXPECT_EQ(endOfRow0.impulseInputs[1], 3);
    const LiveRunState& inRow1 = seen[8];
    EXPECT_EQ(inRow1.row, 1u);
    EXPECT_EQ(inRow1.impulses[1], 0u);  // counts start afresh with each movement
    EXPECT_EQ(inRow1.impulseLimits[1], 0u);

    const LiveRunState after = run.live.Read();
    EXPECT_FALSE(after.running);
    EXPECT_EQ(after.ticks, run.link.outputs.size());
    EXPECT_EQ(after.inputs, 0x80);
    EXPECT_EQ(after.row, 1u);

    // The next run counts from 0 again under a new number.
    run.link.outputs.clear();
    seen.clear();
    ASSERT_EQ(PlayRun(run.Context(), 1, false), RunOutcome::kFinished);
    EXPECT_EQ(run.live.Read().run, 2u);
    EXPECT_EQ(run.live.Read().ticks, run.link.outputs.size());
}

TEST(LiveRun, StopPublishesTheFinalExchange) {
    LiveFixture run;
    Limit(run);
    run.link.onExchange = [&](std::size_t index, std::uint32_t) {
        if (index == 3) {
            run.stop.store(1);
        }
    };
    run.link.inputs = [](std::size_t) { return std::uint8_t{0x01}; };
    ASSERT_EQ(PlayRun(run.Context(), 2, false), RunOutcome::kStopped);
    const LiveRunState after = run.live.Read();
    EXPECT_FALSE(after.running);
    EXPECT_EQ(after.ticks, run.link.outputs.size());
    EXPECT_EQ(after.inputs, 0x01);
}

}  // namespace
}  // namespace kinemo::engine
