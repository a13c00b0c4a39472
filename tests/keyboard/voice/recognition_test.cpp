// Synthetic speech, made at test time by scripts/make-test-speech.sh, through
// the real recogniser, the recognition thread and SDL's audio capture.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "keyboard/voice/voice_input.h"
#include "keyboard/voice/wav_file.h"
#include "platform/threads.h"

namespace kinemo::voice {
namespace {

namespace fs = std::filesystem;

// Four German commands in the order they are spoken, and what they type
// with the shipped list, which the recogniser listens for.
constexpr char kSpoken[] = "links a\nschneller s\nlangsamer l\nstopp x\n";
constexpr char kTyped[] = "aslx";
constexpr char kShippedList[] = KINEMO_SOURCE_DIR "/keyboard/voice/data/befehle.txt";

class Recognition : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new fs::path(fs::temp_directory_path() /
                            ("kinemo-voice-test-" + std::to_string(::getpid())));
        fs::create_directories(*dir_);
        std::ofstream(*dir_ / "words.txt") << kSpoken;
        const std::string script = "bash '" KINEMO_SOURCE_DIR "/scripts/make-test-speech.sh' ";
        const std::string commands = script + "commands '" + (*dir_ / "speech.wav").string() +
                                     "' '" + (*dir_ / "words.txt").string() +
                                     "' --voices de --speeds 150 --noise 0.01";
        // Everyday sentences in a female voice, no command word in them.
        const std::string talk = script + "talk '" + (*dir_ / "talk.wav").string() +
                                 "' 12 --lang de --voices de+f2 --speeds 170";
        generated_ = std::system(commands.c_str()) == 0 && std::system(talk.c_str()) == 0;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(*dir_, ec);
        delete dir_;
    }
    void SetUp() override { ASSERT_TRUE(generated_) << "the speech generator failed"; }

    static std::string Path(const char* name) { return (*dir_ / name).string(); }

    static fs::path* dir_;
    static bool generated_;
};
fs::path* Recognition::dir_ = nullptr;
bool Recognition::generated_ = false;

// Collects what the recognition thread delivers.
struct Typed {
    std::mutex mutex;
    std::string characters;
    std::string words;
    platform::ManualResetEvent enough;
    std::size_t wanted = 0;

    VoiceCallback Callback() {
        return [this](unsigned char c, std::string_view word) {
            std::lock_guard lock(mutex);
            characters.push_back(static_cast<char>(c));
            words += std::string(word) + " ";
            if (characters.size() >= wanted) {
                enough.Set();
            }
        };
    }
};

std::unique_ptr<Recogniser> MakeRecogniser(const std::string& listPath) {
    WordListResult words = LoadWordList(listPath);
    EXPECT_TRUE(words.list) << words.error;
    PronunciationResult own = LoadPronunciations(FindPronunciationFile());
    EXPECT_TRUE(own.list) << own.error;
    std::string error;
    std::unique_ptr<Recogniser> r = Recogniser::Create(*words.list, *own.list, {}, error);
    EXPECT_TRUE(r) << error;
    return r;
}

TEST_F(Recognition, SpokenWordsTypeTheirCharactersInOrderOnTheRecognitionThread) {
    WordListResult words = LoadWordList(kShippedList);
    ASSERT_TRUE(words.list);
    WavResult wav = LoadWav(Path("speech.wav"));
    ASSERT_TRUE(wav.samples) << wav.error;
    Typed typed;
    platform::ManualResetEvent finished;
    VoiceInput input(*words.list, MakeRecogniser(kShippedList),
                     std::make_unique<SampleSource>(std::move(*wav.samples), false),
                     typed.Callback());
    input.OnFinished([&] { finished.Set(); });
    input.Start();
    ASSERT_TRUE(finished.WaitFor(60000));
    input.Stop();
    EXPECT_EQ(typed.characters, kTyped);
    EXPECT_EQ(typed.words, "links schneller langsamer stopp ");
}

