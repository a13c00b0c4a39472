// Program files and the movement records in them: exact bytes, the round
// trip, every refusal, truncated, oversized and random files, and saving
// that never loses the previous file.
#include "sequencer/engine/program_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "sequencer/engine/movement_list.h"
#include "tests/tools/cli_process.h"

namespace kinemo::engine {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;
using cli::test::ReadFileBytes;
using cli::test::WriteFileBytes;

std::string Hex(const Bytes& bytes) {
    std::string text;
    for (const std::uint8_t b : bytes) {
        text += "0123456789abcdef"[b >> 4], text += "0123456789abcdef"[b & 15];
    }
    return text;
}

std::vector<MovementRecord> NewRecords(int count) {
    MovementList list;
    std::vector<MovementRecord> records;
    for (int i = 0; i < count; ++i) {
        ResetMovement(list, 0);
        SetRecordName(list.records[0], "Bewegung " + std::to_string(i));
        list.records[0].maxImpulses[0] = i;
        records.push_back(list.records[0]);
    }
    return records;
}

Bytes WithBody(Bytes header, std::size_t bodyBytes, std::uint8_t fill = 0x41) {
    header.resize(header.size() + bodyBytes, fill);
    return header;
}

class ProgramFileTest : public ::testing::Test {
  protected:
    std::string PathOf(const std::string& name) const { return folder_.File(name); }
    cli::test::TempFolder folder_;
};

TEST_F(ProgramFileTest, WrittenFileHasTheHeaderAndEveryFieldInItsPlace) {
    // clang-format off
    MovementRecord r{.speed = {10, 11, 12, 13}, .targetSpeed = {20, 21, 22, 23},
                     .fineSpeed = {30, 31, 32, 33}, .targetFineSpeed = {40, 41, 42, 43},
                     .direction = {0, 1, 2, 0}, .padding = {0xA1, 0xB2, 0xC3},
                     .accelOn = {1, 0, 1, 0}, .accelDuration = {1000, 1001, 65535, 65536},
                     .endSwitchOn = {0, 1, 0, 1}, .endSwitchInput = {5, 6, 7, 8},
                     .maxDurationOn = {2, 2, 2, 2}, .maxDuration = {65535, 65534, 1, 0},
                     .maxImpulsesOn = {3, 3, 3, 3}, .maxImpulses = {-5, -6, 0x12345678, 1},
                     .impulseInput = {8, 7, 6, 5}};
    // clang-format on
    SetRecordName(r, "Greifer");
    ASSERT_EQ(WriteProgramFile(PathOf("exact.kmo"), {1, 1, 3}, std::span(&r, 1)),
              ProgramFileStatus::kOk);
    const Bytes b = ReadFileBytes(PathOf("exact.kmo"));
    EXPECT_EQ(Hex(b),
              "4b4d4f33010103"  // magic and settings
              "477265696665720000000000000000000000000000"
              "0a0b0c0d141516171e1f202128292a2b00010200a1b2c3"
              "01000000000000000100000000000000e8030000e9030000ffff000000000100"
              "0000000001000000000000000100000005000000060000000700000008000000"
              "02000000020000000200000002000000ffff0000feff00000100000000000000"
              "03000000030000000300000003000000fbfffffffaffffff7856341201000000"
              "08070605");
    EXPECT_EQ(SerializeProgram({1, 1, 3}, std::span(&r, 1)), b);
}

// Their texts: the window's program_io_test.
TEST_F(ProgramFileTest, RefusalsLeaveContentsAlone) {
    ProgramContents untouched;
    untouched.records = NewRecords(3);
    untouched.settings = {1, 1, 2};
    using S = ProgramFileStatus;
    // Shorter files are in the truncation test.
    const std::pair<Bytes, S> cases[] = {
        {WithBody({'K', 'M', 'O', '2', 0, 0, 7}, 176), S::kWrongVersion},
        {WithBody({'K', 'M', 'O', 0, 0, 0, 7}, 176), S::kWrongVersion},
        {{'K', 'M', 'O', '4'}, S::kWrongVersion},
        {WithBody({'X', 'M', 'O', '3', 0, 0, 7}, 176), S::kNotAProgram},
        {WithBody({'K', 'm', 'O', '3', 0, 0, 7}, 176), S::kNotAProgram},
        {WithBody({'K', 'M', 'X', '3', 0, 0, 7}, 176), S::kNotAProgram},
    };
    for (const auto& [bytes, status] : cases) {
        ProgramContents contents = untouched;
        EXPECT_EQ(std::tuple(ParseProgram(bytes, contents), contents.records, contents.settings),
                  std::tuple(status, untouched.records, untouched.settings));
    }
    // A folder, a missing file and a pipe without a writer (read as empty
    // instead of hanging).
    fs::create_directory(PathOf("folder.kmo"));
    ASSERT_EQ(::mkfifo(PathOf("pipe.kmo").c_str(), 0600), 0);
    for (const auto& [name, status] : {std::pair{"missing.kmo", S::kCannotOpen},
                                       {"folder.kmo", S::kCannotOpen},
                                       {"pipe.kmo", S::kNotAProgram}}) {
        ProgramContents contents = untouched;
        EXPECT_EQ(std::pair(ReadProgramFile(PathOf(name), contents), contents.records),
                  std::pair(status, untouched.records));
    }
}

// The writer takes any count; the reader decides what the list can hold.
TEST_F(ProgramFileTest, AtMost255RecordsAreLoadedFromLongerAndOversizedFiles) {
    const std::vector<MovementRecord> many = NewRecords(300);
    for (const std::size_t written : {255, 256, 300}) {
        SCOPED_TRACE(written);
        const Bytes bytes = SerializeProgram({}, {many.begin(), many.begin() + long(written)});
        WriteFileBytes(PathOf("many.kmo"), bytes);
        ProgramContents loaded, parsed;  // the in-memory parser agrees with the file reader
        ASSERT_EQ(ReadProgramFile(PathOf("many.kmo"), loaded), ProgramFileStatus::kOk);
        ASSERT_EQ(ParseProgram(bytes, parsed), ProgramFileStatus::kOk);
        EXPECT_EQ(std::tuple(loaded.records, parsed.records, loaded.recordsBeyondLimit,
                             parsed.recordsBeyondLimit),
                  std::tuple(std::vector(many.begin(), many.begin() + 255), loaded.records,
                             written - 255, written - 255));
    }
    const std::size_t body = 8 * 1024 * 1024 + 5;
    WriteFileBytes(PathOf("huge.kmo"), WithBody({'K', 'M', 'O', '3', 1, 0, 7}, body, 0x55));
    ProgramContents loaded;
    ASSERT_EQ(ReadProgramFile(PathOf("huge.kmo"), loaded), ProgramFileStatus::kOk);
    // No NUL in the name: cut to 20 characters.
    EXPECT_EQ(std::tuple(loaded.records.size(), loaded.recordsBeyondLimit,
                         loaded.partialRecordIgnored, RecordName(loaded.records[0])),
              std::tuple(255u, body / 176 - 255, true, std::string(20, 'U')));
}

// Random records (a NUL inside the name, random bytes after it) survive the
// round trip; every cut of the file loads the whole records before the cut.
TEST_F(ProgramFileTest, EveryTruncationOfARandomFile) {
    std::mt19937 random(1234);
    std::vector<MovementRecord> records;
    for (int i = 0; i < 3; ++i) {
        std::array<std::uint8_t, kMovementRecordSize> bytes{};
        std::generate(bytes.begin(), bytes.end(), [&] { return std::uint8_t(random()); });
        bytes[9] = 0;
        records.push_back(DecodeMovementRecord(bytes));
    }
    const Bytes whole = SerializeProgram(RunSettingsValues{1, 1, 4}, records);
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        SCOPED_TRACE(length);
        ProgramContents loaded;
        const ProgramFileStatus status = ParseProgram(std::span(whole).first(length), loaded);
        const std::size_t count = length < 7 ? 0 : (length - 7) / 176;
        EXPECT_EQ(status, length < 4   ? ProgramFileStatus::kNotAProgram
                          : count == 0 ? ProgramFileStatus::kNoMovements
                                       : ProgramFileStatus::kOk);
        EXPECT_EQ(loaded.records, std::vector(records.begin(), records.begin() + long(count)));
        EXPECT_TRUE(count == 0 || (loaded.partialRecordIgnored == ((length - 7) % 176 != 0) &&
                                   loaded.settings == RunSettingsValues{1, 1, 4}));
        EXPECT_TRUE(length < whole.size() ||
                    SerializeProgram(loaded.settings, loaded.records) == whole);
    }
}

