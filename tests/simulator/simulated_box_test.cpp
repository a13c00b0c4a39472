#include "simulator/simulated_box.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "tests/simulator/line_client.h"

namespace kinemo::simulator {
namespace {

using testing::LineClient;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

class SimulatedBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = box_.Start();
        ASSERT_FALSE(path_.empty()) << box_.error();
        client_ = std::make_unique<LineClient>(path_);
        ASSERT_TRUE(client_->ok());
    }

    SimulatedBox box_{SimulatedBoxOptions::FastLine()};
    std::string path_;
    std::unique_ptr<LineClient> client_;
};

TEST_F(SimulatedBoxTest, AnswersBoxFrameWithInputsAfterTheTick) {
    EXPECT_EQ(client_->Exchange({0xC1, 0x00}, 1), Bytes{0x00});
    // M1 right: the carriage leaves the middle, nothing closes yet.
    EXPECT_EQ(client_->Exchange({0xC1, 0x02}, 1), Bytes{0x00});
    const BoxSnapshot s = box_.Snapshot();
    EXPECT_EQ(s.ticks, 2u);
    EXPECT_EQ(s.motors[0].position, kStartPosition + 1);
    EXPECT_EQ(s.motors[0].state, 2);
    EXPECT_EQ(s.lastCommand, 0xC1);
}

}  // namespace
}  // namespace kinemo::simulator
