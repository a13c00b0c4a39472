// Cuts the sound into utterances: stretches of speech with a pause before and
// after, as a command word is said. The recogniser looks at one utterance at a
// time, so a word is judged on its own sound and not on the end of the one
// before it.
//
// The decision is made per 10 ms frame on the loudness of the signal after a
// first difference (which takes most of the hum and rumble out), measured
// against a running estimate of the background level: it follows a falling
// level at once and a rising one slowly, so steady noise becomes the new
// background within seconds while a word, a second long, barely moves it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kinemo::voice {

inline constexpr std::size_t kFrameSamples = 160;  // 10 ms at 16 kHz

struct SegmenterConfig {
    int startFrames = 3;           // loud frames in a row that begin an utterance
    int endFrames = 18;            // quiet frames in a row that end it (the answer waits this long)
    int maxFrames = 150;           // longer than this is talk, not a command word
    double startDb = 10.0;         // a frame is loud this far above the background ...
    double keepDb = 6.0;           // ... and keeps an utterance going this far above it
    double minLevelDb = 36.0;      // never loud below this (16-bit full scale is about 90 dB)
    double riseDbPerFrame = 0.02;  // how fast the background estimate may climb
};

class Segmenter {
  public:
    enum class Step {
        Quiet,    // no utterance
        Start,    // this frame completes the start of one (it began startFrames ago)
        Speech,   // inside one
        End,      // the utterance ended with this frame (endFrames quiet ones)
        TooLong,  // inside one grown too long to be a command word; End follows as usual
    };

    explicit Segmenter(const SegmenterConfig& config = {}) : config_(config) {}

    Step Feed(std::span<const std::int16_t> frame);

    // Frames the current utterance has lasted, counting the quiet ones at its end.
    int Frames() const { return frames_; }
    // Quiet frames between the end of the sound before the current utterance
    // and its first loud frame (a large number for the first one).
    int QuietBefore() const { return quietBefore_; }
    double BackgroundDb() const { return background_; }
    void Reset();

  private:
    SegmenterConfig config_;
    double background_ = 0;
    bool haveBackground_ = false;
    std::int16_t last_ = 0;
    int loudRun_ = 0;
    int quietRun_ = 0;
    int frames_ = 0;
    int quietBefore_ = kLongQuiet;
    int quietSince_ = kLongQuiet;  // quiet frames since the last loud one
    static constexpr int kLongQuiet = 1 << 30;
    enum class State { Quiet, Speech, Overlong } state_ = State::Quiet;
};

}  // namespace kinemo::voice
