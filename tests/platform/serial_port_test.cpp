// The serial layer against a pseudo-terminal standing in for the box, and
// the map from port names to devices.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/port_map.h"
#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"

namespace kinemo::platform {
namespace {

using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool Prepare(SerialPort& port, const PtyPeer& peer, const SerialTimeouts& timeouts = {}) {
    return port.Open(peer.DevicePath().c_str()) && port.ApplyLineSettings().Ok() &&
           port.SetTimeouts(timeouts);
}

// One exchange of a whole 0xC1 or 0xC2 request; the answer as received.
Bytes Exchange(SerialPort& port, const Bytes& request) {
    std::uint8_t answer[2] = {};
    return Bytes(
        answer, answer + port.Exchange(request.data(), request.size(), answer, request.size() - 1));
}

TEST(PortMap, NamesMapToDefaultsOrToTheirVariableAndUnknownNamesToNothing) {
    const testing::ScopedPortOverride overrides[] = {
        {"COM1", "/dev/ttyUSB0"}, {"COM2", ""},      {"COM3", nullptr},
        {"COM4", "/dev/null"},    {"LPT1", nullptr}, {"LPT2", "/dev/kinemo-no-such-port"},
        {"LPT", "/dev/ttyACM1"}};
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"COM1", "/dev/ttyUSB0"},    {"COM2", std::nullopt},  {"COM3", "/dev/ttyS2"},
        {"COM4", "/dev/null"},       {"LPT1", std::nullopt},  {"LPT3", std::nullopt},
        {"LPT", "/dev/ttyACM1"},     {"COM0", std::nullopt},  {"COM5", std::nullopt},
        {"com1", std::nullopt},      {"COM12", std::nullopt}, {"", std::nullopt},
        {"/dev/ttyS0", std::nullopt}};
    for (const auto& [name, device] : cases) {
        EXPECT_EQ(PortDevicePath(name), device) << name;
    }
    EXPECT_EQ(
        std::tuple(PortDeviceExists("COM4"), PortDeviceExists("LPT2"), PortDeviceExists("COM5")),
        std::tuple(true, false, false));
}

// Exclusive until closed (also for the superuser); a missing device and one
// that is no terminal fail, and nothing after works.
TEST(SerialPortOpen, IsExclusiveAndMissingOrNonTerminalDevicesFail) {
    PtyPeer peer;
    SerialPort first, second, port;
    ASSERT_TRUE(first.Open(peer.DevicePath().c_str()));
    EXPECT_FALSE(second.Open(peer.DevicePath().c_str()) || second.IsOpen());
    first.Close();
    EXPECT_TRUE(second.Open(peer.DevicePath().c_str()));

    for (const char* device : {"/dev/kinemo-no-such-port", "", static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(port.Open(device));
    }
    EXPECT_FALSE(port.ApplyLineSettings().readOk || port.ApplyLineSettings().writeOk ||
                 port.SetTimeouts({}));
    EXPECT_EQ(Exchange(port, {0xC1, 0x00}), Bytes{});
    ASSERT_TRUE(port.Open("/dev/null"));
    EXPECT_FALSE(port.ApplyLineSettings().readOk);
}

// Raw 9600 8N1 without flow control from a cooked line with flow control, so
// line feed, carriage return, XON, XOFF, interrupt and the eighth bit are
// plain data both ways; unrelated settings stay as the device had them.
TEST(SerialPortLine, Raw9600EightNoneOneWithoutFlowControlKeepingTheRest) {
    PtyPeer peer;
    termios settings{};
    const int fd = open(peer.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(tcgetattr(fd, &settings), 0);
    settings.c_iflag |= IXON | IXOFF | ICRNL | ISTRIP | IUTF8;
    settings.c_lflag |= ICANON | ECHO | ISIG;
    settings.c_oflag |= OPOST | ONLCR;
    settings.c_cflag |= PARENB | CSTOPB | CRTSCTS | HUPCL;
    settings.c_cc[VINTR] = 0x05;
    cfsetspeed(&settings, B38400);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &settings), 0);
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.DevicePath().c_str()));
    EXPECT_TRUE(port.ApplyLineSettings().Ok());
    settings = {};
    EXPECT_EQ(tcgetattr(fd, &settings), 0);  // as another user of the line sees them
    close(fd);
    EXPECT_EQ(
        std::vector<unsigned long>(
            {cfgetispeed(&settings), cfgetospeed(&settings), settings.c_cflag & CSIZE,
             settings.c_cflag & (PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD | HUPCL),
             settings.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP | IUTF8),
             settings.c_lflag & (ICANON | ECHO | ISIG), settings.c_oflag & OPOST,
             settings.c_cc[VINTR]}),
        std::vector<unsigned long>({B9600, B9600, CS8, CLOCAL | CREAD | HUPCL, IUTF8, 0, 0, 0x05}));
}

