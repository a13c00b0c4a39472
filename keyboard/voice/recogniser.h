// The recogniser: listens for the words of a word list and nothing else.
// The sound is cut into utterances (see segmenter.h); each one is decoded
// twice with the US English acoustic model, once with a grammar that allows
// exactly one command word (any of its spellings) and once as a free sequence
// of phones. The grammar's word is heard only when its match is nearly as good
// as the best free phones: the ratio of the two likelihoods must reach the
// word's threshold. Sound that is no command word fits some free phones far
// better than any command, so it is refused; so are utterances too long or
// too short to be a single word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "keyboard/voice/pronunciation_list.h"
#include "keyboard/voice/segmenter.h"
#include "keyboard/voice/word_list.h"

typedef struct ps_decoder_s ps_decoder_t;
typedef struct cmd_ln_s cmd_ln_t;

namespace kinemo::voice {

struct RecogniserConfig {
    std::string acousticModel = "/usr/share/pocketsphinx/model/en-us/en-us";
    // Searched for words that the program's own pronunciation list lacks.
    std::string modelDictionary = "/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict";
    // Where utterances begin and end; its endFrames is most of the delay from
    // the end of a word to its character.
    SegmenterConfig segmenter;
    // Utterances shorter than this (in 10 ms frames of speech) are clicks,
    // not words.
    int minWordFrames = 12;
    // Frames of sound before an utterance's first loud frame that the
    // decoders hear too (the quiet lead-in the grammar expects).
    int leadInFrames = 15;
    // A command word is said on its own: an utterance that follows other
    // sound with less quiet than this between them is part of talk.
    int minPauseFrames = 50;
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
    double confidence = 0;    // log10 of the likelihood ratio (see Utterance)
};

// Every utterance the recogniser judged, heard or refused; for measuring and
// for finding thresholds.
struct Utterance {
    std::size_t start = 0;   // first sample the decoders heard
    std::size_t end = 0;     // samples fed when it ended
    int frames = 0;          // 10 ms frames, lead-in and quiet tail included
    bool tooLong = false;    // given up without decoding to the end
    bool tooSoon = false;    // followed other sound too closely; not decoded
    bool candidate = false;  // the grammar found a command word (command is valid)
    std::size_t command = 0;
    // log10 of (likelihood of the command word) / (likelihood of the best
    // free phones) over the utterance, plus a fixed allowance of 40 in the
    // word's favour; more negative when the word fits worse. The word is
    // heard when this reaches log10 of its threshold.
    double confidence = 0;
    bool heard = false;
    std::string phones;  // the best free phones, for finding pronunciations
};
using UtteranceObserver = std::function<void(const Utterance&)>;

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

    // Judges an utterance still open (the sound ended without a pause after
    // its last word), appending its word to `heard` when it is one.
    void Flush(std::vector<Heard>& heard);

    // Forgets any half-heard word (e.g. when the source changes).
    void Restart();

    // Called on the recognising thread for every utterance judged.
    void ObserveUtterances(UtteranceObserver observer) { observer_ = std::move(observer); }

    std::size_t SamplesFed() const { return samplesFed_; }

  private:
    Recogniser() = default;

    void Frame(std::span<const std::int16_t> frame, std::vector<Heard>& heard);
    void Begin(bool tooSoon);
    void Finish(bool decode, std::vector<Heard>& heard);

    cmd_ln_t* config_ = nullptr;
    cmd_ln_t* phonesConfig_ = nullptr;
    ps_decoder_t* grammar_ = nullptr;         // one command word
    ps_decoder_t* phones_ = nullptr;          // any phones
    std::vector<std::size_t> phraseCommand_;  // dictionary entry number -> command
    std::vector<double> minConfidence_;       // per command, log10 of its threshold
    double log10PerScore_ = 0;
    RecogniserConfig settings_;
    Segmenter segmenter_;
    std::vector<std::int16_t> frame_;   // samples of the frame being filled
    std::vector<std::int16_t> leadIn_;  // recent frames while no utterance is open
    std::size_t samplesFed_ = 0;
    std::size_t utteranceStart_ = 0;
    bool inUtterance_ = false;
    bool overlong_ = false;
    bool tooSoon_ = false;
    UtteranceObserver observer_;
};

}  // namespace kinemo::voice
