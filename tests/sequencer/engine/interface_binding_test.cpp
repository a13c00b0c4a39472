// The driver binding through the real driver library: the connect step on a
// pseudo-terminal box (a run's words on the wire: player_cli_run_test); a run
// on the simulated box when its line goes away (as when an adapter is pulled)
// or only falls silent.
#include "sequencer/engine/interface_binding.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sequencer/engine/run_control.h"
#include "simulator/simulated_box.h"
#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/engine/player_test_support.h"

namespace kinemo::engine {
namespace {

using kinemo::testing::ScopedPortOverride;
using testing::kGenerousWaitMs;

TEST(DriverLink, ConnectReportsEachStepAndOpensTheNamedPort) {
    kinemo::testing::PtyPeer box;
    box.StartBox(2, {0x00});
    ScopedPortOverride com2("COM2", box.DevicePath());
    ScopedPortOverride com3("COM3", "/nonexistent/kinemo-tty");
    std::vector<std::string> texts;
    const auto report = [&](const char* text) { texts.emplace_back(text); };
    DriverLink missing, link;
    EXPECT_FALSE(ConnectInterface(missing, "COM3", report));
    ASSERT_TRUE(ConnectInterface(link, "COM2", report));
    EXPECT_EQ(texts, (std::vector<std::string>{"Baue Verbindung zum Interface auf...\n",
                                               "Keine Verbindung zum Interface!\n",
                                               "Baue Verbindung zum Interface auf...\n",
                                               "Verbindung zum Interface erfolgreich\n"}));
    EXPECT_EQ(GetInterfaceKind(&link.Record()), 40);
    CloseInterface(&link.Record());  // the port is opened once at a time
    // The driver gets a terminated copy of the name: "COM2" out of a longer
    // text, and a name of 8 characters cut to "COM2COM", which names no port.
    const char text[] = "COM2COM3";
    DriverLink part, tooLong;
    EXPECT_TRUE(ConnectInterface(part, std::string_view(text, 4), nullptr));
    EXPECT_FALSE(ConnectInterface(tooLong, text, nullptr));
}

// On the simulated box, M1 left without end so that only a stop or the line
// ends a run. A box that only stops answering is no lost line: the run goes
// on, one read timeout per tick, and NOT-AUS still ends it. When the line goes
// the run ends at once as lost (never "finished"), and so does the next run
// while the box stays gone, without racing through its rows; a box plugged
// back in on the same port is opened again.
TEST(DriverLink, ASilentBoxKeepsTheRunALostLineEndsItAndTheReplugIsOpened) {
    simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
    ASSERT_FALSE(box.Start().empty()) << box.error();
    ScopedPortOverride port("COM1", box.devicePath());
    DriverLink link;
    ASSERT_TRUE(ConnectInterface(link, "COM1", nullptr));
    testing::CountingListener listener;
    RunControl control(link, listener, nullptr);
    testing::SetMovement(control.Movements(), 0, 0, kDirectionLeft, 0);
    const auto startAndWait = [&](simulator::SimulatedBox& on, std::uint64_t ticks) {
        const std::uint64_t before = on.Snapshot().ticks;
        return control.RunList() &&
               on.WaitForTicks(before + ticks, std::chrono::milliseconds(kGenerousWaitMs));
    };
    const auto waitForEnd = [&] {
        EXPECT_TRUE(listener.ended.WaitFor(kGenerousWaitMs));
        listener.ended.Reset();
        control.OnRunEnded();
        return control.LastOutcome();
    };
    ASSERT_TRUE(startAndWait(box, 5));
    box.SetSilent(true);
    for (const std::uint64_t ignored = box.Snapshot().ignoredFrames;
         box.Snapshot().ignoredFrames <= ignored;) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(link.LinkLost());
    control.EmergencyStop();
    EXPECT_EQ(waitForEnd(), RunOutcome::kStopped);
    box.SetSilent(false);
    ASSERT_TRUE(startAndWait(box, 20));            // the box answers again: the same link goes on
    EXPECT_NE(box.Snapshot().outputs & 0x3U, 0U);  // M1 on
    box.CloseLine();
    EXPECT_EQ(waitForEnd(), RunOutcome::kLinkLost);
    EXPECT_TRUE(link.LinkLost());
    box.Stop();
    ASSERT_TRUE(control.RunList());
    EXPECT_EQ(waitForEnd(), RunOutcome::kLinkLost);

    simulator::SimulatedBox replugged(simulator::SimulatedBoxOptions::FastLine());
    ASSERT_FALSE(replugged.Start().empty());
    ScopedPortOverride samePort("COM1", replugged.devicePath());
    ASSERT_TRUE(startAndWait(replugged, 20));
    EXPECT_FALSE(link.LinkLost());
    control.EmergencyStop();
    EXPECT_EQ(waitForEnd(), RunOutcome::kStopped);
    EXPECT_EQ(replugged.Snapshot().outputs, 0U);  // the last word: all off
    CloseInterface(&link.Record());
}

}  // namespace
}  // namespace kinemo::engine
