// The sequencer's driver binding against a pseudo-terminal box, through the
// real driver library.
#include "sequencer/engine/interface_binding.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <tuple>
#include <vector>

#include "sequencer/engine/run_control.h"
#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"

namespace kinemo::engine {
namespace {

using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;
using kinemo::testing::ScopedPortOverride;

constexpr int kGenerousWaitMs = 20000;

struct StatusLog {
    std::vector<std::string> texts;
    ConnectStatus Callback() {
        return [this](const char* text) { texts.emplace_back(text); };
    }
};

class NoListener : public RunEndedListener {
  public:
    void PostRunEnded() override { ++posts; }
    std::atomic<int> posts{0};
};

TEST(ConnectInterface, ReportsEachStepAndOpensTheBoxAsKindForty) {
    PtyPeer box;
    box.StartBox(2, Bytes{0x00});
    ScopedPortOverride com2("COM2", box.DevicePath());
    ScopedPortOverride com3("COM3", "/nonexistent/kinemo-tty");
    for (const auto& [port, connected, last] :
         {std::tuple{"COM2", true, "Verbindung zum Interface erfolgreich\n"},
          {"COM3", false, "Keine Verbindung zum Interface!\n"}}) {
        DriverLink link;
        StatusLog status;
        EXPECT_EQ(ConnectInterface(link, port, status.Callback()), connected);
        EXPECT_EQ(status.texts,
                  (std::vector<std::string>{"Baue Verbindung zum Interface auf...\n", last}));
        if (connected) {
            EXPECT_EQ(GetInterfaceKind(&link.Record()), 40);
            CloseInterface(&link.Record());  // the port is opened once at a time
        }
    }
    // The driver gets a terminated copy of the name: "COM2" out of a longer
    // text, and a name of 8 characters cut to "COM2COM", which names no port.
    const char text[] = "COM2COM3";
    DriverLink link;
    EXPECT_TRUE(ConnectInterface(link, std::string_view(text, 4), nullptr));
    DriverLink tooLong;
    EXPECT_FALSE(ConnectInterface(tooLong, text, nullptr));
}

TEST(DriverLink, ARunPutsTheTimelineOnTheWireAndEndsWithAllOff) {
    PtyPeer box;
    box.StartBox(2, Bytes{0x00});
    ScopedPortOverride port("COM1", box.DevicePath());
    DriverLink link;
    ASSERT_TRUE(ConnectInterface(link, "COM1", nullptr));
    NoListener listener;
    RunControl control(link, listener, nullptr);
    ResetMovement(control.Movements(), 0);
    MovementRecord& record = control.Movements().records[0];
    record.direction[1] = kDirectionRight;
    record.maxDuration = {1, 4, 1, 1};
    ASSERT_TRUE(control.RunList());
    ASSERT_TRUE(control.WaitUntilIdle(kGenerousWaitMs));
    control.OnRunEnded();
    ASSERT_TRUE(box.WaitForRequests(7));
    // The opening test exchange, the run's first exchange, three ticks of M2
    // right, the tick that stops it, the run's last exchange, and the all-off
    // of the window's end-of-run handler.
    const std::vector<Bytes> expected = {{0xC1, 0x00}, {0xC1, 0x00}, {0xC1, 0x08}, {0xC1, 0x08},
                                         {0xC1, 0x08}, {0xC1, 0x00}, {0xC1, 0x00}, {0xC1, 0x00}};
    ASSERT_TRUE(box.WaitForRequests(expected.size()));
    EXPECT_EQ(box.Requests(), expected);
    EXPECT_EQ(listener.posts.load(), 1);
}

}  // namespace
}  // namespace kinemo::engine