TEST_F(Recognition, TalkSilenceAndNoiseTypeNothing) {
    std::unique_ptr<Recogniser> r = MakeRecogniser(kShippedList);
    ASSERT_TRUE(r);
    std::size_t utterances = 0;
    r->ObserveUtterances([&](const Utterance&) { ++utterances; });
    WavResult talk = LoadWav(Path("talk.wav"));
    ASSERT_TRUE(talk.samples) << talk.error;
    std::vector<Heard> heard;
    r->Process(*talk.samples, heard);
    r->Flush(heard);
    EXPECT_GT(utterances, 2u);  // the talk was listened to, and refused
    std::vector<std::int16_t> block(320);
    std::uint32_t seed = 1;
    for (int i = 0; i < 500; ++i) {  // ten seconds: silence, then hiss
        for (std::int16_t& s : block) {
            seed = seed * 1664525u + 1013904223u;
            s = i < 250 ? 0 : static_cast<std::int16_t>(static_cast<int>(seed >> 20) - 2048);
        }
        r->Process(block, heard);
    }
    for (const Heard& h : heard) {
        ADD_FAILURE() << "heard command " << h.command << " at sample " << h.sample;
    }
}

TEST_F(Recognition, StopEndsAPacedSourceAtOnceAndNothingComesAfter) {
    WordListResult words = LoadWordList(kShippedList);
    ASSERT_TRUE(words.list);
    Typed typed;
    // An hour of silence, paced: only Stop can end it.
    VoiceInput input(
        *words.list, MakeRecogniser(kShippedList),
        std::make_unique<SampleSource>(std::vector<std::int16_t>(3600u * kSampleRate, 0), true),
        typed.Callback());
    input.Start();
    input.Stop();
    EXPECT_TRUE(input.Finished());
    EXPECT_TRUE(typed.characters.empty());
}

TEST_F(Recognition, MicrophoneCaptureThroughSdl) {
    // SDL's file-backed audio driver stands in for a microphone: it captures
    // the raw samples of the generated speech at speaking pace.
    WavResult wav = LoadWav(Path("speech.wav"));
    ASSERT_TRUE(wav.samples);
    {
        std::ofstream raw(Path("capture.raw"), std::ios::binary);
        raw.write(reinterpret_cast<const char*>(wav.samples->data()),
                  static_cast<std::streamsize>(wav.samples->size() * 2));
        // Some silence after the last word lets its end be heard.
        const std::vector<std::int16_t> tail(kSampleRate, 0);
        raw.write(reinterpret_cast<const char*>(tail.data()),
                  static_cast<std::streamsize>(tail.size() * 2));
    }
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILEIN", Path("capture.raw").c_str(), 1);
    WordListResult words = LoadWordList(kShippedList);
    ASSERT_TRUE(words.list);
    auto microphone = std::make_unique<MicrophoneSource>();
    std::string error;
    ASSERT_TRUE(microphone->Open("", error)) << error;
    Typed typed;
    typed.wanted = 4;
    VoiceInput input(*words.list, MakeRecogniser(kShippedList), std::move(microphone),
                     typed.Callback());
    input.Start();
    EXPECT_TRUE(typed.enough.WaitFor(60000));
    input.Stop();
    std::lock_guard lock(typed.mutex);
    EXPECT_EQ(typed.characters, kTyped);
}

VoiceSetup FromFiles(const std::string& wordList, const std::string& wav) {
    VoiceSetup setup;
    setup.wordListPath = wordList;
    setup.wavPath = wav;
    return setup;
}

TEST_F(Recognition, SetupRefusalsNameTheFileAndLine) {
    std::ofstream(Path("unknown.txt")) << "links a\nxqzv b\n";
    std::ofstream(Path("bad.txt")) << "links\n";
    std::ofstream(Path("stereo.wav"), std::ios::binary) << "RIFF";
    struct Case {
        VoiceSetup setup;
        std::string message;
    };
    const Case cases[] = {
        {FromFiles(Path("unknown.txt"), Path("speech.wav")),
         Path("unknown.txt") + ": Zeile 2: Für das Wort \"xqzv\" ist keine Aussprache bekannt "
                               "(weder in der Aussprachliste noch im Wörterbuch des Modells)"},
        {FromFiles(Path("bad.txt"), Path("speech.wav")),
         Path("bad.txt") +
             ": Zeile 1: Zum Wort fehlt das Zeichen (erwartet: WORT ZEICHEN [SCHWELLE])"},
        {FromFiles(Path("missing.txt"), Path("speech.wav")),
         "Die Datei \"" + Path("missing.txt") + "\" kann nicht gelesen werden"},
        {FromFiles(Path("words.txt"), Path("stereo.wav")),
         "WAV-Datei: keine WAV-Datei (RIFF/WAVE fehlt) (" + Path("stereo.wav") + ")"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(CreateVoiceInput(
            c.setup, [](unsigned char, std::string_view) {}, error));
        EXPECT_EQ(error, c.message);
    }
}

}  // namespace
}  // namespace kinemo::voice
