#include "simulator/frame_parser.h"

namespace kinemo::simulator {

using protocol::IsCommand;

bool FrameParser::Feed(std::uint8_t byte, std::int64_t nowUs, Frame* frame) {
    if (have_ > 0 && (IsCommand(byte) || nowUs - lastUs_ > kFrameGapUs)) {
        skipped_ += static_cast<std::uint64_t>(have_);
        have_ = 0;
    }
    lastUs_ = nowUs;
    if (have_ == 0) {
        if (!IsCommand(byte)) {
            ++skipped_;
            return false;
        }
        pending_ = Frame{byte, 0, nowUs};
        have_ = 1;
        return false;
    }
    if (have_ == 1) {
        pending_.outputs = byte;
    } else {
        pending_.outputs = static_cast<std::uint16_t>(pending_.outputs | (byte << 8));
    }
    ++have_;
    if (have_ < pending_.RequestBytes()) {
        return false;
    }
    have_ = 0;
    *frame = pending_;
    return true;
}

}  // namespace kinemo::simulator
