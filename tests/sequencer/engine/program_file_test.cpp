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

std::int64_t Le32(const Bytes& b, std::size_t offset) {
    return static_cast<std::int32_t>(b[offset] | (b[offset + 1] << 8) | (b[offset + 2] << 16) |
                                     (static_cast<std::uint32_t>(b[offset + 3]) << 24));
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
    Names FolderEntries() const {
        Names names;
        for (const auto& entry : fs::directory_iterator(folder_.Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    cli::test::TempFolder folder_;
};

TEST_F(ProgramFileTest, WrittenFileHasTheHeaderAndEveryFieldAtItsOffset) {
    std::vector<MovementRecord> records = NewRecords(2);
    MovementRecord& r = records[0];
    SetRecordName(r, "Greifer");
    r.padding = {0xA1, 0xB2, 0xC3};
    // Byte fields from offset 21, 4 apart; word fields from offset 44, 16 apart.
    const auto bytes = [](int m) { return std::array{10 + m, 20 + m, 30 + m, 40 + m, m % 3}; };
    const auto words = [](int m) {
        return std::array<std::int64_t, 8>{1, 1000 + m, m & 1, m + 5, 2, 65535 - m, 3, -5 - m};
    };
    for (int m = 0; m < kMotorCount; ++m) {
        const auto b = bytes(m);
        const auto w = words(m);
        std::tie(r.speed[m], r.targetSpeed[m], r.fineSpeed[m], r.targetFineSpeed[m],
                 r.direction[m]) = std::tuple(b[0], b[1], b[2], b[3], b[4]);
        std::tie(r.accelOn[m], r.accelDuration[m], r.endSwitchOn[m], r.endSwitchInput[m],
                 r.maxDurationOn[m], r.maxDuration[m], r.maxImpulsesOn[m], r.maxImpulses[m]) =
            std::tuple(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
        r.impulseInput[m] = static_cast<std::uint8_t>(8 - m);
    }
    const std::string path = PathOf("exact.kmo");
    ASSERT_EQ(WriteProgramFile(path, {1, 1, 3}, records), ProgramFileStatus::kOk);
    const Bytes b = ReadFileBytes(path);
    ASSERT_EQ(b.size(), 7u + 2 * 176u);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 7), (Bytes{'K', 'M', 'O', '3', 1, 1, 3}));
    const std::size_t o = 7;  // the first record
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[o])), "Greifer");
    EXPECT_EQ(Bytes(b.begin() + o + 41, b.begin() + o + 44), (Bytes{0xA1, 0xB2, 0xC3}));
    for (std::size_t m = 0; m < kMotorCount; ++m) {
        for (std::size_t f = 0; f < 8; ++f) {
            EXPECT_TRUE(f >= 5 || b[o + 21 + 4 * f + m] == bytes(int(m))[f]) << m << " byte " << f;
            EXPECT_EQ(Le32(b, o + 44 + 16 * f + 4 * m), words(int(m))[f]) << m << " word " << f;
        }
        EXPECT_EQ(b[o + 172 + m], 8 - m);
    }
    EXPECT_EQ(b[o + 156], 0xFB);  // little-endian
    EXPECT_EQ(b[o + 159], 0xFF);
    EXPECT_EQ(SerializeProgram({1, 1, 3}, records), b);
}

