// The three readers of the speech input: word list, pronunciation list, WAV.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "keyboard/voice/pronunciation_list.h"
#include "keyboard/voice/wav_file.h"
#include "keyboard/voice/word_list.h"

namespace kinemo::voice {
namespace {

TEST(WordList, ReadsWordsCharactersAndThresholds) {
    const WordListResult r = ParseWordList(
        "# Befehle\n"
        "\xEF\xBB\xBF"  // a byte-order mark only counts at the very start
        "links a 1e-20\n"
        "\n"
        "  Rechts\tb   # rechts herum\n"
        "ZURÜCK \xC3\xBC 0.5\n"
        "raute #\n");
    ASSERT_FALSE(r.list) << "a byte-order mark inside the text is no word";
    const WordListResult ok = ParseWordList(
        "\xEF\xBB\xBF# Befehle\n"
        "links a 1e-20\n"
        "\n"
        "  Rechts\tb   # rechts herum\n"
        "ZURÜCK \xC3\xBC 0.5\r\n"
        "raute #\n");
    ASSERT_TRUE(ok.list) << ok.error;
    const std::vector<VoiceCommand>& c = ok.list->commands;
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].word, "links");
    EXPECT_EQ(c[0].character, 'a');
    EXPECT_DOUBLE_EQ(c[0].threshold, 1e-20);
    EXPECT_EQ(c[1].word, "rechts");
    EXPECT_EQ(c[1].line, 4);
    EXPECT_DOUBLE_EQ(c[1].threshold, kDefaultThreshold);
    EXPECT_EQ(c[2].word,
              "zur\xC3\xBC"
              "ck");
    EXPECT_EQ(c[2].character, 0xFC) << "ü is one Latin-1 byte for the key handler";
    EXPECT_EQ(c[3].character, '#') << "the character field takes # literally";
}

TEST(WordList, RefusesBadLinesNamingTheLine) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
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
        {"links a\nLINKS b\n", "Zeile 2: Das Wort \"links\" steht schon in der Liste"},
        {"# nur Kommentare\n\n", "Die Wortliste enthält kein Wort"},
        {"", "Die Wortliste enthält kein Wort"},
    };
    for (const Case& c : cases) {
        const WordListResult r = ParseWordList(c.text);
        EXPECT_FALSE(r.list) << c.text;
        EXPECT_EQ(r.error.rfind(c.message, 0), 0u) << "for \"" << c.text << "\" got: " << r.error;
    }
    const WordListResult nul = ParseWordList(std::string("links a\n\0", 9));
    EXPECT_EQ(nul.error, "Die Wortliste ist keine Textdatei (sie enthält Nullbytes)");
}

TEST(WordList, LimitsSizeAndCount) {
    std::string many;
    for (std::size_t i = 0; i <= kMaxCommands; ++i) {
        many += "w" + std::to_string(i) + " a\n";
    }
    EXPECT_EQ(ParseWordList(many).error, "Zeile 256: Zu viele Wörter (höchstens 255)");
    const std::string huge(kMaxWordListBytes + 1, '#');
    EXPECT_EQ(ParseWordList(huge).error, "Die Wortliste ist zu groß (höchstens 64 KiB)");
    EXPECT_FALSE(ParseWordList(std::string(kMaxWordBytes + 1, 'a') + " a\n").list);
    EXPECT_TRUE(ParseWordList(std::string(kMaxWordBytes, 'a') + " a\n").list);
}

TEST(WordList, TruncatedAndRandomInputNeverCrashes) {
    const std::string good =
        "links a 1e-20\nrechts b\nzur\xC3\xBC"
        "ck \xC3\xBC 1e-30\n";
    for (std::size_t n = 0; n <= good.size(); ++n) {
        const WordListResult r = ParseWordList(good.substr(0, n));
        EXPECT_NE(static_cast<bool>(r.list), !r.error.empty()) << n;
    }
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        std::string text(random() % 200, ' ');
        for (char& c : text) {
            c = static_cast<char>(random() % 4 == 0 ? "\n \t#a1"[random() % 6] : random() % 256);
        }
        const WordListResult r = ParseWordList(text);
        EXPECT_NE(static_cast<bool>(r.list), !r.error.empty());
    }
}

