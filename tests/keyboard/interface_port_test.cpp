// The keyboard controller's InterfacePort against a pseudo-terminal box.
#include "keyboard/interface_port.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "platform/serial_port.h"
#include "pulse/pulse_generator.h"
#include "simulator/simulated_box.h"
#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"

namespace kinemo::keyboard {
namespace {

using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;
using kinemo::testing::ScopedPortOverride;
using pulse::kMotorLeft;
using pulse::kMotorOff;
using pulse::kMotorRight;
using pulse::MotorState;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Motor output word of M1..M4 driven with these states.
std::uint8_t OutputWord(MotorState m1, MotorState m2, MotorState m3, MotorState m4) {
    return static_cast<std::uint8_t>(pulse::MotorPattern(m1, 0) | pulse::MotorPattern(m2, 1) |
                                     pulse::MotorPattern(m3, 2) | pulse::MotorPattern(m4, 3));
}

// True when nobody holds the device (it can be opened exclusively).
bool DeviceIsFree(const std::string& path) {
    platform::SerialPort probe;
    return probe.Open(path.c_str());
}

TEST(InterfacePortConnect, SendsExactlyOneAllOffRequestAndKeepsThePortOpen) {
    PtyPeer box;
    ScopedPortOverride com1("COM1", box.DevicePath());
    box.StartBox(2, {0x00});
    InterfacePort port;
    EXPECT_TRUE(port.connect(1));
    EXPECT_FALSE(port.readFailed());
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.output(), 0);
    box.StopBox();
    EXPECT_EQ(box.Requests(), std::vector<Bytes>{Bytes({0xC1, 0x00})});
    EXPECT_EQ(box.Drain(), Bytes{});
    EXPECT_FALSE(DeviceIsFree(box.DevicePath()));
}

TEST(InterfacePortConnect, PortNumberThreeOpensTheDeviceMappedForCom3) {
    PtyPeer box;
    ScopedPortOverride com1("COM1", "/dev/kinemo-no-such-port");
    ScopedPortOverride com3("COM3", box.DevicePath());
    box.StartBox(2, {0x00});
    InterfacePort port;
    EXPECT_FALSE(port.connect(1));
    EXPECT_TRUE(port.connect(3));
    EXPECT_TRUE(box.WaitForRequests(1));
}

TEST(InterfacePortConnect, SilentBoxFailsAfterAboutEightHundredMilliseconds) {
    PtyPeer box;
    ScopedPortOverride com2("COM2", box.DevicePath());
    InterfacePort port;
    const auto start = Clock::now();
    EXPECT_FALSE(port.connect(2));
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 750);
    EXPECT_LT(elapsed, 5000);
    EXPECT_TRUE(port.readFailed());
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(DeviceIsFree(box.DevicePath()));  // closed again
    EXPECT_EQ(box.Read(2), (Bytes{0xC1, 0x00}));
}

TEST(InterfacePortConnect, AnswerAfterTheTimeoutFails) {
    PtyPeer box;
    ScopedPortOverride com4("COM4", box.DevicePath());
    box.SetAnswerDelayMs(1500);
    box.StartBox(2, {0x00});
    InterfacePort port;
    EXPECT_FALSE(port.connect(4));
    EXPECT_TRUE(port.readFailed());
}

TEST(InterfacePortConnect, MissingBusyOrUnsuitablePortsFail) {
    PtyPeer box;
    box.StartBox(2, {0x00});
    InterfacePort port;
    {
        ScopedPortOverride missing("COM1", "/dev/kinemo-no-such-port");
        EXPECT_FALSE(port.connect(1));
        EXPECT_TRUE(port.readFailed());  // the test exchange ran on no port
    }
    {
        ScopedPortOverride busy("COM1", box.DevicePath());
        platform::SerialPort holder;
        ASSERT_TRUE(holder.Open(box.DevicePath().c_str()));
        EXPECT_FALSE(port.connect(1));
    }
    {
        // Opens and "answers" (end of file) but has no line settings.
        ScopedPortOverride notALine("COM1", "/dev/null");
        EXPECT_FALSE(port.connect(1));
        EXPECT_FALSE(port.isOpen());
    }
    for (const int number : {0, 5, -1, 12}) {
        EXPECT_FALSE(port.connect(number)) << number;
    }
    EXPECT_TRUE(box.Requests().empty());
}

