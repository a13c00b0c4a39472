// The engine's fast computation against the straightforward reference, byte for
// byte, on random movement lists: every row word (including positions a
// computation must leave alone), every limit and the diagnostic text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>

#include "bench/reference_timeline.h"
#include "sequencer/engine/timeline.h"
#include "sequencer/engine/timeline_row.h"
#include "tests/sequencer/engine/player_test_support.h"

namespace kinemo::engine {
namespace {

using Random = std::mt19937_64;

template <typename T>
T Pick(Random& random, std::initializer_list<T> choices) {
    return *(choices.begin() + random() % choices.size());
}

// Any value a foreign file may hold; every other motor as the dialog writes
// it (a negative duration is a huge unsigned one).
MovementRecord RandomRecord(Random& random) {
    std::array<std::uint8_t, kMovementRecordSize> bytes;
    std::generate(bytes.begin(), bytes.end(), [&] { return std::uint8_t(random()); });
    MovementRecord r = DecodeMovementRecord(bytes);
    for (int m = 0; m < kMotorCount; m += 2) {
        r.direction[m] %= 3, r.speed[m] %= 100, r.targetSpeed[m] %= 100;
        r.fineSpeed[m] %= 101, r.targetFineSpeed[m] %= 101, r.impulseInput[m] %= 9;
        r.accelOn[m] &= 1, r.maxDurationOn[m] &= 1, r.endSwitchInput[m] %= 9;
        r.accelDuration[m] %= 400, r.maxDuration[m] %= 400;
    }
    return r;
}

void FillWithGarbage(Timeline& timeline, std::uint64_t seed) {
    std::uint64_t state = seed | 1;  // xorshift: fast enough for 16 MiB a call
    for (int row = 0; row < kTimelineRows; ++row) {
        for (std::uint32_t p = 0; p < kTimelineRowLength; p += 8) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            std::memcpy(timeline.Row(row) + p, &state, 8);
        }
    }
}

struct Tables {
    std::unique_ptr<Timeline> e = std::make_unique<Timeline>(), a = std::make_unique<Timeline>();
};

// Computes list records first..last both ways over identical garbage.
void CompareRun(Tables& t, const MovementList& list, int first, int last, std::uint64_t seed) {
    FillWithGarbage(*t.e, seed);
    FillWithGarbage(*t.a, seed);
    testing::CapturedText expectedText, actualText;
    reference::ComputeTimeline(list, first, last, *t.e, expectedText.File());
    ComputeTimeline(list, first, last, *t.a, actualText.File());
    EXPECT_EQ(expectedText.Text(), actualText.Text());
    for (int row = 0; row < kTimelineRows; ++row) {
        ASSERT_TRUE(std::memcmp(t.e->Row(row), t.a->Row(row), kTimelineRowLength) == 0 &&
                    (row > last - first || t.e->Limits(row) == t.a->Limits(row)))
            << "row " << row;
    }
}

MovementList RandomList(Random& random) {
    MovementList list;
    for (auto& record : list.records) {
        record = RandomRecord(random);
    }
    return list;
}

TEST(TimelineEquivalence, RandomListsOverGarbageMatchTheReference) {
    Tables tables;
    Random random(20261206);
    for (int round = 0; round < 12; ++round) {
        const MovementList list = RandomList(random);
        const int first = int(random() % 40);
        SCOPED_TRACE("round " + std::to_string(round));
        CompareRun(tables, list, first, first + int(random() % 14), random());
    }
    // The whole table, one movement alone, the slot beyond the list, and
    // ranges with nothing to compute or outside the table.
    const MovementList list = RandomList(random);
    for (const auto& [first, last] :
         {std::pair{0, kMaxMovements - 1}, {200, 200}, {255, 255}, {9, 8}, {-1, 3}, {250, 256}}) {
        SCOPED_TRACE(std::to_string(first) + ".." + std::to_string(last));
        CompareRun(tables, list, first, last, random());
    }
    // The helper thread is shared: callers on two threads at once are served
    // one after the other, each getting its own rows.
    Tables other;
    const MovementList otherList = RandomList(random);
    std::thread second([&] { CompareRun(other, otherList, 0, 5, 5); });
    CompareRun(tables, list, 0, 5, 5);
    second.join();
}

// Rows that hit the vector kernel's special cases: ramps that settle at once,
// settle mid-block, never settle, speeds at and beyond the clamp bounds,
// motors off with acceleration on.
TEST(TimelineEquivalence, RampShapesMatchRowByRow) {
    Random random(99);
    auto reference = std::make_unique<Timeline>();
    MovementList list;
    for (int shape = 0; shape < 24; ++shape) {
        MovementRecord& r = list.records[0];
        r = RandomRecord(random);
        for (int m = 0; m < kMotorCount; ++m) {
            r.direction[m] = static_cast<std::uint8_t>(random() % 3);
            r.accelOn[m] = m == shape % kMotorCount || random() % 4 != 0;
            r.accelDuration[m] = Pick<std::int32_t>(
                random, {0, 1, 31, 32, 33, 63, 64, 65, 500, 65534, 65535, 1 << 20, -2});
            r.speed[m] = Pick<std::uint8_t>(random, {0, 0, 50, 99, 99, 12, 255});
            r.fineSpeed[m] = Pick<std::uint8_t>(random, {0, 100, 1, 99, 255});
            r.targetSpeed[m] = Pick<std::uint8_t>(random, {0, 50, 99, 73, 255});
            r.targetFineSpeed[m] = Pick<std::uint8_t>(random, {0, 100, 1, 99, 255});
        }
        const std::uint8_t garbage = static_cast<std::uint8_t>(shape * 37 + 11);
        std::memset(reference->Row(0), garbage, kTimelineRowLength);
        std::vector<std::uint8_t> portable(kTimelineRowLength, garbage), vector = portable;
        reference::ComputeTimeline(list, 0, 0, *reference, nullptr);
        ComputeRowPortable(PlanMovement(r), portable.data());
        ComputeRow(PlanMovement(r), vector.data());
        EXPECT_TRUE(std::equal(portable.begin(), portable.end(), reference->Row(0)) &&
                    portable == vector)
            << shape;
    }
}

}  // namespace
}  // namespace kinemo::engine
