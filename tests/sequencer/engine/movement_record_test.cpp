#include "sequencer/engine/movement_record.h"

#include <gtest/gtest.h>

#include "sequencer/engine/movement_list.h"

namespace kinemo::engine {
namespace {

std::array<std::uint8_t, kMovementRecordSize> Encode(const MovementRecord& record) {
    std::array<std::uint8_t, kMovementRecordSize> bytes{};
    EncodeMovementRecord(record, bytes);
    return bytes;
}

std::int32_t Int32At(const std::array<std::uint8_t, kMovementRecordSize>& b, std::size_t offset) {
    return static_cast<std::int32_t>(b[offset] | (b[offset + 1] << 8) | (b[offset + 2] << 16) |
                                     (static_cast<std::uint32_t>(b[offset + 3]) << 24));
}

TEST(MovementRecord, FieldsLieAtTheirOffsets) {
    MovementRecord record;
    SetRecordName(record, "Greifer");
    for (int m = 0; m < kMotorCount; ++m) {
        record.speed[m] = static_cast<std::uint8_t>(10 + m);
        record.targetSpeed[m] = static_cast<std::uint8_t>(20 + m);
        record.fineSpeed[m] = static_cast<std::uint8_t>(30 + m);
        record.targetFineSpeed[m] = static_cast<std::uint8_t>(40 + m);
        record.direction[m] = static_cast<std::uint8_t>(m % 3);
        record.accelOn[m] = 1;
        record.accelDuration[m] = 1000 + m;
        record.endSwitchOn[m] = m & 1;
        record.endSwitchInput[m] = m + 5;
        record.maxDurationOn[m] = 1;
        record.maxDuration[m] = 65535 - m;
        record.maxImpulsesOn[m] = 1;
        record.maxImpulses[m] = -5 - m;
        record.impulseInput[m] = static_cast<std::uint8_t>(8 - m);
    }
    record.padding = {0xA1, 0xB2, 0xC3};
    const auto b = Encode(record);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data())), "Greifer");
    for (std::size_t m = 0; m < 4; ++m) {
        EXPECT_EQ(b[21 + m], 10 + m);
        EXPECT_EQ(b[25 + m], 20 + m);
        EXPECT_EQ(b[29 + m], 30 + m);
        EXPECT_EQ(b[33 + m], 40 + m);
        EXPECT_EQ(b[37 + m], m % 3);
        EXPECT_EQ(Int32At(b, 44 + 4 * m), 1);
        EXPECT_EQ(Int32At(b, 60 + 4 * m), static_cast<std::int32_t>(1000 + m));
        EXPECT_EQ(Int32At(b, 76 + 4 * m), static_cast<std::int32_t>(m & 1));
        EXPECT_EQ(Int32At(b, 92 + 4 * m), static_cast<std::int32_t>(m + 5));
        EXPECT_EQ(Int32At(b, 108 + 4 * m), 1);
        EXPECT_EQ(Int32At(b, 124 + 4 * m), static_cast<std::int32_t>(65535 - m));
        EXPECT_EQ(Int32At(b, 140 + 4 * m), 1);
        EXPECT_EQ(Int32At(b, 156 + 4 * m), static_cast<std::int32_t>(-5 - static_cast<int>(m)));
        EXPECT_EQ(b[172 + m], 8 - m);
    }
    EXPECT_EQ(b[41], 0xA1);
    EXPECT_EQ(b[42], 0xB2);
    EXPECT_EQ(b[43], 0xC3);
    // -5 is written little-endian as FB FF FF FF.
    EXPECT_EQ(b[156], 0xFB);
    EXPECT_EQ(b[159], 0xFF);
    EXPECT_EQ(DecodeMovementRecord(b), record);
}

TEST(MovementRecord, NameWithoutTerminatorIsCutToTwentyCharacters) {
    std::array<std::uint8_t, kMovementRecordSize> bytes{};
    for (std::size_t i = 0; i < kNameBytes; ++i) {
        bytes[i] = static_cast<std::uint8_t>('a' + i);
    }
    const MovementRecord record = DecodeMovementRecord(bytes);
    EXPECT_EQ(RecordName(record), "abcdefghijklmnopqrst");
}

// The defaults of a new movement are pinned byte for byte by the file that
// "kinemo-cli new" writes; here what differs from them.
TEST(MovementList, ResetKeepsThePaddingAndStartupFillLeavesInputsAndDurationLimitOff) {
    MovementList list;
    list.movementCount = 7;
    list.currentMovement = 4;
    list.records[3].padding = {1, 2, 3};
    ResetMovement(list, 3);
    EXPECT_EQ(list.records[3].padding, (std::array<std::uint8_t, 3>{1, 2, 3}));
    MovementRecord expected = list.records[3];
    expected.padding = {0, 0, 0};
    expected.endSwitchInput = {0, 0, 0, 0};
    expected.impulseInput = {0, 0, 0, 0};
    expected.maxDurationOn = {0, 0, 0, 0};

    FillMovementsAtStartup(list);
    EXPECT_EQ(list.movementCount, 1);
    EXPECT_EQ(list.currentMovement, 0);
    for (int i : {0, 100, 254}) {
        EXPECT_EQ(list.records[i], expected) << i;
    }
}

}  // namespace
}  // namespace kinemo::engine
