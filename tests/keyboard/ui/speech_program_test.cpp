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

kinemo::cli::test::Environment ProbeEnvironment(const std::string& action,
                                                const std::string& boxDevice) {
    return {{"KINEMO_PROBE_ACTION", action},
            {"KINEMO_PORT_COM1", boxDevice},
            {"QT_QPA_PLATFORM", "offscreen"}};
}

ProcessResult RunProbe(const std::string& action, const std::string& folder,
                       const std::string& boxDevice = "/nonexistent") {
    return kinemo::cli::test::RunProcess({KINEMO_SPEECH_PROBE}, folder,
                                         ProbeEnvironment(action, boxDevice));
}

const std::string kInvalidBox =
    std::string("box: KinemoSpeech: ") + kinemo::keyboard::kInvalidSettingsMessage;

// Every way out of a run ends with all motors off on the wire, exit code 0
// and the settings saved; the next start reads them back.
TEST(SpeechProgram, EveryWayOutOfARunSwitchesOffSavesAndEndsWithZero) {
    struct Way {
        const char* action;
        int signal;  // sent by the test once the run goes, 0 for none
    };
    const Way ways[] = {{"run-ende", 0}, {"run-escape", 0}, {"run-close", 0},
                        {"run", SIGINT}, {"run", SIGTERM},  {"run", SIGHUP}};
    for (const Way& way : ways) {
        SCOPED_TRACE(std::string(way.action) + " " + std::to_string(way.signal));
        TempFolder folder;
        kinemo::simulator::SimulatedBox box(kinemo::simulator::SimulatedBoxOptions::FastLine());
        const std::string device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
        ChildProcess child({KINEMO_SPEECH_PROBE}, folder.Path(),
                           ProbeEnvironment(way.action, device));
        ASSERT_TRUE(child.Started());
        ASSERT_TRUE(child.WaitForText("running"));
        if (way.signal != 0) {
            child.Signal(way.signal);
        }
        const ProcessResult ended = child.Wait();
        EXPECT_EQ(ended.exitCode, 0) << ended.err;
        const kinemo::simulator::BoxSnapshot last = box.Snapshot();
        EXPECT_GT(last.motors[0].onTicks, 0U);  // M1 did turn
        EXPECT_EQ(last.outputs, 0U);            // and everything is off at the end
        box.Stop();

        const std::vector<std::uint8_t> saved = ReadFileBytes(folder.File("settings.kms"));
        ASSERT_EQ(saved.size(), kinemo::keyboard::SettingsFileSize(1));
        EXPECT_EQ(saved[0], kinemo::keyboard::kMotorRight);  // M1's start state

        const ProcessResult again = RunProbe("report-ende", folder.Path());
        EXPECT_EQ(again.exitCode, 0);
        EXPECT_NE(again.out.find("keys 1 m1 2"), std::string::npos) << again.out;
    }
}

TEST(SpeechProgram, CancelEndsWithZeroWithoutSaving) {
    TempFolder folder;
    const ProcessResult ended = RunProbe("cancel", folder.Path());
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    EXPECT_TRUE(ReadFileBytes(folder.File("settings.kms")).empty());
}

// Counts 0 and 256 and a truncated file are refused before any window shows:
// the message, exit code 1 and the file left as it was.
TEST(SpeechProgram, RefusedSettingsEndWithOneAndKeepTheFile) {
    std::vector<std::uint8_t> valid(kinemo::keyboard::SettingsFileSize(1), 0);
    valid[88] = 1;
    auto withCount = [&valid](int count) {
        std::vector<std::uint8_t> bytes = valid;
        for (int b = 0; b < 4; ++b) {
            bytes[88 + b] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(count) >> (8 * b));
        }
        return bytes;
    };
    const std::vector<std::vector<std::uint8_t>> files = {
        withCount(0), withCount(256), withCount(-1),
        std::vector<std::uint8_t>(valid.begin(), valid.end() - 1)};
    for (const std::vector<std::uint8_t>& file : files) {
        SCOPED_TRACE(file.size());
        TempFolder folder;
        WriteFileBytes(folder.File("settings.kms"), file);
        const ProcessResult ended = RunProbe("report-ende", folder.Path());
        EXPECT_EQ(ended.exitCode, 1) << ended.err;
        EXPECT_NE(ended.out.find(kInvalidBox), std::string::npos) << ended.out;
        EXPECT_EQ(ended.out.find("keys"), std::string::npos);  // no window came up
        EXPECT_EQ(ReadFileBytes(folder.File("settings.kms")), file);
    }
}

// A signal while the refusal box is up closes it; the exit code stays 1.
TEST(SpeechProgram, SignalDuringTheRefusalBoxEndsWithOne) {
    TempFolder folder;
    WriteFileBytes(folder.File("settings.kms"), {1, 2, 3});
    kinemo::cli::test::Environment environment = ProbeEnvironment("report-ende", "/nonexistent");
    environment.emplace_back("KINEMO_PROBE_KEEP_BOXES", "1");
    ChildProcess child({KINEMO_SPEECH_PROBE}, folder.Path(), environment);
    ASSERT_TRUE(child.WaitForText(kInvalidBox));
    child.Signal(SIGTERM);
    const ProcessResult ended = child.Wait();
    EXPECT_EQ(ended.exitCode, 1) << ended.err;
    EXPECT_EQ(ReadFileBytes(folder.File("settings.kms")), (std::vector<std::uint8_t>{1, 2, 3}));
}

}  // namespace
