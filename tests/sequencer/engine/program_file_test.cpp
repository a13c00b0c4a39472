#include "sequencer/engine/program_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace kinemo::engine {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh folder per test, removed afterwards.
class ProgramFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kmo-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder_, ignored);
    }
    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
};

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t Le32(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) |
           (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
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

// A record whose every byte is random, as a file written elsewhere may hold.
MovementRecord RandomRecord(std::mt19937& random) {
    std::array<std::uint8_t, kMovementRecordSize> bytes{};
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    bytes[9] = 0;  // a NUL inside the name; the bytes after it stay random
    return DecodeMovementRecord(bytes);
}

Bytes FileOf(const Bytes& header, std::size_t bodyBytes, std::uint8_t fill = 0x41) {
    Bytes bytes = header;
    bytes.resize(header.size() + bodyBytes, fill);
    return bytes;
}

const Bytes kValidHeader = {'K', 'M', 'O', '3', 1, 0, 7};

TEST_F(ProgramFileTest, WrittenFileHasExactBytes) {
    std::vector<MovementRecord> records = NewRecords(2);
    records[0].direction = {0, 1, 2, 1};
    records[0].speed[1] = 37;
    records[0].fineSpeed[1] = 25;
    records[1].maxImpulses[3] = -2;
    records[1].accelDuration[2] = 65535;
    records[1].padding = {0xAA, 0xBB, 0xCC};
    const RunSettingsValues settings{1, 1, 3};
    const std::string path = PathOf("exact.kmo");
    ASSERT_EQ(WriteProgramFile(path, settings, records), ProgramFileStatus::kOk);

    // The header, then each record as its own encoding places its fields.
    Bytes expected = {'K', 'M', 'O', '3', 1, 1, 3};
    for (const MovementRecord& record : records) {
        std::array<std::uint8_t, kMovementRecordSize> encoded{};
        EncodeMovementRecord(record, encoded);
        expected.insert(expected.end(), encoded.begin(), encoded.end());
    }
    EXPECT_EQ(ReadAll(path), expected);
    EXPECT_EQ(SerializeProgram(settings, records), expected);
    EXPECT_EQ(Le32(expected, 183 + 156 + 12), 0xFFFFFFFEu);  // little-endian
}

TEST_F(ProgramFileTest, SaveThenLoadKeepsEveryByte) {
    std::mt19937 random(1234);
    std::vector<MovementRecord> records;
    for (int i = 0; i < 5; ++i) {
        records.push_back(RandomRecord(random));
    }
    const RunSettingsValues settings{0, 1, 5};
    const std::string path = PathOf("round.kmo");
    ASSERT_EQ(WriteProgramFile(path, settings, records), ProgramFileStatus::kOk);
    const Bytes first = ReadAll(path);

    ProgramContents loaded;
    ASSERT_EQ(ReadProgramFile(path, loaded), ProgramFileStatus::kOk);
    EXPECT_EQ(loaded.settings, settings);
    EXPECT_EQ(loaded.records, records);  // names, bytes after the NUL, padding, all fields
    EXPECT_FALSE(loaded.partialRecordIgnored);
    EXPECT_EQ(loaded.recordsBeyondLimit, 0u);

    ASSERT_EQ(WriteProgramFile(path, loaded.settings, loaded.records), ProgramFileStatus::kOk);
    EXPECT_EQ(ReadAll(path), first);
}

TEST_F(ProgramFileTest, RefusalsLeaveContentsAloneAndHaveTheirTexts) {
    ProgramContents untouched;
    untouched.records = NewRecords(3);
    untouched.settings = {1, 1, 2};
    const Bytes record(176, 0);
    struct Case {
        Bytes bytes;
        ProgramFileStatus status;
    };
    const std::vector<Case> cases = {
        {{}, ProgramFileStatus::kNotAProgram},
        {{'K', 'M', 'O'}, ProgramFileStatus::kNotAProgram},
        {{'K', 'M', 'O', '3'}, ProgramFileStatus::kNoMovements},
        {FileOf({'K', 'M', 'O', '3', 0, 0, 7}, 175), ProgramFileStatus::kNoMovements},
        {FileOf({'K', 'M', 'O', '2', 0, 0, 7}, 176), ProgramFileStatus::kWrongVersion},
        {FileOf({'K', 'M', 'O', 0, 0, 0, 7}, 176), ProgramFileStatus::kWrongVersion},
        {{'K', 'M', 'O', '4'}, ProgramFileStatus::kWrongVersion},
        {FileOf({'X', 'M', 'O', '3', 0, 0, 7}, 176), ProgramFileStatus::kNotAProgram},
        {FileOf({'K', 'm', 'O', '3', 0, 0, 7}, 176), ProgramFileStatus::kNotAProgram},
        {FileOf({'K', 'M', 'X', '3', 0, 0, 7}, 176), ProgramFileStatus::kNotAProgram},
        {Bytes{'H', 'a', 'l', 'l', 'o', '\n'}, ProgramFileStatus::kNotAProgram},
    };
    for (const Case& c : cases) {
        ProgramContents contents = untouched;
        EXPECT_EQ(ParseProgram(c.bytes, contents), c.status) << c.bytes.size() << " bytes";
        EXPECT_EQ(contents.records, untouched.records);
        EXPECT_EQ(contents.settings, untouched.settings);
    }
    EXPECT_EQ(ProgramFileStatusText(ProgramFileStatus::kNotAProgram), "Ungültige Datei");
    EXPECT_EQ(ProgramFileStatusText(ProgramFileStatus::kWrongVersion), "Falsche Kinemo-Version");
    EXPECT_EQ(ProgramFileStatusText(ProgramFileStatus::kNoMovements),
              "Die Datei enthält keine vollständige Bewegung");
    EXPECT_EQ(ProgramFileStatusText(ProgramFileStatus::kCannotOpen),
              "Datei kann nicht geöffnet werden");
    EXPECT_EQ(ProgramFileStatusText(ProgramFileStatus::kCannotCreate),
              "Datei kann nicht angelegt werden");
}

TEST_F(ProgramFileTest, AtMost255RecordsAreLoaded) {
    struct Case {
        std::size_t written, loaded, beyond;
    };
    for (const Case c :
         {Case{254, 254, 0}, Case{255, 255, 0}, Case{256, 255, 1}, Case{300, 255, 45}}) {
        const std::string path = PathOf("many.kmo");
        const std::vector<MovementRecord> records = NewRecords(static_cast<int>(c.written));
        // The writer takes any count; the reader decides what the list can hold.
        WriteBytes(path, SerializeProgram(RunSettingsValues{}, records));
        ProgramContents loaded;
        ASSERT_EQ(ReadProgramFile(path, loaded), ProgramFileStatus::kOk) << c.written;
        ASSERT_EQ(loaded.records.size(), c.loaded) << c.written;
        EXPECT_EQ(loaded.recordsBeyondLimit, c.beyond) << c.written;
        EXPECT_FALSE(loaded.partialRecordIgnored);
        EXPECT_EQ(RecordName(loaded.records.back()), "Bewegung " + std::to_string(c.loaded - 1));
        // The in-memory parser agrees with the file reader.
        ProgramContents parsed;
        ASSERT_EQ(ParseProgram(ReadAll(path), parsed), ProgramFileStatus::kOk);
        EXPECT_EQ(parsed.records, loaded.records);
        EXPECT_EQ(parsed.recordsBeyondLimit, c.beyond);
    }
}

TEST_F(ProgramFileTest, EveryTruncationOfASmallFile) {
    const std::string path = PathOf("whole.kmo");
    const std::vector<MovementRecord> records = NewRecords(2);
    ASSERT_EQ(WriteProgramFile(path, RunSettingsValues{1, 1, 4}, records), ProgramFileStatus::kOk);
    const Bytes whole = ReadAll(path);
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const std::string cut = PathOf("cut.kmo");
        WriteBytes(cut, Bytes(whole.begin(), whole.begin() + static_cast<long>(length)));
        ProgramContents loaded;
        const ProgramFileStatus status = ReadProgramFile(cut, loaded);
        if (length < 4) {
            EXPECT_EQ(status, ProgramFileStatus::kNotAProgram) << length;
        } else if (length < 7 + 176) {
            EXPECT_EQ(status, ProgramFileStatus::kNoMovements) << length;
        } else {
            ASSERT_EQ(status, ProgramFileStatus::kOk) << length;
            const std::size_t complete = (length - 7) / 176;
            ASSERT_EQ(loaded.records.size(), complete) << length;
            EXPECT_EQ(loaded.records[0], records[0]);
            EXPECT_EQ(loaded.partialRecordIgnored, (length - 7) % 176 != 0) << length;
            EXPECT_EQ(loaded.settings, (RunSettingsValues{1, 1, 4}));
        }
    }
}

