// Where utterances begin and end, on made-up sound: tone bursts standing for
// words, over silence or steady noise.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "keyboard/voice/segmenter.h"

namespace kinemo::voice {
namespace {

struct Piece {
    int frames;
    double tone;  // amplitude of a 1 kHz tone, 0 for none
};

// The steps other than Quiet and Speech, as "Start@12 End@80".
std::string Steps(const std::vector<Piece>& pieces, double noise) {
    Segmenter segmenter;
    std::vector<std::int16_t> frame(kFrameSamples);
    std::uint32_t seed = 7;
    std::string out;
    int index = 0;
    std::size_t t = 0;
    bool tooLong = false;
    for (const Piece& piece : pieces) {
        for (int f = 0; f < piece.frames; ++f, ++index) {
            for (std::int16_t& s : frame) {
                seed = seed * 1664525u + 1013904223u;
                const double hiss = noise * (static_cast<double>(seed >> 16) / 32768.0 - 1.0);
                const double tone =
                    piece.tone * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(t++) / 16000.0);
                s = static_cast<std::int16_t>(std::lround(hiss + tone));
            }
            const Segmenter::Step step = segmenter.Feed(frame);
            if (step == Segmenter::Step::Start) {
                out += "Start@" + std::to_string(index) + " ";
            } else if (step == Segmenter::Step::End) {
                out += "End@" + std::to_string(index) + " ";
                tooLong = false;
            } else if (step == Segmenter::Step::TooLong && !tooLong) {
                out += "TooLong@" + std::to_string(index) + " ";
                tooLong = true;
            }
        }
    }
    return out;
}

TEST(Segmenter, FindsWordsAndTheirEndsAndGivesUpOnTalk) {
    struct Case {
        std::vector<Piece> pieces;
        double noise;
        const char* steps;
    };
    const Case cases[] = {
        // A word in silence: it starts on its third frame and ends 18 quiet
        // frames after its last (give or take the frame that holds its edge).
        {{{50, 0}, {40, 8000}, {60, 0}}, 0, "Start@52 End@108 "},
        // The same over steady hiss, which alone never starts anything.
        {{{50, 0}, {40, 8000}, {60, 0}}, 600, "Start@52 End@107 "},
        {{{400, 0}}, 3000, ""},
        // A click is not a word.
        {{{50, 0}, {1, 8000}, {60, 0}}, 0, ""},
        // A short gap inside a word (a stop consonant) does not end it; a
        // pause does.
        {{{50, 0}, {20, 8000}, {10, 0}, {20, 8000}, {60, 0}}, 0, "Start@52 End@118 "},
        {{{50, 0}, {20, 8000}, {30, 0}, {20, 8000}, {60, 0}},
         0,
         "Start@52 End@88 Start@102 End@138 "},
        // Talk without a pause is given up and still ends where it ends.
        {{{50, 0}, {300, 8000}, {60, 0}}, 0, "Start@52 TooLong@200 End@368 "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Steps(c.pieces, c.noise), c.steps) << c.steps;
    }
}

}  // namespace
}  // namespace kinemo::voice
