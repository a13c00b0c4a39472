// InterfacePort against a pseudo-terminal box.
#include "keyboard/interface_port.h"

#include <atomic>
#include <thread>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/serial_port.h"
#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"

namespace kinemo::keyboard {
namespace {

using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;
using kinemo::testing::ScopedPortOverride;

bool DeviceIsFree(const std::string& path) {
    platform::SerialPort probe;
    return probe.Open(path.c_str());
}

TEST(InterfacePortConnect, ExchangesNothingUnconnectedAndOpensTheMappedPortWithOneAllOffRequest) {
    PtyPeer box;
    ScopedPortOverride com1("COM1", "/dev/kinemo-no-such-port");
    ScopedPortOverride com3("COM3", box.DevicePath());
    InterfacePort port;
    EXPECT_EQ((std::tuple{port.exchange(0x55), port.readFailed(), port.output()}),
              std::tuple(0, true, 0x55));
    EXPECT_EQ(box.Drain(), Bytes{});
    box.StartBox(2, {0x00});
    EXPECT_FALSE(port.connect(1));
    EXPECT_TRUE(port.readFailed());  // the test exchange ran on no port
    EXPECT_TRUE(port.connect(3));    // which clears it
    EXPECT_EQ(std::tuple(port.readFailed(), port.isOpen(), port.output()),
              std::tuple(false, true, 0));
    box.StopBox();
    EXPECT_EQ(box.Requests(), std::vector<Bytes>{Bytes({0xC1, 0x00})});
    EXPECT_EQ(box.Drain(), Bytes{});
    EXPECT_FALSE(DeviceIsFree(box.DevicePath()));
}

// A silent port is closed again; a late answer and numbers outside 1..4
// fail too (busy and unsuitable devices are the serial layer's).
TEST(InterfacePortConnect, SilentLateOrUnknownPortsFailAndLeaveThePortClosed) {
    PtyPeer silent, box;
    box.SetAnswerDelayMs(1500);
    box.StartBox(2, {0x00});
    ScopedPortOverride com2("COM2", silent.DevicePath());
    ScopedPortOverride com4("COM4", box.DevicePath());
    InterfacePort port;
    EXPECT_FALSE(port.connect(2));
    EXPECT_TRUE(DeviceIsFree(silent.DevicePath()));
    EXPECT_EQ(silent.Read(2), (Bytes{0xC1, 0x00}));
    EXPECT_FALSE(port.connect(4));  // answer after the time-out
    EXPECT_TRUE(port.readFailed());
    for (const int number : {0, 5, -1, 12})
        EXPECT_FALSE(port.connect(number)) << number;
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(box.Requests().size(), 1U);
}

TEST(InterfacePortExchange, SendsTheWordReturnsTheAnswerAndSurvivesLostAnswers) {
    PtyPeer box;
    ScopedPortOverride com1("COM1", box.DevicePath());
    box.StartBox(2, {0x00});
    InterfacePort port;
    ASSERT_TRUE(port.connect(1));
    std::size_t sent = 1;
    for (const std::uint8_t word : Bytes{0x01, 0x08, 0xAA, 0x55, 0x00}) {
        box.SetAnswer({static_cast<std::uint8_t>(~word)});
        EXPECT_EQ(port.exchange(word), static_cast<std::uint8_t>(~word));
        ASSERT_TRUE(box.WaitForRequests(++sent));
        EXPECT_EQ(std::pair(box.Requests().back(), port.output()),
                  std::pair(Bytes{0xC1, word}, word));
    }
    EXPECT_FALSE(port.readFailed());
    // A lost answer reads as no input and sets the flag until the next
    // connection test; so does a box that is gone (without a hang).
    box.SkipAnswers(1);
    EXPECT_EQ((std::tuple{port.exchange(0x01), port.readFailed()}), (std::tuple(0, true)));
    box.SetAnswer({0x3C});
    EXPECT_EQ((std::tuple{port.exchange(0x02), port.readFailed()}), (std::tuple(0x3C, true)));
    box.CloseMaster();
    EXPECT_EQ((std::tuple{port.exchange(0x55), port.readFailed()}), (std::tuple(0, true)));
}

// The box side is played by hand here, with read time-outs long enough that
// no answer is ever late: each step waits for the bytes it expects.
TEST(InterfacePortThreads, ConnectionWaitsForARunningExchangeAndExchangesNeverWait) {
    PtyPeer box;
    ScopedPortOverride com1("COM1", box.DevicePath());
    platform::SerialTimeouts patient;
    patient.readTotalConstantMs = 20000;
    InterfacePort port(patient);
    box.StartBox(2, {0x00});
    ASSERT_TRUE(port.connect(1));
    box.StopBox();

    // An exchange is in flight; a new connection test must not cut into it.
    std::atomic<int> tickInputs{-1};
    std::thread tick([&] { tickInputs.store(port.exchange(0x01)); });
    ASSERT_EQ(box.Read(2), (Bytes{0xC1, 0x01}));
    std::atomic<int> connected{-1};
    std::thread reconnect([&] { connected.store(port.connect(1) ? 1 : 0); });
    EXPECT_EQ(box.Drain(), Bytes{});  // the test waits for the exchange's answer
    ASSERT_TRUE(box.Write({0x42}));
    tick.join();
    EXPECT_EQ(tickInputs.load(), 0x42);

    // While the connection test waits for its answer, a tick returns at once.
    ASSERT_EQ(box.Read(2), (Bytes{0xC1, 0x00}));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.exchange(0x55), 0);
    EXPECT_TRUE(port.readFailed());
    ASSERT_TRUE(box.Write({0x00}));
    reconnect.join();
    EXPECT_EQ(connected.load(), 1);  // the refused tick does not fail the test
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(box.Drain(), Bytes{});  // and it sent nothing
}

}  // namespace
}  // namespace kinemo::keyboard
