#include "keyboard/voice/recogniser.h"

#include <pocketsphinx.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kinemo::voice {
namespace {

// Dictionary entries are named by number, not by the word: the decoder never
// sees umlauts, and two spellings of one word stay apart.
std::string EntryName(std::size_t entry) {
    return "w" + std::to_string(entry);
}

bool EntryNumber(const char* name, std::size_t& entry) {
    if (name == nullptr || name[0] != 'w' || name[1] == '\0') {
        return false;
    }
    char* end = nullptr;
    const unsigned long value = std::strtoul(name + 1, &end, 10);
    // The spotter reports its phrases with a blank after them.
    while (end != nullptr && *end == ' ') {
        ++end;
    }
    if (end == nullptr || *end != '\0') {
        return false;
    }
    entry = value;
    return true;
}

// The key phrase file the spotter reads; it lives only while the decoder is
// set up.
class TemporaryFile {
  public:
    bool Write(const std::string& text) {
        const char* dir = std::getenv("TMPDIR");
        path_ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/kinemo-voice-XXXXXX";
        const int fd = mkstemp(path_.data());
        if (fd < 0) {
            path_.clear();
            return false;
        }
        const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        return ::close(fd) == 0 && ok;
    }
    ~TemporaryFile() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace

std::set<std::string> WordsToLookUp(const WordList& list, const Pronunciations& own) {
    std::set<std::string> words;
    for (const VoiceCommand& c : list.commands) {
        if (own.count(c.word) == 0) {
            words.insert(c.word);
        }
    }
    return words;
}

bool ResolvePronunciations(const WordList& list, const Pronunciations& own,
                           const Pronunciations& model, std::vector<std::vector<std::string>>& out,
                           std::string& error) {
    out.clear();
    for (const VoiceCommand& c : list.commands) {
        auto found = own.find(c.word);
        if (found == own.end()) {
            found = model.find(c.word);
            if (found == model.end()) {
                error = "Zeile " + std::to_string(c.line) + ": Für das Wort \"" + c.word +
                        "\" ist keine Aussprache bekannt (weder in der Aussprachliste noch im "
                        "Wörterbuch des Modells)";
                out.clear();
                return false;
            }
        }
        out.push_back(found->second);
    }
    return true;
}

namespace {

// Free phones can be any phones, so they fit any sound at least as well as a
// word does, a clearly spoken command word by a ratio of some 1e20 to 1e60
// (more for long words and German ones, which the English model knows only
// approximately). Thresholds are measured from an allowance of 1e40 in the
// word's favour, so that useful ones lie below 1, as the word list wants.
constexpr double kAllowanceLog10 = 40.0;

cmd_ln_t* DecoderConfig(const RecogniserConfig& config, const std::string& dictionary,
                        bool phones) {
    // The decoder's own log goes nowhere unless KINEMO_VOICE_LOG names a file.
    const char* log = std::getenv("KINEMO_VOICE_LOG");

    // No lattices: only the best path is wanted. Context-free phones keep the
    // free decode cheap.
    return cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", config.acousticModel.c_str(), "-dict",
                       dictionary.c_str(), "-bestpath", "no", "-allphone_ci", phones ? "yes" : "no",
                       "-logfn", log != nullptr && *log != '\0' ? log : "/dev/null", nullptr);
}

}  // namespace

std::unique_ptr<Recogniser> Recogniser::Create(const WordList& list, const Pronunciations& own,
                                               const RecogniserConfig& config, std::string& error) {
    const std::set<std::string> missing = WordsToLookUp(list, own);
    Pronunciations model;
    if (!missing.empty()) {
        PronunciationResult loaded =
            LoadPronunciations(config.modelDictionary, &missing, 64 * 1024 * 1024);
        if (!loaded.list) {
            error = loaded.error;
            return nullptr;
        }
        model = std::move(*loaded.list);
    }
    std::vector<std::vector<std::string>> spellings;
    if (!ResolvePronunciations(list, own, model, spellings, error)) {
        return nullptr;
    }

    std::unique_ptr<Recogniser> r(new Recogniser());
    r->settings_ = config;
    r->segmenter_ = Segmenter(config.segmenter);
    // The decoders get a dictionary of their own with only the command words,
    // each spelling an entry of its own, and a grammar of one of them.
    std::string dictionary;
    std::string grammar = "#JSGF V1.0;\ngrammar kinemo;\npublic <command> = ";
    for (std::size_t c = 0; c < spellings.size(); ++c) {
        for (const std::string& phones : spellings[c]) {
            const std::string name = EntryName(r->phraseCommand_.size());
            dictionary += name + " " + phones + "\n";
            grammar += (r->phraseCommand_.empty() ? "" : " | ") + name;
            r->phraseCommand_.push_back(c);
        }
        r->minConfidence_.push_back(std::log10(list.commands[c].threshold));
    }
    grammar += ";\n";
    TemporaryFile dictionaryFile;
    if (!dictionaryFile.Write(dictionary)) {
        error = "Die Wortliste lässt sich der Spracherkennung nicht geben";
        return nullptr;
    }
    r->config_ = DecoderConfig(config, dictionaryFile.Path(), false);
    r->phonesConfig_ = DecoderConfig(config, dictionaryFile.Path(), true);
    if (r->config_ == nullptr || r->phonesConfig_ == nullptr) {
        error = "Die Spracherkennung lässt sich nicht einstellen";
        return nullptr;
    }
    r->grammar_ = ps_init(r->config_);
    r->phones_ = r->grammar_ != nullptr ? ps_init(r->phonesConfig_) : nullptr;
    if (r->grammar_ == nullptr || r->phones_ == nullptr) {
        // A spelling the model does not know makes the dictionary unreadable;
        // find out which one, for the message.
        for (std::size_t c = 0; c < spellings.size(); ++c) {
            for (const std::string& phones : spellings[c]) {
                std::string bad;
                for (std::size_t at = 0; at <= phones.size();) {
                    const std::size_t blank = std::min(phones.find(' ', at), phones.size());
                    if (!IsModelPhone(std::string_view(phones).substr(at, blank - at))) {
                        error = "Zeile " + std::to_string(list.commands[c].line) +
                                ": Die Aussprache \"" + phones + "\" von \"" +
                                list.commands[c].word + "\" passt nicht zum Sprachmodell";
                        return nullptr;
                    }
                    at = blank + 1;
                }
            }
        }
        error = "Das Sprachmodell \"" + config.acousticModel + "\" lässt sich nicht laden";
        return nullptr;
    }
    if (ps_set_jsgf_string(r->grammar_, "command", grammar.c_str()) != 0 ||
        ps_set_search(r->grammar_, "command") != 0 ||
        ps_set_allphone_file(r->phones_, "phones", nullptr) != 0 ||
        ps_set_search(r->phones_, "phones") != 0) {
        error = "Die Wortliste lässt sich der Spracherkennung nicht geben";
        return nullptr;
    }
    // log10 of the ratio of two path scores: they count in steps of the
    // model's log base, scaled down as the acoustic scores are.
    r->log10PerScore_ = 1024.0 * std::log10(logmath_get_base(ps_get_logmath(r->grammar_)));
    r->frame_.reserve(kFrameSamples);
    r->leadIn_.reserve(
        static_cast<std::size_t>(config.leadInFrames + config.segmenter.startFrames) *
        kFrameSamples);
    return r;
}

Recogniser::~Recogniser() {
    for (ps_decoder_t* d : {grammar_, phones_}) {
        if (d != nullptr) {
            if (inUtterance_) {
                ps_end_utt(d);
            }
            ps_free(d);
        }
    }
    for (cmd_ln_t* c : {config_, phonesConfig_}) {
        if (c != nullptr) {
            cmd_ln_free_r(c);
        }
    }
}

void Recogniser::Restart() {
    if (inUtterance_) {
        ps_end_utt(grammar_);
        ps_end_utt(phones_);
        inUtterance_ = false;
    }
    segmenter_.Reset();
    frame_.clear();
    leadIn_.clear();
}

void Recogniser::Flush(std::vector<Heard>& heard) {
    if (inUtterance_) {
        Finish(!overlong_, heard);
    }
    segmenter_.Reset();
    frame_.clear();
    leadIn_.clear();
}

void Recogniser::Process(std::span<const std::int16_t> block, std::vector<Heard>& heard) {
    while (!block.empty()) {
        const std::size_t n = std::min(block.size(), kFrameSamples - frame_.size());
        frame_.insert(frame_.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
        block = block.subspan(n);
        samplesFed_ += n;
        if (frame_.size() == kFrameSamples) {
            Frame(frame_, heard);
            frame_.clear();
        }
    }
}

void Recogniser::Begin(bool tooSoon) {
    ps_start_utt(grammar_);
    ps_start_utt(phones_);
    inUtterance_ = true;
    tooSoon_ = tooSoon;
    overlong_ = tooSoon;  // not worth decoding either
    utteranceStart_ = samplesFed_ - leadIn_.size();
    if (!tooSoon) {
        ps_process_raw(grammar_, leadIn_.data(), leadIn_.size(), FALSE, FALSE);
        ps_process_raw(phones_, leadIn_.data(), leadIn_.size(), FALSE, FALSE);
    }
    leadIn_.clear();
}

void Recogniser::Frame(std::span<const std::int16_t> frame, std::vector<Heard>& heard) {
    const Segmenter::Step step = segmenter_.Feed(frame);
    if (!inUtterance_) {
        // Keep the last lead-in and start frames, oldest first.
        const std::size_t keep =
            static_cast<std::size_t>(settings_.leadInFrames + settings_.segmenter.startFrames) *
            kFrameSamples;
        if (leadIn_.size() + frame.size() > keep) {
            leadIn_.erase(leadIn_.begin(),
                          leadIn_.begin() +
                              static_cast<std::ptrdiff_t>(leadIn_.size() + frame.size() - keep));
        }
        leadIn_.insert(leadIn_.end(), frame.begin(), frame.end());
        if (step == Segmenter::Step::Start) {
            Begin(segmenter_.QuietBefore() < settings_.minPauseFrames);
        }
        return;
    }
    if (!overlong_) {
        ps_process_raw(grammar_, frame.data(), frame.size(), FALSE, FALSE);
        ps_process_raw(phones_, frame.data(), frame.size(), FALSE, FALSE);
    }
    if (step == Segmenter::Step::TooLong) {
        overlong_ = true;
    } else if (step == Segmenter::Step::End) {
        Finish(!overlong_, heard);
    }
}

void Recogniser::Finish(bool decode, std::vector<Heard>& heard) {
    ps_end_utt(grammar_);
    ps_end_utt(phones_);
    inUtterance_ = false;
    Utterance u;
    u.start = utteranceStart_;
    u.end = samplesFed_;
    u.frames = static_cast<int>((u.end - u.start) / kFrameSamples);
    u.tooSoon = tooSoon_;
    u.tooLong = !decode && !tooSoon_;
    const int speechFrames =
        segmenter_.Frames() - settings_.segmenter.endFrames;  // without the quiet tail
    if (decode && speechFrames >= settings_.minWordFrames) {
        int32 wordScore = 0;
        int32 phoneScore = 0;
        const char* word = ps_get_hyp(grammar_, &wordScore);
        const char* phones = ps_get_hyp(phones_, &phoneScore);
        std::size_t entry = 0;
        if (word != nullptr && phones != nullptr && EntryNumber(word, entry) &&
            entry < phraseCommand_.size()) {
            u.candidate = true;
            u.command = phraseCommand_[entry];
            u.confidence =
                static_cast<double>(wordScore - phoneScore) * log10PerScore_ + kAllowanceLog10;
            u.heard = u.confidence >= minConfidence_[u.command];
        }
        if (observer_ && phones != nullptr) {
            u.phones = phones;
        }
    }
    if (u.heard) {
        heard.push_back(Heard{u.command, samplesFed_,
                              static_cast<double>(std::max(speechFrames, 0)) / 100.0,
                              u.confidence});
    }
    if (observer_) {
        observer_(u);
    }
}

}  // namespace kinemo::voice
