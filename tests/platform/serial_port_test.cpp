// The serial layer against a pseudo-terminal standing in for the box.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "tests/platform/pty_peer.h"

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

TEST(SerialPortOpen, IsExclusiveUntilClosed) {
    PtyPeer peer;
    SerialPort first;
    SerialPort second;
    ASSERT_TRUE(first.Open(peer.DevicePath().c_str()));
    EXPECT_FALSE(second.Open(peer.DevicePath().c_str()));  // also when run as root
    EXPECT_FALSE(second.IsOpen());
    first.Close();
    EXPECT_TRUE(second.Open(peer.DevicePath().c_str()));
}

// A missing device, and one that is no terminal: nothing after works.
TEST(SerialPortOpen, MissingOrNonTerminalDeviceFailsAndEverythingAfterFails) {
    SerialPort port;
    EXPECT_FALSE(port.Open("/dev/kinemo-no-such-port"));
    EXPECT_FALSE(port.Open(nullptr));
    EXPECT_FALSE(port.Open(""));
    EXPECT_FALSE(port.ApplyLineSettings().readOk);
    EXPECT_FALSE(port.ApplyLineSettings().writeOk);
    EXPECT_FALSE(port.SetTimeouts({}));
    const std::uint8_t request[2] = {0xC1, 0x00};
    std::uint8_t answer = 0;
    EXPECT_EQ(port.Exchange(request, 2, &answer, 1), 0u);
    ASSERT_TRUE(port.Open("/dev/null"));
    EXPECT_FALSE(port.ApplyLineSettings().readOk);
}

TEST(SerialPortLine, Raw9600EightNoneOneWithoutFlowControlKeepingTheRest) {
    PtyPeer peer;
    {
        // Start from a cooked line with flow control and an unrelated flag set.
        const int fd = open(peer.DevicePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios cooked{};
        ASSERT_EQ(tcgetattr(fd, &cooked), 0);
        cooked.c_iflag |= IXON | IXOFF | ICRNL | IUTF8;
        cooked.c_lflag |= ICANON | ECHO | ISIG;
        cooked.c_oflag |= OPOST | ONLCR;
        cooked.c_cflag |= PARENB | CSTOPB | CRTSCTS | HUPCL;
        cooked.c_cc[VINTR] = 0x05;
        cfsetispeed(&cooked, B38400);
        cfsetospeed(&cooked, B38400);
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &cooked), 0);
        close(fd);
    }
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.DevicePath().c_str()));
    EXPECT_TRUE(port.ApplyLineSettings().Ok());
    // The settings as another user of the line sees them.
    termios settings{};
    const int fd = open(peer.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(tcgetattr(fd, &settings), 0);
    close(fd);
    EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B9600));
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    // Unrelated settings stay as the device had them.
    EXPECT_NE(settings.c_iflag & IUTF8, 0u);
    EXPECT_NE(settings.c_cflag & HUPCL, 0u);
    EXPECT_EQ(settings.c_cc[VINTR], 0x05);
}

TEST(SerialPortExchange, BytesPassUnchangedBothWays) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(Prepare(port, peer));
    // Line feed, carriage return, XON, XOFF, interrupt and delete are plain data.
    for (const std::uint8_t value : Bytes{0x0A, 0x0D, 0x11, 0x13, 0x03, 0x7F, 0xFF, 0x00}) {
        peer.StartBox(2, {value});
        const std::uint8_t request[2] = {0xC1, value};
        std::uint8_t answer = 0xEE;
        EXPECT_EQ(port.Exchange(request, 2, &answer, 1), 1u) << int{value};
        EXPECT_EQ(answer, value);
        peer.StopBox();
        ASSERT_FALSE(peer.Requests().empty());
        EXPECT_EQ(peer.Requests().back(), (Bytes{0xC1, value}));
    }
    EXPECT_EQ(peer.Requests().size(), 8u);
    EXPECT_EQ(peer.Drain(), Bytes{});  // no echo, nothing extra
}