// An answer within the timeout is taken; a silent peer is given up after
// 800 ms, which is no dead line. Bytes beyond a complete answer (noise, an
// echo, the rest of a late answer) never become the next answer.
TEST(SerialPortExchange, TimeoutsAndBytesBeyondACompleteAnswer) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(Prepare(port, peer));
    peer.SetAnswerDelayMs(200);
    peer.StartBox(2, {0x42});
    EXPECT_EQ(Exchange(port, {0xC1, 0x00}), Bytes{0x42});
    peer.SkipAnswers(1);
    const auto start = Clock::now();
    EXPECT_EQ(Exchange(port, {0xC1, 0x00}), Bytes{});
    EXPECT_GE(MsSince(start), 750);
    EXPECT_FALSE(port.LineDead());
    peer.SetAnswerDelayMs(0);
    for (const auto& [request, answer] :
         {std::pair<Bytes, Bytes>{{0xC1, 0x00}, {0x05}}, {{0xC2, 0x00, 0x00}, {0x05, 0x06}}}) {
        Bytes noisy = answer;
        noisy.insert(noisy.end(), {0x99, 0x98});
        peer.StartBox(request.size(), noisy);
        for (int tick = 0; tick < 3; ++tick) {
            EXPECT_EQ(Exchange(port, request), answer) << request.size() << " tick " << tick;
        }
    }
}

// Once a first byte came, silence for the interval ends a read however long
// the total timeout; an answer that comes in pieces with a shorter pause
// between them (as USB adapters hand it on) is read whole.
TEST(SerialPortRead, SilenceEndsTheReadAtTheIntervalShorterPausesDoNot) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(
        Prepare(port, peer, {100, 400, 8000, 400, 400}));  // only the interval ends it in time
    ASSERT_TRUE(peer.Write({0x12}));
    std::uint8_t answer[2] = {0, 0};
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(answer, 2), 1u);
    EXPECT_LT(MsSince(start), 6000);
    EXPECT_EQ(answer[0], 0x12);

    // The pause is what is tested, so it is slept; it is far below the
    // interval, and a late reader that sees both bytes at once still passes.
    ASSERT_TRUE(port.SetTimeouts({3000, 400, 8000, 400, 400}));
    std::thread sender([&peer] {
        peer.Write({0x34});
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        peer.Write({0x56});
    });
    const std::size_t got = port.Read(answer, 2);
    sender.join();
    EXPECT_EQ(Bytes(answer, answer + got), (Bytes{0x34, 0x56}));
}

// A hangup marks the line dead at once (no read timeout waited for) and
// nothing more is sent; closing clears it.
TEST(SerialPortExchange, HangupMarksTheLineDeadAndStopsSending) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(Prepare(port, peer, {400, 400, 20000, 400, 400}));
    peer.CloseMaster();
    const auto start = Clock::now();
    EXPECT_EQ(Exchange(port, {0xC1, 0x00}), Bytes{});
    EXPECT_TRUE(port.LineDead());
    EXPECT_EQ(Exchange(port, {0xC1, 0x00}), Bytes{});
    EXPECT_LT(MsSince(start), 10000);
    port.Close();
    EXPECT_FALSE(port.LineDead());
}

}  // namespace
}  // namespace kinemo::platform
