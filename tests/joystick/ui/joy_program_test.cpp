// kinemo-joy as a process, played by a replay through its virtual joystick
// against the simulated box with the real line timing: every way out of a
// run ends with all motors off on the wire and the settings saved; the start
// cases end with their exit codes.
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "joystick/joy_texts.h"
#include "joystick/settings_file.h"
#include "simulator/simulated_box.h"
#include "tests/tools/cli_process.h"

namespace {

using namespace kinemo::cli::test;

// The ways a start ends: the exit code, the boxes shown (each "box: FIRST
// LINE"), the one line on standard error of a refusal, and the settings file
// as it was (or still absent). A run (first start, the joystick box answered,
// COM1 chosen, "LOS!", the replay holding X fully left for about a minute)
// ends by the way under test with M1 having turned, all off on the wire and
// the settings saved.
TEST(JoyProgram, StartCasesAndWaysOutOfARunEndWithTheirExitCodes) {
    kinemo::simulator::SimulatedBox box;
    const std::string device = box.Start();
    ASSERT_FALSE(device.empty()) << box.error();
    const TempFolder folder;
    const std::string foreign = "KMJ99 from another version";
    const std::string foreignBox = "box: " + std::string(kinemo::joy::kForeignFileText) + "\n";
    const std::string found = "box: Verbindung zum Joystick erfolgreich!\n";
    const std::string ran = found + "running\n";  // connected and "LOS!" pressed
    const std::string unknown = "kinemo-joy: unbekanntes Argument \"--unknown\"\n";
    const std::vector<std::string> play = {"--replay", "links.replay"};
    struct Case {
        std::vector<std::string> args;
        std::string file;     // settings.kmj before the start ("" none)
        std::string answers;  // KINEMO_PROBE_ANSWERS
        std::string way;      // once the output is complete: "end" ("Ende") or SIGTERM
        int exitCode;
        std::string out;
        std::string err = "";  // the one line on standard error begins so
    };
    const Case cases[] = {
        {play, "", "ok", "end", 0, ran},
        {play, "", "ok", "SIGTERM", 0, ran},
        {play, foreign, "cancel", "", 2, foreignBox},
        // A signal while a box of the connect dialog is open ends the program
        // as "Abbrechen" does.
        {play, "", "wait", "SIGTERM", 0, found},
        {{"--unknown"}, "", "", "", 2, "", unknown},
        {{"--replay", "kaputt.replay"}, foreign, "", "", 2, "", "kaputt.replay:1: Kopfzeile"},
    };
    std::string replay = "# kinemo-joy replay name=\"Probe\" axes=4 buttons=6 hat=1\n";
    for (int i = 0; i < 20000; ++i) {
        replay += "0,32768,32768,32768,32768,32768,65535,0\n";
    }
    WriteFileText(folder.File("links.replay"), replay);
    WriteFileText(folder.File("kaputt.replay"), "# not a replay\n");
    const std::string path = folder.File(kinemo::joy::kSettingsFileName);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers + " " + c.way + " " + c.file);
        ::unlink(path.c_str());
        if (!c.file.empty()) {
            WriteFileText(path, c.file);
        }
        const bool runs = c.out == ran;
        const std::uint64_t turnedBefore = box.Snapshot().motors[0].onTicks;
        ChildProcess program(Command(KINEMO_JOY_PROBE, c.args), folder.Path(),
                             {{"KINEMO_PROBE_ANSWERS", c.answers},
                              {"KINEMO_PORT_COM1", device},
                              {"QT_QPA_PLATFORM", "offscreen"}});
        if (!c.way.empty()) {
            ASSERT_TRUE(program.WaitForText(c.out));
        }
        if (runs) {
            ASSERT_TRUE(box.WaitForTicks(box.Snapshot().ticks + 30, std::chrono::seconds(30)));
        }
        if (c.way == "SIGTERM") {
            program.Signal(SIGTERM);
        } else if (c.way == "end") {
            WriteFileBytes(folder.File("action"), {});  // the probe presses "Ende"
        }
        const ProcessResult result = program.Wait();
        EXPECT_EQ(std::pair(result.exitCode, result.out), std::pair(c.exitCode, c.out))
            << result.err;
        if (!c.err.empty()) {
            EXPECT_EQ(std::pair(result.err.rfind(c.err, 0), result.err.find('\n')),
                      std::pair(0UL, result.err.size() - 1));
        }
        const std::string saved = ReadFileText(path);
        if (runs) {
            EXPECT_EQ(std::tuple(box.Snapshot().motors[0].onTicks > turnedBefore,
                                 int{box.Snapshot().outputs}, saved.size(), saved.substr(0, 5)),
                      std::tuple(true, 0, kinemo::joy::kSettingsFileSize, "KMJ14"));
        } else {
            EXPECT_EQ(saved, c.file);
        }
    }
}

}  // namespace