TEST(InterfacePortConnect, ExchangeWithoutAConnectionSendsNothing) {
    PtyPeer box;
    ScopedPortOverride com1("COM1", box.DevicePath());
    InterfacePort port;
    EXPECT_EQ(port.exchange(0x55), 0);
    EXPECT_TRUE(port.readFailed());
    EXPECT_EQ(port.output(), 0x55);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(box.Drain(), Bytes{});
}

TEST(InterfacePortConnect, FailureIsClearedByTheNextSuccessfulTest) {
    PtyPeer box;
    ScopedPortOverride com1("COM1", box.DevicePath());
    InterfacePort port;
    EXPECT_FALSE(port.connect(1));
    EXPECT_TRUE(port.readFailed());
    box.Drain();
    box.StartBox(2, {0x00});
    EXPECT_TRUE(port.connect(1));
    EXPECT_FALSE(port.readFailed());
}

class InterfacePortExchange : public ::testing::Test {
  protected:
    void SetUp() override {
        box_.StartBox(2, {0x00});
        ASSERT_TRUE(port_.connect(1));
        ASSERT_TRUE(box_.WaitForRequests(1));
    }
    Bytes LastRequest() const { return box_.Requests().back(); }

    PtyPeer box_;
    ScopedPortOverride com1_{"COM1", box_.DevicePath()};
    InterfacePort port_;
};

TEST_F(InterfacePortExchange, MotorStatesGiveTheirRequestBytes) {
    struct Case {
        std::uint8_t output;
        std::uint8_t wire;
    };
    const Case cases[] = {
        {OutputWord(kMotorLeft, kMotorOff, kMotorOff, kMotorOff), 0x01},
        {OutputWord(kMotorOff, kMotorRight, kMotorOff, kMotorOff), 0x08},
        {OutputWord(kMotorRight, kMotorRight, kMotorRight, kMotorRight), 0xAA},
        {OutputWord(kMotorLeft, kMotorLeft, kMotorLeft, kMotorLeft), 0x55},
        {OutputWord(kMotorOff, kMotorOff, kMotorOff, kMotorOff), 0x00},
    };
    std::size_t sent = 1;
    for (const Case& c : cases) {
        port_.exchange(c.output);
        ++sent;
        ASSERT_TRUE(box_.WaitForRequests(sent));
        EXPECT_EQ(LastRequest(), (Bytes{0xC1, c.wire}));
        EXPECT_EQ(port_.output(), c.output);
    }
    EXPECT_FALSE(port_.readFailed());
}

TEST_F(InterfacePortExchange, LostAnswerSetsReadFailedAndTheLoopGoesOn) {
    box_.SkipAnswers(1);
    EXPECT_EQ(port_.exchange(0x01), 0);
    EXPECT_TRUE(port_.readFailed());
    box_.SetAnswer({0x3C});
    EXPECT_EQ(port_.exchange(0x02), 0x3C);
    EXPECT_TRUE(port_.readFailed());  // stays set until the next connection test
}

TEST_F(InterfacePortExchange, BoxGoneReturnsZeroWithoutHanging) {
    box_.CloseMaster();
    EXPECT_EQ(port_.exchange(0x55), 0);
    EXPECT_TRUE(port_.readFailed());
    EXPECT_EQ(port_.exchange(0x00), 0);
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

TEST(InterfacePortWithSimulatedBox, DrivesTheMotorsAndReadsTheInputs) {
    simulator::SimulatedBox box;  // real line timing
    const std::string device = box.Start();
    ASSERT_FALSE(device.empty()) << box.error();
    ScopedPortOverride com2("COM2", device);
    InterfacePort port;
    ASSERT_TRUE(port.connect(2));
    EXPECT_EQ(box.Snapshot().lastCommand, 0xC1);

    port.exchange(OutputWord(kMotorLeft, kMotorRight, kMotorOff, kMotorLeft));
    const simulator::BoxSnapshot moved = box.Snapshot();
    EXPECT_EQ(moved.motors[0].state, kMotorLeft);
    EXPECT_EQ(moved.motors[1].state, kMotorRight);
    EXPECT_EQ(moved.motors[2].state, kMotorOff);
    EXPECT_EQ(moved.motors[3].state, kMotorLeft);

    box.ForceInput(1, simulator::InputForce::kOn);
    box.ForceInput(8, simulator::InputForce::kOn);
    EXPECT_EQ(port.exchange(0), 0x81);
    EXPECT_FALSE(port.readFailed());
    box.Stop();
}

}  // namespace
}  // namespace kinemo::keyboard
