// Synthetic speech, made at test time, through the real recogniser, the
// recognition thread and SDL's audio capture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "keyboard/voice/voice_input.h"
#include "keyboard/voice/wav_file.h"
#include "platform/threads.h"
#include "tests/keyboard/voice/test_speech.h"

namespace kinemo::voice {
namespace {

using testing::kShippedWordList;
using testing::TestSpeech;

std::unique_ptr<Recogniser> MakeRecogniser() {
    WordListResult words = LoadWordList(kShippedWordList);
    PronunciationResult own = LoadPronunciations(FindPronunciationFile());
    std::string error;
    std::unique_ptr<Recogniser> r =
        words.list && own.list ? Recogniser::Create(*words.list, *own.list, {}, error) : nullptr;
    EXPECT_TRUE(r) << words.error << own.error << error;
    return r;
}

// Everyday sentences in a female voice with no command word in them, then
// silence and hiss.
TEST(Recognition, TalkSilenceAndNoiseTypeNothing) {
    const TestSpeech& speech = TestSpeech::Get();
    ASSERT_TRUE(speech.Make("talk '" + speech.File("talk.wav") +
                            "' 12 --lang de --voices de+f2 --speeds 170"));
    std::unique_ptr<Recogniser> r = MakeRecogniser();
    ASSERT_TRUE(r);
    std::size_t utterances = 0;
    r->ObserveUtterances([&](const Utterance&) { ++utterances; });
    WavResult talk = LoadWav(speech.File("talk.wav"));
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

// Each source types every word's character in spoken order on the
// recognition thread: the samples of a WAV file at once (the input then
// says it has finished), and SDL's file-backed audio driver standing in for
// a microphone, capturing them at speaking pace. A Stop right after the start
// ends listening at once with nothing typed.
TEST(Recognition, SpokenWordsTypeTheirCharactersInOrderAndStopEndsAtOnce) {
    const TestSpeech& speech = TestSpeech::Get();
    ASSERT_TRUE(speech.Made());
    WavResult wav = LoadWav(speech.Commands());
    ASSERT_TRUE(wav.samples) << wav.error;
    std::vector<std::int16_t> samples = *wav.samples;
    samples.resize(samples.size() + kSampleRate);  // lets the last word's end be heard
    std::ofstream(speech.File("capture.raw"), std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()),
               static_cast<std::streamsize>(samples.size() * 2));
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILEIN", speech.File("capture.raw").c_str(), 1);
    const WordListResult words = LoadWordList(kShippedWordList);
    ASSERT_TRUE(words.list);

    enum Source { kStopAtOnce, kMicrophone, kFile };
    for (const Source source : {kStopAtOnce, kMicrophone, kFile}) {
        SCOPED_TRACE(source);
        std::mutex mutex;
        std::string typed, heard;
        platform::ManualResetEvent done;
        const std::thread::id testThread = std::this_thread::get_id();
        const auto onWord = [&](unsigned char c, std::string_view word) {
            EXPECT_NE(std::this_thread::get_id(), testThread);
            std::lock_guard lock(mutex);
            typed.push_back(static_cast<char>(c));
            heard += std::string(word) + " ";
            if (source == kMicrophone && typed.size() == 4) {
                done.Set();
            }
        };
        std::unique_ptr<VoiceInput> input;
        if (source == kFile) {
            input = std::make_unique<VoiceInput>(
                *words.list, MakeRecogniser(), std::make_unique<SampleSource>(*wav.samples, false),
                onWord);
            input->OnFinished([&] { done.Set(); });
        } else {
            VoiceSetup setup;
            setup.wordListPath = kShippedWordList;
            setup.microphone = true;
            std::string error;
            input = CreateVoiceInput(setup, onWord, error);
            ASSERT_TRUE(input) << error;
        }
        input->Start();
        EXPECT_TRUE(source == kStopAtOnce || done.WaitFor(60000));
        input->Stop();
        EXPECT_TRUE(input->Finished());
        std::lock_guard lock(mutex);
        EXPECT_EQ(typed, source == kStopAtOnce ? "" : testing::kSpokenTyped);
        EXPECT_EQ(heard, source == kStopAtOnce ? "" : testing::kSpokenWords);
    }
}

TEST(Recognition, SetupRefusalsNameTheFileAndLine) {
    const TestSpeech& speech = TestSpeech::Get();
    const std::string unknown = speech.File("unknown.txt");
    const std::string bad = speech.File("bad.txt");
    const std::string missing = speech.File("missing.txt");
    const std::string notWav = speech.File("stereo.wav");
    std::ofstream(unknown) << "links a\nxqzv b\n";
    std::ofstream(bad) << "links\n";
    std::ofstream(notWav, std::ios::binary) << "RIFF";
    const std::pair<std::string, std::string> cases[] = {
        {unknown, unknown + ": Zeile 2: Für das Wort \"xqzv\" ist keine Aussprache bekannt "
                            "(weder in der Aussprachliste noch im Wörterbuch des Modells)"},
        {bad, bad + ": Zeile 1: Zum Wort fehlt das Zeichen (erwartet: WORT ZEICHEN [SCHWELLE])"},
        {missing, "Die Datei \"" + missing + "\" kann nicht gelesen werden"},
        {kShippedWordList, "WAV-Datei: keine WAV-Datei (RIFF/WAVE fehlt) (" + notWav + ")"},
    };
    for (const auto& [list, message] : cases) {
        VoiceSetup setup;
        setup.wordListPath = list;
        setup.wavPath = list == kShippedWordList ? notWav : speech.Commands();
        std::string error;
        EXPECT_FALSE(CreateVoiceInput(
            setup, [](unsigned char, std::string_view) {}, error));
        EXPECT_EQ(error, message);
    }
}

}  // namespace
}  // namespace kinemo::voice
