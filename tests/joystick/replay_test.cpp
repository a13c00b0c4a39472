// Replay files: the parser's refusals with their line numbers, what it
// accepts, random text, and a recording replayed giving the same words.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "joystick/control_loop.h"
#include "joystick/joystick_source.h"
#include "tests/joystick/joy_test_support.h"

namespace kinemo::joy {
namespace {

using test::At;
using test::Caps;
using test::FreshSettings;
using test::MakeReplay;
using test::ScriptedLink;

const std::string kHeader = "# kinemo-joy replay name=\"Pult\" axes=3 buttons=4 hat=1\n";

TEST(ReplayParser, RefusesMalformedFilesWithTheLineNumber) {
    struct Case {
        std::string text;
        int line;
        std::string message;  // the beginning of the message
    };
    const Case cases[] = {
        {"", 1, "Kopfzeile"},
        {"32768,32768,32768,32768,32768,32768,65535,0\n", 1, "Kopfzeile"},
        {"# kinemo-joy replay name=\"P\" axes=3 buttons=4\n", 1, "Kopfzeile"},
        {"# kinemo-joy replay name=\"P axes=3 buttons=4 hat=1\n", 1, "Kopfzeile"},
        {"# kinemo-joy replay name=\"P\" axes=3 buttons=4 hat=1 x=2\n", 1, "Kopfzeile"},
        {"# kinemo-joy replay name=\"P\" axes=-3 buttons=4 hat=1\n", 1, "Kopfzeile"},
        {"# kinemo-joy replay name=\"P\" axes=1 buttons=4 hat=1\n", 1, "axes muss 2 bis 6"},
        {"# kinemo-joy replay name=\"P\" axes=7 buttons=4 hat=1\n", 1, "axes muss 2 bis 6"},
        {"# kinemo-joy replay name=\"P\" axes=2 buttons=33 hat=1\n", 1, "buttons muss 0 bis 32"},
        {"# kinemo-joy replay name=\"P\" axes=2 buttons=3 hat=2\n", 1, "hat muss 0 oder 1"},
        {"# kinemo-joy replay name=\"" + std::string(128, 'n') + "\" axes=2 buttons=3 hat=0\n", 1,
         "Name länger"},
        {kHeader + "1,2,3,4,5,6,0\n", 2, "erwartet acht Zahlen"},
        {kHeader + "1,2,3,4,5,6,0,0,0\n", 2, "erwartet acht Zahlen"},
        {kHeader + "# gut\n1,2,3,4,5,6,0,\n", 3, "erwartet acht Zahlen"},
        {kHeader + "1,2,3,4,5, 6,0,0\n", 2, "erwartet acht Zahlen"},
        {kHeader + "1,2,3,4,5,+6,0,0\n", 2, "erwartet acht Zahlen"},
        {kHeader + "1,2,3,4,5,99999999999,0,0\n", 2, "erwartet acht Zahlen"},
        {kHeader + "1,2,65536,4,5,6,0,0\n", 2, "z muss 0 bis 65535"},
        {kHeader + "1,2,3,4,5,65536,0,0\n", 2, "v muss 0 bis 65535"},
        {kHeader + "1,2,3,4,5,6,4501,0\n", 2, "pov muss 0, 4500"},
        {kHeader + "1,2,3,4,5,6,36000,0\n", 2, "pov muss 0, 4500"},
        {kHeader + "1,2,3,4,5,6,0,16\n", 2, "buttons muss eine Bitmaske unter 2^4"},
        {kHeader + "1,2,3,4,5,6,0,0\n\n1,2,3,4,5,6,0,0\n", 3, "leere Zeile"},
        {"# kinemo-joy replay name=\"P\" axes=2 buttons=0 hat=0\n1,2,3,4,5,6,9000,0\n", 2,
         "pov muss ohne Hut"},
        {"# kinemo-joy replay name=\"P\" axes=2 buttons=0 hat=0\n1,2,3,4,5,6,65535,1\n", 2,
         "buttons muss eine Bitmaske unter 2^0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Replay replay;
        replay.reads.resize(3);
        const ReplayParseResult result = ParseReplay(c.text, replay);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.line, c.line);
        EXPECT_EQ(result.message.rfind(c.message, 0), 0U) << result.message;
        EXPECT_TRUE(replay.reads.empty()) << "a refused file gives nothing to play";
    }
    EXPECT_EQ(ReplayErrorLine("a.replay", ReplayParseResult{false, 7, "kaputt"}),
              "a.replay:7: kaputt");
    // A file that cannot be read has no line.
    Replay replay;
    const ReplayParseResult missing = LoadReplay("/nonexistent/x.replay", replay);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(ReplayErrorLine("x.replay", missing), "x.replay: Datei kann nicht geöffnet werden");
    EXPECT_FALSE(LoadReplay("/", replay).ok);
}

TEST(ReplayParser, AcceptsCommentsLineEndsAndIgnoredColumns) {
    const std::string text = kHeader +
                             "# ein Kommentar\r\n"
                             "0,65535,100,9,9,9,31500,15\r\n"
                             "#\n"
                             "32768,32768,32768,65535,0,65535,65535,0";
    Replay replay;
    const ReplayParseResult result = ParseReplay(text, replay);
    ASSERT_TRUE(result.ok) << result.line << ": " << result.message;
    EXPECT_EQ(replay.header.name, "Pult");
    EXPECT_EQ(replay.header.axes, 3);
    EXPECT_EQ(replay.header.buttons, 4);
    EXPECT_EQ(replay.header.hat, 1);
    ASSERT_EQ(replay.reads.size(), 2U);
    EXPECT_EQ(PositionOf(replay.reads[0]).axes[1], 65535U);
    EXPECT_EQ(PositionOf(replay.reads[0]).pov, 31500U);
    EXPECT_EQ(PositionOf(replay.reads[0]).buttons, 15U);

    ASSERT_TRUE(ParseReplay("# kinemo-joy replay name=\"\" axes=6 buttons=32 hat=0\n"
                            "0,0,0,0,0,0,65535,4294967295\n",
                            replay)
                    .ok);
    EXPECT_EQ(replay.reads[0].buttons, 0xFFFFFFFFU);
    ASSERT_TRUE(ParseReplay(kHeader, replay).ok);
    EXPECT_TRUE(replay.reads.empty());
}

TEST(ReplayParser, RandomAndTruncatedTextNeverCrashes) {
    std::mt19937 random(5);
    const std::string good = kHeader + "0,65535,100,9,9,9,31500,15\n1,2,3,4,5,6,0,0\n";
    for (std::size_t length = 0; length <= good.size(); ++length) {
        Replay replay;
        const ReplayParseResult result = ParseReplay(good.substr(0, length), replay);
        EXPECT_TRUE(result.ok || result.line >= 1);
    }
    const std::string alphabet = "0123456789,#\n\r \"=axesbuttonshat-kinemo";
    for (int round = 0; round < 2000; ++round) {
        std::string text = round % 2 == 0 ? kHeader : "";
        const std::size_t length = random() % 200;
        for (std::size_t i = 0; i < length; ++i) {
            text +=
                round % 3 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
        }
        Replay replay;
        const ReplayParseResult result = ParseReplay(text, replay);
        if (!result.ok) {
            EXPECT_GE(result.line, 1);
            EXPECT_FALSE(result.message.empty());
        }
    }
}

TEST(ReplayFormat, HeaderAndLinesAreWhatTheParserReads) {
    EXPECT_EQ(ReplayHeaderLine(Caps(1, 40, true, "Ein \"Knüppel\"")),
              "# kinemo-joy replay name=\"Ein 'Knüppel'\" axes=2 buttons=32 hat=1\n");
    platform::JoystickPosition position;
    position.axes = {0, 65535, 1, 10, 32768, 99};
    position.pov = 13500;
    position.buttons = 0xFFFFFFFFU;
    char line[kReplayLineMax];
    const std::size_t length = FormatReplayLine(position, line);
    EXPECT_EQ(std::string(line, length), "0,65535,1,10,32768,99,13500,4294967295\n");
    Replay replay;
    ASSERT_TRUE(
        ParseReplay(ReplayHeaderLine(Caps(6, 32, true)) + std::string(line, length), replay).ok);
    EXPECT_EQ(PositionOf(replay.reads[0]), position);
}

// A run of `source` against a box whose E1 closes while M1 runs "L".
std::vector<std::uint32_t> PlayWords(const JoySettings& settings, JoystickSource& source) {
    ScriptedLink link;
    link.inputs = [&link](std::size_t n) {
        return n > 0 && (link.outputs[n - 1] & 3U) == 1 ? 1U : 0U;
    };
    test::RunOnce(settings, source, link);
    return link.outputs;
}

TEST(ReplayFiles, ARecordingReplayedSendsExactlyTheRecordedRunsWords) {
    platform::JoystickSystem system;
    ASSERT_TRUE(system.Ok());
    JoySettings settings = FreshSettings(Caps(3, 4, true));
    settings.mappings[0].endSwitchesOn = 1;
    settings.mappings[SlotOf(0, 2)].dirFromButtons = 1;  // M3 from buttons 1 and 2
    settings.mappings[SlotOf(0, 2)].dirFixed = 0;
    settings.mappings[SlotOf(0, 3)].speedFromThrottle = 1;  // M4: fixed "R", throttle Z
    settings.mappings[SlotOf(0, 3)].speedFixed = 0;
    settings.mappings[SlotOf(0, 3)].fixedDirIndex = 2;
    settings.offButtonOn = 1;
    settings.offButtonIndex = 3;
    std::mt19937 random(3);
    std::vector<platform::JoystickPosition> reads;
    for (int i = 0; i < 3000; ++i) {
        platform::JoystickPosition p = At(static_cast<std::uint32_t>(random() % 65536),
                                          static_cast<std::uint32_t>(random() % 65536),
                                          (random() % 9) * 4500 == 36000 ? 65535 : (i % 8) * 4500,
                                          static_cast<std::uint32_t>(random() % 4));
        p.axes[2] = static_cast<std::uint32_t>(random() % 65536);
        reads.push_back(p);
    }
    reads.push_back(At(0, 0, 0, 8));  // off button 4 ends the recorded run
    reads.push_back(At(1000));        // never read

    const std::string path =
        (std::filesystem::temp_directory_path() / "kinemo-joy-recording.replay").string();
    const platform::JoystickCaps caps = Caps(3, 4, true, "Aufnahme");
    const Replay original = MakeReplay(caps, reads);
    std::vector<std::uint32_t> recordedWords;
    {
        ReplaySource device(original);
        ASSERT_TRUE(device.Opened());
        RecordingSource recorder(device, device.Caps());
        ASSERT_TRUE(recorder.Open(path));
        recordedWords = PlayWords(settings, recorder);
        ASSERT_TRUE(recorder.Finish());
    }
    Replay recorded;
    const ReplayParseResult parsed = LoadReplay(path, recorded);
    std::filesystem::remove(path);
    ASSERT_TRUE(parsed.ok) << parsed.line << ": " << parsed.message;
    EXPECT_EQ(recorded.header.name, "Aufnahme");
    // One line per read: the check read and one per tick of the run.
    ASSERT_EQ(recorded.reads.size(), reads.size() - 1);
    ASSERT_EQ(recordedWords.size(), reads.size() - 1);  // ticks and the final all-off
    ReplaySource replayed(recorded);
    EXPECT_EQ(PlayWords(settings, replayed), recordedWords);
    EXPECT_EQ(recordedWords.back(), 0U);
}

}  // namespace
}  // namespace kinemo::joy
