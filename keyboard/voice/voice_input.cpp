#include "keyboard/voice/voice_input.h"

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "keyboard/voice/wav_file.h"

#ifndef KINEMO_VOICE_SOURCE_DATA
#define KINEMO_VOICE_SOURCE_DATA ""
#endif

namespace kinemo::voice {
namespace {

// 20 ms blocks: short enough for a quick answer, long enough to keep the
// decoder's overhead per block small.
constexpr std::size_t kBlockSamples = 320;

}  // namespace

VoiceInput::VoiceInput(WordList list, std::unique_ptr<Recogniser> recogniser,
                       std::unique_ptr<AudioSource> source, VoiceCallback onWord)
    : list_(std::move(list)),
      recogniser_(std::move(recogniser)),
      source_(std::move(source)),
      onWord_(std::move(onWord)) {}

VoiceInput::~VoiceInput() {
    Stop();
}

void VoiceInput::Start() {
    if (!thread_.Joinable() && !finished_.load()) {
        thread_ = platform::Thread(&VoiceInput::Run, this);
    }
}

void VoiceInput::Stop() {
    stopping_.store(true, std::memory_order_release);
    source_->Stop();
    if (thread_.Joinable()) {
        thread_.Join();
    }
    finished_.store(true, std::memory_order_release);
}

void VoiceInput::Run(void* self) {
    auto* input = static_cast<VoiceInput*>(self);
    std::array<std::int16_t, kBlockSamples> block{};
    std::vector<Heard> heard;
    heard.reserve(8);
    bool ended = false;
    while (!ended && !input->stopping_.load(std::memory_order_acquire)) {
        // Whole blocks only, whatever sizes the source hands out, so the
        // recogniser hears a microphone exactly as it hears a file.
        std::size_t n = 0;
        while (n < block.size()) {
            const std::size_t got =
                input->source_->Read(std::span<std::int16_t>(block.data() + n, block.size() - n));
            if (got == 0) {
                ended = true;
                break;
            }
            n += got;
        }
        if (n == 0) {
            break;
        }
        heard.clear();
        input->recogniser_->Process(std::span<const std::int16_t>(block.data(), n), heard);
        for (const Heard& h : heard) {
            if (input->stopping_.load(std::memory_order_acquire)) {
                break;
            }
            const VoiceCommand& command = input->list_.commands[h.command];
            input->onWord_(command.character, command.word);
        }
    }
    // A word right at the end of a file has no pause after it; judge it now.
    if (ended && !input->stopping_.load(std::memory_order_acquire)) {
        heard.clear();
        input->recogniser_->Flush(heard);
        for (const Heard& h : heard) {
            const VoiceCommand& command = input->list_.commands[h.command];
            input->onWord_(command.character, command.word);
        }
    }
    input->recogniser_->Restart();
    const bool byItself = !input->stopping_.load(std::memory_order_acquire);
    input->finished_.store(true, std::memory_order_release);
    if (byItself && input->onFinished_) {
        input->onFinished_();
    }
}

std::string FindPronunciationFile() {
    namespace fs = std::filesystem;
    std::vector<fs::path> candidates;
    if (const char* dir = std::getenv("KINEMO_VOICE_DATA"); dir != nullptr && *dir != '\0') {
        candidates.emplace_back(fs::path(dir) / kPronunciationFileName);
    }
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        candidates.emplace_back(exe.parent_path().parent_path() / "share/kinemo/voice" /
                                kPronunciationFileName);
    }
    if (*KINEMO_VOICE_SOURCE_DATA != '\0') {
        candidates.emplace_back(fs::path(KINEMO_VOICE_SOURCE_DATA) / kPronunciationFileName);
    }
    for (const fs::path& p : candidates) {
        if (fs::is_regular_file(p, ec)) {
            return p.string();
        }
    }
    return {};
}

std::unique_ptr<VoiceInput> CreateVoiceInput(const VoiceSetup& setup, VoiceCallback onWord,
                                             std::string& error) {
    WordListResult words = LoadWordList(setup.wordListPath);
    if (!words.list) {
        error = words.error;
        return nullptr;
    }
    const std::string pronunciationPath =
        setup.pronunciationPath.empty() ? FindPronunciationFile() : setup.pronunciationPath;
    if (pronunciationPath.empty()) {
        error = std::string("Die Aussprachliste ") + kPronunciationFileName + " fehlt";
        return nullptr;
    }
    PronunciationResult own = LoadPronunciations(pronunciationPath);
    if (!own.list) {
        error = own.error;
        return nullptr;
    }
    std::unique_ptr<Recogniser> recogniser =
        Recogniser::Create(*words.list, *own.list, setup.recogniser, error);
    if (!recogniser) {
        if (error.rfind("Zeile", 0) == 0) {
            error = setup.wordListPath + ": " + error;
        }
        return nullptr;
    }
    std::unique_ptr<AudioSource> source;
    if (!setup.wavPath.empty()) {
        WavResult wav = LoadWav(setup.wavPath);
        if (!wav.samples) {
            error = wav.error;
            return nullptr;
        }
        source = std::make_unique<SampleSource>(std::move(*wav.samples), true);
    } else {
        auto microphone = std::make_unique<MicrophoneSource>();
        if (!microphone->Open(setup.microphoneName, error)) {
            return nullptr;
        }
        source = std::move(microphone);
    }
    return std::make_unique<VoiceInput>(std::move(*words.list), std::move(recogniser),
                                        std::move(source), std::move(onWord));
}

}  // namespace kinemo::voice
