// The box protocol's frames, as they go on the line and come back.
#include "protocol/box_protocol.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace kinemo::protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BoxProtocol, RequestsCarryTheOutputWordOfTheirFrame) {
    struct Case {
        std::uint32_t outputs;
        bool extended;
        Bytes wire;
    };
    const Case cases[] = {
        {0x0000, false, {0xC1, 0x00}},       // the connection test
        {0x0001, false, {0xC1, 0x01}},       // M1 left
        {0x0008, false, {0xC1, 0x08}},       // M2 right
        {0x00AA, false, {0xC1, 0xAA}},       // all four right
        {0xFF55, false, {0xC1, 0x55}},       // no room for M5-M8 without the module
        {0x8001, true, {0xC2, 0x01, 0x80}},  // M1 left, M8 right
        {0x12345678, true, {0xC2, 0x78, 0x56}},
    };
    for (const Case& c : cases) {
        const Request request = EncodeRequest(c.outputs, c.extended);
        EXPECT_EQ(Bytes(request.data(), request.data() + request.length()), c.wire) << c.outputs;
        EXPECT_EQ(request.size, RequestBytes(request.bytes[0]));
    }
}

TEST(BoxProtocol, AnswersGiveTheInputWord) {
    struct Case {
        std::uint8_t command;
        Bytes answer;
        std::uint32_t inputs;
    };
    const Case cases[] = {
        {kSetOutputs, {0x81}, 0x81},                  // E1 and E8
        {kSetOutputs, {0x7E, 0xFF}, 0x7E},            // a second byte is not part of 0xC1's answer
        {kSetOutputsExtended, {0x01, 0x80}, 0x8001},  // E1 and E16
    };
    for (const Case& c : cases) {
        ASSERT_GE(static_cast<int>(c.answer.size()), AnswerBytes(c.command));
        EXPECT_EQ(DecodeAnswer(c.command, c.answer.data()), c.inputs);
        const auto encoded = EncodeAnswer(c.inputs);
        EXPECT_EQ(DecodeAnswer(c.command, encoded.data()), c.inputs);
    }
    EXPECT_TRUE(InputActive(0x81, 0) && InputActive(0x81, 7) && !InputActive(0x81, 1));
    EXPECT_EQ((std::vector{MotorField(0x8001, 0), MotorField(0x8001, 7), MotorField(0x8001, 3)}),
              (std::vector{kMotorFieldLeft, kMotorFieldRight, kMotorFieldOff}));
    // Ten bit times per character at 9600 baud: 3 and 5 characters.
    EXPECT_EQ(std::pair(ExchangeLineTimeUs(kSetOutputs), ExchangeLineTimeUs(kSetOutputsExtended)),
              std::pair(3125L, 5208L));
}

}  // namespace
}  // namespace kinemo::protocol
