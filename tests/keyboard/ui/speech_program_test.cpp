// kinemo-speech as a process: how it starts and ends, what the box sees and
// what it leaves in settings.kms.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "keyboard/settings_file.h"
#include "simulator/simulated_box.h"
#include "tests/tools/cli_process.h"

namespace {

using kinemo::cli::test::ChildProcess;
using kinemo::cli::test::ProcessResult;
using kinemo::cli::test::ReadFileBytes;
using kinemo::cli::test::TempFolder;
using kinemo::cli::test::WriteFileBytes;
using Bytes = std::vector<std::uint8_t>;

kinemo::cli::test::Environment ProbeEnvironment(const std::string& action,
                                                const std::string& boxDevice,
                                                bool keepBoxes = false) {
    kinemo::cli::test::Environment environment = {{"KINEMO_PROBE_ACTION", action},
                                                  {"KINEMO_PORT_COM1", boxDevice},
                                                  {"QT_QPA_PLATFORM", "offscreen"}};
    if (keepBoxes) {
        environment.emplace_back("KINEMO_PROBE_KEEP_BOXES", "1");
    }
    return environment;
}

const std::string kInvalidBox =
    std::string("box: KinemoSpeech: ") + kinemo::keyboard::kInvalidSettingsMessage;

// Every way out of a run ends with all motors off on the wire, exit code 0
// and the settings saved; the next start reads them back. "Abbrechen" ends
// with 0 without saving.
TEST(SpeechProgram, EveryWayOutEndsWithZeroAndAllOffAndSavesUnlessCancelled) {
    struct Way {
        const char* action;
        int signal;  // sent by the test once the run goes, 0 for none
    };
    const Way ways[] = {{"run-ende", 0},  {"run-escape", 0}, {"run-close", 0}, {"run", SIGINT},
                        {"run", SIGTERM}, {"run", SIGHUP},   {"cancel", 0}};
    for (const Way& way : ways) {
        SCOPED_TRACE(std::string(way.action) + " " + std::to_string(way.signal));
        const bool runs = std::string(way.action) != "cancel";
        TempFolder folder;
        kinemo::simulator::SimulatedBox box(kinemo::simulator::SimulatedBoxOptions::FastLine());
        const std::string device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
        ChildProcess child({KINEMO_SPEECH_PROBE}, folder.Path(),
                           ProbeEnvironment(way.action, device));
        ASSERT_TRUE(child.Started());
        if (runs) {
            ASSERT_TRUE(child.WaitForText("running"));
        }
        if (way.signal != 0) {
            child.Signal(way.signal);
        }
        const ProcessResult ended = child.Wait();
        EXPECT_EQ(ended.exitCode, 0) << ended.err;
        const kinemo::simulator::BoxSnapshot last = box.Snapshot();
        EXPECT_EQ(last.motors[0].onTicks > 0U, runs);  // M1 did turn
        EXPECT_EQ(last.outputs, 0U);                   // and everything is off at the end
        box.Stop();

        const Bytes saved = ReadFileBytes(folder.File("settings.kms"));
        if (!runs) {
            EXPECT_TRUE(saved.empty());
            continue;
        }
        ASSERT_EQ(saved.size(), kinemo::keyboard::SettingsFileSize(1));
        EXPECT_EQ(saved[0], kinemo::keyboard::kMotorRight);  // M1's start state
        const ProcessResult again = kinemo::cli::test::RunProcess(
            {KINEMO_SPEECH_PROBE}, folder.Path(), ProbeEnvironment("report-ende", "/nonexistent"));
        EXPECT_EQ(again.exitCode, 0);
        EXPECT_NE(again.out.find("keys 1 m1 2"), std::string::npos) << again.out;
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
        ChildProcess child({KINEMO_SPEECH_PROBE}, folder.Path(),
                           ProbeEnvironment("report-ende", "/nonexistent", bySignal));
        ASSERT_TRUE(child.WaitForText(kInvalidBox));
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