// An answer within the timeout is taken; a silent peer is given up after
// 800 ms, which is no dead line.
TEST(SerialPortExchange, AnswerWithinTheTimeoutIsTakenSilenceGivesUpAfter800Ms) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(Prepare(port, peer));
    peer.SetAnswerDelayMs(200);
    peer.StartBox(2, {0x42});
    const std::uint8_t request[2] = {0xC1, 0x00};
    std::uint8_t answer = 0;
    EXPECT_EQ(port.Exchange(request, 2, &answer, 1), 1u);
    EXPECT_EQ(answer, 0x42);
    peer.SkipAnswers(1);
    const auto start = Clock::now();
    EXPECT_EQ(port.Exchange(request, 2, &answer, 1), 0u);
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 750);
    EXPECT_LT(elapsed, 5000);
    EXPECT_FALSE(port.LineDead());
    ASSERT_TRUE(peer.WaitForRequests(2));
}

// Once a first byte came, silence for the interval ends a read however long
// the total timeout; shorter pauses keep it going.
TEST(SerialPortRead, SilenceEndsTheReadAtTheIntervalShortPausesDoNot) {
    PtyPeer peer;
    SerialPort port;
    SerialTimeouts timeouts;
    timeouts.readIntervalMs = 100;        // short interval,
    timeouts.readTotalConstantMs = 8000;  // very long total: only the interval can end it
    ASSERT_TRUE(Prepare(port, peer, timeouts));
    ASSERT_TRUE(peer.Write({0x12}));
    std::uint8_t answer[2] = {0, 0};
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(answer, 2), 1u);
    EXPECT_LT(MsSince(start), 6000);
    EXPECT_EQ(answer[0], 0x12);

    timeouts.readIntervalMs = 3000;  // the pause below stays well within it
    ASSERT_TRUE(port.SetTimeouts(timeouts));
    std::thread sender([&peer] {
        peer.Write({0x34});
        std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the pause on the line
        peer.Write({0x56});
    });
    EXPECT_EQ(port.Read(answer, 2), 2u);
    sender.join();
    EXPECT_EQ(answer[0], 0x34);
    EXPECT_EQ(answer[1], 0x56);
}

// Bytes beyond a complete answer (noise, an echo, the rest of a late answer)
// must not become the next answer, for the one-byte and the two-byte frame.
TEST(SerialPortExchange, BytesBeyondACompleteAnswerAreDropped) {
    struct Case {
        std::size_t requestSize;
        Bytes answerWithNoise;
        std::size_t answerSize;
    };
    for (const Case& c : {Case{2, {0x05, 0x99}, 1}, Case{3, {0x05, 0x06, 0x99, 0x98}, 2}}) {
        PtyPeer peer;
        SerialPort port;
        ASSERT_TRUE(Prepare(port, peer, {}));
        peer.StartBox(c.requestSize, c.answerWithNoise);
        const std::uint8_t request[3] = {
            c.requestSize == 2 ? std::uint8_t{0xC1} : std::uint8_t{0xC2}, 0x00, 0x00};
        for (int tick = 0; tick < 3; ++tick) {
            std::uint8_t answer[2] = {0, 0};
            ASSERT_EQ(port.Exchange(request, c.requestSize, answer, c.answerSize), c.answerSize);
            EXPECT_EQ(answer[0], 0x05) << c.answerSize << " tick " << tick;
            if (c.answerSize == 2) {
                EXPECT_EQ(answer[1], 0x06) << "tick " << tick;
            }
        }
    }
}

TEST(SerialPortExchange, HangupMarksTheLineDeadAndStopsSending) {
    PtyPeer peer;
    SerialPort port;
    SerialTimeouts timeouts;
    timeouts.readTotalConstantMs = 20000;  // a wait for the answer would show
    ASSERT_TRUE(Prepare(port, peer, timeouts));
    peer.CloseMaster();
    const std::uint8_t request[2] = {0xC1, 0x00};
    std::uint8_t answer = 0;
    const auto start = Clock::now();
    EXPECT_EQ(port.Exchange(request, 2, &answer, 1), 0u);
    EXPECT_TRUE(port.LineDead());
    EXPECT_EQ(port.Exchange(request, 2, &answer, 1), 0u);
    EXPECT_LT(MsSince(start), 10000);  // no read timeout was waited for
    port.Close();
    EXPECT_FALSE(port.LineDead());
}

}  // namespace
}  // namespace kinemo::platform
