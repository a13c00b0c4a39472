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
using platform::SerialTimeouts;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool Prepare(SerialPort& port, const std::string& path, const SerialTimeouts& timeouts = {}) {
    return port.Open(path.c_str()) && port.ApplyLineSettings().Ok() && port.SetTimeouts(timeouts);
}

// One exchange of a whole 0xC1 or 0xC2 request; the answer as received.
Bytes Exchange(SerialPort& port, const Bytes& request) {
    std::uint8_t answer[2] = {};
    return Bytes(
        answer, answer + port.Exchange(request.data(), request.size(), answer, request.size() - 1));
}

// Polls until `done` holds, for a generous 30 s.
bool Eventually(const std::function<bool()>& done) {
    for (const auto deadline = Clock::now() + 30s; !done(); std::this_thread::sleep_for(2ms)) {
        if (Clock::now() > deadline) {
            return false;
        }
    }
    return true;
}

int ExclusiveMode(const std::string& path) {
    testing::LineClient probe(path);
    int exclusive = -1;
    ::ioctl(probe.fd(), TIOCGEXCL, &exclusive);
    return exclusive;
}

// The trace's lines with the us column cut out; that column in `us`.
std::vector<std::string> ReadTrace(const std::string& path, std::vector<long long>* us = nullptr) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        const std::size_t a = line.find(','), b = line.find(',', a + 1);
        if (us != nullptr && !lines.empty()) {
            us->push_back(std::stoll(line.substr(a + 1, b - a - 1)));
        }
        lines.push_back(lines.empty() ? line : line.substr(0, a) + line.substr(b));
    }
    return lines;
}

class BoxOnLine : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = box_.Start();
        ASSERT_FALSE(path_.empty()) << box_.error();
        ASSERT_TRUE(Prepare(port_, path_));
    }
    Bytes X(const Bytes& request) { return Exchange(port_, request); }

    SimulatedBox box_{SimulatedBoxOptions::FastLine()};
    std::string path_;
    SerialPort port_;
};

// Each answer carries the inputs after that tick's motion (the carriages
// themselves: box_model_test); forced inputs override the model until
// released; a reopened line keeps the model, a reset puts it back.
TEST_F(BoxOnLine, AnswersWithTheInputsAfterEachTick) {
    std::vector<Bytes> answers;
    for (int tick = 0; tick < 8; ++tick) {
        answers.push_back(X({0xC2, 0x02, 0x01}));  // M1 right, M5 left
    }
    std::vector<Bytes> expected(7, Bytes{0x00, 0x00});
    expected.push_back({0x01, 0x01});
    EXPECT_EQ(answers, expected);
    EXPECT_EQ(X({0xC1, 0x00}), Bytes{0x01});  // a box frame leaves M5 still
    BoxSnapshot s = box_.Snapshot();
    EXPECT_EQ(std::vector<int>({s.motors[0].position, s.motors[4].position, s.motors[4].state,
                                s.modelInputs, s.lastCommand, static_cast<int>(s.ticks)}),
              std::vector<int>({1008, 992, 0, 0x0101, 0xC1, 9}));

    for (const auto& [input, force] : {std::pair{1, InputForce::kOff},
                                       {3, InputForce::kOn},
                                       {16, InputForce::kOn},
                                       {0, InputForce::kOn},
                                       {17, InputForce::kOn}}) {
        box_.ForceInput(input, force);
    }
    EXPECT_EQ(box_.forcedInput(1), InputForce::kOff);
    EXPECT_EQ(X({0xC2, 0x00, 0x00}), (Bytes{0x04, 0x81}));
    for (const int input : {1, 3, 16}) {
        box_.ForceInput(input, InputForce::kModel);
    }
    EXPECT_EQ(X({0xC2, 0x00, 0x00}), (Bytes{0x01, 0x01}));
    EXPECT_EQ(box_.Snapshot().forcedMask, 0);

    port_.Close();
    ASSERT_TRUE(Prepare(port_, path_));
    EXPECT_EQ(X({0xC1, 0x02}), Bytes{0x01});
    EXPECT_EQ(box_.Snapshot().motors[0].position, 1009);
    box_.RequestModelReset();
    EXPECT_EQ(X({0xC1, 0x02}), Bytes{0x00});
    EXPECT_EQ(box_.Snapshot().motors[0].position, 1001);
}

