// The interface box's serial protocol, in one place for everything that
// speaks it: the driver library, the keyboard controller's own port and the
// simulated box.
//
// Line: 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control. Every
// exchange is one request written in one go and one answer:
//
//   0xC1, out        -> in           M1-M4 set, E1-E8 read back
//   0xC2, out, ext   -> in, extIn    also the extension module: M5-M8, E9-E16
//
// Output word: two bits per motor, motor k (k = 0 for M1) in bits 2k and
// 2k + 1: 0 off, 1 left, 2 right. 3 is never sent, so no output byte equals a
// command byte (both have the top field 3), and a receiver can resynchronise
// on them. Input word: E(k + 1) in bit k, a set bit is a closed input. Words
// of the module follow in bits 8-15 of the same integer.
//
// Everything here is constexpr, so the shared driver library, the programs
// and the simulator all build it in without another library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kinemo::protocol {

// Command bytes.
inline constexpr std::uint8_t kSetOutputs = 0xC1;          // M1-M4; answer E1-E8
inline constexpr std::uint8_t kSetOutputsExtended = 0xC2;  // M1-M8; answer E1-E16

constexpr bool IsCommand(std::uint8_t byte) {
    return byte == kSetOutputs || byte == kSetOutputsExtended;
}

// Frame sizes in bytes, command byte included.
inline constexpr int kMaxRequestBytes = 3;
inline constexpr int kMaxAnswerBytes = 2;
constexpr int RequestBytes(std::uint8_t command) {
    return command == kSetOutputsExtended ? 3 : 2;
}
constexpr int AnswerBytes(std::uint8_t command) {
    return command == kSetOutputsExtended ? 2 : 1;
}

// Line time: every character is a start bit, 8 data bits and a stop bit.
inline constexpr std::int64_t kBaudRate = 9600;
inline constexpr std::int64_t kBitsPerCharacter = 10;

// Time the line needs for this many characters, in microseconds (rounded down).
constexpr std::int64_t LineTimeUs(int characters) {
    return characters * kBitsPerCharacter * 1'000'000 / kBaudRate;
}

// The line time of one whole exchange, request and answer: 3125 us for 0xC1,
// 5208 us for 0xC2. No exchange can be faster; it is the tick of the
// programs' software pulse-width modulation on a real box.
constexpr std::int64_t ExchangeLineTimeUs(std::uint8_t command) {
    return LineTimeUs(RequestBytes(command) + AnswerBytes(command));
}

// One request as it goes on the line.
struct Request {
    std::array<std::uint8_t, kMaxRequestBytes> bytes{};
    int size = 0;

    const std::uint8_t* data() const { return bytes.data(); }
    std::size_t length() const { return static_cast<std::size_t>(size); }
};

// The request for `outputs` (M1-M4 in bits 0-7, M5-M8 in bits 8-15). Without
// the module only bits 0-7 are sent.
constexpr Request EncodeRequest(std::uint32_t outputs, bool extended) {
    Request request;
    request.bytes[1] = static_cast<std::uint8_t>(outputs & 0xFFu);
    if (extended) {
        request.bytes[0] = kSetOutputsExtended;
        request.bytes[2] = static_cast<std::uint8_t>((outputs >> 8) & 0xFFu);
        request.size = 3;
    } else {
        request.bytes[0] = kSetOutputs;
        request.size = 2;
    }
    return request;
}

// The Input word from a complete answer to `command` (E1-E8 in bits 0-7,
// E9-E16 in bits 8-15 after 0xC2).
constexpr std::uint32_t DecodeAnswer(std::uint8_t command, const std::uint8_t* answer) {
    std::uint32_t inputs = answer[0];
    if (command == kSetOutputsExtended) {
        inputs |= static_cast<std::uint32_t>(answer[1]) << 8;
    }
    return inputs;
}

// The answer bytes that carry `inputs`; an answer to a command is its first
// AnswerBytes(command) of them.
constexpr std::array<std::uint8_t, kMaxAnswerBytes> EncodeAnswer(std::uint32_t inputs) {
    return {static_cast<std::uint8_t>(inputs & 0xFFu),
            static_cast<std::uint8_t>((inputs >> 8) & 0xFFu)};
}

// Motor fields of an output word: 0 off, 1 left, 2 right (motor 0 is M1).
inline constexpr std::uint8_t kMotorFieldOff = 0;
inline constexpr std::uint8_t kMotorFieldLeft = 1;
inline constexpr std::uint8_t kMotorFieldRight = 2;

constexpr std::uint8_t MotorField(std::uint32_t outputs, int motor) {
    return static_cast<std::uint8_t>((outputs >> (2 * motor)) & 3u);
}

// Input `index` (0 for E1) of an input word.
constexpr bool InputActive(std::uint32_t inputs, int index) {
    return ((inputs >> index) & 1u) != 0;
}
constexpr std::uint32_t InputBit(int index) {
    return 1u << index;
}

}  // namespace kinemo::protocol
