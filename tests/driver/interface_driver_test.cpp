// The interface driver library through its C calls, against a pseudo-terminal
// box. The test links only the shared library, as the programs do.
#include "driver/interface_driver.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "simulator/simulated_box.h"
#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"

namespace {

using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;
using kinemo::testing::ScopedPortOverride;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

InterfaceRecord RecordOfKind(int32_t kind) {
    InterfaceRecord record{};
    SetInterfaceKind(&record, kind);
    return record;
}

// True when the device can be locked as the driver locks it (nobody holds it).
bool DeviceIsFree(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return free;
}

TEST(InterfaceDriverRecord, KindIsLittleEndianAtOffsetEightAndOnlyItsCallsAreExported) {
    InterfaceRecord record{};
    SetInterfaceKind(&record, 0x01020304);
    EXPECT_EQ(GetInterfaceKind(&record), 0x01020304);
    unsigned char expected[sizeof record.bytes] = {};
    std::memcpy(expected + 8, "\x04\x03\x02\x01", 4);
    EXPECT_EQ(std::memcmp(record.bytes, expected, sizeof expected), 0);
    SetInterfaceKind(nullptr, 2);
    EXPECT_EQ(GetInterfaceKind(nullptr), 0);

    for (const char* name : {"SetInterfaceKind", "GetInterfaceKind", "OpenInterface",
                             "ExchangeWithInterface", "CloseInterface", "InterfaceLineLost"}) {
        EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
    }
    // The serial layer inside stays private.
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "_ZN6kinemo8platform10SerialPort4OpenEPKc"), nullptr);
}

TEST(InterfaceDriverOpen, FailsOnMissingSilentUnmappedAndBadNames) {
    PtyPeer silent;
    ScopedPortOverride com1("COM1", silent.DevicePath());
    ScopedPortOverride com2("COM2", "/dev/kinemo-no-such-port");
    ScopedPortOverride lpt1("LPT1", nullptr);
    InterfaceRecord record = RecordOfKind(INTERFACE_KIND_SEQUENCER);

    const auto start = Clock::now();
    EXPECT_EQ(OpenInterface(&record, "COM1"), INTERFACE_OPEN_FAILED);
    EXPECT_GE(MsSince(start), 750);
    EXPECT_TRUE(DeviceIsFree(silent.DevicePath()));  // closed again
    const char unterminated[8] = {'C', 'O', 'M', '1', 'C', 'O', 'M', '1'};
    for (const char* name : {"COM2", "LPT1", "COM9", "", static_cast<const char*>(nullptr),
                             static_cast<const char*>(unterminated)}) {
        EXPECT_EQ(OpenInterface(&record, name), INTERFACE_OPEN_FAILED) << (name ? name : "null");
    }
    EXPECT_EQ(OpenInterface(nullptr, "COM1"), INTERFACE_OPEN_FAILED);
    // A failed open leaves a record that exchanges nothing.
    EXPECT_EQ(ExchangeWithInterface(&record, 0x55), 0u);
    EXPECT_EQ(silent.Drain(), (Bytes{0xC1, 0x00}));
}

class InterfaceDriverExchange : public ::testing::Test {
  protected:
    void Open(int32_t kind, std::size_t requestSize, const Bytes& answer) {
        box_.StartBox(requestSize, answer);
        record_ = RecordOfKind(kind);
        ASSERT_EQ(OpenInterface(&record_, "COM1"), 0u);
        ASSERT_TRUE(box_.WaitForRequests(1));
    }
    void TearDown() override { CloseInterface(&record_); }

    PtyPeer box_;
    ScopedPortOverride com1_{"COM1", box_.DevicePath()};
    InterfaceRecord record_{};
};

