// kinemo-speech as a process: how it starts and ends, what the box sees and
// what it leaves in settings.kms.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "keyboard/settings_file.h"
#include "simulator/simulated_box.h"
#include "tests/tools/cli_process.h"

namespace {

using namespace kinemo::cli::test;
using Bytes = std::vector<std::uint8_t>;

// The probe acting as `action` with COM1 at `boxDevice`; its message boxes
// stay open when `keepBoxes`.
ChildProcess Probe(const TempFolder& folder, const std::string& action,
                   const std::string& boxDevice, bool keepBoxes = false) {
    return ChildProcess({KINEMO_SPEECH_PROBE}, folder.Path(),
                        {{"KINEMO_PROBE_ACTION", action},
                         {"KINEMO_PORT_COM1", boxDevice},
                         {"KINEMO_PROBE_KEEP_BOXES", keepBoxes ? "1" : ""},
                         {"QT_QPA_PLATFORM", "offscreen"}});
}

// Every way out of a run ends with all motors off on the wire, exit code 0
// and the settings saved; the next start reads them back. "Abbrechen" ends
// with 0 without saving.
TEST(SpeechProgram, EveryWayOutEndsWithZeroAndAllOffAndSavesUnlessCancelled) {
    const std::pair<const char*, int> ways[] = {
        {"run-ende", 0},  {"run-escape", 0}, {"run-close", 0}, {"run", SIGINT},
        {"run", SIGTERM}, {"run", SIGHUP},   {"cancel", 0}};  // signals sent once the run goes
    kinemo::keyboard::KeyboardSettings runSettings;
    runSettings.start.motors[0].startState = kinemo::keyboard::kMotorRight;
    for (const auto& [action, signal] : ways) {
        SCOPED_TRACE(std::string(action) + " " + std::to_string(signal));
        const bool runs = std::string(action) != "cancel";
        TempFolder folder;
        kinemo::simulator::SimulatedBox box(kinemo::simulator::SimulatedBoxOptions::FastLine());
        const std::string device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
        ChildProcess child = Probe(folder, action, device);
        ASSERT_TRUE(!runs || child.WaitForText("running"));
        if (signal != 0) {
            child.Signal(signal);
        }
        const ProcessResult ended = child.Wait();
        const kinemo::simulator::BoxSnapshot last = box.Snapshot();
        // M1 did turn, and everything is off at the end.
        EXPECT_EQ(std::tuple(ended.exitCode, last.motors[0].onTicks > 0U, last.outputs),
                  std::tuple(0, runs, 0U))
            << ended.err;
        box.Stop();
        EXPECT_EQ(ReadFileBytes(folder.File("settings.kms")),
                  runs ? kinemo::keyboard::EncodeSettings(runSettings) : Bytes{});
        if (runs) {
            const ProcessResult again = Probe(folder, "report-ende", "/nonexistent").Wait();
            EXPECT_EQ(again.exitCode, 0);
            EXPECT_NE(again.out.find("keys 1 m1 2"), std::string::npos) << again.out;
        }
    }
}

// A refused file (which files are refused is the settings file's test) ends
// before any window shows: the message, exit code 1 and the file left as it
// was, also when a signal closes the message box.
TEST(SpeechProgram, RefusedSettingsEndWithOneAndKeepTheFile) {
    const Bytes files[] = {Bytes(kinemo::keyboard::SettingsFileSize(1), 0),  // count 0
                           Bytes{1, 2, 3}};
    for (const Bytes& file : files) {
        SCOPED_TRACE(file.size());
        const bool bySignal = file.size() == 3;  // the box stays open until SIGTERM
        TempFolder folder;
        WriteFileBytes(folder.File("settings.kms"), file);
        ChildProcess child = Probe(folder, "report-ende", "/nonexistent", bySignal);
        ASSERT_TRUE(child.WaitForText(std::string("box: KinemoSpeech: ") +
                                      kinemo::keyboard::kInvalidSettingsMessage));
        if (bySignal) {
            child.Signal(SIGTERM);
        }
        const ProcessResult ended = child.Wait();
        EXPECT_EQ(ended.exitCode, 1) << ended.err;
        EXPECT_EQ(ended.out.find("keys"), std::string::npos);  // no window came up
        EXPECT_EQ(ReadFileBytes(folder.File("settings.kms")), file);
    }
}

}  // namespace
