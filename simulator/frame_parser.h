// Splits the byte stream from the line into request frames.
//
//   0xC1, out      -> set M1-M4, answer E1-E8 (one byte)
//   0xC2, out, ext -> set M1-M4 and M5-M8, answer E1-E8 then E9-E16
//
// Resynchronisation: bytes outside a frame that are not a command byte are
// skipped. A command byte inside a frame starts a new frame, because an
// output word of 0xC1 or 0xC2 would hold the never-sent motor field 3. A
// partial frame is also dropped when its next byte comes more than
// kFrameGapUs after the previous one (the sender gave up on it).
#pragma once

#include <cstdint>

#include "protocol/box_protocol.h"

namespace kinemo::simulator {

inline constexpr std::uint8_t kCommandBox = protocol::kSetOutputs;
inline constexpr std::uint8_t kCommandBoxAndModule = protocol::kSetOutputsExtended;
inline constexpr std::int64_t kFrameGapUs = 100'000;

struct Frame {
    std::uint8_t command = 0;
    // M1-M4 in bits 0-7, M5-M8 in bits 8-15 (0 for a 0xC1 frame).
    std::uint16_t outputs = 0;
    // When the frame's command byte arrived, in the caller's microseconds.
    std::int64_t startUs = 0;

    int RequestBytes() const { return protocol::RequestBytes(command); }
    int AnswerBytes() const { return protocol::AnswerBytes(command); }
};

class FrameParser {
  public:
    // Takes one byte that arrived at nowUs. Returns true when it completed a
    // frame, which is then in *frame.
    bool Feed(std::uint8_t byte, std::int64_t nowUs, Frame* frame);

    // Bytes skipped so far while looking for a command byte or dropped with
    // an abandoned partial frame.
    std::uint64_t skippedBytes() const { return skipped_; }

  private:
    Frame pending_{};
    int have_ = 0;  // bytes of pending_ received, 0 = waiting for a command
    std::int64_t lastUs_ = 0;
    std::uint64_t skipped_ = 0;
};

}  // namespace kinemo::simulator
