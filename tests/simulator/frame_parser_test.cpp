#include "simulator/frame_parser.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kinemo::simulator
