// settings.kms byte for byte, its refusals, and saving through a temporary file.
#include "keyboard/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "tests/tools/cli_process.h"

namespace kinemo::keyboard {
namespace {

using Bytes = std::vector<std::uint8_t>;
using cli::test::ReadFileBytes;
using cli::test::TempFolder;
using cli::test::WriteFileBytes;

void PutInt(Bytes& bytes, std::int32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i)));
    }
}

void SetInt(Bytes& bytes, std::size_t offset, std::int32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
}

// Three keys: "a" sets M1 "R", "ü" (0xFC) sets M2 and M4 to 30 %, "n" stops.
KeyboardSettings ThreeKeys() {
    KeyboardSettings settings;
    settings.start.motors[0] = {kMotorLeft, 55, true, 3, 6};
    settings.start.offSwitch = true;
    settings.start.offSwitchInput = 2;
    int entry = settings.keys.Append('a');
    settings.keys.SetAction(entry, kSetStates);
    settings.keys.SetIncluded(entry, 0, true);
    settings.keys.SetValue(entry, 0, kMotorRight);
    entry = settings.keys.Append(0xFC);
    ChooseAction(settings.keys, entry, kSetSpeeds);
    settings.keys.SetIncluded(entry, 1, true);
    settings.keys.SetValue(entry, 1, 30);
    settings.keys.SetIncluded(entry, 3, true);
    settings.keys.SetValue(entry, 3, 30);
    entry = settings.keys.Append('n');
    settings.keys.SetAction(entry, kEmergencyStop);
    return settings;
}

// Valid settings with every field drawn at random.
KeyboardSettings RandomSettings(std::mt19937& random) {
    auto draw = [&](int max) { return static_cast<std::uint8_t>(random() % (max + 1U)); };
    KeyboardSettings settings;
    for (MotorStartSettings& motor : settings.start.motors) {
        motor = {draw(2), draw(100), draw(1) != 0, draw(7), draw(7)};
    }
    settings.start.offSwitch = draw(1) != 0;
    settings.start.offSwitchInput = draw(7);
    const int count = 1 + static_cast<int>(random() % kMaxKeys);
    for (int i = 1; i < count; ++i) {
        settings.keys.Append(draw(255));
    }
    for (int i = 0; i < count; ++i) {
        const auto action = static_cast<KeyAction>(draw(3));
        settings.keys.SetAction(i, action);
        for (int motor = 0; motor < kMotorCount; ++motor) {
            settings.keys.SetIncluded(i, motor, draw(1) != 0);
            settings.keys.SetValue(i, motor,
                                   draw(action == kSetStates   ? 2
                                        : action == kSetSpeeds ? 100
                                                               : 255));
        }
    }
    return settings;
}

TEST(SettingsFile, DefaultsAndThreeKeysByteForByte) {
    Bytes expected;
    for (int motor = 0; motor < kMotorCount; ++motor) {
        PutInt(expected, 0);
        PutInt(expected, 100);
        PutInt(expected, 0);
        PutInt(expected, 2 * motor);
        PutInt(expected, 2 * motor + 1);
    }
    PutInt(expected, 0);
    PutInt(expected, 7);
    PutInt(expected, 1);
    expected.resize(101, 0);  // the placeholder's action, flags and values
    EXPECT_EQ(EncodeSettings(KeyboardSettings{}), expected);

    // Three keys: 131 bytes, the characters at 92 and the actions at 95.
    const Bytes bytes = EncodeSettings(ThreeKeys());
    ASSERT_EQ(bytes.size(), 131U);
    EXPECT_EQ(Bytes(bytes.begin() + 88, bytes.begin() + 92), (Bytes{4, 0, 0, 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 92, bytes.begin() + 95), (Bytes{'a', 0xFC, 'n'}));
    EXPECT_EQ(Bytes(bytes.begin() + 95, bytes.begin() + 99), (Bytes{0, 1, 2, 3}));
    // Per motor N include flags, then N values: M1 at 99 and 103, M2 at 107 and 111, ...
    EXPECT_EQ(Bytes(bytes.begin() + 99, bytes.begin() + 107), (Bytes{0, 1, 0, 0, 0, 2, 100, 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 107, bytes.begin() + 115), (Bytes{0, 0, 1, 0, 0, 0, 30, 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 123, bytes.begin() + 131), (Bytes{0, 0, 1, 0, 0, 0, 30, 0}));
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 20),
              (Bytes{1, 0, 0, 0, 55, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 6, 0, 0, 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 80, bytes.begin() + 88), (Bytes{1, 0, 0, 0, 2, 0, 0, 0}));
}

TEST(SettingsFile, EveryFieldSurvivesAWriteAndARead) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const KeyboardSettings written = RandomSettings(random);
        const Bytes bytes = EncodeSettings(written);
        ASSERT_EQ(bytes.size(), SettingsFileSize(written.keys.Count()));
        KeyboardSettings read;
        ASSERT_TRUE(DecodeSettings(bytes, read)) << round;
        EXPECT_EQ(read, written) << round;
    }
}

