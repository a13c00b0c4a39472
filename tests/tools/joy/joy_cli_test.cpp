// kinemo-joy-cli as a process: exit codes and texts, and runs against a
// pseudo-terminal box checked word for word, with the interface alone and
// with the extension module.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "joystick/control_loop.h"
#include "joystick/joy_settings.h"
#include "joystick/joy_texts.h"
#include "joystick/joystick_source.h"
#include "joystick/settings_file.h"
#include "tests/joystick/joy_test_support.h"
#include "tests/platform/pty_peer.h"
#include "tests/tools/cli_process.h"

namespace kinemo::joy {
namespace {

using namespace cli::test;

std::string Example(const std::string& name) {
    return std::string(KINEMO_EXAMPLES_DIR) + "/" + name;
}
const std::string kSweep = Example("joy_sweep.replay");

// What the box must receive from `run --replay` with the settings file
// (defaults without one), the box answering 0: the driver's test exchange at
// the open, the run with its final all-off, and the close's all-off.
test::Words Expected(const std::string& replayPath, const std::string& settingsPath,
                     bool extension) {
    platform::JoystickSystem system;
    Replay replay;
    EXPECT_TRUE(LoadReplay(replayPath, replay).ok);
    ReplaySource source(replay);
    JoySettings settings;
    ReadSettingsHeader(settingsPath, source.Caps(), settings);
    SetExtensionModule(settings, extension);
    ResetSettings(settings);
    LoadSettings(settingsPath, settings);
    test::Words words = test::PlayOn(settings, source).words;
    words.insert(words.begin(), 0);
    words.push_back(0);
    return words;
}

class JoyCliTest : public ::testing::Test {
  protected:
    ProcessResult Run(const std::vector<std::string>& args) {
        return RunProcess(Command(KINEMO_JOY_CLI_PATH, args), folder_.Path(),
                          {{"KINEMO_PORT_COM1", ""}});
    }
    // kinemo-joy-cli run ARGS with a pseudo-terminal box on COM1 answering 0
    // and no box on COM2: how it ended and the words the box received, each
    // checked for its frame (0xC2 and two bytes with the module).
    std::pair<ProcessResult, test::Words> RunOnBox(std::vector<std::string> args,
                                                   bool extension = false) {
        kinemo::testing::PtyPeer box;
        box.StartBox(extension ? 3 : 2, kinemo::testing::Bytes(extension ? 2 : 1, 0));
        args.insert(args.begin(), "run");
        const ProcessResult result =
            RunProcess(Command(KINEMO_JOY_CLI_PATH, args), folder_.Path(),
                       {{"KINEMO_PORT_COM1", box.DevicePath()}, {"KINEMO_PORT_COM2", ""}});
        test::Words words;
        for (const kinemo::testing::Bytes& r : box.Requests()) {
            EXPECT_EQ(r[0], extension ? 0xC2 : 0xC1);
            words.push_back(extension ? r[1] | (r[2] << 8) : r[1]);
        }
        return {result, words};
    }
    std::string File(const std::string& name) const { return folder_.File(name); }
    std::string Settings() const { return folder_.File("settings.kmj"); }

