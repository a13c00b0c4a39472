// The simulated box through a real pseudo-terminal and the programs' own
// serial layer.
#include "simulator/simulated_box.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/serial_port.h"
#include "simulator/line_latency.h"
#include "simulator/pseudo_terminal.h"
#include "tests/simulator/line_client.h"

namespace kinemo::simulator {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::SerialPort;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool Prepare(SerialPort& port, const std::string& path) {
    return port.Open(path.c_str()) && port.ApplyLineSettings().Ok() && port.SetTimeouts({});
}

// One exchange of a whole 0xC1 or 0xC2 request; the answer as received.
Bytes Exchange(SerialPort& port, const Bytes& request) {
    std::uint8_t answer[2] = {};
    return Bytes(
        answer, answer + port.Exchange(request.data(), request.size(), answer, request.size() - 1));
}

// Polls until `done` holds, for a generous 30 s.
bool Eventually(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + 30s;
    while (!done() && Clock::now() < deadline) {
        std::this_thread::sleep_for(2ms);
    }
    return done();
}

int ExclusiveMode(const std::string& path) {
    testing::LineClient probe(path);
    int exclusive = -1;
    ::ioctl(probe.fd(), TIOCGEXCL, &exclusive);
    return exclusive;
}

// The trace with the us column cut out; that column in `us`.
std::string ReadTrace(const std::string& path, std::vector<long long>* us = nullptr) {
    std::ifstream in(path);
    std::string text;
    for (std::string line; std::getline(in, line);) {
        const std::size_t a = line.find(','), b = line.find(',', a + 1);
        if (us != nullptr && !text.empty()) {
            us->push_back(std::stoll(line.substr(a + 1, b - a - 1)));
        }
        text += (text.empty() ? line : line.substr(0, a) + line.substr(b)) + "\n";
    }
    return text;
}

class BoxOnLine : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(path_.empty()) << box_.error();
        ASSERT_TRUE(Prepare(port_, path_));
    }
    Bytes X(const Bytes& request) { return Exchange(port_, request); }

    SimulatedBox box_{SimulatedBoxOptions::FastLine()};
    std::string path_ = box_.Start();
    SerialPort port_;
};

// Each answer carries the inputs after that tick's motion (the carriages
// themselves: the model's tests); a reopened line keeps the model, a reset
// puts it back.
TEST_F(BoxOnLine, AnswersWithTheInputsAfterEachTick) {
    std::vector<Bytes> answers, expected(7, Bytes{0x00, 0x00});
    for (int tick = 0; tick < 8; ++tick) {
        answers.push_back(X({0xC2, 0x02, 0x01}));  // M1 right, M5 left
    }
    expected.push_back({0x01, 0x01});
    EXPECT_EQ(answers, expected);
    EXPECT_EQ(X({0xC1, 0x00}), Bytes{0x01});  // a box frame leaves M5 still
    BoxSnapshot s = box_.Snapshot();
    EXPECT_EQ(std::vector<int>({s.motors[0].position, s.motors[4].position, s.motors[4].state,
                                s.modelInputs, s.lastCommand, static_cast<int>(s.ticks)}),
              std::vector<int>({1008, 992, 0, 0x0101, 0xC1, 9}));

    box_.ForceInput(0, InputForce::kOn);   // no inputs (holding and releasing
    box_.ForceInput(17, InputForce::kOn);  // them: the window's buttons)
    EXPECT_EQ(box_.Snapshot().forcedMask, 0);

    port_.Close();
    ASSERT_TRUE(Prepare(port_, path_));
    EXPECT_EQ(X({0xC1, 0x02}), Bytes{0x01});  // 1009
    box_.RequestModelReset();
    EXPECT_EQ(X({0xC1, 0x02}), Bytes{0x00});  // 1001
}

