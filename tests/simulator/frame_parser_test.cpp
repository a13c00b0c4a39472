#include "simulator/frame_parser.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kinemo::simulator {
namespace {

// Whole frames, garbage before a command byte, and a command byte inside a
// frame (a request cut short) starting anew.
TEST(FrameParser, SplitsFramesAndSkipsWhatIsNoFrame) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::vector<std::pair<std::uint8_t, std::uint16_t>> frames;  // command, outputs
        std::uint64_t skipped;
    };
    const Case cases[] = {
        {{0xC1, 0x55, 0xC2, 0xAA, 0x09, 0xC1, 0x00}, {{0xC1, 0x55}, {0xC2, 0x09AA}, {0xC1, 0}}, 0},
        {{0x00, 0x12, 0xFF, 0xC1, 0x02}, {{0xC1, 0x02}}, 3},
        {{0xC2, 0x01, 0xC1, 0x08}, {{0xC1, 0x08}}, 2},
    };
    for (const Case& c : cases) {
        FrameParser parser;
        std::vector<std::pair<std::uint8_t, std::uint16_t>> frames;
        for (const std::uint8_t b : c.bytes) {
            Frame f;
            if (parser.Feed(b, 42, &f)) {
                frames.emplace_back(f.command, f.outputs);
                EXPECT_EQ(f.startUs, 42);
                EXPECT_EQ(f.RequestBytes(), f.command == 0xC2 ? 3 : 2);
                EXPECT_EQ(f.AnswerBytes(), f.command == 0xC2 ? 2 : 1);
            }
        }
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(parser.skippedBytes(), c.skipped);
    }
}

TEST(FrameParser, DropsAPartialFrameAfterALongGap) {
    FrameParser parser;
    Frame f;
    EXPECT_FALSE(parser.Feed(0xC1, 0, &f));
    // The rest of the request never came; this byte belongs to nothing.
    EXPECT_FALSE(parser.Feed(0x05, kFrameGapUs + 1, &f));
    EXPECT_EQ(parser.skippedBytes(), 2u);
    EXPECT_FALSE(parser.Feed(0xC1, kFrameGapUs + 2, &f));
    EXPECT_TRUE(parser.Feed(0x05, kFrameGapUs + 3, &f));
    EXPECT_EQ(f.startUs, kFrameGapUs + 2);
}

TEST(FrameParser, RandomBytesAreEitherFramesOrSkipped) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    FrameParser parser;
    std::uint64_t framed = 0;
    constexpr int kBytes = 200'000;
    for (int i = 0; i < kBytes; ++i) {
        Frame f;
        // Every 997th byte arrives after a long pause, which drops a partial frame.
        const std::int64_t us = i * 10 + (i / 997) * kFrameGapUs * 2;
        if (parser.Feed(static_cast<std::uint8_t>(byte(random)), us, &f)) {
            ASSERT_TRUE(f.command == kCommandBox || f.command == kCommandBoxAndModule);
            ASSERT_TRUE(f.command == kCommandBoxAndModule || f.outputs <= 0xFF);
            framed += static_cast<std::uint64_t>(f.RequestBytes());
        }
    }
    // At most one partial frame (two bytes) can still be waiting.
    const std::uint64_t accounted = framed + parser.skippedBytes();
    EXPECT_LE(accounted, static_cast<std::uint64_t>(kBytes));
    EXPECT_GE(accounted + 2, static_cast<std::uint64_t>(kBytes));
    EXPECT_GT(framed, 0u);
}

}  // namespace
}  // namespace kinemo::simulator