// Every kind opens with an all-off frame, exchanges its frame and closes
// with an all-off frame. Without the module, bits 8-15 have no place on the wire.
TEST_F(InterfaceDriverExchange, EachKindSpeaksItsFrame) {
    struct Case {
        int32_t kind;
        const char* port;
        std::uint32_t output;
        Bytes answer;
        Bytes wire;
        std::uint32_t inputs;
    };
    const Case cases[] = {
        {INTERFACE_KIND_SEQUENCER, "COM1", 0xFF55u, {0x81}, {0xC1, 0x55}, 0x81u},
        {INTERFACE_KIND_SERIAL, "COM1", 0xAAu, {0x7E}, {0xC1, 0xAA}, 0x7Eu},
        {INTERFACE_KIND_PARALLEL, "LPT", 0x0Au, {0x81}, {0xC1, 0x0A}, 0x81u},  // mapped to a line
        // M1-M4 in bits 0-7, M5-M8 in 8-15; E1-E8 back in 0-7, E9-E16 in 8-15.
        {INTERFACE_KIND_SERIAL_EXTENDED, "COM1", 0x1234u, {0x81, 0x02}, {0xC2, 0x34, 0x12}, 0x0281u},
    };
    const ScopedPortOverride lpt("LPT", box_.DevicePath());
    for (const Case& c : cases) {
        const Bytes allOff = c.wire.size() == 3 ? Bytes{0xC2, 0x00, 0x00} : Bytes{0xC1, 0x00};
        const std::size_t before = box_.Requests().size();
        box_.StartBox(c.wire.size(), c.answer);
        record_ = RecordOfKind(c.kind);
        ASSERT_EQ(OpenInterface(&record_, c.port), 0u) << c.kind;
        EXPECT_EQ(GetInterfaceKind(&record_), c.kind);  // the library leaves the kind alone
        EXPECT_EQ(ExchangeWithInterface(&record_, c.output), c.inputs) << c.kind;
        EXPECT_EQ(CloseInterface(&record_), 0u);
        box_.StopBox();
        const std::vector<Bytes> requests = box_.Requests();
        EXPECT_EQ(std::vector<Bytes>(requests.begin() + static_cast<std::ptrdiff_t>(before),
                                     requests.end()),
                  (std::vector<Bytes>{allOff, c.wire, allOff}))
            << c.kind;
    }
}

// A short or a lost answer costs that one tick only and is no lost line.
TEST_F(InterfaceDriverExchange, ShortOrLostAnswerCostsOneTickOnly) {
    Open(INTERFACE_KIND_SERIAL_EXTENDED, 3, {0x00, 0x00});
    box_.SetAnswer({0x81});
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x0101u), 0u);
    box_.SetAnswer({0x03, 0x04});
    box_.SkipAnswers(1);
    const auto start = Clock::now();
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x01), 0u);
    EXPECT_GE(MsSince(start), 750);
    EXPECT_EQ(InterfaceLineLost(&record_), 0);
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x0101u), 0x0403u);
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x02), 0x0403u);
}

TEST_F(InterfaceDriverExchange, BoxGoneGivesNoInputsAndSendsNothingMore) {
    Open(INTERFACE_KIND_SEQUENCER, 2, {0x00});
    EXPECT_EQ(InterfaceLineLost(&record_), 0);
    box_.CloseMaster();
    const auto start = Clock::now();
    for (int tick = 0; tick < 100; ++tick) {
        EXPECT_EQ(ExchangeWithInterface(&record_, 0x55), 0u);
    }
    EXPECT_LT(MsSince(start), 10000);  // no read time-outs waited for
    EXPECT_EQ(InterfaceLineLost(&record_), 1);
    EXPECT_EQ(CloseInterface(&record_), 0u);
    EXPECT_EQ(InterfaceLineLost(&record_), 0);  // closed: nothing to report
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x55), 0u);
}

TEST_F(InterfaceDriverExchange, CloseSwitchesAllOffAndReleasesThePortReopenClosesFirst) {
    Open(INTERFACE_KIND_SEQUENCER, 2, {0x00});
    EXPECT_EQ(OpenInterface(&record_, "COM1"), 0u);  // open again: closes first
    EXPECT_EQ(ExchangeWithInterface(&record_, 0xAA), 0u);
    EXPECT_FALSE(DeviceIsFree(box_.DevicePath()));
    EXPECT_EQ(CloseInterface(&record_), 0u);
    EXPECT_TRUE(DeviceIsFree(box_.DevicePath()));
    // A closed record sends nothing; closing again does nothing.
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x55), 0u);
    EXPECT_EQ(CloseInterface(&record_), 0u);
    box_.StopBox();
    const Bytes off{0xC1, 0x00};
    EXPECT_EQ(box_.Requests(), (std::vector<Bytes>{off, off, off, {0xC1, 0xAA}, off}));
    EXPECT_EQ(box_.Drain(), Bytes{});
}