TEST_F(ProgramFileTest, OversizedFileLoadsTheFirst255Records) {
    const std::string path = PathOf("huge.kmo");
    const std::size_t body = 8 * 1024 * 1024 + 5;
    WriteBytes(path, FileOf(kValidHeader, body, 0x55));
    ProgramContents loaded;
    ASSERT_EQ(ReadProgramFile(path, loaded), ProgramFileStatus::kOk);
    EXPECT_EQ(loaded.records.size(), 255u);
    EXPECT_EQ(loaded.recordsBeyondLimit, body / 176 - 255);
    EXPECT_EQ(loaded.partialRecordIgnored, body % 176 != 0);
    EXPECT_EQ(RecordName(loaded.records[0]), std::string(20, 'U'));
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
        if (status == ProgramFileStatus::kOk) {
            ++loadedCount;
            ASSERT_GE(contents.records.size(), 1u);
            ASSERT_LE(contents.records.size(), 255u);
            for (const MovementRecord& record : contents.records) {
                ASSERT_LE(RecordName(record).size(), 20u);
            }
        } else {
            ASSERT_TRUE(status == ProgramFileStatus::kNotAProgram ||
                        status == ProgramFileStatus::kWrongVersion ||
                        status == ProgramFileStatus::kNoMovements);
            ASSERT_TRUE(contents.records.empty());
        }
    }
    EXPECT_GT(loadedCount, 500);
}

