// What the computation rules mean at their ends: row lengths, which flags turn
// a ramp on, the limits a row carries and the first switch of extreme speeds.
// The rows tick by tick are compared with the reference computation in
// timeline_equivalence_test.
#include "sequencer/engine/timeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "pulse/pulse_generator.h"
#include "tests/sequencer/engine/player_test_support.h"

namespace kinemo::engine {
namespace {

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

// Start and target speed in hundredths of a percent; 100.00 % is stored as
// 99 + 1.00, as the dialog does.
void SetSpeed(MovementRecord& record, int motor, int hundredths, int targetHundredths) {
    const auto whole = [](int h) { return static_cast<std::uint8_t>(h == 10000 ? 99 : h / 100); };
    const auto fine = [](int h) { return static_cast<std::uint8_t>(h == 10000 ? 100 : h % 100); };
    record.speed[motor] = whole(hundredths);
    record.fineSpeed[motor] = fine(hundredths);
    record.targetSpeed[motor] = whole(targetHundredths);
    record.targetFineSpeed[motor] = fine(targetHundredths);
}

// Positions of the row that a computation wrote, without a gap.
std::uint32_t WrittenTicks(const Timeline& timeline, int row) {
    const std::uint8_t* words = timeline.Row(row);
    const std::uint32_t written = static_cast<std::uint32_t>(
        std::find(words, words + kTimelineRowLength, kUntouched) - words);
    EXPECT_EQ(std::count(words + written, words + kTimelineRowLength, kUntouched),
              static_cast<long>(kTimelineRowLength - written))
        << "gap in row " << row;
    return written;
}

int MotorBits(std::uint8_t word, int motor) {
    return (word >> (2 * motor)) & 3;
}

// A constant row has 65535 ticks, an accelerated one 65534 unless its ramp
// is longer; the sum of the acceleration flags decides, durations are unsigned
// and an off motor's duration still sets the ramp length.
TEST(Timeline, RowLengthsAndRampLengthsFollowFlagsAndDurations) {
    MovementList list = QuietList(10);
    for (int row : {0, 1}) {
        list.records[row].direction[1] = kDirectionRight;
        SetSpeed(list.records[row], 1, 2500, 2500);
    }
    list.records[2].accelOn[0] = 1;
    list.records[2].accelDuration[0] = 125;
    list.records[3].accelOn[2] = 1;
    list.records[3].accelDuration[2] = 65535;
    list.records[4].accelOn[1] = 1;
    list.records[4].accelDuration[1] = 100000;
    list.records[5].accelOn = {1, -1, 0, 0};  // sum 0: constant
    list.records[5].accelDuration = {40, 50, 0, 0};
    list.records[6].accelOn = {-1, 2, 0, 0};  // sum 1: every non-zero flag is on
    list.records[6].accelDuration = {500, 10, 0, 0};
    list.records[7].accelOn[3] = 1;
    list.records[7].accelDuration[3] = -1;    // 4294967295 ticks as unsigned
    list.records[8].accelOn = {-1, 0, 0, 0};  // sum below 0: constant
    list.records[8].accelDuration = {70000, 0, 0, 0};
    MovementRecord& off = list.records[9];
    SetSpeed(off, 0, 10000, 0);  // M1 stays off, its ramp of 300 counts
    off.accelOn[0] = 1;
    off.accelDuration[0] = 300;
    off.direction[1] = kDirectionLeft;
    SetSpeed(off, 1, 5000, 3000);  // no acceleration of its own
    off.direction[2] = kDirectionRight;
    SetSpeed(off, 2, 1000, 9000);
    off.accelOn[2] = 1;
    off.accelDuration[2] = 100;

    auto timeline = std::make_unique<Timeline>();
    EXPECT_EQ(Compute(list, 9, *timeline),
              "Höchstdauer: 125\nHöchstdauer: 65535\nHöchstdauer: 100000\nHöchstdauer: 500\n"
              "Höchstdauer: 4294967295\nHöchstdauer: 300\n");
    const std::uint32_t lengths[] = {65535, 65535, 65534, 65535, 65535,
                                     65535, 65534, 65535, 65535, 65534};
    for (int row = 0; row < 10; ++row) {
        EXPECT_EQ(WrittenTicks(*timeline, row), lengths[row]) << "row " << row;
    }
    // 25 %: 0010 0010 ... from position 0 in every row, M2 right = 8.
    for (int row : {0, 1}) {
        for (std::uint32_t p = 0; p < 65535; ++p) {
            ASSERT_EQ(timeline->Row(row)[p], p % 4 == 2 ? 8 : 0) << "row " << row << " at " << p;
        }
    }
    // M1 never runs; M2 keeps its start speed (50 %: on every second tick)
    // through the ramp of the others.
    for (std::uint32_t p = 0; p < 65534; ++p) {
        ASSERT_EQ(MotorBits(timeline->Row(9)[p], 0), 0) << p;
        ASSERT_TRUE(p >= 300 ||
                    MotorBits(timeline->Row(9)[p], 1) == (p % 2 == 0 ? pulse::kMotorLeft : 0))
            << p;
    }
}

TEST(Timeline, SlotLimitsCopyOnlyTheLimitsInForce) {
    auto timeline = std::make_unique<Timeline>();
    MovementList list = QuietList(1);
    MovementRecord& record = list.records[0];
    record.endSwitchOn = {1, 0, 7, 1};
    record.endSwitchInput = {0x1234, 5, 3, 0};
    record.maxImpulsesOn = {1, 0, -1, 0};
    record.impulseInput = {6, 2, 8, 1};
    record.maxImpulses = {-5, 9, 12, 13};
    record.maxDurationOn = {0, 1, 1, 2};
    record.maxDuration = {125, 0, -2, 65535};
    timeline->Limits(0).maxDuration = {1, 1, 1, 1};
    Compute(list, 0, *timeline);
    SlotLimits expected;
    expected.endSwitchInput = {0x34, 0, 3, 0};  // the low byte
    expected.impulseInput = {6, 0, 8, 0};
    expected.maxImpulses = {4294967291u, 0, 12, 0};
    expected.maxDuration = {0, 0, 4294967294u, 65535};
    EXPECT_EQ(timeline->Limits(0), expected);
}

TEST(Timeline, ExtremeSpeedsKeepTheirFirstOnOrOffTickWithinTheRow) {
    auto timeline = std::make_unique<Timeline>();
    MovementList list = QuietList(1);
    const int hundredths[kMotorCount] = {0, 1, 9999, 10000};
    for (int m = 0; m < kMotorCount; ++m) {
        list.records[0].direction[m] = kDirectionLeft;
        SetSpeed(list.records[0], m, hundredths[m], hundredths[m]);
    }
    Compute(list, 0, *timeline);
    const std::uint8_t* row = timeline->Row(0);
    const auto first = [row](int m, bool on) {
        return std::find_if(row, row + 65535,
                            [m, on](std::uint8_t w) { return (MotorBits(w, m) != 0) == on; }) -
               row;
    };
    EXPECT_EQ(first(0, true), 65535);   // 0 %: never on
    EXPECT_EQ(first(1, true), 9998);    // 0.01 %
    EXPECT_EQ(first(2, false), 9998);   // 99.99 %
    EXPECT_EQ(first(3, false), 65535);  // 100 %: never off
}

}  // namespace
}  // namespace kinemo::engine
