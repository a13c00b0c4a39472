// A run on the real driver against the simulated box when the line goes away
// (the box's end of the pseudo-terminal closed, as when an adapter is pulled)
// or only falls silent.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/threads.h"
#include "sequencer/engine/interface_binding.h"
#include "sequencer/engine/run_control.h"
#include "simulator/simulated_box.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/tools/cli_process.h"

namespace kinemo::engine {
namespace {

using std::chrono::milliseconds;
constexpr milliseconds kGenerousWait{20000};

class EndedEvent : public RunEndedListener {
  public:
    void PostRunEnded() override { ended.Set(); }
    platform::ManualResetEvent ended;
};

class LostLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(box_->Start().empty()) << box_->error();
        port_ = std::make_unique<testing::ScopedPortOverride>("COM1", box_->devicePath());
        ASSERT_TRUE(ConnectInterface(link_, "COM1", nullptr));
        control_ = std::make_unique<RunControl>(link_, listener_, nullptr);
        // M1 left without end: only a stop or the line ends the run.
        MovementList& list = control_->Movements();
        ResetMovement(list, 0);
        list.records[0].maxDuration = {0, 1, 1, 1};
        list.records[0].maxDurationOn = {0, 1, 1, 1};
        list.records[0].direction[0] = kDirectionLeft;
        list.movementCount = 1;
    }
    void TearDown() override { control_.reset(); }

    // Starts the list and waits until the box has seen `ticks` more exchanges.
    void StartAndWait(simulator::SimulatedBox& box, std::uint64_t ticks) {
        const std::uint64_t before = box.Snapshot().ticks;
        ASSERT_TRUE(control_->RunList());
        ASSERT_TRUE(box.WaitForTicks(before + ticks, kGenerousWait));
    }
    RunOutcome WaitForEnd() {
        EXPECT_TRUE(listener_.ended.WaitFor(static_cast<int>(kGenerousWait.count())));
        listener_.ended.Reset();
        control_->OnRunEnded();
        return control_->LastOutcome();
    }

    std::unique_ptr<simulator::SimulatedBox> box_ =
        std::make_unique<simulator::SimulatedBox>(simulator::SimulatedBoxOptions::FastLine());
    std::unique_ptr<testing::ScopedPortOverride> port_;
    DriverLink link_;
    EndedEvent listener_;
    std::unique_ptr<RunControl> control_;
};

// The line goes: the run ends at once as lost (never "finished"); while the
// box stays gone the next run ends as lost too, without racing through its
// rows; a box plugged back in on the same port is opened again.
TEST_F(LostLineTest, HangupEndsTheRunAndTheNextRunReopensThePort) {
    StartAndWait(*box_, 20);
    EXPECT_NE(box_->Snapshot().outputs & 0x3U, 0U);  // M1 on
    box_->CloseLine();
    EXPECT_EQ(WaitForEnd(), RunOutcome::kLinkLost);
    EXPECT_TRUE(link_.LinkLost());
    box_->Stop();
    ASSERT_TRUE(control_->RunList());
    EXPECT_EQ(WaitForEnd(), RunOutcome::kLinkLost);

    simulator::SimulatedBox replugged(simulator::SimulatedBoxOptions::FastLine());
    ASSERT_FALSE(replugged.Start().empty());
    testing::ScopedPortOverride samePort("COM1", replugged.devicePath());
    StartAndWait(replugged, 20);
    EXPECT_FALSE(link_.LinkLost());
    control_->EmergencyStop();
    EXPECT_EQ(WaitForEnd(), RunOutcome::kStopped);
    EXPECT_EQ(replugged.Snapshot().outputs, 0U);  // the last word: all off
    control_.reset();
    CloseInterface(&link_.Record());
}

// A box that only stops answering is no lost line: the run goes on, one read
// timeout per tick, and NOT-AUS still ends it.
TEST_F(LostLineTest, SilentBoxKeepsTheRunUntilNotAus) {
    StartAndWait(*box_, 5);
    box_->SetSilent(true);
    const std::uint64_t ignored = box_->Snapshot().ignoredFrames;
    while (box_->Snapshot().ignoredFrames < ignored + 1) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(link_.LinkLost());
    control_->EmergencyStop();
    EXPECT_EQ(WaitForEnd(), RunOutcome::kStopped);
    box_->SetSilent(false);
    StartAndWait(*box_, 5);  // the box answers again: the same link goes on
    control_->EmergencyStop();
    EXPECT_EQ(WaitForEnd(), RunOutcome::kStopped);
    EXPECT_EQ(box_->Snapshot().outputs, 0U);
}

// kinemo-cli: the run ends with the text and exit code 1, never "Fertig",
// and the program file is left as it was.
TEST(LostLineCli, HangupEndsTheRunWithTheTextAndExitCodeOne) {
    simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
    ASSERT_FALSE(box.Start().empty());
    cli::test::TempFolder folder;
    const std::string program = folder.File("loop.kmo");
    const std::vector<std::uint8_t> original = cli::test::ReadFileBytes(KINEMO_ENDLESS_LOOP_KMO);
    cli::test::WriteFileBytes(program, original);
    cli::test::ChildProcess cli({KINEMO_CLI_PATH, "run", program, "--port", "COM1", "--loop"},
                                folder.Path(), {{"KINEMO_PORT_COM1", box.devicePath()}});
    ASSERT_TRUE(box.WaitForTicks(20, kGenerousWait));
    box.CloseLine();
    const cli::test::ProcessResult result = cli.Wait();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Verbindung zum Interface verloren\n"), std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("Fertig"), std::string::npos) << result.err;
    EXPECT_EQ(cli::test::ReadFileBytes(program), original);
}

}  // namespace
}  // namespace kinemo::engine
