// Bounded reads of a named file that never wait on a pipe or device.
#include "platform/file_read.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <tuple>

namespace kinemo::platform {
namespace {

using Status = FileReadStatus;

TEST(ReadFileStart, ReadsUpToTheLimitAndNeverWaitsOnAPipe) {
    const std::string folder = ::testing::TempDir() + "/file_read_test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/plain", std::ios::binary) << "abcdef";
    ASSERT_EQ(::mkfifo((folder + "/pipe").c_str(), 0600), 0);
    using Case = std::tuple<std::string, bool, Status, std::uint64_t, std::string>;
    for (const auto& [name, pipes, status, size, bytes] : {
             Case{"plain", false, Status::kOk, 6, "abcd"},
             Case{"missing", false, Status::kMissing, 0, ""},
             Case{"", false, Status::kCannotOpen, 0, ""},  // the folder
             Case{"pipe", false, Status::kNotAFile, 0, ""},
             Case{"pipe", true, Status::kOk, 0, ""},  // no writer: empty
         }) {
        const FileStart file = ReadFileStart(folder + "/" + name, 4, pipes);
        EXPECT_EQ(
            std::tuple(file.status, file.size, std::string(file.bytes.begin(), file.bytes.end())),
            std::tuple(status, size, bytes))
            << name << " " << pipes;
    }
    EXPECT_EQ(ReadFileStart("/dev/zero", 3, true).bytes, (std::vector<std::uint8_t>{0, 0, 0}));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kinemo::platform