TEST_F(ProgramFileTest, RefusalsLeaveContentsAloneAndHaveTheirTexts) {
    ProgramContents untouched;
    untouched.records = NewRecords(3);
    untouched.settings = {1, 1, 2};
    using S = ProgramFileStatus;
    const std::pair<Bytes, S> cases[] = {
        {{}, S::kNotAProgram},
        {{'K', 'M', 'O'}, S::kNotAProgram},
        {{'K', 'M', 'O', '3'}, S::kNoMovements},
        {WithBody({'K', 'M', 'O', '3', 0, 0, 7}, 175), S::kNoMovements},
        {WithBody({'K', 'M', 'O', '2', 0, 0, 7}, 176), S::kWrongVersion},
        {WithBody({'K', 'M', 'O', 0, 0, 0, 7}, 176), S::kWrongVersion},
        {{'K', 'M', 'O', '4'}, S::kWrongVersion},
        {WithBody({'X', 'M', 'O', '3', 0, 0, 7}, 176), S::kNotAProgram},
        {WithBody({'K', 'm', 'O', '3', 0, 0, 7}, 176), S::kNotAProgram},
        {WithBody({'K', 'M', 'X', '3', 0, 0, 7}, 176), S::kNotAProgram},
    };
    for (const auto& [bytes, status] : cases) {
        ProgramContents contents = untouched;
        EXPECT_EQ(ParseProgram(bytes, contents), status) << bytes.size() << " bytes";
        EXPECT_EQ(contents.records, untouched.records);
        EXPECT_EQ(contents.settings, untouched.settings);
    }
    // A folder, a missing file and a pipe without a writer (read as empty
    // instead of hanging).
    fs::create_directory(PathOf("folder.kmo"));
    ASSERT_EQ(::mkfifo(PathOf("pipe.kmo").c_str(), 0600), 0);
    for (const auto& [name, status] : {std::pair{"missing.kmo", S::kCannotOpen},
                                       {"folder.kmo", S::kCannotOpen},
                                       {"pipe.kmo", S::kNotAProgram}}) {
        ProgramContents contents = untouched;
        EXPECT_EQ(ReadProgramFile(PathOf(name), contents), status) << name;
        EXPECT_EQ(contents.records, untouched.records);
    }
    std::vector<std::string> texts;
    for (S status :
         {S::kNotAProgram, S::kWrongVersion, S::kNoMovements, S::kCannotOpen, S::kCannotCreate}) {
        texts.push_back(ProgramFileStatusText(status));
    }
    EXPECT_EQ(texts,
              (Names{"Ungültige Datei", "Falsche Kinemo-Version",
                     "Die Datei enthält keine vollständige Bewegung",
                     "Datei kann nicht geöffnet werden", "Datei kann nicht angelegt werden"}));
}

// The writer takes any count; the reader decides what the list can hold.
TEST_F(ProgramFileTest, AtMost255RecordsAreLoadedFromLongerAndOversizedFiles) {
    const std::vector<MovementRecord> many = NewRecords(300);
    for (const std::size_t written : {255, 256, 300}) {
        SCOPED_TRACE(written);
        const std::string path = PathOf("many.kmo");
        WriteFileBytes(path, SerializeProgram({}, {many.begin(), many.begin() + long(written)}));
        ProgramContents loaded, parsed;  // the in-memory parser agrees with the file reader
        ASSERT_EQ(ReadProgramFile(path, loaded), ProgramFileStatus::kOk);
        ASSERT_EQ(ParseProgram(ReadFileBytes(path), parsed), ProgramFileStatus::kOk);
        EXPECT_EQ(loaded.records, std::vector(many.begin(), many.begin() + 255));
        EXPECT_EQ(parsed.records, loaded.records);
        EXPECT_EQ(loaded.recordsBeyondLimit + parsed.recordsBeyondLimit, 2 * (written - 255));
    }
    const std::string path = PathOf("huge.kmo");
    const std::size_t body = 8 * 1024 * 1024 + 5;
    WriteFileBytes(path, WithBody({'K', 'M', 'O', '3', 1, 0, 7}, body, 0x55));
    ProgramContents loaded;
    ASSERT_EQ(ReadProgramFile(path, loaded), ProgramFileStatus::kOk);
    EXPECT_EQ(loaded.records.size(), 255u);
    EXPECT_EQ(loaded.recordsBeyondLimit, body / 176 - 255);
    EXPECT_TRUE(loaded.partialRecordIgnored);
    EXPECT_EQ(RecordName(loaded.records[0]), std::string(20, 'U'));  // no NUL: cut to 20
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
        const std::string cut = PathOf("cut.kmo");
        WriteFileBytes(cut, Bytes(whole.begin(), whole.begin() + static_cast<long>(length)));
        SCOPED_TRACE(length);
        ProgramContents loaded;
        const ProgramFileStatus status = ReadProgramFile(cut, loaded);
        const std::size_t count = length < 7 ? 0 : (length - 7) / 176;
        EXPECT_EQ(status, length < 4   ? ProgramFileStatus::kNotAProgram
                          : count == 0 ? ProgramFileStatus::kNoMovements
                                       : ProgramFileStatus::kOk);
        EXPECT_EQ(loaded.records, std::vector(records.begin(), records.begin() + long(count)));
        if (count > 0) {
            EXPECT_EQ(loaded.partialRecordIgnored, (length - 7) % 176 != 0);
            EXPECT_EQ(loaded.settings, (RunSettingsValues{1, 1, 4}));
            EXPECT_EQ(loaded.recordsBeyondLimit, 0u);
        }
        if (length == whole.size()) {
            EXPECT_EQ(SerializeProgram(loaded.settings, loaded.records), whole);
        }
    }
}