    TempFolder folder_;
};

// Refusals before the box is touched that need a file (what the arguments
// alone refuse is the parser's test, which replays are bad the replay
// parser's; one of each here shows the way to the user): the exact text,
// nothing on standard output, the settings file ("": none) as it was.
TEST_F(JoyCliTest, RefusalsGiveTheirTextAndExitCode) {
    WriteFileText(File("bad.replay"),
                  "# kinemo-joy replay name=\"P\" axes=2 buttons=4 hat=0\n"
                  "1,2,3,4,5,6,65535,0\n1,2,3,4,5,6,65535,99\n");
    ASSERT_TRUE(WriteDeletedFile(File("deleted.kmj")));
    const std::string deleted = ReadFileText(File("deleted.kmj"));
    const std::string damaged = {'K', 'M', 'J', '1', '4', 4, 2};
    const std::string tool = "kinemo-joy-cli: ", shown = tool + "settings.kmj: ";
    using Case = std::tuple<std::string, std::vector<std::string>, int, std::string>;
    for (const auto& [settings, args, exitCode, err] :
         {Case{"", {}, 2, tool + "Befehl fehlt (kinemo-joy-cli --help zeigt die Befehle)"},
          Case{"", {"show", "/none.kmj"}, 2, tool + "/none.kmj: Datei kann nicht geöffnet werden"},
          Case{"",
               {"run", "--replay", "bad.replay"},
               2,
               tool + "bad.replay:3: buttons muss eine Bitmaske unter 2^4 sein"},
          Case{damaged, {"run", "--replay", kSweep}, 2, kForeignFileText},
          Case{"", {"run", "--replay", kSweep}, 1, "Keine Verbindung zum Interface!"},
          Case{damaged, {"show"}, 2, shown + kForeignFileText},
          Case{deleted, {"show"}, 2, shown + "zurückgesetzt (\"DELETED\"), keine Einstellungen"}}) {
        std::filesystem::remove(Settings());
        if (!settings.empty()) {
            WriteFileText(Settings(), settings);
        }
        EXPECT_EQ(Run(args), (ProcessResult{exitCode, 0, "", err + "\n"}));
        EXPECT_EQ(ReadFileText(Settings()), settings);
    }
}

TEST_F(JoyCliTest, ShowDescribesEveryMotorAgainstTheStoredJoystick) {
    JoySettings settings = test::FreshSettings(test::Caps(3, 6, true, ""), true);
    settings.portNumber = 2;
    MotorMapping& m5 = settings.mappings[SlotOf(1, 0)];
    m5.dirFromAxis = m5.speedFromThrottle = 1;
    m5.dirFixed = m5.speedFixed = 0;
    m5.axisIndex = 4;      // "POV2"
    m5.throttleIndex = 2;  // "Z"
    settings.offButtonOn = 1;
    ASSERT_TRUE(SaveSettings(Settings(), settings));
    EXPECT_EQ(
        Run({"show"}),
        (ProcessResult{
            0, 0,
            "Datei: settings.kmj\n"
            "Joystick: Achsen 3, Buttons 6, Fähigkeiten 0x11\n"
            "Interface: COM2, mit Extensionmodul (8 Motoren), gezeigt: Hauptmodul\n"
            "Aus-Taster: aus, E16\nAus-Button: an, 6\n"
            "M1: Richtung Achse X, Geschwindigkeit Achse X, Endtaster aus (L E1, R E2)\n"
            "M2: Richtung Achse Y, Geschwindigkeit Achse Y, Endtaster aus (L E3, R E4)\n"
            "M3: Richtung Fest A, Geschwindigkeit Fest 100%, Endtaster aus (L E5, R E6)\n"
            "M4: Richtung Fest A, Geschwindigkeit Fest 100%, Endtaster aus (L E7, R E8)\n"
            "M5: Richtung Achse POV2, Geschwindigkeit Schubregler Z, Endtaster aus (L E9, R E10)\n"
            "M6: Richtung Fest A, Geschwindigkeit Fest 100%, Endtaster aus (L E11, R E12)\n"
            "M7: Richtung Fest A, Geschwindigkeit Fest 100%, Endtaster aus (L E13, R E14)\n"
            "M8: Richtung Fest A, Geschwindigkeit Fest 100%, Endtaster aus (L E15, R E16)\n",
            ""}));
}

// A run without a settings file drives M1 and M2 from X and Y both ways and
// records its replay; the recording replayed with a settings file (the
// module, M5 "R", the port COM2) reaches the box word for word in the
// module's frame when --port names the box, and finds no box on the file's
// port without it. The tool never writes the settings file or the replay it
// plays.
TEST_F(JoyCliTest, ARunAndItsRecordingWithASettingsFileReachTheBoxWordForWord) {
    const std::string sweep = ReadFileText(kSweep);
    const ProcessResult ran{0, 0, "", "Run\nBereit\n"};
    const auto plain =
        RunOnBox({"--replay", kSweep, "--port", "COM1", "--record", File("rec.replay")});
    EXPECT_EQ(plain, std::pair(ran, Expected(kSweep, Settings(), false)));
    std::uint32_t driven = 0;
    for (const std::uint32_t word : plain.second) {
        driven |= word;
    }
    EXPECT_EQ(driven & 0xF, 0xFU) << "M1 and M2 ran both ways";
    EXPECT_FALSE(std::filesystem::exists(Settings()));

    // A replay's joystick shows no capabilities, so it counts as another one.
    const platform::JoystickCaps caps{"Beispiel-Joystick", 2, 4, false, 0};
    const std::string other = std::string(kOtherJoystickCaption) + OtherJoystickText(caps) + "\n";
    JoySettings m5 = test::FreshSettings(caps, true);
    m5.mappings[SlotOf(1, 0)].fixedDirIndex = 2;
    m5.portNumber = 2;
    ASSERT_TRUE(SaveSettings(Settings(), m5));
    const std::string saved = ReadFileText(Settings());
    EXPECT_EQ(RunOnBox({"--replay", File("rec.replay"), "--port", "COM1"}, true),
              std::pair(ProcessResult{0, 0, "", other + ran.err},
                        Expected(File("rec.replay"), Settings(), true)));
    EXPECT_EQ(RunOnBox({"--replay", kSweep}, true),
              std::pair(ProcessResult{1, 0, "", other + "Keine Verbindung zum Interface!\n"},
                        test::Words{}));
    EXPECT_EQ(ReadFileText(Settings()), saved);
    EXPECT_EQ(ReadFileText(kSweep), sweep);
}

// A run on a pseudo-terminal box with M1 driven by a replay far longer than
// any test: SIGTERM ends it all-off with exit code 0; the line going away
// ends it with exit code 1 and the text instead of spinning on the dead line.
// A parallel port name opens the one-byte frame even with the module.
TEST_F(JoyCliTest, SigtermAndAHangupEndARunOnTheBox) {
    std::string replay = "# kinemo-joy replay name=\"Lang\" axes=2 buttons=0 hat=0\n";
    for (int i = 0; i < 200'000; ++i) {
        replay += "65535,32768,32768,32768,32768,32768,65535,0\n";
    }
    WriteFileText(File("long.replay"), replay);
    for (const bool hangUp : {false, true}) {
        kinemo::testing::PtyPeer box;
        box.StartBox(2, {0x00});
        ChildProcess cli(Command(KINEMO_JOY_CLI_PATH, {"run", "--port", "LPT1", "--extension",
                                                       "--replay", File("long.replay")}),
                         folder_.Path(), {{"KINEMO_PORT_LPT1", box.DevicePath()}});
        ASSERT_TRUE(box.WaitForRequests(20, 20000));
        if (hangUp) {
            box.CloseMaster();
        } else {
            cli.Signal(SIGTERM);
        }
        EXPECT_EQ(cli.Wait(), (ProcessResult{hangUp ? 1 : 0, 0, "",
                                             hangUp ? "Run\nVerbindung zum Interface verloren\n"
                                                    : "Run\nBereit\n"}));
        const std::vector<kinemo::testing::Bytes> sent = box.Requests();
        EXPECT_TRUE(
            std::all_of(sent.begin(), sent.end(), [](const auto& r) { return r[0] == 0xC1; }));
        EXPECT_EQ(sent[sent.size() / 2][1], 0x02);  // M1 "R" while it ran
        EXPECT_TRUE(hangUp || (sent.back()[1] | sent[sent.size() - 2][1]) == 0);
    }
    EXPECT_EQ(ReadFileText(File("long.replay")), replay);
}

TEST(JoyExamples, TheCommittedReplaysAreWhatTheGeneratorWrites) {
    TempFolder folder;
    ASSERT_EQ(RunProcess({KINEMO_JOY_MAKE_EXAMPLES_PATH, folder.Path()}, folder.Path()).exitCode,
              0);
    for (const char* name : {"joy_sweep.replay", "joy_hat_buttons.replay"}) {
        EXPECT_EQ(ReadFileText(folder.File(name)), ReadFileText(Example(name))) << name;
        Replay replay;
        EXPECT_TRUE(LoadReplay(Example(name), replay).ok) << name;
    }
}

}  // namespace
}  // namespace kinemo::joy
