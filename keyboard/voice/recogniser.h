// The recogniser: listens for the words of a word list and nothing else.
// Keyword spotting with the US English acoustic model; every pronunciation of
// every word is a key phrase of its own with the word's threshold, so a word
// is heard only where the sound matches one of its spellings better than the
// model's free phone loop does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "keyboard/voice/pronunciation_list.h"
#include "keyboard/voice/word_list.h"

typedef struct ps_decoder_s ps_decoder_t;
typedef struct cmd_ln_s cmd_ln_t;

namespace kinemo::voice {

struct RecogniserConfig {
    std::string acousticModel = "/usr/share/pocketsphinx/model/en-us/en-us";
    // Searched for words that the program's own pronunciation list lacks.
    std::string modelDictionary = "/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict";
    // Frames (10 ms) the spotter waits after a word's end before it reports
    // it; more frames give it a chance to find a better match.
    int reportDelayFrames = 10;
    // Probability of leaving the phone loop; the spotter's sense of "some
    // other sound".
    double phoneLoopProbability = 0.1;
};

// For each command of the list, in order, its pronunciations: from `own`
// first (the program's list for German words), else from the model's
// dictionary. False with a German message naming the word's line when a word
// has none.
bool ResolvePronunciations(const WordList& list, const Pronunciations& own,
                           const Pronunciations& model, std::vector<std::vector<std::string>>& out,
                           std::string& error);

// The words of `list` that `own` has no pronunciation for.
std::set<std::string> WordsToLookUp(const WordList& list, const Pronunciations& own);

struct Heard {
    std::size_t command = 0;  // index into the word list
    std::size_t sample = 0;   // samples fed in so far when it was heard
    double seconds = 0;       // how long the matched sound lasted
};

class Recogniser {
  public:
    // Sets up the decoder for `list`. `own` holds the program's pronunciation
    // list; the model's dictionary is searched for the rest. Null with a
    // German message on failure.
    static std::unique_ptr<Recogniser> Create(const WordList& list, const Pronunciations& own,
                                              const RecogniserConfig& config, std::string& error);
    ~Recogniser();
    Recogniser(const Recogniser&) = delete;
    Recogniser& operator=(const Recogniser&) = delete;

    // Feeds the next block of 16 kHz samples; appends each word heard in it
    // to `heard`. Blocks of 10 to 50 ms keep the delay low.
    void Process(std::span<const std::int16_t> block, std::vector<Heard>& heard);

    // Forgets any half-heard word (e.g. when the source changes).
    void Restart();

    std::size_t SamplesFed() const { return samplesFed_; }

  private:
    Recogniser() = default;

    void StartUtterance();

    cmd_ln_t* config_ = nullptr;
    ps_decoder_t* decoder_ = nullptr;
    std::vector<std::size_t> phraseCommand_;  // dictionary entry number -> command
    std::size_t samplesFed_ = 0;
    bool inUtterance_ = false;
};

}  // namespace kinemo::voice
