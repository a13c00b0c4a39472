#include "sequencer/engine/timeline.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace kinemo::engine {
namespace {

// Runs ComputeTimeline and returns what it printed.
std::string Compute(const MovementList& list, int first, int last, Timeline& timeline) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    ComputeTimeline(list, first, last, timeline, out);
    std::fclose(out);
    std::string printed(text, size);
    std::free(text);
    return printed;
}

MovementList OneMotorList(double start, double target, int duration) {
    MovementList list;
    FillMovementsAtStartup(list);
    MovementRecord& r = list.records[0];
    r.direction[0] = kDirectionLeft;
    r.speed[0] = static_cast<std::uint8_t>(start >= 100 ? 99 : start);
    r.fineSpeed[0] = static_cast<std::uint8_t>(start >= 100 ? 100 : 0);
    r.targetSpeed[0] = static_cast<std::uint8_t>(target >= 100 ? 99 : target);
    r.targetFineSpeed[0] = static_cast<std::uint8_t>(target >= 100 ? 100 : 0);
    r.accelOn[0] = duration >= 0 ? 1 : 0;
    r.accelDuration[0] = duration >= 0 ? duration : 0;
    return list;
}

// Number of on-ticks of M1 in positions [from, to).
int OnTicks(const Timeline& timeline, std::uint32_t from, std::uint32_t to) {
    int on = 0;
    for (std::uint32_t p = from; p < to; ++p) {
        on += (timeline.Row(0)[p] & 3) != 0;
    }
    return on;
}

TEST(Timeline, ConstantRowHas65535TicksAndRestartsItsPattern) {
    auto timeline = std::make_unique<Timeline>();
    MovementList list = OneMotorList(25, 25, -1);
    list.records[1] = list.records[0];
    timeline->Row(0)[65535] = 0x77;
    EXPECT_EQ(Compute(list, 0, 1, *timeline), "");
    for (int row = 0; row < 2; ++row) {
        const std::uint8_t* words = timeline->Row(row);
        EXPECT_EQ(words[0], 0);
        EXPECT_EQ(words[2], 1);
        EXPECT_EQ(words[6], 1);
        EXPECT_EQ(words[65534], 1);
    }
    EXPECT_EQ(timeline->Row(0)[65535], 0x77);
}

TEST(Timeline, UpwardRampClimbs123TicksAndSwitchesAtPass125) {
    auto timeline = std::make_unique<Timeline>();
    timeline->Row(0)[65534] = 0x55;
    const MovementList list = OneMotorList(0, 100, 125);
    EXPECT_EQ(Compute(list, 0, 0, *timeline), "Höchstdauer: 125\n");
    // 65534 ticks written: position 65534 is untouched.
    EXPECT_EQ(timeline->Row(0)[65534], 0x55);
    // After the ramp the motor runs at 100 %: no off-tick within the row.
    EXPECT_EQ(OnTicks(*timeline, 125, 65534), 65534 - 125);
}

TEST(Timeline, RampOf65535TicksFillsTheWholeRow) {
    auto timeline = std::make_unique<Timeline>();
    timeline->Row(0)[65534] = 0x55;
    const MovementList list = OneMotorList(100, 100, 65535);
    EXPECT_EQ(Compute(list, 0, 0, *timeline), "Höchstdauer: 65535\n");
    EXPECT_EQ(timeline->Row(0)[65534], 1);
}

}  // namespace
}  // namespace kinemo::engine