TEST(SettingsFile, ValuesOutsideTheirRangesAreRefused) {
    struct Case {
        const char* field;
        std::size_t offset;
        int width;  // 4: a 32-bit field, 1: a byte of the key table
        int value;
        bool accepted;
    };
    // Offsets in the three-key file (N = 4): values of entry e, motor j at 103 + 8j + e.
    const Case cases[] = {
        {"count 0", 88, 4, 0, false},
        {"count -1", 88, 4, -1, false},
        {"count 5 (file too short)", 88, 4, 5, false},
        {"start state 3", 0, 4, 3, false},
        {"start state -1", 20, 4, -1, false},
        {"start speed 101", 44, 4, 101, false},
        {"start speed 100", 4, 4, 100, true},
        {"end switches 2", 68, 4, 2, false},
        {"L input 8", 12, 4, 8, false},
        {"R input 8", 76, 4, 8, false},
        {"off switch 2", 80, 4, 2, false},
        {"off-switch input 8", 84, 4, 8, false},
        {"off-switch input 7", 84, 4, 7, true},
        {"action 4", 96, 1, 4, false},
        {"include flag 2", 99, 1, 2, false},
        {"state value 3 of a state entry", 104, 1, 3, false},
        {"speed value 101 of a speed entry", 113, 1, 101, false},
        {"speed value 100 of a speed entry", 113, 1, 100, true},
        {"value 200 of a stop entry, not read", 106, 1, 200, true},
        {"value 9 of the placeholder, not read", 103, 1, 9, true},
    };
    for (const Case& c : cases) {
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

TEST(SettingsFile, EveryTruncationIsRefusedAndTrailingBytesAreIgnored) {
    const Bytes whole = EncodeSettings(ThreeKeys());
    for (std::size_t length = 0; length < whole.size(); ++length) {
        KeyboardSettings read;
        EXPECT_FALSE(DecodeSettings(std::span(whole).first(length), read)) << length;
        EXPECT_EQ(read, KeyboardSettings{}) << length;
    }
    Bytes longer = whole;
    longer.resize(whole.size() + 5000, 0xEE);
    KeyboardSettings read;
    ASSERT_TRUE(DecodeSettings(longer, read));
    EXPECT_EQ(read, ThreeKeys());
}

TEST(SettingsFile, RandomAndMutatedBytesNeverCrashAndWhatIsReadWritesBackTheSame) {
    std::mt19937 random(11);
    const Bytes valid = EncodeSettings(ThreeKeys());
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes;
        if (round % 2 == 0) {
            bytes.resize(random() % 3000);
            for (std::uint8_t& b : bytes) {
                b = static_cast<std::uint8_t>(random());
            }
        } else {
            bytes = valid;
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        }
        KeyboardSettings read;
        if (DecodeSettings(bytes, read)) {
            ++accepted;
            const Bytes again = EncodeSettings(read);
            ASSERT_LE(again.size(), bytes.size());
            EXPECT_TRUE(std::equal(again.begin(), again.end(), bytes.begin())) << round;
        }
    }
    EXPECT_GT(accepted, 0);
}

TEST(SettingsFile, LoadTellsMissingFromRefusedAndNeverChangesTheFile) {
    TempFolder folder;
    KeyboardSettings settings = ThreeKeys();
    EXPECT_EQ(LoadSettingsFile(folder.File("settings.kms"), settings), LoadOutcome::kMissing);
    EXPECT_EQ(settings, ThreeKeys());

    Bytes broken = EncodeSettings(ThreeKeys());
    broken.resize(120);
    WriteFileBytes(folder.File("settings.kms"), broken);
    EXPECT_EQ(LoadSettingsFile(folder.File("settings.kms"), settings), LoadOutcome::kInvalid);
    EXPECT_EQ(ReadFileBytes(folder.File("settings.kms")), broken);

    std::filesystem::create_directory(folder.File("folder.kms"));
    EXPECT_EQ(LoadSettingsFile(folder.File("folder.kms"), settings), LoadOutcome::kInvalid);
    ASSERT_EQ(::mkfifo(folder.File("pipe.kms").c_str(), 0600), 0);
    EXPECT_EQ(LoadSettingsFile(folder.File("pipe.kms"), settings), LoadOutcome::kInvalid);
    EXPECT_EQ(settings, ThreeKeys());
}

TEST(SettingsFile, SaveReplacesTheFileWholeKeepsItsModeAndFollowsLinks) {
    TempFolder folder;
    const std::string path = folder.File("settings.kms");
    WriteFileBytes(path, Bytes(7, 1));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(SaveSettingsFile(path, ThreeKeys()).ok);
    EXPECT_EQ(ReadFileBytes(path), EncodeSettings(ThreeKeys()));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640U);

    const std::string link = folder.File("link.kms");
    std::filesystem::create_symlink(path, link);
    ASSERT_TRUE(SaveSettingsFile(link, KeyboardSettings{}).ok);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(path).size(), 101U);

    KeyboardSettings read = ThreeKeys();
    EXPECT_EQ(LoadSettingsFile(path, read), LoadOutcome::kLoaded);
    EXPECT_EQ(read, KeyboardSettings{});
    // Only the two files remain: no temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(SettingsFile, FailedSavesSayWhyAndLeaveNothingBehind) {
    TempFolder folder;
    const SaveResult noFolder = SaveSettingsFile(folder.File("missing/settings.kms"), {});
    EXPECT_FALSE(noFolder.ok);
    EXPECT_EQ(SaveFailedMessage(noFolder),
              std::string(kSaveFailedText) + "\n" + std::strerror(ENOENT));

    std::filesystem::create_directory(folder.File("settings.kms"));
    const SaveResult onFolder = SaveSettingsFile(folder.File("settings.kms"), {});
    EXPECT_FALSE(onFolder.ok);
    EXPECT_FALSE(onFolder.reason.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder.File("settings.kms")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace kinemo::keyboard