TEST_F(ProgramFileTest, FilesThatCannotBeOpened) {
    ProgramContents contents;
    contents.records = NewRecords(1);
    EXPECT_EQ(ReadProgramFile(PathOf("missing.kmo"), contents), ProgramFileStatus::kCannotOpen);
    fs::create_directory(PathOf("folder.kmo"));
    EXPECT_EQ(ReadProgramFile(PathOf("folder.kmo"), contents), ProgramFileStatus::kCannotOpen);
    EXPECT_EQ(contents.records, NewRecords(1));
}

TEST_F(ProgramFileTest, PipeWithoutWriterReadsAsEmptyInsteadOfHanging) {
    const std::string path = PathOf("pipe.kmo");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    ProgramContents contents;
    EXPECT_EQ(ReadProgramFile(path, contents), ProgramFileStatus::kNotAProgram);
}

TEST_F(ProgramFileTest, SaveIntoMissingFolderOrOverAFolderChangesNothing) {
    const std::vector<MovementRecord> records = NewRecords(1);
    EXPECT_EQ(WriteProgramFile(PathOf("nowhere/file.kmo"), {}, records),
              ProgramFileStatus::kCannotCreate);
    fs::create_directory(PathOf("taken"));
    EXPECT_EQ(WriteProgramFile(PathOf("taken"), {}, records), ProgramFileStatus::kCannotCreate);
    EXPECT_TRUE(fs::is_directory(PathOf("taken")));
    EXPECT_EQ(WriteProgramFile("", {}, records), ProgramFileStatus::kCannotCreate);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"taken"});
}

TEST_F(ProgramFileTest, FailedWriteKeepsThePreviousFileAndLeavesNoTemporary) {
    const std::string path = PathOf("keep.kmo");
    ASSERT_EQ(WriteProgramFile(path, {}, NewRecords(1)), ProgramFileStatus::kOk);
    const Bytes before = ReadAll(path);

    // A file size limit below the new file's size makes the write fail even
    // for a privileged user; the signal it raises is ignored so write() reports it.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 200;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const ProgramFileStatus status = WriteProgramFile(path, {1, 1, 1}, NewRecords(3));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(status, ProgramFileStatus::kWriteFailed);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"keep.kmo"});
}

TEST_F(ProgramFileTest, NameAtTheLengthLimitCanBeSaved) {
    const std::string path = PathOf(std::string(251, 'n') + ".kmo");  // 255 bytes
    ASSERT_EQ(WriteProgramFile(path, {}, NewRecords(1)), ProgramFileStatus::kOk);
    EXPECT_EQ(ReadAll(path).size(), 183u);
    EXPECT_EQ(FolderEntries().size(), 1u);
}

TEST_F(ProgramFileTest, ReplacingKeepsPermissionsAndSymbolicLinks) {
    const std::string path = PathOf("mode.kmo");
    ASSERT_EQ(WriteProgramFile(path, {}, NewRecords(1)), ProgramFileStatus::kOk);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(WriteProgramFile(path, {}, NewRecords(2)), ProgramFileStatus::kOk);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadAll(path).size(), 7u + 2 * 176u);

    const std::string link = PathOf("link.kmo");
    fs::create_symlink(path, link);
    ASSERT_EQ(WriteProgramFile(link, {}, NewRecords(3)), ProgramFileStatus::kOk);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadAll(path).size(), 7u + 3 * 176u);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"link.kmo", "mode.kmo"}));
}

}  // namespace
}  // namespace kinemo::engine