TEST(InterfaceDriverRecordSafety, UnopenedCopiedAndGarbageRecordsExchangeNothing) {
    PtyPeer box;
    ScopedPortOverride com3("COM3", box.DevicePath());
    box.StartBox(2, {0x00});
    InterfaceRecord zero{};
    EXPECT_EQ(ExchangeWithInterface(&zero, 0x55), 0u);
    EXPECT_EQ(ExchangeWithInterface(nullptr, 0x55), 0u);
    EXPECT_EQ(CloseInterface(&zero), 0u);
    EXPECT_EQ(CloseInterface(nullptr), 0u);

    InterfaceRecord open = RecordOfKind(INTERFACE_KIND_SEQUENCER);
    ASSERT_EQ(OpenInterface(&open, "COM3"), 0u);
    InterfaceRecord copy = open;  // same bytes, another record
    EXPECT_EQ(ExchangeWithInterface(&copy, 0x55), 0u);
    EXPECT_EQ(CloseInterface(&copy), 0u);

    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        InterfaceRecord garbage;
        for (unsigned char& byte : garbage.bytes) {
            byte = static_cast<unsigned char>(random());
        }
        if (round % 3 == 0) {
            std::memcpy(garbage.bytes, open.bytes, 8);  // a valid handle in the wrong record
        }
        EXPECT_EQ(ExchangeWithInterface(&garbage, 0x55), 0u);
        EXPECT_EQ(CloseInterface(&garbage), 0u);
    }
    box.StopBox();
    EXPECT_EQ(box.Requests().size(), 1u);  // only the open's all-off
    box.StartBox(2, {0x42});
    EXPECT_EQ(ExchangeWithInterface(&open, 0x01), 0x42u);  // the real record still works
    CloseInterface(&open);
}

TEST(InterfaceDriverThreads, PlayerExchangingWhileTheConnectThreadOpens) {
    PtyPeer box;
    ScopedPortOverride com4("COM4", box.DevicePath());
    box.SetAnswerDelayMs(50);  // the open takes a while
    box.StartBox(2, {0x24});
    InterfaceRecord record = RecordOfKind(INTERFACE_KIND_SEQUENCER);

    std::atomic<bool> stop{false};
    std::atomic<int> ticksBeforeInputs{0};
    std::atomic<std::uint32_t> lastInputs{0};
    std::thread player([&] {
        while (!stop.load()) {
            const std::uint32_t inputs = ExchangeWithInterface(&record, 0x01);
            lastInputs.store(inputs);
            ticksBeforeInputs.fetch_add(inputs == 0 ? 1 : 0);
        }
    });
    std::thread connect([&] { EXPECT_EQ(OpenInterface(&record, "COM4"), 0u); });
    connect.join();
    box.SetAnswerDelayMs(0);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (lastInputs.load() != 0x24 && Clock::now() < deadline) {
        std::this_thread::yield();
    }
    stop.store(true);
    player.join();
    EXPECT_EQ(lastInputs.load(), 0x24u);
    EXPECT_GT(ticksBeforeInputs.load(), 0);
    CloseInterface(&record);
    box.StopBox();
    const std::vector<Bytes> requests = box.Requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests.front(), (Bytes{0xC1, 0x00}));  // nothing was sent before the open
    EXPECT_EQ(requests.back(), (Bytes{0xC1, 0x00}));
    for (std::size_t i = 1; i + 1 < requests.size(); ++i) {
        EXPECT_EQ(requests[i], (Bytes{0xC1, 0x01})) << i;
    }
}

TEST(InterfaceDriverWithSimulatedBox, ExtensionModuleMotorsAndInputs) {
    kinemo::simulator::SimulatedBox box;  // real line timing
    const std::string device = box.Start();
    ASSERT_FALSE(device.empty()) << box.error();
    ScopedPortOverride com1("COM1", device);
    InterfaceRecord record = RecordOfKind(INTERFACE_KIND_SERIAL_EXTENDED);
    ASSERT_EQ(OpenInterface(&record, "COM1"), 0u);
    EXPECT_EQ(box.Snapshot().lastCommand, 0xC2);
    box.ForceInput(1, kinemo::simulator::InputForce::kOn);
    box.ForceInput(16, kinemo::simulator::InputForce::kOn);
    // M1 left, M8 right.
    EXPECT_EQ(ExchangeWithInterface(&record, 0x8001u), 0x8001u);
    const kinemo::simulator::BoxSnapshot moved = box.Snapshot();
    EXPECT_EQ(moved.motors[0].state, 1);
    EXPECT_EQ(moved.motors[7].state, 2);
    CloseInterface(&record);
    EXPECT_EQ(box.Snapshot().outputs, 0u);  // all off before the port was let go
}

}  // namespace
