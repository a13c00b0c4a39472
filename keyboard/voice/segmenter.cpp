#include "keyboard/voice/segmenter.h"

#include <algorithm>
#include <cmath>

namespace kinemo::voice {

void Segmenter::Reset() {
    haveBackground_ = false;
    background_ = 0;
    last_ = 0;
    loudRun_ = quietRun_ = frames_ = 0;
    quietBefore_ = quietSince_ = kLongQuiet;
    state_ = State::Quiet;
}

Segmenter::Step Segmenter::Feed(std::span<const std::int16_t> frame) {
    double sum = 0;
    for (const std::int16_t s : frame) {
        const double d = static_cast<double>(s) - 0.97 * static_cast<double>(last_);
        sum += d * d;
        last_ = s;
    }
    const double level =
        10.0 * std::log10(1.0 + sum / static_cast<double>(std::max<std::size_t>(frame.size(), 1)));
    if (!haveBackground_) {
        background_ = level;
        haveBackground_ = true;
    }
    const bool loud = level >= std::max(background_ + config_.startDb, config_.minLevelDb);
    const bool kept = level >= std::max(background_ + config_.keepDb, config_.minLevelDb - 3.0);
    // Follow a falling level quickly, a rising one at a bounded pace.
    if (level < background_) {
        background_ += 0.2 * (level - background_);
    } else {
        background_ += std::min(level - background_, config_.riseDbPerFrame);
    }

    switch (state_) {
        case State::Quiet:
            if (loud) {
                ++loudRun_;
            } else {
                loudRun_ = 0;
                quietSince_ = std::min(quietSince_ + 1, kLongQuiet);
            }
            if (loudRun_ >= config_.startFrames) {
                state_ = State::Speech;
                quietBefore_ = quietSince_;
                frames_ = loudRun_;
                quietRun_ = 0;
                loudRun_ = 0;
                return Step::Start;
            }
            return Step::Quiet;
        case State::Speech:
        case State::Overlong:
            ++frames_;
            quietRun_ = kept ? 0 : quietRun_ + 1;
            if (quietRun_ >= config_.endFrames) {
                state_ = State::Quiet;
                loudRun_ = 0;
                quietSince_ = quietRun_;
                return Step::End;
            }
            if (state_ == State::Overlong || frames_ > config_.maxFrames) {
                state_ = State::Overlong;
                return Step::TooLong;
            }
            return Step::Speech;
    }
    return Step::Quiet;
}

}  // namespace kinemo::voice