TEST(PronunciationList, ReadsAlternativesStressAndComments) {
    const PronunciationResult r = ParsePronunciations(
        "# deutsch\n"
        "rechts R EH K T S\n"
        "rechts(2) R EH1 HH T S  # ch\n"
        "rechts(3) R EH K T S\n"
        "Zur\xC3\x9C"
        "ck T S UH R UH K\n");
    ASSERT_TRUE(r.list) << r.error;
    EXPECT_EQ(r.list->at("rechts"), (std::vector<std::string>{"R EH K T S", "R EH HH T S"}));
    EXPECT_EQ(r.list->at("zur\xC3\xBC"
                         "ck"),
              std::vector<std::string>{"T S UH R UH K"});
}

TEST(PronunciationList, RefusesBadLinesNamingTheLine) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"links L IH NG K S\nrechts R EH XX\n", "Zeile 2: Unbekannter Laut \"XX\" bei \"rechts\""},
        {"links\n", "Zeile 1: Zum Wort \"links\" fehlen die Laute"},
        {"li*nks L\n", "Zeile 1: Ungültiges Wort"},
        {"links(x) L\n", "Zeile 1: Ungültiges Wort"},
        {"links( L\n", "Zeile 1: Ungültiges Wort"},
        {"a l\n", "Zeile 1: Unbekannter Laut \"l\""},
    };
    for (const Case& c : cases) {
        const PronunciationResult r = ParsePronunciations(c.text);
        EXPECT_FALSE(r.list);
        EXPECT_EQ(r.error.rfind(c.message, 0), 0u) << "for \"" << c.text << "\" got: " << r.error;
    }
    std::string longWord = "a";
    for (std::size_t i = 0; i <= kMaxPhonesPerPronunciation; ++i) {
        longWord += " AA";
    }
    EXPECT_EQ(ParsePronunciations(longWord).error,
              "Zeile 1: Zu viele Laute bei \"a\" (höchstens 40)");
    std::string variants;
    std::string phones;
    for (std::size_t i = 0; i <= kMaxPronunciationsPerWord; ++i) {
        phones += " AA";
        variants += "a(" + std::to_string(i + 1) + ")" + phones + "\n";
    }
    EXPECT_EQ(ParsePronunciations(variants).error,
              "Zeile 9: Zu viele Aussprachen für \"a\" (höchstens 8)");
}

TEST(PronunciationList, SearchKeepsOnlyWantedWordsAndSkipsForeignEntries) {
    const std::set<std::string> wanted = {"stop"};
    const PronunciationResult r =
        ParsePronunciations("<s> SIL\nstop S T AA1 P\ngo G OW\n", &wanted);
    ASSERT_TRUE(r.list) << r.error;
    EXPECT_EQ(r.list->size(), 1u);
    EXPECT_EQ(r.list->at("stop"), std::vector<std::string>{"S T AA P"});
}

TEST(PronunciationList, TruncatedAndRandomInputNeverCrashes) {
    const std::string good = "links L IH NG K S\nrechts(2) R EH HH T S\n";
    for (std::size_t n = 0; n <= good.size(); ++n) {
        const PronunciationResult r = ParsePronunciations(good.substr(0, n));
        EXPECT_NE(static_cast<bool>(r.list), !r.error.empty()) << n;
    }
    EXPECT_FALSE(ParsePronunciations(std::string(kMaxPronunciationListBytes + 1, '#')).list);
    std::mt19937 random(11);
    for (int i = 0; i < 2000; ++i) {
        std::string text(random() % 200, ' ');
        for (char& c : text) {
            c = static_cast<char>(random() % 3 == 0 ? "\n (2)AHS"[random() % 9] : random() % 256);
        }
        const PronunciationResult r = ParsePronunciations(text);
        EXPECT_NE(static_cast<bool>(r.list), !r.error.empty());
    }
}

