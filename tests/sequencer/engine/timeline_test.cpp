// What the computation rules mean at their ends: row lengths, which flags turn
// a ramp on and the limits a row carries. The rows tick by tick are compared
// with the reference computation in timeline_equivalence_test.
#include "sequencer/engine/timeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "pulse/pulse_generator.h"
#include "tests/sequencer/engine/player_test_support.h"

namespace kinemo::engine {
namespace {

using testing::SetSpeed;

// A value no computation writes: motor state 3 never occurs.
constexpr std::uint8_t kUntouched = 0xFF;

// Runs ComputeTimeline over rows marked as untouched and returns what it printed.
std::string Compute(const MovementList& list, int last, Timeline& timeline) {
    for (int row = 0; row <= last; ++row) {
        std::memset(timeline.Row(row), kUntouched, kTimelineRowLength);
    }
    testing::CapturedText out;
    ComputeTimeline(list, 0, last, timeline, out.File());
    return out.Text();
}

// A list of `count` movements with every motor off and no limit in force.
MovementList QuietList(int count) {
    MovementList list;
    FillMovementsAtStartup(list);
    list.movementCount = static_cast<std::uint8_t>(count);
    return list;
}

// Positions of the row that a computation wrote; -1 if it left a gap.
long WrittenTicks(const Timeline& timeline, int row) {
    const std::uint8_t *words = timeline.Row(row), *end = words + kTimelineRowLength;
    const std::uint8_t* written = std::find(words, end, kUntouched);
    return std::all_of(written, end, [](auto w) { return w == kUntouched; }) ? written - words : -1;
}

using Ints = std::array<std::int32_t, kMotorCount>;

// A constant row has 65535 ticks, an accelerated one 65534 unless its ramp
// is longer; the sum of the acceleration flags decides, durations are unsigned
// and an off motor's duration still sets the ramp length.
TEST(Timeline, RowLengthsAndRampLengthsFollowFlagsAndDurations) {
    MovementList list = QuietList(10);
    auto& r = list.records;
    for (int row : {0, 1}) {
        r[row].direction[1] = kDirectionRight;
        SetSpeed(r[row], 1, 2500, 2500);
    }
    // Flags and durations of rows 2..8; the sum of the flags decides.
    r[2].accelOn[0] = r[3].accelOn[2] = r[4].accelOn[1] = r[7].accelOn[3] = 1;
    r[2].accelDuration[0] = 125;
    r[3].accelDuration[2] = 65535;
    r[4].accelDuration[1] = 100000;
    std::tie(r[5].accelOn, r[5].accelDuration) = std::pair(Ints{1, -1}, Ints{40, 50});   // sum 0
    std::tie(r[6].accelOn, r[6].accelDuration) = std::pair(Ints{-1, 2}, Ints{500, 10});  // sum 1
    r[7].accelDuration[3] = -1;  // 4294967295 ticks as unsigned
    std::tie(r[8].accelOn, r[8].accelDuration) = std::pair(Ints{-1}, Ints{70000});  // below 0
    // M1 stays off, its ramp of 300 counts; M2 has no acceleration of its own.
    MovementRecord& off = r[9];
    off.direction = {kDirectionOff, kDirectionLeft, kDirectionRight, kDirectionOff};
    std::tie(off.accelOn, off.accelDuration) = std::pair(Ints{1, 0, 1}, Ints{300, 125, 100, 125});
    SetSpeed(off, 0, 10000, 0);
    SetSpeed(off, 1, 5000, 3000);
    SetSpeed(off, 2, 1000, 9000);

    auto timeline = std::make_unique<Timeline>();
    EXPECT_EQ(Compute(list, 9, *timeline),
              "Höchstdauer: 125\nHöchstdauer: 65535\nHöchstdauer: 100000\nHöchstdauer: 500\n"
              "Höchstdauer: 4294967295\nHöchstdauer: 300\n");
    std::vector<long> lengths;
    for (int row = 0; row < 10; ++row) {
        lengths.push_back(WrittenTicks(*timeline, row));
    }
    EXPECT_EQ(lengths, (std::vector<long>{65535, 65535, 65534, 65535, 65535, 65535, 65534, 65535,
                                          65535, 65534}));
    // 25 %: 0010 0010 ... from position 0 in every row, M2 right = 8.
    for (int row : {0, 1}) {
        for (std::uint32_t p = 0; p < 65535; ++p) {
            ASSERT_EQ(timeline->Row(row)[p], p % 4 == 2 ? 8 : 0) << "row " << row << " at " << p;
        }
    }
    // M1 never runs; M2 keeps its start speed (50 %: on every second tick)
    // through the ramp of the others.
    for (std::uint32_t p = 0; p < 65534; ++p) {
        const int m1 = timeline->Row(9)[p] & 3, m2 = (timeline->Row(9)[p] >> 2) & 3;
        ASSERT_TRUE(m1 == 0 && (p >= 300 || m2 == (p % 2 == 0 ? pulse::kMotorLeft : 0))) << p;
    }
}

TEST(Timeline, SlotLimitsCopyOnlyTheLimitsInForce) {
    auto timeline = std::make_unique<Timeline>();
    MovementList list = QuietList(1);
    // clang-format off
    list.records[0] = {.endSwitchOn = {1, 0, 7, 1}, .endSwitchInput = {0x1234, 5, 3, 0},
                       .maxDurationOn = {0, 1, 1, 2}, .maxDuration = {125, 0, -2, 65535},
                       .maxImpulsesOn = {1, 0, -1, 0}, .maxImpulses = {-5, 9, 12, 13},
                       .impulseInput = {6, 2, 8, 1}};
    // clang-format on
    timeline->Limits(0).maxDuration = {1, 1, 1, 1};
    Compute(list, 0, *timeline);
    // The low byte of an input number; durations and counts unsigned.
    EXPECT_EQ(
        timeline->Limits(0),
        (SlotLimits{
            {0x34, 0, 3, 0}, {6, 0, 8, 0}, {4294967291u, 0, 12, 0}, {0, 0, 4294967294u, 65535}}));
}

}  // namespace
}  // namespace kinemo::engine