// A silent box neither answers nor moves; dropped answer bytes give short
// answers while the model still runs; a late answer misses a short read but
// reaches a patient one; a closed line is a hangup for the program.
TEST_F(BoxOnLine, FaultsGiveNoShortLateOrNoMoreAnswers) {
    ASSERT_TRUE(port_.SetTimeouts(SerialTimeouts{100, 100, 100, 100, 100}));
    box_.SetSilent(true);
    EXPECT_EQ(X({0xC1, 0x02}), Bytes{});
    EXPECT_EQ(box_.Snapshot().ignoredFrames, 1u);
    EXPECT_EQ(box_.Snapshot().motors[0].position, 1000);
    box_.SetSilent(false);
    EXPECT_EQ(X({0xC1, 0x02}), Bytes{0x00});
    EXPECT_EQ(box_.Snapshot().motors[0].position, 1001);

    box_.ForceInput(5, InputForce::kOn);
    box_.ForceInput(13, InputForce::kOn);
    box_.SetAnswerBytesDropped(1);
    EXPECT_EQ(X({0xC1, 0x00}), Bytes{});
    EXPECT_EQ(X({0xC2, 0x00, 0x00}), Bytes{0x10});
    box_.SetAnswerBytesDropped(0);
    EXPECT_EQ(X({0xC2, 0x00, 0x00}), (Bytes{0x10, 0x10}));
    EXPECT_EQ(box_.Snapshot().ticks, 4u);

    box_.SetAnswerDelayMs(400);
    EXPECT_EQ(X({0xC1, 0x00}), Bytes{});
    ASSERT_TRUE(port_.SetTimeouts(SerialTimeouts{}));
    std::uint8_t late = 0xFF;
    EXPECT_EQ(port_.Read(&late, 1), 1u);
    EXPECT_EQ(late, 0x10);

    box_.SetAnswerDelayMs(0);
    box_.CloseLine();
    EXPECT_EQ(box_.Snapshot().lineOpen, 0);
    EXPECT_EQ(X({0xC1, 0x00}), Bytes{});
    EXPECT_TRUE(port_.LineDead());
    box_.Stop();  // after a closed line, stopping is still clean
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
    for (std::size_t got = 0; got < answers.size();) {
        const std::size_t n = port_.Read(answers.data() + got, answers.size() - got);
        ASSERT_GT(n, 0u) << got << " of " << answers.size();
        got += n;
    }
    box_.ForceInput(7, InputForce::kOn);
    const auto present = static_cast<std::uint8_t>(box_.Snapshot().PresentInputs() & 0xFF);
    EXPECT_EQ(present & 0x40, 0x40);
    EXPECT_EQ(X({0xC1, 0x00}), Bytes{present});
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
// answer gets one exchange per 8 ms period.
TEST(BoxTrace, WritesEachExchangeAndAnswersAtTheUsbTimersExpiry) {
    for (const auto& [due, epoch, ms, expiry] :
         {std::tuple<std::int64_t, std::int64_t, int, std::int64_t>{3125, 0, 16, 16000},
          {16000, 0, 16, 32000},
          {16001, 0, 16, 32000},
          {100, 50, 1, 1050},
          {-5, 0, 16, 0},
          {4242, 0, 0, 4242}}) {
        EXPECT_EQ(UsbTimerExpiryUs(due, epoch, ms), expiry) << due << " " << ms;
    }
    SimulatedBoxOptions options = SimulatedBoxOptions::FastLine();
    options.tracePath = ::testing::TempDir() + "/sim_trace.csv";
    options.usbLatencyMs = 8;
    SimulatedBox box(options);
    const std::string path = box.Start();
    ASSERT_FALSE(path.empty()) << box.error();
    testing::LineClient client(path);
    box.ForceInput(8, InputForce::kOn);
    EXPECT_EQ(client.Exchange({0xC1, 0x02}, 1), Bytes{0x80});
    box.ForceInput(15, InputForce::kOn);
    EXPECT_EQ(client.Exchange({0xC2, 0x0A, 0x41}, 2), (Bytes{0x80, 0x40}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(client.Exchange({0xC1, 0x00}, 1), Bytes{0x80});
    }
    const std::vector<std::string> expected = {"tick,us,cmd,out1,out2,in1,in2",
                                               "1,C1,02,,80,",
                                               "2,C2,0A,41,80,40",
                                               "3,C1,00,,80,",
                                               "4,C1,00,,80,",
                                               "5,C1,00,,80,",
                                               "6,C1,00,,80,"};
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
// the device as it was: not exclusive, nothing waiting, free for one user.
TEST(BoxLineTiming, AnswersNoSoonerThanTheLineAllows) {
    for (const bool correct : {false, true}) {
        SCOPED_TRACE(correct ? "corrected" : "uncorrected");
        SimulatedBoxOptions options;
        options.correctLineLatency = correct;
        SimulatedBox box(options);
        const std::string path = box.Start();
        ASSERT_FALSE(path.empty()) << box.error();
        const LineLatency latency = box.lineLatency();
        for (const std::int64_t us : {latency.inUs, latency.outUs}) {
            EXPECT_GE(us, 0);
            EXPECT_LE(us, correct ? kMaxLatencyCorrectionUs : 0);
        }
        EXPECT_EQ(ExclusiveMode(path), 0);
        SerialPort port;
        ASSERT_TRUE(Prepare(port, path));
        EXPECT_FALSE(SerialPort().Open(path.c_str()));
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
        EXPECT_EQ(box.Snapshot().ticks, 56u);
        EXPECT_EQ(box.Snapshot().skippedBytes, 0u);
    }
}

}  // namespace
}  // namespace kinemo::simulator
