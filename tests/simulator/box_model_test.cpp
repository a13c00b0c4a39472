#include "simulator/box_model.h"

#include <gtest/gtest.h>

namespace kinemo::simulator {
namespace {

constexpr std::uint16_t kM1Left = 0x0001;
constexpr std::uint16_t kM1Right = 0x0002;
constexpr std::uint16_t kM4Left = 0x0040;
constexpr std::uint16_t kM8Right = 0x8000;

// Carriages start in the middle with every input open; off and the unused
// field value 3 do not move them; a reset puts them back.
TEST(BoxModel, StartsInTheMiddleAndOnlyLeftOrRightMoves) {
    BoxModel model;
    model.Apply(0x0003);  // M1 field 3
    model.Apply(0x0000);
    EXPECT_EQ(model.Inputs(), 0);
    for (int k = 0; k < kMotorCount; ++k) {
        EXPECT_EQ(model.carriage(k).position, 1000);
    }
    EXPECT_EQ(model.carriage(0).onTicks, 0u);
    EXPECT_EQ(model.carriage(0).state, 0);
    for (int i = 0; i < 30; ++i) {
        model.Apply(0xAAAA);
    }
    EXPECT_EQ(model.carriage(5).position, 1030);
    model.Reset();
    EXPECT_EQ(model.carriage(5).position, 1000);
    EXPECT_EQ(model.Inputs(), 0);
}

TEST(BoxModel, ImpulseInputChangesLevelEveryEightSteps) {
    BoxModel model;
    std::vector<int> edges;
    bool level = false;
    for (int tick = 1; tick <= 40; ++tick) {
        const bool now = (model.Apply(kM1Right) & 0x0001) != 0;
        if (now != level) {
            edges.push_back(tick);
            level = now;
        }
    }
    EXPECT_EQ(edges, (std::vector<int>{8, 16, 24, 32, 40}));
    EXPECT_EQ(model.carriage(0).position, 1040);
    // Back to the left: the count goes on, the level keeps changing every 8.
    for (int tick = 1; tick <= 8; ++tick) {
        EXPECT_EQ((model.Apply(kM1Left) & 0x0001) != 0, tick < 8) << tick;
    }
    EXPECT_EQ(model.carriage(0).position, 1032);
}

TEST(BoxModel, EndSwitchClosesAtBothEndsAndTheCarriageStops) {
    BoxModel model;
    for (int tick = 1; tick < 1000; ++tick) {
        ASSERT_EQ(model.Apply(kM4Left) & 0x0080, 0) << tick;
    }
    EXPECT_NE(model.Apply(kM4Left) & 0x0080, 0);
    // Against the end: no step, no impulse edge, switch stays closed.
    const std::uint16_t atEnd = model.Inputs();
    for (int tick = 0; tick < 20; ++tick) {
        EXPECT_EQ(model.Apply(kM4Left), atEnd);
    }
    EXPECT_EQ(model.carriage(3).position, 0);
    EXPECT_EQ(model.carriage(3).stepsMoved, 1000u);
    EXPECT_EQ(model.carriage(3).onTicks, 1020u);
    // One step away opens it again.
    EXPECT_EQ(model.Apply(0x0080) & 0x0080, 0);

    for (int tick = 0; tick < 1999; ++tick) {
        model.Apply(kM8Right);
    }
    EXPECT_EQ(model.carriage(7).position, 2000);
    EXPECT_NE(model.Inputs() & 0x8000, 0);
}

}  // namespace
}  // namespace kinemo::simulator