// A silent box neither answers nor moves; dropped answer bytes give short
// answers while the model still runs; a late answer misses a short read but
// reaches a patient one. (A closed line: the lost-line tests of the players.)
TEST_F(BoxOnLine, FaultsGiveNoShortLateOrNoMoreAnswers) {
    ASSERT_TRUE(port_.SetTimeouts({100, 100, 100, 100, 100}));
    auto seen = [&] {
        const BoxSnapshot s = box_.Snapshot();
        return std::tuple(s.ignoredFrames, s.motors[0].position, s.ticks);
    };
    box_.SetSilent(true);
    EXPECT_EQ(X({0xC1, 0x02}), Bytes{});
    EXPECT_EQ(seen(), std::tuple(1u, 1000, 0u));
    box_.SetSilent(false);
    EXPECT_EQ(X({0xC1, 0x02}), Bytes{0x00});

    box_.ForceInput(5, InputForce::kOn);
    box_.ForceInput(13, InputForce::kOn);
    box_.SetAnswerBytesDropped(1);
    EXPECT_EQ(X({0xC1, 0x00}), Bytes{});
    EXPECT_EQ(X({0xC2, 0x00, 0x00}), Bytes{0x10});
    box_.SetAnswerBytesDropped(0);
    EXPECT_EQ(X({0xC2, 0x00, 0x00}), (Bytes{0x10, 0x10}));
    EXPECT_EQ(seen(), std::tuple(1u, 1001, 4u));

    box_.SetAnswerDelayMs(400);
    EXPECT_EQ(X({0xC1, 0x00}), Bytes{});
    ASSERT_TRUE(port_.SetTimeouts({}));
    std::uint8_t late = 0xFF;
    EXPECT_EQ(port_.Read(&late, 1), 1u);
    EXPECT_EQ(late, 0x10);
}

// Random bytes without the module command, ending in a whole frame: every
// byte is skipped or part of a frame, each frame answered, and the box
// goes on answering.
TEST_F(BoxOnLine, RandomNoiseOnTheLineDoesNotStopTheBox) {
    Bytes noise(4098);
    std::uint32_t x = 12345;
    for (std::uint8_t& b : noise) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16) == 0xC2 ? 0x42 : static_cast<std::uint8_t>(x >> 16);
    }
    noise.end()[-2] = 0xC1;
    noise.back() = 0x00;
    ASSERT_EQ(port_.Write(noise.data(), noise.size()), noise.size());
    auto accounted = [&] { return 2 * box_.Snapshot().ticks + box_.Snapshot().skippedBytes; };
    ASSERT_TRUE(Eventually([&] { return accounted() >= noise.size(); }));
    ASSERT_EQ(accounted(), noise.size());
    Bytes answers(box_.Snapshot().ticks);
    for (std::size_t got = 0, n = 1; got < answers.size() && n > 0; got += n) {
        n = port_.Read(answers.data() + got, answers.size() - got);
        ASSERT_GT(n, 0u) << got << " of " << answers.size();
    }
    box_.ForceInput(7, InputForce::kOn);
    EXPECT_EQ(X({0xC1, 0x00}), Bytes{static_cast<std::uint8_t>(box_.Snapshot().PresentInputs())});
}

// A live program's lock keeps its exclusive mode however often the idle box
// looks for a stale one; a program that died without closing leaves it
// behind, which would refuse every later open by a normal user.
TEST_F(BoxOnLine, ExclusiveModeOfADeadProgramIsClearedButNotThatOfALiveOne) {
    PseudoTerminal line;
    std::string error;
    ASSERT_TRUE(line.Open(&error)) << error;
    SerialPort live;
    ASSERT_TRUE(live.Open(line.slavePath().c_str()));
    line.ReleaseStaleExclusiveMode();
    EXPECT_EQ(ExclusiveMode(line.slavePath()), 1);
    live.Close();
    EXPECT_EQ(ExclusiveMode(line.slavePath()), 0);

    port_.Close();
    {
        testing::LineClient crashed(path_);
        ASSERT_EQ(::ioctl(crashed.fd(), TIOCEXCL), 0);
    }
    EXPECT_TRUE(Eventually([&] { return ExclusiveMode(path_) == 0; }));
}

