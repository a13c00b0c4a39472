// The interface driver library through its C calls, against a pseudo-terminal
// box. The test links only the shared library, as the programs do. (How long
// an unanswered or hung-up exchange takes: the serial layer's tests.)
#include "driver/interface_driver.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <tuple>

#include <gtest/gtest.h>

#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"

namespace {

using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;
using kinemo::testing::ScopedPortOverride;

const Bytes kOff{0xC1, 0x00};

InterfaceRecord RecordOfKind(int32_t kind) {
    InterfaceRecord record{};
    SetInterfaceKind(&record, kind);
    return record;
}

// True when the device can be locked as the driver locks it (nobody holds it).
bool DeviceIsFree(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

TEST(InterfaceDriverRecord, KindIsLittleEndianAtOffsetEightAndOnlyItsCallsAreExported) {
    const InterfaceRecord record = RecordOfKind(0x01020304);
    unsigned char expected[sizeof record.bytes] = {};
    std::memcpy(expected + 8, "\x04\x03\x02\x01", 4);
    EXPECT_EQ(std::memcmp(record.bytes, expected, sizeof expected), 0);
    SetInterfaceKind(nullptr, 2);
    EXPECT_EQ(std::pair(GetInterfaceKind(&record), GetInterfaceKind(nullptr)),
              std::pair(0x01020304, 0));
    for (const char* name : {"SetInterfaceKind", "GetInterfaceKind", "OpenInterface",
                             "ExchangeWithInterface", "CloseInterface", "InterfaceLineLost"}) {
        EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
    }
    // The serial layer inside stays private.
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "_ZN6kinemo8platform10SerialPort4OpenEPKc"), nullptr);
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

// The box on COM1 is silent here.
TEST_F(InterfaceDriverExchange, OpenFailsOnMissingSilentUnmappedAndBadNames) {
    ScopedPortOverride com2("COM2", "/dev/kinemo-no-such-port");
    ScopedPortOverride lpt1("LPT1", nullptr);
    record_ = RecordOfKind(INTERFACE_KIND_SEQUENCER);
    EXPECT_EQ(OpenInterface(&record_, "COM1"), INTERFACE_OPEN_FAILED);
    EXPECT_TRUE(DeviceIsFree(box_.DevicePath()));  // closed again
    const char unterminated[8] = {'C', 'O', 'M', '1', 'C', 'O', 'M', '1'};
    for (const char* name : {"COM2", "LPT1", "COM9", "", static_cast<const char*>(nullptr),
                             static_cast<const char*>(unterminated)}) {
        EXPECT_EQ(OpenInterface(&record_, name), INTERFACE_OPEN_FAILED) << (name ? name : "null");
    }
    EXPECT_EQ(OpenInterface(nullptr, "COM1"), INTERFACE_OPEN_FAILED);
    // A failed open leaves a record that exchanges nothing.
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x55), 0u);
    EXPECT_EQ(box_.Drain(), kOff);
}

// Every kind opens with an all-off frame, exchanges its frame and closes
// with an all-off frame. Without the module, bits 8-15 have no place on the
// wire; with it, M5-M8 and E9-E16 go in bits 8-15. The kind stays as set.
TEST_F(InterfaceDriverExchange, EachKindSpeaksItsFrame) {
    const ScopedPortOverride lpt("LPT", box_.DevicePath());
    const std::tuple<int32_t, const char*, std::uint32_t, Bytes, Bytes, std::uint32_t> cases[] = {
        {INTERFACE_KIND_SEQUENCER, "COM1", 0xFF55u, {0x81}, {0xC1, 0x55}, 0x81u},
        {INTERFACE_KIND_SERIAL, "COM1", 0xAAu, {0x7E}, {0xC1, 0xAA}, 0x7Eu},
        {INTERFACE_KIND_PARALLEL, "LPT", 0x0Au, {0x81}, {0xC1, 0x0A}, 0x81u},  // mapped to a line
        {INTERFACE_KIND_SERIAL_EXTENDED,
         "COM1",
         0x1234u,
         {0x81, 0x02},
         {0xC2, 0x34, 0x12},
         0x0281u},
    };
    for (const auto& [kind, port, output, answer, wire, inputs] : cases) {
        const Bytes allOff = wire.size() == 3 ? Bytes{0xC2, 0x00, 0x00} : kOff;
        const std::size_t before = box_.Requests().size();
        box_.StartBox(wire.size(), answer);
        record_ = RecordOfKind(kind);
        ASSERT_EQ(OpenInterface(&record_, port), 0u) << kind;
        EXPECT_EQ(ExchangeWithInterface(&record_, output), inputs) << kind;
        EXPECT_EQ(CloseInterface(&record_) + static_cast<std::uint32_t>(GetInterfaceKind(&record_)),
                  static_cast<std::uint32_t>(kind));
        box_.StopBox();
        const std::vector<Bytes> requests = box_.Requests();
        EXPECT_EQ(std::vector<Bytes>(requests.begin() + static_cast<std::ptrdiff_t>(before),
                                     requests.end()),
                  (std::vector<Bytes>{allOff, wire, allOff}))
            << kind;
    }
}

