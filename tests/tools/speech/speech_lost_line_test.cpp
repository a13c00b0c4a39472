// kinemo-speech-cli when the simulated box's line goes away during a run: the
// control loop ends the run instead of spinning on the dead line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "keyboard/settings_file.h"
#include "simulator/simulated_box.h"
#include "tests/tools/cli_process.h"

namespace kinemo::speech {
namespace {

using std::chrono::milliseconds;

TEST(SpeechLostLine, HangupEndsTheRunWithTheTextAndExitCodeOne) {
    simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
    ASSERT_FALSE(box.Start().empty());
    cli::test::TempFolder folder;
    // Keys come through a pipe the test keeps open, so the input never ends.
    const std::string keys = folder.File("keys");
    ASSERT_EQ(::mkfifo(keys.c_str(), 0600), 0);
    const int keysFd = ::open(keys.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(keysFd, 0);
    cli::test::ChildProcess cli({KINEMO_SPEECH_CLI_PATH, "run", "--port", "COM1"}, folder.Path(),
                                {{"KINEMO_PORT_COM1", box.devicePath()}}, keys);
    ASSERT_TRUE(box.WaitForTicks(20, milliseconds(20000)));
    box.CloseLine();
    const cli::test::ProcessResult result = cli.Wait();
    ::close(keysFd);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "Run\nVerbindung zum Interface verloren\n");
    // The run never writes a settings file.
    EXPECT_NE(::access(folder.File(keyboard::kSettingsFileName).c_str(), F_OK), 0);
}

}  // namespace
}  // namespace kinemo::speech