TEST_F(ProgramFileTest, RandomFilesGiveAStatusOrAValidList) {
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> lengthOf(0, 3 * 176);
    int loadedCount = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes(static_cast<std::size_t>(round % 50 == 0 ? 255 * 176 + 400 : lengthOf(random)));
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(random());
        }
        // Most rounds carry a valid or nearly valid magic so the body is reached.
        if (bytes.size() >= 4 && round % 4 != 0) {
            std::memcpy(bytes.data(), "KMO3", 4);
            if (round % 4 == 1) {
                bytes[3] = static_cast<std::uint8_t>(random());
            }
        }
        ProgramContents contents;
        const ProgramFileStatus status = ParseProgram(bytes, contents);
        const std::size_t count = contents.records.size();
        loadedCount += status == ProgramFileStatus::kOk;
        ASSERT_EQ(status == ProgramFileStatus::kOk, count >= 1 && count <= 255) << round;
        ASSERT_NE(status, ProgramFileStatus::kCannotOpen);
        for (const MovementRecord& record : contents.records) {
            ASSERT_LE(RecordName(record).size(), 20u);
        }
    }
    EXPECT_GT(loadedCount, 500);
}

TEST_F(ProgramFileTest, SavesGoThroughLinksKeepPermissionsAndFailuresKeepThePreviousFile) {
    fs::create_directory(PathOf("taken"));
    for (const std::string& bad : {PathOf("nowhere/file.kmo"), PathOf("taken"), std::string()}) {
        EXPECT_EQ(WriteProgramFile(bad, {}, NewRecords(1)), ProgramFileStatus::kCannotCreate);
    }
    EXPECT_TRUE(fs::is_directory(PathOf("taken")));
    const std::string name = std::string(251, 'n') + ".kmo";  // 255 bytes
    const std::string path = PathOf(name), link = PathOf("link.kmo");
    ASSERT_EQ(WriteProgramFile(path, {}, NewRecords(1)), ProgramFileStatus::kOk);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    fs::create_symlink(path, link);
    ASSERT_EQ(WriteProgramFile(link, {}, NewRecords(2)), ProgramFileStatus::kOk);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_TRUE(fs::is_symlink(link));
    const Bytes before = ReadFileBytes(path);
    EXPECT_EQ(before.size(), 7u + 2 * 176u);
    // A file size limit below the new file's size makes the write fail even
    // for a privileged user; the signal it raises is ignored so write() reports it.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 400;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const ProgramFileStatus status = WriteProgramFile(path, {1, 1, 1}, NewRecords(3));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(status, ProgramFileStatus::kWriteFailed);
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(FolderEntries(), (Names{"link.kmo", name, "taken"}));  // no temporary left
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
