// Replays every saved input of the fuzz targets, and the shipped examples,
// through the targets' own checks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/fuzz_checks.h"

namespace {

namespace fs = std::filesystem;

int ReplayFolder(const fs::path& folder) {
    int checked = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const auto check = kinemo::fuzz::CheckForExtension(entry.path().extension().string());
        if (!entry.is_regular_file() || check == nullptr) {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(check(bytes), "") << entry.path();
        // Every truncation of a saved input goes through the same check.
        for (std::size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 64) {
            EXPECT_EQ(check(std::span(bytes).first(cut)), "") << entry.path() << " cut at " << cut;
        }
        ++checked;
    }
    return checked;
}

TEST(FuzzRegressions, SavedInputsPassTheirChecks) {
    EXPECT_GE(ReplayFolder(KINEMO_FUZZ_REGRESSIONS), 5);
}

TEST(FuzzRegressions, ExamplesPassTheirChecks) {
    EXPECT_GE(ReplayFolder(KINEMO_EXAMPLES), 4);
}

}  // namespace
