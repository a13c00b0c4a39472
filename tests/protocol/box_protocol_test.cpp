// The box protocol's frames, as they go on the line and come back.
#include "protocol/box_protocol.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

namespace kinemo::protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BoxProtocol, RequestsCarryTheOutputWordOfTheirFrame) {
    // clang-format off
    for (const auto& [outputs, extended, wire] : {
             std::tuple<std::uint32_t, bool, Bytes>{0x0000, false, {0xC1, 0x00}},  // connect test
             {0x0001, false, {0xC1, 0x01}},       // M1 left
             {0x00AA, false, {0xC1, 0xAA}},       // all four right
             {0xFF55, false, {0xC1, 0x55}},       // no room for M5-M8 without the module
             {0x8001, true, {0xC2, 0x01, 0x80}},  // M1 left, M8 right
             {0x12345678, true, {0xC2, 0x78, 0x56}}}) {
        // clang-format on
        const Request request = EncodeRequest(outputs, extended);
        EXPECT_EQ(Bytes(request.data(), request.data() + request.length()), wire) << outputs;
        EXPECT_EQ(request.size, RequestBytes(request.bytes[0]));
    }
}

TEST(BoxProtocol, AnswersGiveTheInputWord) {
    for (const auto& [command, answer, inputs] :
         {std::tuple<std::uint8_t, Bytes, std::uint32_t>{kSetOutputs, {0x81}, 0x81},  // E1, E8
          {kSetOutputs, {0x7E, 0xFF}, 0x7E},  // a second byte is not part of 0xC1's answer
          {kSetOutputsExtended, {0x01, 0x80}, 0x8001}}) {  // E1 and E16
        ASSERT_GE(static_cast<int>(answer.size()), AnswerBytes(command));
        EXPECT_EQ(DecodeAnswer(command, answer.data()), inputs);
        EXPECT_EQ(DecodeAnswer(command, EncodeAnswer(inputs).data()), inputs);
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
