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
    const std::string delay = std::to_string(config.reportDelayFrames);
    char loop[32];
    std::snprintf(loop, sizeof loop, "%g", config.phoneLoopProbability);
    // The decoder's own log goes nowhere unless KINEMO_VOICE_LOG names a file.
    const char* log = std::getenv("KINEMO_VOICE_LOG");
    r->config_ = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", config.acousticModel.c_str(),
                             "-kws_delay", delay.c_str(), "-kws_plp", loop, "-logfn",
                             log != nullptr && *log != '\0' ? log : "/dev/null", nullptr);
    if (r->config_ == nullptr) {
        error = "Die Spracherkennung lässt sich nicht einstellen";
        return nullptr;
    }
    r->decoder_ = ps_init(r->config_);
    if (r->decoder_ == nullptr) {
        error = "Das Sprachmodell \"" + config.acousticModel + "\" lässt sich nicht laden";
        return nullptr;
    }

    std::string phrases;
    for (std::size_t c = 0; c < spellings.size(); ++c) {
        char threshold[32];
        std::snprintf(threshold, sizeof threshold, "%.6g", list.commands[c].threshold);
        for (const std::string& phones : spellings[c]) {
            const std::size_t entry = r->phraseCommand_.size();
            const std::string name = EntryName(entry);
            if (ps_add_word(r->decoder_, name.c_str(), phones.c_str(), FALSE) < 0) {
                error = "Zeile " + std::to_string(list.commands[c].line) + ": Die Aussprache \"" +
                        phones + "\" von \"" + list.commands[c].word +
                        "\" passt nicht zum Sprachmodell";
                return nullptr;
            }
            r->phraseCommand_.push_back(c);
            phrases += name + " /" + threshold + "/\n";
        }
    }
    TemporaryFile keyFile;
    if (!keyFile.Write(phrases) ||
        ps_set_kws(r->decoder_, "commands", keyFile.Path().c_str()) != 0 ||
        ps_set_search(r->decoder_, "commands") != 0) {
        error = "Die Wortliste lässt sich der Spracherkennung nicht geben";
        return nullptr;
    }
    return r;
}

Recogniser::~Recogniser() {
    if (decoder_ != nullptr) {
        if (inUtterance_) {
            ps_end_utt(decoder_);
        }
        ps_free(decoder_);
    }
    if (config_ != nullptr) {
        cmd_ln_free_r(config_);
    }
}

void Recogniser::StartUtterance() {
    ps_start_utt(decoder_);
    inUtterance_ = true;
}

void Recogniser::Restart() {
    if (inUtterance_) {
        ps_end_utt(decoder_);
        inUtterance_ = false;
    }
}

void Recogniser::Process(std::span<const std::int16_t> block, std::vector<Heard>& heard) {
    if (block.empty()) {
        return;
    }
    if (!inUtterance_) {
        StartUtterance();
    }
    ps_process_raw(decoder_, block.data(), block.size(), FALSE, FALSE);
    samplesFed_ += block.size();
    int32 score = 0;
    const char* hypothesis = ps_get_hyp(decoder_, &score);
    if (hypothesis == nullptr || hypothesis[0] == '\0') {
        return;
    }
    // Several spellings may fire in the same block; the one that covers more
    // of the sound wins, since a short word fits the end of a longer one far
    // more often than the other way round. One word per detection, then the
    // spotter starts afresh so that nothing is reported twice.
    bool found = false;
    Heard best;
    int bestLength = 0;
    for (ps_seg_t* seg = ps_seg_iter(decoder_); seg != nullptr; seg = ps_seg_next(seg)) {
        std::size_t entry = 0;
        if (!EntryNumber(ps_seg_word(seg), entry) || entry >= phraseCommand_.size()) {
            continue;
        }
        int startFrame = 0;
        int endFrame = 0;
        ps_seg_frames(seg, &startFrame, &endFrame);
        const int length = endFrame - startFrame;
        if (!found || length > bestLength) {
            found = true;
            bestLength = length;
            best = Heard{phraseCommand_[entry], samplesFed_, length / 100.0};
        }
    }
    if (found) {
        heard.push_back(best);
    }
    ps_end_utt(decoder_);
    StartUtterance();
}

}  // namespace kinemo::voice