std::vector<std::uint8_t> Wav(std::uint16_t format, std::uint16_t channels, std::uint32_t rate,
                              std::uint16_t bits, std::size_t dataBytes) {
    std::vector<std::int16_t> samples(dataBytes / 2, 0);
    std::vector<std::uint8_t> bytes = EncodeWav(samples);
    auto put16 = [&](std::size_t at, std::uint16_t v) {
        bytes[at] = static_cast<std::uint8_t>(v);
        bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    put16(20, format);
    put16(22, channels);
    put16(24, static_cast<std::uint16_t>(rate));
    put16(26, static_cast<std::uint16_t>(rate >> 16));
    put16(34, bits);
    return bytes;
}

TEST(Wav, RoundTripAndOtherChunksSkipped) {
    const std::vector<std::int16_t> samples = {0, 1, -1, 32767, -32768, 1234};
    std::vector<std::uint8_t> bytes = EncodeWav(samples);
    // A LIST chunk of odd length (with its pad byte) before the data.
    const std::vector<std::uint8_t> list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    bytes.insert(bytes.begin() + 36, list.begin(), list.end());
    const WavResult r = ParseWav(bytes);
    ASSERT_TRUE(r.samples) << r.error;
    EXPECT_EQ(*r.samples, samples);
}

TEST(Wav, RefusesOtherFormatsSayingWhatWasFound) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        const char* message;
    };
    const Case cases[] = {
        {Wav(1, 1, 22050, 16, 4), "WAV-Datei: 22050 Hz; erwartet wird 16 kHz, mono, 16 Bit PCM"},
        {Wav(1, 2, 16000, 16, 4), "WAV-Datei: 2 Kanäle; erwartet wird 16 kHz, mono, 16 Bit PCM"},
        {Wav(1, 1, 16000, 8, 4), "WAV-Datei: 8 Bit; erwartet wird 16 kHz, mono, 16 Bit PCM"},
        {Wav(3, 1, 16000, 16, 4),
         "WAV-Datei: nicht PCM (Formatkennung 3); erwartet wird 16 kHz, mono, 16 Bit PCM"},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '},
         "WAV-Datei: keine WAV-Datei (RIFF/WAVE fehlt)"},
    };
    for (const Case& c : cases) {
        const WavResult r = ParseWav(c.bytes);
        EXPECT_FALSE(r.samples);
        EXPECT_EQ(r.error, c.message);
    }
}

TEST(Wav, TruncatedRandomAndOversizedInputIsRefusedCleanly) {
    const std::vector<std::uint8_t> good = EncodeWav(std::vector<std::int16_t>(100, 5));
    for (std::size_t n = 0; n < good.size(); ++n) {
        const WavResult r = ParseWav(std::span<const std::uint8_t>(good.data(), n));
        EXPECT_FALSE(r.samples) << n;
        EXPECT_EQ(r.error.rfind("WAV-Datei: ", 0), 0u) << n;
    }
    std::vector<std::uint8_t> odd = EncodeWav(std::vector<std::int16_t>(2, 0));
    odd[40] = 3;  // data size 3 with 4 bytes present
    EXPECT_EQ(ParseWav(odd).error, "WAV-Datei: die Daten enden mitten in einem Abtastwert");
    std::mt19937 random(3);
    for (int i = 0; i < 2000; ++i) {
        std::vector<std::uint8_t> bytes = good;
        for (int k = 0; k < 4; ++k) {
            bytes[random() % 48] = static_cast<std::uint8_t>(random());
        }
        const WavResult r = ParseWav(bytes);
        EXPECT_NE(static_cast<bool>(r.samples), !r.error.empty());
    }
    std::vector<std::uint8_t> huge(kMaxWavBytes + 1, 0);
    EXPECT_EQ(ParseWav(huge).error, "WAV-Datei: zu groß (höchstens 64 MiB)");
}

}  // namespace
}  // namespace kinemo::voice
