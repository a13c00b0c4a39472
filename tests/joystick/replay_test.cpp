// Replay files: the parser's refusals with their line numbers, what it
// accepts, random text, and a recording replayed giving the same words.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "tests/joystick/joy_test_support.h"
#include "tests/tools/cli_process.h"

namespace kinemo::joy {
namespace {

using test::At;
using test::Caps;
using test::FreshSettings;
using test::MakeReplay;

const std::string kHeader = "# kinemo-joy replay name=\"Pult\" axes=3 buttons=4 hat=1\n";

TEST(ReplayParser, RefusesMalformedFilesWithTheLineNumber) {
    // The text, the line refused and the beginning of the message.
    const std::tuple<std::string, int, std::string> cases[] = {
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
    for (const auto& [text, line, message] : cases) {
        Replay replay;
        replay.reads.resize(3);
        const ReplayParseResult result = ParseReplay(text, replay);
        EXPECT_EQ(std::tuple(result.ok, result.line, result.message.rfind(message, 0)),
                  std::tuple(false, line, 0U))
            << text << result.message;
        EXPECT_TRUE(replay.reads.empty()) << "a refused file gives nothing to play";
    }
    EXPECT_EQ(ReplayErrorLine("a.replay", ReplayParseResult{false, 7, "kaputt"}),
              "a.replay:7: kaputt");
    // A file that cannot be read has no line.
    Replay replay;
    EXPECT_EQ(ReplayErrorLine("x.replay", LoadReplay("/nonexistent/x.replay", replay)),
              "x.replay: Datei kann nicht geöffnet werden");
    EXPECT_FALSE(LoadReplay("/", replay).ok);
}

TEST(ReplayParser, AcceptsCommentsLineEndsAndIgnoredColumns) {
    Replay replay;
    ASSERT_TRUE(ParseReplay(kHeader + "# ein Kommentar\r\n0,65535,100,9,9,9,31500,15\r\n#\n"
                                      "32768,32768,32768,65535,0,65535,65535,0",
                            replay)
                    .ok);
    platform::JoystickPosition first = At(0, 65535, 31500, 15);
    first.axes = {0, 65535, 100, 9, 9, 9};
    EXPECT_EQ(std::tuple(replay.header.name, replay.header.axes, replay.header.buttons,
                         replay.header.hat, replay.reads.size(), PositionOf(replay.reads.at(0))),
              std::tuple("Pult", 3, 4, 1, 2U, first));
    ASSERT_TRUE(ParseReplay("# kinemo-joy replay name=\"\" axes=6 buttons=32 hat=0\n"
                            "0,0,0,0,0,0,65535,4294967295\n",
                            replay)
                    .ok);
    EXPECT_EQ(replay.reads.at(0).buttons, 0xFFFFFFFFU);
    ASSERT_TRUE(ParseReplay(kHeader, replay).ok);
    EXPECT_TRUE(replay.reads.empty());
}

// Every truncation of a good file and random text: refused with a line and a
// message, or read.
TEST(ReplayParser, RandomAndTruncatedTextNeverCrashes) {
    std::mt19937 random(5);
    const std::string good = kHeader + "0,65535,100,9,9,9,31500,15\n1,2,3,4,5,6,0,0\n";
    const std::string alphabet = "0123456789,#\n\r \"=axesbuttonshat-kinemo";
    for (std::size_t round = 0; round < 2000 + good.size(); ++round) {
        std::string text = good.substr(0, round);
        if (round > good.size()) {
            text = round % 2 == 0 ? kHeader : "";
            for (std::size_t i = random() % 200; i > 0; --i) {
                text += round % 3 == 0 ? static_cast<char>(random())
                                       : alphabet[random() % alphabet.size()];
            }
        }
        Replay replay;
        const ReplayParseResult result = ParseReplay(text, replay);
        EXPECT_TRUE(result.ok || (result.line >= 1 && !result.message.empty())) << text;
    }
}

TEST(ReplayFormat, HeaderAndLinesAsWritten) {
    EXPECT_EQ(ReplayHeaderLine(Caps(1, 40, true, "Ein \"Knüppel\"")),
              "# kinemo-joy replay name=\"Ein 'Knüppel'\" axes=2 buttons=32 hat=1\n");
    platform::JoystickPosition position = At(0, 65535, 13500, 0xFFFFFFFFU);
    position.axes = {0, 65535, 1, 10, 32768, 99};
    char line[kReplayLineMax];
    const std::size_t length = FormatReplayLine(position, line);
    EXPECT_EQ(std::string(line, length), "0,65535,1,10,32768,99,13500,4294967295\n");
}

// Random reads with M1's end switch E1 closing while it runs "L", M3 from
// buttons, M4 on the throttle Z and the off button ending the run: the file
// has one line per read (the check read and each tick's), and played back it
// sends the same words.
TEST(ReplayFiles, ARecordingReplayedSendsExactlyTheRecordedRunsWords) {
    platform::JoystickSystem system;
    JoySettings settings = FreshSettings(Caps(3, 4, true));
    settings.mappings[0].endSwitchesOn = 1;
    settings.mappings[SlotOf(0, 2)].dirFromButtons = 1;
    settings.mappings[SlotOf(0, 2)].dirFixed = 0;
    settings.mappings[SlotOf(0, 3)].speedFromThrottle = 1;
    settings.mappings[SlotOf(0, 3)].speedFixed = 0;
    settings.mappings[SlotOf(0, 3)].fixedDirIndex = 2;
    settings.offButtonOn = 1;
    settings.offButtonIndex = 3;
    std::mt19937 random(3);
    test::Reads reads;
    for (std::uint32_t i = 0; i < 3000; ++i) {
        platform::JoystickPosition p =
            At(random() % 65536, random() % 65536,
               (random() % 9) * 4500 == 36000 ? 65535 : (i % 8) * 4500, random() % 4);
        p.axes[2] = random() % 65536;
        reads.push_back(p);
    }
    reads.push_back(At(0, 0, 0, 8));  // off button 4 ends the recorded run
    reads.push_back(At(1000));        // never read
    const test::Answers endSwitch = [](const test::Words& sent) {
        return !sent.empty() && (sent.back() & 3U) == 1 ? 1U : 0U;
    };

    const cli::test::TempFolder folder;
    const std::string path = folder.File("recording.replay");
    const Replay original = MakeReplay(Caps(3, 4, true, "Aufnahme"), reads);
    test::Words recordedWords;
    {
        ReplaySource device(original);
        RecordingSource recorder(device, device.Caps());
        ASSERT_TRUE(recorder.Open(path));
        recordedWords = test::PlayOn(settings, recorder, endSwitch).words;
        ASSERT_TRUE(recorder.Finish());
    }
    Replay recorded;
    ASSERT_TRUE(LoadReplay(path, recorded).ok);
    // The check read and each tick's; the ticks' words and the final all-off.
    ASSERT_EQ(std::tuple(recorded.header.name, recorded.reads.size(), recordedWords.size()),
              std::tuple("Aufnahme", reads.size() - 1, reads.size() - 1));
    ReplaySource replayed(recorded);
    EXPECT_EQ(test::PlayOn(settings, replayed, endSwitch).words, recordedWords);
}

}  // namespace
}  // namespace kinemo::joy
