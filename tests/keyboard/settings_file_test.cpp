// The key table's editing operations, and settings.kms byte for byte, its
// refusals, loading and saving.
#include "keyboard/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "tests/keyboard/box_wire.h"
#include "tests/tools/cli_process.h"

namespace kinemo::keyboard {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using cli::test::ReadFileBytes;
using cli::test::TempFolder;
using cli::test::WriteFileBytes;

// Entries `from` up to `to` (all by default), each as "c:action:flags/values ".
std::string Describe(const KeyTable& table, int from = 0, int to = kMaxKeys) {
    std::string text;
    for (int i = from; i < std::min(to, table.Count()); ++i) {
        text += std::string(1, static_cast<char>(table.Character(i))) + ':' +
                std::to_string(table.Action(i)) + ':';
        for (int motor = 0; motor < kMotorCount; ++motor)
            text += std::to_string(table.Included(i, motor)) + "/" +
                    std::to_string(table.Value(i, motor)) + (motor < 3 ? "," : " ");
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
TEST(KeyTable, RemoveChooseActionFullAndReset) {
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
    // Choosing an action clears the entry's rows and gives speeds 100 %; the
    // placeholder keeps no action.
    const std::tuple<int, KeyAction, std::string> chosen[] = {
        {1, kSetStates, "b:1:0/0,0/0,0/0,0/0 "},
        {1, kSetSpeeds, "b:2:0/100,0/100,0/100,0/100 "},
        {1, kEmergencyStop, "b:3:0/0,0/0,0/0,0/0 "},
        {1, kNoAction, "b:0:0/0,0/0,0/0,0/0 "},
        {0, kSetSpeeds, "-:0:0/0,0/0,0/0,0/0 "},
    };
    for (const auto& [entry, action, expected] : chosen) {
        KeyTable table = FourKeys();
        table.SetIncluded(entry, 0, true);
        table.SetValue(entry, 0, 2);
        EXPECT_EQ(ChooseAction(table, entry, action), entry == 0 ? kNoAction : action);
        EXPECT_EQ(Describe(table, entry, entry + 1), expected) << action;
    }
    // At most 255 entries; a reset keeps only the placeholder.
    KeyTable table;
    for (int i = 1; i < kMaxKeys; ++i)
        ASSERT_EQ(table.Append(static_cast<std::uint8_t>(i)), i);
    EXPECT_TRUE(table.Full());
    EXPECT_EQ(table.Append('x'), -1);
    table.SetAction(254, kEmergencyStop);
    table.SetValue(200, 2, 77);
    table.Reset();
    EXPECT_EQ(table, KeyTable());
}

// Little-endian 32-bit fields followed by raw bytes.
Bytes File(std::initializer_list<std::int32_t> ints, std::initializer_list<std::uint8_t> rest) {
    Bytes bytes;
    for (const std::int32_t value : ints)
        for (int i = 0; i < 4; ++i)
            bytes.push_back(
                static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i)));
    bytes.insert(bytes.end(), rest);
    return bytes;
}

void SetInt(Bytes& bytes, std::size_t offset, std::int32_t value) {
    std::ranges::copy(File({value}, {}), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

// "a" sets M1 "R", "ü" (0xFC) sets M2 and M4 to 30 %, "n" stops.
KeyboardSettings ThreeKeys() {
    KeyboardSettings s;
    s.start.motors[0] = {kMotorLeft, 55, true, 3, 6};
    s.start.offSwitch = true;
    s.start.offSwitchInput = 2;
    testing::AddKey(s.keys, 'a', kSetStates, {{0, kMotorRight}});
    testing::AddKey(s.keys, 0xFC, kSetSpeeds, {{1, 30}, {3, 30}});
    testing::AddKey(s.keys, 'n', kEmergencyStop);
    return s;
}

TEST(SettingsFile, DefaultsAndThreeKeysByteForByte) {
    // Per motor: state, speed, end switches, L and R input; off switch and
    // its input; the count N; N-1 characters, N actions, then per motor N
    // include flags and N values.
    EXPECT_EQ(EncodeSettings({}),
              File({0, 100, 0, 0, 1, 0, 100, 0, 2, 3, 0, 100, 0, 4, 5, 0, 100, 0, 6, 7, 0, 7, 1},
                   {0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(EncodeSettings(ThreeKeys()),
              File({1, 55, 1, 3, 6, 0, 100, 0, 2, 3, 0, 100, 0, 4, 5, 0, 100, 0, 6, 7, 1, 2, 4},
                   {'a', 0xFC, 'n', 0, 1, 2, 3, 0, 1, 0,   0, 0, 2, 100, 0, 0, 0, 1,  0, 0,
                    0,   30,   0,   0, 0, 0, 0, 0, 0, 100, 0, 0, 0, 1,   0, 0, 0, 30, 0}));
}

TEST(SettingsFile, ValuesOutsideTheirRangesAreRefused) {
    // Width 4: a 32-bit field, 1: a byte of the key table. Offsets in the three-key file (N = 4):
    // values of entry e, motor j at 103 + 8j + e.
    const struct {
        const char* field;
        std::size_t offset;
        int width, value;
        bool accepted;
    } cases[] = {
        // clang-format off
        {"count 0", 88, 4, 0, false},               {"count -1", 88, 4, -1, false},
        {"count 5 (file too short)", 88, 4, 5, false},
        {"start state 3", 0, 4, 3, false},          {"start state -1", 20, 4, -1, false},
        {"start speed 101", 44, 4, 101, false},     {"start speed 100", 4, 4, 100, true},
        {"end switches 2", 68, 4, 2, false},        {"L input 8", 12, 4, 8, false},
        {"R input 8", 76, 4, 8, false},             {"off switch 2", 80, 4, 2, false},
        {"off-switch input 8", 84, 4, 8, false},    {"off-switch input 7", 84, 4, 7, true},
        {"action 4", 96, 1, 4, false},              {"include flag 2", 99, 1, 2, false},
        {"state value 3 of a state entry", 104, 1, 3, false},
        {"speed value 101 of a speed entry", 113, 1, 101, false},
        {"speed value 100 of a speed entry", 113, 1, 100, true},
        {"value 200 of a stop entry, not read", 106, 1, 200, true},
        {"value 9 of the placeholder, not read", 103, 1, 9, true},
        // clang-format on
    };
    for (const auto& c : cases) {
        Bytes bytes = EncodeSettings(ThreeKeys());
        if (c.width == 4) {
            SetInt(bytes, c.offset, c.value);
        } else {
            bytes[c.offset] = static_cast<std::uint8_t>(c.value);
        }
        KeyboardSettings read;
        EXPECT_EQ(DecodeSettings(bytes, read), c.accepted) << c.field;
        // A refusal leaves the settings as they were; what is read writes back the same.
        EXPECT_EQ(EncodeSettings(read), c.accepted ? bytes : EncodeSettings({})) << c.field;
    }
    // A count above 255 is refused also when the file holds that many entries.
    for (const int count : {255, 256}) {
        Bytes bytes(SettingsFileSize(count), 0);
        SetInt(bytes, 88, count);
        KeyboardSettings read;
        EXPECT_EQ(DecodeSettings(bytes, read), count == 255) << count;
    }
}

// Every truncation is refused and leaves the settings as they were; bytes
// after the table are ignored; random and mutated files never crash, and
// what is read from them writes back as the start of the same bytes (so
// reading puts every field where writing takes it from).
TEST(SettingsFile, TruncatedOversizedAndRandomFiles) {
    const Bytes whole = EncodeSettings(ThreeKeys());
    std::mt19937 random(11);
    int accepted = 0;
    for (std::size_t round = 0; round < whole.size() + 3001; ++round) {
        Bytes bytes = whole;
        if (round <= whole.size()) {
            bytes.resize(round < whole.size() ? round : whole.size() + 5000, 0xEE);
        } else if (round % 2 == 0) {
            bytes.resize(random() % 3000);
            std::generate(bytes.begin(), bytes.end(), [&] { return std::uint8_t(random()); });
        } else {
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        }
        KeyboardSettings read;
        const bool ok = DecodeSettings(bytes, read);
        if (round <= whole.size()) {
            const bool all = round == whole.size();
            EXPECT_TRUE(ok == all && read == (all ? ThreeKeys() : KeyboardSettings{})) << round;
        } else if (ok) {
            ++accepted;
            const Bytes again = EncodeSettings(read);
            ASSERT_LE(again.size(), bytes.size());
            EXPECT_TRUE(std::equal(again.begin(), again.end(), bytes.begin())) << round;
        }
    }
    EXPECT_GT(accepted, 0);
}

// Loading tells a missing file from a refused one (also a folder) and never
// changes the file or the settings; a failed save says why. How a save goes
// through a link, keeps the mode and leaves no temporary file is the shared
// atomic save's, checked with the program file.
TEST(SettingsFile, LoadAndSave) {
    TempFolder folder;
    const std::string path = folder.File("settings.kms");
    KeyboardSettings settings = ThreeKeys();
    EXPECT_EQ(LoadSettingsFile(path, settings), LoadOutcome::kMissing);
    Bytes broken = EncodeSettings(ThreeKeys());
    broken.resize(120);
    WriteFileBytes(path, broken);
    fs::create_directory(folder.File("folder.kms"));
    for (const char* name : {"settings.kms", "folder.kms"})
        EXPECT_EQ(LoadSettingsFile(folder.File(name), settings), LoadOutcome::kInvalid) << name;
    EXPECT_TRUE(ReadFileBytes(path) == broken && settings == ThreeKeys());

    ASSERT_TRUE(SaveSettingsFile(path, ThreeKeys()).ok);
    settings = {};
    EXPECT_EQ((std::tuple{ReadFileBytes(path), LoadSettingsFile(path, settings), settings}),
              std::tuple(EncodeSettings(ThreeKeys()), LoadOutcome::kLoaded, ThreeKeys()));
    const SaveResult noFolder = SaveSettingsFile(folder.File("missing/settings.kms"), {});
    EXPECT_EQ(std::pair(noFolder.ok, SaveFailedMessage(noFolder)),
              std::pair(false, std::string(kSaveFailedText) + "\n" + std::strerror(ENOENT)));
}

}  // namespace
}  // namespace kinemo::keyboard
