// The key table's editing operations.
#include "keyboard/key_table.h"

#include <gtest/gtest.h>

#include <string>

namespace kinemo::keyboard {
namespace {

// Entry i as "c:action:flags/values ".
std::string Entry(const KeyTable& table, int i) {
    std::string text = std::string(1, static_cast<char>(table.Character(i))) + ':' +
                       std::to_string(table.Action(i)) + ':';
    for (int motor = 0; motor < kMotorCount; ++motor) {
        text += std::to_string(table.Included(i, motor)) + "/" +
                std::to_string(table.Value(i, motor)) + (motor < 3 ? "," : " ");
    }
    return text;
}

std::string Describe(const KeyTable& table) {
    std::string text;
    for (int i = 0; i < table.Count(); ++i) {
        text += Entry(table, i);
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

// A removal moves every column of the following entries down and leaves the
// freed entry clean; the placeholder and entries that do not exist stay.
TEST(KeyTable, RemoveMovesEveryColumnOfTheFollowingEntriesDown) {
    const std::string p = "-:0:0/0,0/0,0/0,0/0 ", b = "b:1:1/10,0/0,0/0,0/0 ",
                      c = "c:2:0/0,1/11,0/0,0/0 ", d = "d:3:0/0,0/0,1/12,0/0 ",
                      e = "e:1:0/0,0/0,0/0,1/13 ", z = "z:0:0/0,0/0,0/0,0/0 ";
    const std::pair<int, std::string> cases[] = {
        {1, p + c + d + e + z},     {2, p + b + d + e + z},     {4, p + b + c + d + z},
        {0, p + b + c + d + e + z}, {5, p + b + c + d + e + z}, {-1, p + b + c + d + e + z},
    };
    for (const auto& [remove, expected] : cases) {
        KeyTable table = FourKeys();
        EXPECT_EQ(table.Remove(remove), remove >= 1 && remove <= 4) << remove;
        table.Append('z');
        EXPECT_EQ(Describe(table), expected) << remove;
    }
}

TEST(KeyTable, HoldsAtMost255EntriesAndResetKeepsOnlyThePlaceholder) {
    KeyTable table;
    for (int i = 1; i < kMaxKeys; ++i) {
        ASSERT_EQ(table.Append(static_cast<std::uint8_t>(i)), i);
    }
    EXPECT_TRUE(table.Full());
    EXPECT_EQ(table.Append('x'), -1);
    table.SetAction(254, kEmergencyStop);
    table.SetValue(200, 2, 77);
    table.Reset();
    EXPECT_EQ(Describe(table), "-:0:0/0,0/0,0/0,0/0 ");
    EXPECT_EQ(table, KeyTable());
}

// Choosing an action clears the entry's rows and gives speeds 100 %; the
// placeholder keeps no action.
TEST(KeyTable, ChooseActionClearsTheRowsAndGivesSpeedsOneHundred) {
    const std::tuple<int, KeyAction, std::string> cases[] = {
        {1, kSetStates, "b:1:0/0,0/0,0/0,0/0 "},
        {1, kSetSpeeds, "b:2:0/100,0/100,0/100,0/100 "},
        {1, kEmergencyStop, "b:3:0/0,0/0,0/0,0/0 "},
        {1, kNoAction, "b:0:0/0,0/0,0/0,0/0 "},
        {0, kSetSpeeds, "-:0:0/0,0/0,0/0,0/0 "},
    };
    for (const auto& [entry, chosen, expected] : cases) {
        KeyTable table = FourKeys();
        table.SetIncluded(entry, 0, true);
        table.SetValue(entry, 0, 2);
        EXPECT_EQ(ChooseAction(table, entry, chosen), entry == 0 ? kNoAction : chosen);
        EXPECT_EQ(Entry(table, entry), expected) << chosen;
    }
}

}  // namespace
}  // namespace kinemo::keyboard
