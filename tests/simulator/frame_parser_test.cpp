#include "simulator/frame_parser.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kinemo::simulator {
namespace {

// Feeds bytes, all arriving at `us`; returns the frames completed.
std::vector<Frame> FeedAll(FrameParser& parser, const std::vector<std::uint8_t>& bytes,
                           std::int64_t us = 0) {
    std::vector<Frame> frames;
    for (std::uint8_t b : bytes) {
        Frame f;
        if (parser.Feed(b, us, &f)) {
            frames.push_back(f);
        }
    }
    return frames;
}

TEST(FrameParser, SplitsBoxAndModuleFrames) {
    FrameParser parser;
    const auto frames = FeedAll(parser, {0xC1, 0x55, 0xC2, 0xAA, 0x09, 0xC1, 0x00}, 42);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].command, 0xC1);
    EXPECT_EQ(frames[0].outputs, 0x55);
    EXPECT_EQ(frames[0].startUs, 42);
    EXPECT_EQ(frames[1].command, 0xC2);
    EXPECT_EQ(frames[1].outputs, 0x09AA);
    EXPECT_EQ(frames[1].RequestBytes(), 3);
    EXPECT_EQ(frames[1].AnswerBytes(), 2);
    EXPECT_EQ(frames[2].outputs, 0x00);
    EXPECT_EQ(parser.skippedBytes(), 0u);
}

TEST(FrameParser, SkipsGarbageUntilACommandByte) {
    FrameParser parser;
    const auto frames = FeedAll(parser, {0x00, 0x12, 0xFF, 0xC1, 0x02});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].outputs, 0x02);
    EXPECT_EQ(parser.skippedBytes(), 3u);
}

TEST(FrameParser, CommandByteInsideAFrameStartsAnew) {
    FrameParser parser;
    // A request cut after its command byte, then a whole one.
    const auto frames = FeedAll(parser, {0xC2, 0x01, 0xC1, 0x08});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].command, 0xC1);
    EXPECT_EQ(frames[0].outputs, 0x08);
    EXPECT_EQ(parser.skippedBytes(), 2u);
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
