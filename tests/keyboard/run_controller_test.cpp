// The control thread through InterfacePort against a pseudo-terminal box.
#include "keyboard/run_controller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <utility>

#include "keyboard/interface_port.h"
#include "keyboard/key_table.h"
#include "tests/keyboard/box_wire.h"
#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"

namespace kinemo::keyboard {
namespace {

using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;
using kinemo::testing::ScopedPortOverride;
using testing::kGenerousMs;
using testing::WaitForWire;
using testing::Words;

// A box on COM1 and the run's end as reported.
struct Rig {
    Rig() : com1("COM1", box.DevicePath()), link(port) { box.StartBox(2, {0x00}); }
    RunEndedCallback Ended() {
        return [this](std::uint32_t number, StopReason why) {
            endedRun.store(number);
            endedReason.store(why);
            ended.Set();
        };
    }
    PtyPeer box;
    ScopedPortOverride com1;
    InterfacePort port;
    PortLink link;
    LiveSettings settings;
    KeyTable table;
    platform::ManualResetEvent ended;
    std::atomic<std::uint32_t> endedRun{0};
    std::atomic<std::uint8_t> endedReason{kNotStopped};
};

TEST(RunController, ARunNeedsAConnectionAndEndingTheControllerStopsARun) {
    Rig rig;
    rig.settings.motors[3].startState.store(kMotorRight);
    {
        RunController controller(rig.link, rig.settings, rig.Ended());
        EXPECT_EQ(controller.Start(), StartResult::kNotConnected);
        EXPECT_TRUE(!controller.Running() && rig.box.Requests().empty());
        ASSERT_TRUE(rig.port.connect(1));
        ASSERT_EQ(controller.Start(), StartResult::kStarted);
        ASSERT_TRUE(WaitForWire(rig.box, [](const auto& r) { return r.size() > 20; }));
    }
    // The destructor waited for the final all-off exchange and reported nothing.
    EXPECT_FALSE(rig.ended.IsSet());
    const std::vector<std::uint8_t> words = Words(rig.box.Requests());
    EXPECT_EQ(std::vector(words.end() - 2, words.end()), (std::vector<std::uint8_t>{0x80, 0x00}));
}

TEST(RunController, EveryRunStartsFromTheStartSettingsAndGetsItsOwnNumber) {
    Rig rig;
    ASSERT_TRUE(rig.port.connect(1));
    rig.table.SetAction(rig.table.Append('s'), kEmergencyStop);
    RunController controller(rig.link, rig.settings, rig.Ended());
    for (std::uint32_t run = 1; run <= 3; ++run) {
        rig.ended.Reset();
        rig.settings.motors[1].startState.store(static_cast<std::uint8_t>(run % 3));
        ASSERT_EQ(controller.Start(), StartResult::kStarted);
        EXPECT_EQ(controller.Variables().state[1].load(), run % 3);
        controller.HandleKey(rig.table, 's');
        ASSERT_TRUE(rig.ended.WaitFor(kGenerousMs));
        EXPECT_EQ(std::pair(rig.endedRun.load(), rig.endedReason.load()),
                  std::pair(run, std::uint8_t{kStopKey}));
        EXPECT_TRUE(controller.WaitUntilIdle(kGenerousMs));
        EXPECT_EQ(rig.box.Requests().back(), (Bytes{0xC1, 0x00}));
        controller.OnRunEnded();
    }
}

}  // namespace
}  // namespace kinemo::keyboard