// A short or a lost answer costs that one tick only and is no lost line.
TEST_F(InterfaceDriverExchange, ShortOrLostAnswerCostsOneTickOnly) {
    Open(INTERFACE_KIND_SERIAL_EXTENDED, 3, {0x00, 0x00});
    box_.SetAnswer({0x81});
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x0101u), 0u);
    box_.SetAnswer({0x03, 0x04});
    box_.SkipAnswers(1);
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x01), 0u);
    EXPECT_EQ(InterfaceLineLost(&record_), 0);
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x0101u), 0x0403u);
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x02), 0x0403u);
}

// Opening again closes first; close switches all off and lets the port go;
// a closed record sends nothing and closing it again does nothing. A hung-up
// line is lost, and nothing more is sent on it.
TEST_F(InterfaceDriverExchange, ReopenCloseAndAHungUpLine) {
    Open(INTERFACE_KIND_SEQUENCER, 2, {0x00});
    EXPECT_EQ(OpenInterface(&record_, "COM1"), 0u);
    EXPECT_EQ(ExchangeWithInterface(&record_, 0xAA), 0u);
    EXPECT_FALSE(DeviceIsFree(box_.DevicePath()));
    EXPECT_EQ(CloseInterface(&record_), 0u);
    EXPECT_TRUE(DeviceIsFree(box_.DevicePath()));
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x55) + CloseInterface(&record_), 0u);
    box_.StopBox();
    EXPECT_EQ(box_.Requests(), (std::vector<Bytes>{kOff, kOff, kOff, {0xC1, 0xAA}, kOff}));
    EXPECT_EQ(box_.Drain(), Bytes{});

    Open(INTERFACE_KIND_SEQUENCER, 2, {0x00});
    EXPECT_EQ(InterfaceLineLost(&record_), 0);
    box_.CloseMaster();
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x55) + ExchangeWithInterface(&record_, 0x55), 0u);
    EXPECT_EQ(InterfaceLineLost(&record_), 1);
    EXPECT_EQ(CloseInterface(&record_), 0u);
    EXPECT_EQ(InterfaceLineLost(&record_), 0);  // closed: nothing to report
}

// Unopened, copied and random records (some holding a valid handle) neither
// exchange nor close anything; the real record still works afterwards.
TEST_F(InterfaceDriverExchange, UnopenedCopiedAndGarbageRecordsExchangeNothing) {
    InterfaceRecord zero{};
    EXPECT_EQ(ExchangeWithInterface(&zero, 0x55) + ExchangeWithInterface(nullptr, 0x55) +
                  CloseInterface(&zero) + CloseInterface(nullptr),
              0u);
    Open(INTERFACE_KIND_SEQUENCER, 2, {0x00});
    InterfaceRecord copy = record_;
    EXPECT_EQ(ExchangeWithInterface(&copy, 0x55) + CloseInterface(&copy), 0u);
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        InterfaceRecord garbage;
        for (unsigned char& byte : garbage.bytes) {
            byte = static_cast<unsigned char>(random());
        }
        if (round % 3 == 0) {
            std::memcpy(garbage.bytes, record_.bytes, 8);  // a valid handle in the wrong record
        }
        EXPECT_EQ(ExchangeWithInterface(&garbage, 0x55) + CloseInterface(&garbage), 0u);
    }
    box_.SetAnswer({0x42});
    EXPECT_EQ(ExchangeWithInterface(&record_, 0x01), 0x42u);
    box_.StopBox();
    EXPECT_EQ(box_.Requests(), (std::vector<Bytes>{kOff, {0xC1, 0x01}}));
}

// The player exchanges while the connect thread opens: nothing goes out
// before the open's all-off, every tick after it is the player's frame.
TEST_F(InterfaceDriverExchange, PlayerExchangingWhileTheConnectThreadOpens) {
    box_.SetAnswerDelayMs(50);  // the open takes a while
    box_.StartBox(2, {0x24});
    record_ = RecordOfKind(INTERFACE_KIND_SEQUENCER);
    int ticks = 0;  // both read after the join
    std::uint32_t inputs = 0;
    std::thread player([&] {
        for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
             inputs != 0x24 && std::chrono::steady_clock::now() < deadline; ++ticks) {
            inputs = ExchangeWithInterface(&record_, 0x01);
        }
    });
    EXPECT_EQ(OpenInterface(&record_, "COM1"), 0u);
    box_.SetAnswerDelayMs(0);
    player.join();
    EXPECT_EQ(std::pair(inputs, ticks > 1), std::pair(0x24u, true));
    CloseInterface(&record_);
    box_.StopBox();
    std::vector<Bytes> expected(box_.Requests().size(), Bytes{0xC1, 0x01});
    expected.front() = expected.back() = kOff;
    EXPECT_EQ(box_.Requests(), expected);
}

}  // namespace
