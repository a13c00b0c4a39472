#include "sequencer/engine/timeline.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pulse/pulse_generator.h"

namespace kinemo::engine {
namespace {

// A value no computation writes: motor state 3 never occurs.
constexpr std::uint8_t kUntouched = 0xFF;

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

std::unique_ptr<Timeline> MarkedTimeline() {
    auto timeline = std::make_unique<Timeline>();
    for (int row = 0; row < kTimelineRows; ++row) {
        std::memset(timeline->Row(row), kUntouched, kTimelineRowLength);
    }
    return timeline;
}

// A list of `count` movements with every motor off and no limit in force.
MovementList QuietList(int count) {
    MovementList list;
    FillMovementsAtStartup(list);
    list.movementCount = static_cast<std::uint8_t>(count);
    return list;
}

void SetSpeed(MovementRecord& record, int motor, int hundredths, int targetHundredths) {
    // 100.00 % is stored as 99 + 1.00, as the dialog does.
    const auto whole = [](int h) { return static_cast<std::uint8_t>(h == 10000 ? 99 : h / 100); };
    const auto fine = [](int h) { return static_cast<std::uint8_t>(h == 10000 ? 100 : h % 100); };
    record.speed[motor] = whole(hundredths);
    record.fineSpeed[motor] = fine(hundredths);
    record.targetSpeed[motor] = whole(targetHundredths);
    record.targetFineSpeed[motor] = fine(targetHundredths);
}

void Accelerate(MovementRecord& record, int motor, std::int32_t duration) {
    record.accelOn[motor] = 1;
    record.accelDuration[motor] = duration;
}

// Positions of the row that a computation wrote.
std::uint32_t WrittenTicks(const Timeline& timeline, int row) {
    std::uint32_t written = 0;
    while (written < kTimelineRowLength && timeline.Row(row)[written] != kUntouched) {
        ++written;
    }
    for (std::uint32_t p = written; p < kTimelineRowLength; ++p) {
        EXPECT_EQ(timeline.Row(row)[p], kUntouched) << "gap in row " << row << " at " << p;
    }
    return written;
}

// Bits of `motor` at `position` of `row`.
int MotorBitsAt(const Timeline& timeline, int row, int motor, std::uint32_t position) {
    return (timeline.Row(row)[position] >> (2 * motor)) & 3;
}

TEST(Timeline, ConstantRowHas65535TicksAndRestartsItsPatternInEveryRow) {
    auto timeline = MarkedTimeline();
    MovementList list = QuietList(2);
    for (int row = 0; row < 2; ++row) {
        list.records[row].direction[1] = kDirectionRight;
        SetSpeed(list.records[row], 1, 2500, 2500);
    }
    EXPECT_EQ(Compute(list, 0, 1, *timeline), "");
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(WrittenTicks(*timeline, row), 65535u);
        // 25 %: 0010 0010 ... from position 0, M2 right = 8.
        for (std::uint32_t p = 0; p < 65535; ++p) {
            ASSERT_EQ(timeline->Row(row)[p], p % 4 == 2 ? 8 : 0) << "row " << row << " at " << p;
        }
    }
}

TEST(Timeline, AcceleratedRowHas65534TicksOr65535WithTheLongestRamp) {
    auto timeline = MarkedTimeline();
    MovementList list = QuietList(4);
    Accelerate(list.records[0], 0, 125);
    Accelerate(list.records[1], 2, 65535);
    Accelerate(list.records[2], 3, 65534);
    Accelerate(list.records[3], 1, 100000);
    EXPECT_EQ(Compute(list, 0, 3, *timeline),
              "Höchstdauer: 125\nHöchstdauer: 65535\nHöchstdauer: 65534\nHöchstdauer: 100000\n");
    EXPECT_EQ(WrittenTicks(*timeline, 0), 65534u);
    EXPECT_EQ(WrittenTicks(*timeline, 1), 65535u);
    EXPECT_EQ(WrittenTicks(*timeline, 2), 65534u);
    EXPECT_EQ(WrittenTicks(*timeline, 3), 65535u);
}

// Movement 0 with one motor ramping and the others off.
std::unique_ptr<Timeline> RampAlone(int motor, Direction direction, int startHundredths,
                                    int targetHundredths, std::int32_t duration) {
    auto timeline = MarkedTimeline();
    MovementList list = QuietList(1);
    list.records[0].direction[motor] = direction;
    SetSpeed(list.records[0], motor, startHundredths, targetHundredths);
    Accelerate(list.records[0], motor, duration);
    EXPECT_EQ(Compute(list, 0, 0, *timeline), "Höchstdauer: " + std::to_string(duration) + "\n");
    return timeline;
}

// The ramp's shape tick by tick is compared with the reference computation
// (timeline_equivalence_test); here what the rule means at its ends.
TEST(Timeline, UpwardRampRunsAt100FromPass125) {
    const auto timeline = RampAlone(0, kDirectionLeft, 0, 10000, 125);
    EXPECT_EQ(WrittenTicks(*timeline, 0), 65534u);
    EXPECT_EQ(MotorBitsAt(*timeline, 0, 0, 0), 0);  // starts at 0 %
    // 100 % switches no motor off within the row.
    for (std::uint32_t p = 125; p < 65534; ++p) {
        ASSERT_EQ(timeline->Row(0)[p], 1) << p;
    }
}

TEST(Timeline, OffMotorNeverRunsButItsDurationSetsTheRampLength) {
    auto timeline = MarkedTimeline();
    MovementList list = QuietList(1);
    MovementRecord& record = list.records[0];
    SetSpeed(record, 0, 10000, 0);
    Accelerate(record, 0, 300);  // M1 stays off
    record.direction[1] = kDirectionLeft;
    SetSpeed(record, 1, 5000, 3000);  // no acceleration of its own
    record.direction[2] = kDirectionRight;
    SetSpeed(record, 2, 1000, 9000);
    Accelerate(record, 2, 100);
    EXPECT_EQ(Compute(list, 0, 0, *timeline), "Höchstdauer: 300\n");
    EXPECT_EQ(WrittenTicks(*timeline, 0), 65534u);
    // M1 never runs; M2 keeps its start speed (50 %: on every second tick)
    // through the ramp of the others.
    for (std::uint32_t p = 0; p < 65534; ++p) {
        ASSERT_EQ(MotorBitsAt(*timeline, 0, 0, p), 0) << p;
    }
    for (std::uint32_t p = 0; p < 300; ++p) {
        ASSERT_EQ(MotorBitsAt(*timeline, 0, 1, p), p % 2 == 0 ? pulse::kMotorLeft : 0) << p;
    }
}

TEST(Timeline, AccelerationIsDecidedByTheSumOfTheFlagsAndDurationsAreUnsigned) {
    auto timeline = MarkedTimeline();
    MovementList list = QuietList(4);
    list.records[0].accelOn = {1, -1, 0, 0};  // sum 0: constant
    list.records[0].accelDuration = {40, 50, 0, 0};
    list.records[1].accelOn = {-1, 2, 0, 0};  // sum 1: every non-zero flag is on
    list.records[1].accelDuration = {500, 10, 0, 0};
    Accelerate(list.records[2], 3, -1);       // 4294967295 ticks as unsigned
    list.records[3].accelOn = {-1, 0, 0, 0};  // sum below 0: constant
    list.records[3].accelDuration = {70000, 0, 0, 0};
    EXPECT_EQ(Compute(list, 0, 3, *timeline), "Höchstdauer: 500\nHöchstdauer: 4294967295\n");
    EXPECT_EQ(WrittenTicks(*timeline, 0), 65535u);
    EXPECT_EQ(WrittenTicks(*timeline, 1), 65534u);
    EXPECT_EQ(WrittenTicks(*timeline, 2), 65535u);
    EXPECT_EQ(WrittenTicks(*timeline, 3), 65535u);
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
    Compute(list, 0, 0, *timeline);

    SlotLimits expected;
    expected.endSwitchInput = {0x34, 0, 3, 0};  // the low byte
    expected.impulseInput = {6, 0, 8, 0};
    expected.maxImpulses = {4294967291u, 0, 12, 0};
    expected.maxDuration = {0, 0, 4294967294u, 65535};
    EXPECT_EQ(timeline->Limits(0), expected);
}

TEST(Timeline, ExtremeSpeedsKeepTheirFirstOnOrOffTickWithinTheRow) {
    auto timeline = MarkedTimeline();
    MovementList list = QuietList(1);
    MovementRecord& record = list.records[0];
    const int hundredths[kMotorCount] = {0, 1, 9999, 10000};
    for (int m = 0; m < kMotorCount; ++m) {
        record.direction[m] = kDirectionLeft;
        SetSpeed(record, m, hundredths[m], hundredths[m]);
    }
    Compute(list, 0, 0, *timeline);
    std::uint32_t firstOn[kMotorCount] = {65535, 65535, 65535, 65535};
    std::uint32_t firstOff[kMotorCount] = {65535, 65535, 65535, 65535};
    for (std::uint32_t p = 65535; p-- > 0;) {
        for (int m = 0; m < kMotorCount; ++m) {
            ((timeline->Row(0)[p] >> (2 * m)) & 3 ? firstOn : firstOff)[m] = p;
        }
    }
    EXPECT_EQ(firstOn[0], 65535u);   // 0 %: never on
    EXPECT_EQ(firstOn[1], 9998u);    // 0.01 %
    EXPECT_EQ(firstOff[2], 9998u);   // 99.99 %
    EXPECT_EQ(firstOff[3], 65535u);  // 100 %: never off
}

}  // namespace
}  // namespace kinemo::engine
