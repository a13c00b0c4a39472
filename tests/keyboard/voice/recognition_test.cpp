// The speech input: its three readers; where utterances begin and end on
// tone bursts standing for words, over silence or noise; and speech made at
// test time through the real recogniser, its thread and SDL's audio capture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "keyboard/voice/pronunciation_list.h"
#include "keyboard/voice/segmenter.h"
#include "keyboard/voice/voice_input.h"
#include "keyboard/voice/wav_file.h"
#include "keyboard/voice/word_list.h"
#include "platform/threads.h"
#include "tests/keyboard/voice/test_speech.h"

namespace kinemo::voice {
namespace {

using testing::kShippedWordList;
using testing::TestSpeech;
using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

// Whether a reader gave a result.
template <typename Result>
bool Read(const Result& r) {
    if constexpr (requires { r.samples; })
        return r.samples.has_value();
    else
        return static_cast<bool>(r.list);
}

// Every truncation of `good`, random texts mixing `alphabet` with any byte
// and `good` with a few bytes changed: either a result or a message, never
// both or neither.
template <typename Parse>
void FeedDamaged(const std::string& good, const std::string& alphabet, Parse parse) {
    std::mt19937 random(7);
    for (std::size_t n = 0; n <= good.size() + 2000; ++n) {
        std::string text = good.substr(0, n);
        if (n > good.size() && n % 2 == 0) {
            text.assign(random() % 200, ' ');
            for (char& c : text) {
                c = static_cast<char>(random() % 3 == 0 ? alphabet[random() % alphabet.size()]
                                                        : random() % 256);
            }
        }
        for (int k = 0; n > good.size() && n % 2 == 1 && k < 4; ++k)
            text[random() % text.size()] = static_cast<char>(random());
        const auto r = parse(text);
        EXPECT_NE(Read(r), !r.error.empty()) << n;
    }
}

// Each message starts with the expected one.
template <typename Parse>
void ExpectRefused(const std::vector<std::pair<std::string, std::string>>& cases, Parse parse) {
    for (const auto& [text, message] : cases) {
        const auto r = parse(text);
        EXPECT_TRUE(!r.list && r.error.starts_with(message)) << text << "\n" << r.error;
    }
}

TEST(WordList, ReadsWordsCharactersAndThresholds) {
    const WordListResult r = ParseWordList(
        "\xEF\xBB\xBF# Befehle\n"  // a byte-order mark only at the very start
        "links a 1e-20\n"
        "\n"
        "  Rechts\tb   # rechts herum\n"
        "ZURÜCK \xC3\xBC 0.5\r\n"  // ü is one Latin-1 byte for the key handler
        "raute #\n");              // the character field takes # literally
    ASSERT_TRUE(r.list) << r.error;
    using Command = std::tuple<std::string, int, int, double>;  // word, character, line, threshold
    std::vector<Command> read;
    for (const VoiceCommand& c : r.list->commands)
        read.emplace_back(c.word, c.character, c.line, c.threshold);
    EXPECT_EQ(read, (std::vector<Command>{{"links", 'a', 2, 1e-20},
                                          {"rechts", 'b', 4, kDefaultThreshold},
                                          {"zurück", 0xFC, 5, 0.5},
                                          {"raute", '#', 6, kDefaultThreshold}}));
}

TEST(WordList, RefusesBadListsNamingTheLine) {
    std::string many;
    for (std::size_t i = 0; i <= kMaxCommands; ++i)
        many += "w" + std::to_string(i) + " a\n";
    ExpectRefused(
        {
            {"# Befehle\n\xEF\xBB\xBFlinks a\n", "Zeile 2: Ungültiges Wort"},
            {"links a\nrechts\n", "Zeile 2: Zum Wort fehlt das Zeichen"},
            {"links a 1e-20 x\n", "Zeile 1: Zu viele Angaben"},
            {"links ab\n", "Zeile 1: Das Zeichen muss genau ein Zeichen aus Latin-1 sein"},
            {"links \xE2\x82\xAC\n", "Zeile 1: Das Zeichen muss genau ein Zeichen"},  // €
            {"links a 0\n", "Zeile 1: Ungültige Schwelle \"0\""},
            {"links a 2\n", "Zeile 1: Ungültige Schwelle"},
            {"links a -1e-5\n", "Zeile 1: Ungültige Schwelle"},
            {"links a 1e-400\n", "Zeile 1: Ungültige Schwelle"},
            {"links a nan\n", "Zeile 1: Ungültige Schwelle"},
            {"links a 1e-5x\n", "Zeile 1: Ungültige Schwelle"},
            {"# x\nli.nks a\n", "Zeile 2: Ungültiges Wort \"li.nks\""},
            {std::string(kMaxWordBytes + 1, 'a') + " a\n", "Zeile 1: Ungültiges Wort"},
            {"links a\nLINKS b\n", "Zeile 2: Das Wort \"links\" steht schon in der Liste"},
            {"# nur Kommentare\n\n", "Die Wortliste enthält kein Wort"},
            {"", "Die Wortliste enthält kein Wort"},
            {std::string("links a\n\0", 9),
             "Die Wortliste ist keine Textdatei (sie enthält Nullbytes)"},
            {many, "Zeile 256: Zu viele Wörter (höchstens 255)"},
            {std::string(kMaxWordListBytes + 1, '#'),
             "Die Wortliste ist zu groß (höchstens 64 KiB)"},
        },
        [](const std::string& text) { return ParseWordList(text); });
    EXPECT_TRUE(ParseWordList(std::string(kMaxWordBytes, 'a') + " a\n").list);
    FeedDamaged(
        "links a 1e-20\nrechts b\nzur\xC3\xBC"
        "ck \xC3\xBC 1e-30\n",
        "\n \t#a1", [](const std::string& text) { return ParseWordList(text); });
}

TEST(PronunciationList, ReadsAlternativesStressAndCommentsAndSearchesWantedWords) {
    const PronunciationResult r = ParsePronunciations(
        "# deutsch\n"
        "rechts R EH K T S\n"
        "rechts(2) R EH1 HH T S  # ch\n"
        "rechts(3) R EH K T S\n"
        "Zur\xC3\x9C"
        "ck T S UH R UH K\n");
    ASSERT_TRUE(r.list) << r.error;
    EXPECT_EQ(*r.list, (Pronunciations{{"rechts", {"R EH K T S", "R EH HH T S"}},
                                       {"zurück", {"T S UH R UH K"}}}));
    // A search keeps only the wanted words and skips entries of other models.
    const std::set<std::string> wanted = {"stop"};
    const PronunciationResult found =
        ParsePronunciations("<s> SIL\nstop S T AA1 P\ngo G OW\n", &wanted);
    ASSERT_TRUE(found.list) << found.error;
    EXPECT_EQ(*found.list, (Pronunciations{{"stop", {"S T AA P"}}}));
}

TEST(PronunciationList, RefusesBadListsNamingTheLine) {
    std::string longWord = "a";
    for (std::size_t i = 0; i <= kMaxPhonesPerPronunciation; ++i)
        longWord += " AA";
    std::string variants, phones;
    for (std::size_t i = 0; i <= kMaxPronunciationsPerWord; ++i) {
        phones += " AA";
        variants += "a(" + std::to_string(i + 1) + ")" + phones + "\n";
    }
    ExpectRefused(
        {
            {"links L IH NG K S\nrechts R EH XX\n",
             "Zeile 2: Unbekannter Laut \"XX\" bei \"rechts\""},
            {"links\n", "Zeile 1: Zum Wort \"links\" fehlen die Laute"},
            {"li*nks L\n", "Zeile 1: Ungültiges Wort"},
            {"links(x) L\n", "Zeile 1: Ungültiges Wort"},
            {"links( L\n", "Zeile 1: Ungültiges Wort"},
            {"a l\n", "Zeile 1: Unbekannter Laut \"l\""},
            {longWord, "Zeile 1: Zu viele Laute bei \"a\" (höchstens 40)"},
            {variants, "Zeile 9: Zu viele Aussprachen für \"a\" (höchstens 8)"},
            {std::string(kMaxPronunciationListBytes + 1, '#'), ""},
        },
        [](const std::string& text) { return ParsePronunciations(text); });
    FeedDamaged("links L IH NG K S\nrechts(2) R EH HH T S\n", "\n (2)AHS",
                [](const std::string& text) { return ParsePronunciations(text); });
}

// A two-sample file with other format fields.
Bytes Wav(std::uint16_t format, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    Bytes bytes = EncodeWav(std::vector<std::int16_t>(2, 0));
    const std::pair<int, std::uint32_t> fields[] = {
        {20, format}, {22, channels}, {24, rate}, {26, rate >> 16}, {34, bits}};
    for (const auto& [at, v] : fields) {
        bytes[at] = static_cast<std::uint8_t>(v);
        bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return bytes;
}

TEST(Wav, RoundTripWithOtherChunksRefusalsSayingWhatWasFoundAndDamagedFiles) {
    const std::vector<std::int16_t> samples = {0, 1, -1, 32767, -32768, 1234};
    Bytes bytes = EncodeWav(samples);
    // A LIST chunk of odd length (with its pad byte) before the data.
    const Bytes list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    bytes.insert(bytes.begin() + 36, list.begin(), list.end());
    const WavResult r = ParseWav(bytes);
    ASSERT_TRUE(r.samples) << r.error;
    EXPECT_EQ(*r.samples, samples);

    Bytes odd = EncodeWav(std::vector<std::int16_t>(2, 0));
    odd[40] = 3;  // data size 3 with 4 bytes present
    const std::string expected = "; erwartet wird 16 kHz, mono, 16 Bit PCM";
    const std::pair<Bytes, std::string> cases[] = {
        {Wav(1, 1, 22050, 16), "WAV-Datei: 22050 Hz" + expected},
        {Wav(1, 2, 16000, 16), "WAV-Datei: 2 Kanäle" + expected},
        {Wav(1, 1, 16000, 8), "WAV-Datei: 8 Bit" + expected},
        {Wav(3, 1, 16000, 16), "WAV-Datei: nicht PCM (Formatkennung 3)" + expected},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '},
         "WAV-Datei: keine WAV-Datei (RIFF/WAVE fehlt)"},
        {odd, "WAV-Datei: die Daten enden mitten in einem Abtastwert"},
        {Bytes(kMaxWavBytes + 1, 0), "WAV-Datei: zu groß (höchstens 64 MiB)"},
    };
    for (const auto& [file, message] : cases) {
        const WavResult refused = ParseWav(file);
        EXPECT_EQ(std::pair(static_cast<bool>(refused.samples), refused.error),
                  std::pair(false, message));
    }
    // The header's fields and chunk sizes are what a few changed bytes hit.
    const Bytes good = EncodeWav(std::vector<std::int16_t>(4, 5));
    FeedDamaged(std::string(good.begin(), good.end()), "RIFFWAVEfmt data",
                [](const std::string& text) { return ParseWav(Bytes(text.begin(), text.end())); });
}

// Frames of a 1 kHz tone of the given amplitude (0 for none), in order.
using Piece = std::pair<int, double>;

// The steps other than Quiet and Speech where they change, as "Start@12 End@80".
std::string Steps(const std::vector<Piece>& pieces, double noise) {
    const char* const names[] = {"", "Start@", "", "End@", "TooLong@"};
    Segmenter segmenter;
    Segmenter::Step last = Segmenter::Step::Quiet;
    std::vector<std::int16_t> frame(kFrameSamples);
    std::uint32_t seed = 7;
    std::string out;
    int index = 0;
    std::size_t t = 0;
    for (const auto& [frames, amplitude] : pieces) {
        for (int f = 0; f < frames; ++f, ++index) {
            for (std::int16_t& s : frame) {
                seed = seed * 1664525u + 1013904223u;
                const double hiss = noise * (static_cast<double>(seed >> 16) / 32768.0 - 1.0);
                const double tone =
                    amplitude * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(t++) / 16000.0);
                s = static_cast<std::int16_t>(std::lround(hiss + tone));
            }
            const Segmenter::Step step = segmenter.Feed(frame);
            if (step != last && *names[static_cast<int>(step)] != '\0')
                out += names[static_cast<int>(step)] + std::to_string(index) + " ";
            last = step;
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
    // A word in silence starts on its third frame and ends 18 quiet frames
    // after its last (give or take the frame that holds its edge); so over
    // steady hiss, which alone never starts anything. A click is no word; a
    // short gap inside a word (a stop consonant) does not end it, a pause
    // does; talk without a pause is given up and still ends where it ends.
    // clang-format off
    const Case cases[] = {
        {{{50, 0}, {40, 8000}, {60, 0}}, 0, "Start@52 End@108 "},
        {{{50, 0}, {40, 8000}, {60, 0}}, 600, "Start@52 End@107 "},
        {{{400, 0}}, 3000, ""},
        {{{50, 0}, {1, 8000}, {60, 0}}, 0, ""},
        {{{50, 0}, {20, 8000}, {10, 0}, {20, 8000}, {60, 0}}, 0, "Start@52 End@118 "},
        {{{50, 0}, {20, 8000}, {30, 0}, {20, 8000}, {60, 0}}, 0,
         "Start@52 End@88 Start@102 End@138 "},
        {{{50, 0}, {300, 8000}, {60, 0}}, 0, "Start@52 TooLong@200 End@368 "},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(Steps(c.pieces, c.noise), c.steps) << c.steps;
}

std::unique_ptr<Recogniser> MakeRecogniser() {
    WordListResult words = LoadWordList(kShippedWordList);
    PronunciationResult own = LoadPronunciations(FindPronunciationFile());
    std::string error;
    std::unique_ptr<Recogniser> r =
        words.list && own.list ? Recogniser::Create(*words.list, *own.list, {}, error) : nullptr;
    EXPECT_TRUE(r) << words.error << own.error << error;
    return r;
}

// Everyday sentences in a female voice with no command word in them are
// listened to and refused (silence and hiss never start an utterance: the
// segmenter's test).
TEST(Recognition, TalkTypesNothing) {
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
    EXPECT_TRUE(utterances > 2u && heard.empty()) << utterances << " " << heard.size();
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
            if (source == kMicrophone && typed.size() == 4)
                done.Set();
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
        EXPECT_EQ(std::pair(typed, heard), source == kStopAtOnce
                                               ? std::pair(""s, ""s)
                                               : std::pair(std::string(testing::kSpokenTyped),
                                                           std::string(testing::kSpokenWords)));
    }
}

TEST(Recognition, SetupRefusalsNameTheFileAndLine) {
    const TestSpeech& speech = TestSpeech::Get();
    const std::string unknown = speech.File("unknown.txt"), bad = speech.File("bad.txt"),
                      missing = speech.File("missing.txt"), notWav = speech.File("stereo.wav");
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
        const bool made = CreateVoiceInput(
                              setup, [](unsigned char, std::string_view) {}, error) != nullptr;
        EXPECT_EQ(std::pair(made, error), std::pair(false, message));
    }
}

}  // namespace
}  // namespace kinemo::voice
