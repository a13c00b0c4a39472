// The key table's editing operations.
#include "keyboard/key_table.h"

#include <gtest/gtest.h>

#include <string>

namespace kinemo::keyboard {
namespace {

// Entry i as "c:action:flags/values" for comparing whole tables.
std::string Describe(const KeyTable& table) {
    std::string text;
    for (int i = 0; i < table.Count(); ++i) {
        text += static_cast<char>(table.Character(i));
        text += ':' + std::to_string(table.Action(i)) + ':';
        for (int motor = 0; motor < kMotorCount; ++motor) {
            text += std::to_string(table.Included(i, motor)) + "/" +
                    std::to_string(table.Value(i, motor)) + (motor < 3 ? "," : " ");
        }
    }
    return text;
}

// Entries b, c, d, e, each with its own action and per-motor data.
KeyTable FourKeys() {
    KeyTable table;
    for (std::uint8_t i = 0; i < 4; ++i) {
        const int entry = table.Append(static_cast<std::uint8_t>('b' + i));
        table.SetAction(entry, static_cast<KeyAction>(1 + i % 3));
        table.SetIncluded(entry, i, true);
        table.SetValue(entry, i, static_cast<std::uint8_t>(10 + i));
    }
    return table;
}

TEST(KeyTable, RemoveMovesEveryColumnOfTheFollowingEntriesDown) {
    struct Case {
        int remove;
        bool removed;
        std::string expected;
    };
    const std::string p = "-:0:0/0,0/0,0/0,0/0 ";
    const std::string b = "b:1:1/10,0/0,0/0,0/0 ";
    const std::string c = "c:2:0/0,1/11,0/0,0/0 ";
    const std::string d = "d:3:0/0,0/0,1/12,0/0 ";
    const std::string e = "e:1:0/0,0/0,0/0,1/13 ";
    const Case cases[] = {
        {1, true, p + c + d + e},      {2, true, p + b + d + e},
        {4, true, p + b + c + d},      {0, false, p + b + c + d + e},  // never the placeholder
        {5, false, p + b + c + d + e}, {-1, false, p + b + c + d + e},
    };
    for (const Case& test : cases) {
        KeyTable table = FourKeys();
        EXPECT_EQ(table.Remove(test.remove), test.removed) << test.remove;
        EXPECT_EQ(Describe(table), test.expected) << test.remove;
        // The freed entry is clean: appending again gives an empty entry.
        const int again = table.Append('z');
        EXPECT_EQ(table.Action(again), kNoAction);
        EXPECT_FALSE(table.Included(again, 3));
    }
}

TEST(KeyTable, HoldsAtMost255EntriesAndResetKeepsOnlyThePlaceholder) {
    KeyTable table;
    for (int i = 1; i < kMaxKeys; ++i) {
        ASSERT_EQ(table.Append(static_cast<std::uint8_t>(i)), i);
    }
    EXPECT_TRUE(table.Full());
    EXPECT_EQ(table.Append('x'), -1);
    EXPECT_EQ(table.Count(), kMaxKeys);
    table.SetAction(254, kEmergencyStop);
    table.SetValue(200, 2, 77);
    table.Reset();
    EXPECT_EQ(table, KeyTable());
    EXPECT_EQ(table.Count(), 1);
    EXPECT_EQ(table.Character(0), '-');
}

TEST(KeyTable, ChooseActionClearsTheRowsAndGivesSpeedsOneHundred) {
    struct Case {
        int entry;
        KeyAction chosen;
        KeyAction stored;
        int value;
    };
    const Case cases[] = {
        {1, kSetStates, kSetStates, 0},         {1, kSetSpeeds, kSetSpeeds, 100},
        {1, kEmergencyStop, kEmergencyStop, 0}, {1, kNoAction, kNoAction, 0},
        {0, kSetSpeeds, kNoAction, 0},  // the placeholder keeps no action
    };
    for (const Case& c : cases) {
        KeyTable table = FourKeys();
        table.SetIncluded(c.entry, 0, true);
        table.SetValue(c.entry, 0, 2);
        EXPECT_EQ(ChooseAction(table, c.entry, c.chosen), c.stored);
        EXPECT_EQ(table.Action(c.entry), c.stored);
        for (int motor = 0; motor < kMotorCount; ++motor) {
            EXPECT_FALSE(table.Included(c.entry, motor));
            EXPECT_EQ(table.Value(c.entry, motor), c.value);
        }
    }
}

}  // namespace
}  // namespace kinemo::keyboard