// One CSV line per exchange, flushed while the box runs. With a USB
// adapter's latency timer an answer leaves at the timer's next expiry after
// it is due, so a program that sends its next request as soon as it has an
// answer gets one exchange per 8 ms period. A trace that cannot be written
// refuses the start.
TEST(BoxTrace, WritesEachExchangeAndAnswersAtTheUsbTimersExpiry) {
    const std::int64_t expiries[][4] = {{3125, 0, 16, 16000},  {16000, 0, 16, 32000},
                                        {16001, 0, 16, 32000}, {100, 50, 1, 1050},
                                        {-5, 0, 16, 0},        {4242, 0, 0, 4242}};
    for (const auto& [due, epoch, ms, expiry] : expiries) {
        EXPECT_EQ(UsbTimerExpiryUs(due, epoch, static_cast<int>(ms)), expiry) << due << " " << ms;
    }
    SimulatedBoxOptions options = SimulatedBoxOptions::FastLine();
    options.tracePath = ::testing::TempDir() + "/sim_trace.csv";
    options.usbLatencyMs = 8;
    SimulatedBox box(options);
    testing::LineClient client(box.Start());
    box.ForceInput(8, InputForce::kOn);
    EXPECT_EQ(client.Exchange({0xC1, 0x02}, 1), Bytes{0x80});
    box.ForceInput(15, InputForce::kOn);
    EXPECT_EQ(client.Exchange({0xC2, 0x0A, 0x41}, 2), (Bytes{0x80, 0x40}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(client.Exchange({0xC1, 0x00}, 1), Bytes{0x80});
    }
    const std::string expected =
        "tick,us,cmd,out1,out2,in1,in2\n1,C1,02,,80,\n2,C2,0A,41,80,40\n3,C1,00,,80,\n"
        "4,C1,00,,80,\n5,C1,00,,80,\n6,C1,00,,80,\n";
    EXPECT_TRUE(Eventually([&] { return ReadTrace(options.tracePath) == expected; }));
    std::vector<long long> us;
    EXPECT_EQ(ReadTrace(options.tracePath, &us), expected);
    for (std::size_t k = 1; k < us.size(); ++k) {
        EXPECT_GT(us[k] / 8000, us[k - 1] / 8000) << "exchange " << k;
    }

    options.tracePath = "/nonexistent-dir/trace.csv";
    SimulatedBox refused(options);
    EXPECT_EQ(refused.Start(), "");
    EXPECT_NE(refused.error().find("/nonexistent-dir/trace.csv"), std::string::npos);
    EXPECT_FALSE(refused.running());
}

// 30 bit times per 0xC1 exchange, 50 per 0xC2 exchange, at 9600 baud. With
// the pseudo-terminal's measured delays corrected, an answer still never
// leaves sooner than the line time less those two delays. Measuring leaves
// the device as it was: not exclusive, nothing waiting.
TEST(BoxLineTiming, AnswersNoSoonerThanTheLineAllows) {
    for (const bool correct : {false, true}) {
        SCOPED_TRACE(correct ? "corrected" : "uncorrected");
        SimulatedBoxOptions options;
        options.correctLineLatency = correct;
        SimulatedBox box(options);
        const std::string path = box.Start();
        const LineLatency latency = box.lineLatency();
        const std::int64_t most = correct ? kMaxLatencyCorrectionUs : 0;
        EXPECT_TRUE(latency.inUs >= 0 && latency.outUs >= 0 && latency.inUs <= most &&
                    latency.outUs <= most);
        EXPECT_EQ(ExclusiveMode(path), 0);
        SerialPort port;
        ASSERT_TRUE(Prepare(port, path)) << box.error();
        const auto begin = Clock::now();
        for (int i = 0; i < 32; ++i) {
            EXPECT_EQ(Exchange(port, {0xC1, 0x00}), Bytes{0x00});
        }
        const auto middle = Clock::now();
        for (int i = 0; i < 24; ++i) {
            EXPECT_EQ(Exchange(port, {0xC2, 0x00, 0x00}).size(), 2u);
        }
        const std::int64_t correction = latency.inUs + latency.outUs;
        EXPECT_GE(middle - begin, std::chrono::microseconds(32 * (3125 - correction)));
        EXPECT_GE(Clock::now() - middle, std::chrono::microseconds(24 * (5208 - correction)));
        EXPECT_EQ(std::pair(box.Snapshot().ticks, box.Snapshot().skippedBytes),
                  std::pair(56ul, 0ul));
    }
}

}  // namespace
}  // namespace kinemo::simulator