TEST_F(ProgramFileTest, RandomFilesGiveAStatusOrAValidList) {
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> lengthOf(0, 3 * 176);
    int loadedCount = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes(static_cast<std::size_t>(round % 50 == 0 ? 255 * 176 + 400 : lengthOf(random)));
        std::generate(bytes.begin(), bytes.end(), [&] { return std::uint8_t(random()); });
        // Most rounds carry the magic, or all of it but the version, so the body is reached.
        if (bytes.size() >= 4 && round % 4 != 0) {
            std::memcpy(bytes.data(), round % 4 == 1 ? "KMO" : "KMO3", round % 4 == 1 ? 3 : 4);
        }
        ProgramContents contents;
        const ProgramFileStatus status = ParseProgram(bytes, contents);
        const std::size_t count = contents.records.size();
        loadedCount += status == ProgramFileStatus::kOk;
        ASSERT_TRUE((status == ProgramFileStatus::kOk) == (count >= 1 && count <= 255) &&
                    status != ProgramFileStatus::kCannotOpen &&
                    std::ranges::all_of(contents.records,
                                        [](auto& r) { return RecordName(r).size() <= 20; }))
            << round;
    }
    EXPECT_GT(loadedCount, 500);
}

TEST_F(ProgramFileTest, SavesGoThroughLinksKeepPermissionsAndFailuresKeepThePreviousFile) {
    fs::create_directory(PathOf("taken"));
    for (const std::string& bad : {PathOf("nowhere/file.kmo"), PathOf("taken"), std::string()}) {
        EXPECT_EQ(WriteProgramFile(bad, {}, NewRecords(1)), ProgramFileStatus::kCannotCreate);
    }
    const std::string name = std::string(251, 'n') + ".kmo";  // 255 bytes
    const std::string path = PathOf(name), link = PathOf("link.kmo");
    ASSERT_EQ(WriteProgramFile(path, {}, NewRecords(1)), ProgramFileStatus::kOk);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    fs::create_symlink(path, link);
    ASSERT_EQ(WriteProgramFile(link, {}, NewRecords(2)), ProgramFileStatus::kOk);
    EXPECT_TRUE(fs::status(path).permissions() == fs::perms(0640) && fs::is_symlink(link) &&
                fs::is_directory(PathOf("taken")));
    const Bytes before = ReadFileBytes(path);
    EXPECT_EQ(before, SerializeProgram({}, NewRecords(2)));
    // A file size limit below the new file's size makes the write fail even
    // for a privileged user; the signal it raises is ignored so write() reports it.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{400, saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const ProgramFileStatus status = WriteProgramFile(path, {1, 1, 1}, NewRecords(3));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(status, ProgramFileStatus::kWriteFailed);
    EXPECT_EQ(ReadFileBytes(path), before);
    Names left;  // no temporary
    for (const auto& entry : fs::directory_iterator(folder_.Path())) {
        left.push_back(entry.path().filename());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Names{"link.kmo", name, "taken"}));
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
    expected.padding = {};
    expected.endSwitchInput = expected.maxDurationOn = {};
    expected.impulseInput = {};
    FillMovementsAtStartup(list);
    EXPECT_EQ(std::tie(list.movementCount, list.currentMovement), std::tuple(1, 0));
    for (int i : {0, 100, 254}) {
        EXPECT_EQ(list.records[i], expected) << i;
    }
}

}  // namespace
}  // namespace kinemo::engine
