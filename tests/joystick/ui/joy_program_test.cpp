// kinemo-joy as a process, played by a replay through its virtual joystick
// against the simulated box with the real line timing: every way out of a
// run ends with all motors off on the wire and the settings saved; the start
// cases end with their exit codes.
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "joystick/joy_texts.h"
#include "joystick/settings_file.h"
#include "simulator/simulated_box.h"
#include "tests/tools/cli_process.h"

namespace {

using kinemo::cli::test::ChildProcess;
using kinemo::cli::test::Environment;
using kinemo::cli::test::ProcessResult;
using kinemo::cli::test::ReadFileBytes;
using kinemo::cli::test::TempFolder;
using kinemo::cli::test::WriteFileBytes;

// X fully left for about a minute of ticks: M1 turns "L" until the test ends
// the program.
std::string WriteReplay(const TempFolder& folder) {
    const std::string path = folder.File("links.replay");
    std::ofstream out(path);
    out << "# kinemo-joy replay name=\"Probe\" axes=4 buttons=6 hat=1\n";
    for (int i = 0; i < 20000; ++i) {
        out << "0,32768,32768,32768,32768,32768,65535,0\n";
    }
    return path;
}

// Tells the probe in `folder` to act: the file "action" appears whole.
void Act(const TempFolder& folder, const std::string& action) {
    WriteFileBytes(folder.File("action.new"), {action.begin(), action.end()});
    std::filesystem::rename(folder.File("action.new"), folder.File("action"));
}

class JoyProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
    }
    void TearDown() override { box.Stop(); }

    kinemo::simulator::SimulatedBox box;
    std::string device;
    TempFolder folder;
};

// The ways a start ends: the exit code, the boxes shown (each "box: FIRST
// LINE"), one line on standard error for a refusal, and the settings file as
// it was (or still absent). A run (first start, the joystick box answered,
// COM1 chosen, "LOS!") ends by the way under test with M1 having turned, all
// off on the wire and the settings saved.
TEST_F(JoyProgram, StartCasesAndWaysOutOfARunEndWithTheirExitCodes) {
    const std::string foreign = "KMJ99 from another version";
    const std::string foreignBox =
        "box: Die Einstellungsdatei \"settings.kmj\" wurde von einer anderen Version von "
        "KinemoJoy erzeugt oder ist beschädigt. Alle Einstellungen werden zurückgesetzt und die "
        "Datei wird beim Beenden von KinemoJoy überschrieben.\n";
    const std::string found = "box: Verbindung zum Joystick erfolgreich!\n";
    const std::string ran = found + "running\n";
    struct Case {
        std::vector<std::string> args;  // none: the replay
        std::string file;               // settings.kmj before the start ("" none)
        std::string answers, connect;   // KINEMO_PROBE_ANSWERS and _CONNECT
        std::string way;  // once the output is complete: an action, a signal, "box" SIGTERM
        int exitCode;
        std::string out;
    };
    const Case cases[] = {
        {{}, "", "ok", "connect", "end", 0, ran},
        {{}, "", "ok", "connect", "escape", 0, ran},
        {{}, "", "ok", "connect", "close", 0, ran},
        {{}, "", "ok", "connect", "SIGTERM", 0, ran},
        {{}, "", "ok", "connect", "SIGINT", 0, ran},
        {{}, "", "ok", "connect", "SIGHUP", 0, ran},
        {{}, foreign, "cancel", "", "", 2, foreignBox},
        {{}, foreign, "ok,ok", "cancel", "", 0, foreignBox + found},
        {{}, "", "ok", "cancel", "", 0, found},
        // A signal while a box of the connect dialog is open ends the program
        // as "Abbrechen" does.
        {{}, "", "wait", "", "box", 0, found},
        {{"--unknown"}, "", "", "", "", 2, ""},
        {{"--replay"}, "", "", "", "", 2, ""},
        {{"--replay", "kaputt.replay"}, foreign, "", "", "", 2, ""},
        {{"--replay", "fehlt.replay"}, "", "", "", "", 2, ""},
    };
    const std::string replay = WriteReplay(folder);
    const std::string bad = "# not a replay\n";
    WriteFileBytes(folder.File("kaputt.replay"), {bad.begin(), bad.end()});
    const std::string path = folder.File(kinemo::joy::kSettingsFileName);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers + " " + c.connect + " " + c.way + " " + c.file);
        ::unlink(path.c_str());
        ::unlink(folder.File("action").c_str());
        if (!c.file.empty()) {
            WriteFileBytes(path, std::vector<std::uint8_t>(c.file.begin(), c.file.end()));
        }
        const bool runs = c.out == ran;
        const std::uint64_t turnedBefore = box.Snapshot().motors[0].onTicks;
        Environment environment{{"KINEMO_PROBE_ANSWERS", c.answers},
                                {"KINEMO_PROBE_CONNECT", c.connect},
                                {"KINEMO_PORT_COM1", device},
                                {"QT_QPA_PLATFORM", "offscreen"}};
        if (runs) {
            environment.emplace_back("KINEMO_PROBE_START", "1");
        }
        std::vector<std::string> argv = {KINEMO_JOY_PROBE, "--replay", replay};
        if (!c.args.empty()) {
            argv.resize(1);
            argv.insert(argv.end(), c.args.begin(), c.args.end());
        }
        ChildProcess program(argv, folder.Path(), environment);
        if (!c.way.empty()) {
            ASSERT_TRUE(program.WaitForText(c.out));
        }
        if (runs) {
            ASSERT_TRUE(box.WaitForTicks(box.Snapshot().ticks + 30, std::chrono::seconds(30)));
        }
        if (c.way == "SIGINT" || c.way == "SIGHUP") {
            program.Signal(c.way == "SIGINT" ? SIGINT : SIGHUP);
        } else if (c.way == "SIGTERM" || c.way == "box") {
            program.Signal(SIGTERM);
        } else if (!c.way.empty()) {
            Act(folder, c.way);
        }
        const ProcessResult result = program.Wait();
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(result.out, c.out);
        if (c.exitCode == 2 && c.out.empty()) {
            ASSERT_FALSE(result.err.empty());
            EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        }
        const std::vector<std::uint8_t> saved = ReadFileBytes(path);
        if (runs) {
            EXPECT_GT(box.Snapshot().motors[0].onTicks, turnedBefore);
            EXPECT_EQ(box.Snapshot().outputs, 0U);
            ASSERT_EQ(saved.size(), kinemo::joy::kSettingsFileSize);
            EXPECT_EQ(std::string(saved.begin(), saved.begin() + 5), "KMJ14");
        } else {
            EXPECT_EQ(saved, std::vector<std::uint8_t>(c.file.begin(), c.file.end()));
        }
    }
}

}  // namespace
