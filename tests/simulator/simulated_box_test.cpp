// The simulated box through a real pseudo-terminal and the programs' own
// serial layer.
#include "simulator/simulated_box.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
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

bool Prepare(SerialPort& port, const std::string& path,
             const SerialTimeouts& timeouts = SerialTimeouts{}) {
    return port.Open(path.c_str()) && port.ApplyLineSettings().Ok() && port.SetTimeouts(timeouts);
}

// One 0xC1 (module == false) or 0xC2 exchange; the answer as received.
Bytes Exchange(SerialPort& port, std::uint8_t out, bool module = false, std::uint8_t ext = 0) {
    const std::uint8_t request[3] = {module ? std::uint8_t{0xC2} : std::uint8_t{0xC1}, out, ext};
    std::uint8_t answer[2] = {};
    const std::size_t n = port.Exchange(request, module ? 3 : 2, answer, module ? 2 : 1);
    return Bytes(answer, answer + n);
}

class BoxOnLine : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = box_.Start();
        ASSERT_FALSE(path_.empty()) << box_.error();
        ASSERT_TRUE(Prepare(port_, path_));
    }
    Bytes Box(std::uint8_t out) { return Exchange(port_, out); }
    Bytes Module(std::uint8_t out, std::uint8_t ext) { return Exchange(port_, out, true, ext); }
    void ShortTimeouts() { ASSERT_TRUE(port_.SetTimeouts(SerialTimeouts{100, 100, 100, 100, 100})); }

    SimulatedBox box_{SimulatedBoxOptions::FastLine()};
    std::string path_;
    SerialPort port_;
};

TEST_F(BoxOnLine, AnswersEachFrameWithItsInputWords) {
    EXPECT_EQ(Box(0x00), Bytes{0x00});
    EXPECT_EQ(Module(0x00, 0x00), (Bytes{0x00, 0x00}));
    for (const int input : {1, 8, 9, 16}) {
        box_.ForceInput(input, InputForce::kOn);
    }
    EXPECT_EQ(Box(0x00), Bytes{0x81});
    EXPECT_EQ(Module(0x00, 0x00), (Bytes{0x81, 0x81}));
    const BoxSnapshot s = box_.Snapshot();
    EXPECT_EQ(s.ticks, 4u);
    EXPECT_EQ(s.lastCommand, 0xC2);
    EXPECT_EQ(s.inputs, 0x8181);
}

// The carriages themselves: box_model_test; here only that frames drive them.
TEST_F(BoxOnLine, ModuleFramesDriveM5ToM8AndBoxFramesLeaveThemStill) {
    for (int tick = 1; tick <= 8; ++tick) {
        const Bytes answer = Module(0x00, 0x01);  // M5 left
        ASSERT_EQ(answer.size(), 2u);
        EXPECT_EQ(answer[1], tick == 8 ? 0x01 : 0x00) << tick;
    }
    Box(0x00);
    const BoxSnapshot s = box_.Snapshot();
    EXPECT_EQ(s.motors[4].position, 992);
    EXPECT_EQ(s.motors[4].state, 0);
    EXPECT_EQ(s.modelInputs, 0x0100);
}

TEST_F(BoxOnLine, ForcedInputsOverrideTheModelUntilReleased) {
    for (int tick = 0; tick < 8; ++tick) {
        Box(0x02);  // E1 high from the model
    }
    box_.ForceInput(1, InputForce::kOff);
    box_.ForceInput(3, InputForce::kOn);
    EXPECT_EQ(box_.forcedInput(1), InputForce::kOff);
    EXPECT_EQ(Box(0x00), Bytes{0x04});
    box_.ForceInput(1, InputForce::kModel);
    box_.ForceInput(3, InputForce::kModel);
    box_.ForceInput(0, InputForce::kOn);   // no such input
    box_.ForceInput(17, InputForce::kOn);  // no such input
    EXPECT_EQ(Box(0x00), Bytes{0x01});
    EXPECT_EQ(box_.Snapshot().forcedMask, 0);
}

// A silent box neither answers nor moves; dropped answer bytes give short
// answers while the model still runs for every request.
TEST_F(BoxOnLine, SilenceAndDroppedBytesGiveNoOrShortAnswers) {
    ShortTimeouts();
    box_.SetSilent(true);
    EXPECT_TRUE(Box(0x02).empty());
    EXPECT_EQ(box_.Snapshot().ticks, 0u);
    EXPECT_EQ(box_.Snapshot().ignoredFrames, 1u);
    EXPECT_EQ(box_.Snapshot().motors[0].position, 1000);
    box_.SetSilent(false);
    EXPECT_EQ(Box(0x02), Bytes{0x00});
    EXPECT_EQ(box_.Snapshot().motors[0].position, 1001);

    box_.ForceInput(5, InputForce::kOn);
    box_.ForceInput(13, InputForce::kOn);
    box_.SetAnswerBytesDropped(1);
    EXPECT_TRUE(Box(0x00).empty());
    EXPECT_EQ(Module(0x00, 0x00), Bytes{0x10});
    box_.SetAnswerBytesDropped(0);
    EXPECT_EQ(Module(0x00, 0x00), (Bytes{0x10, 0x10}));
    EXPECT_EQ(box_.Snapshot().ticks, 4u);
}

TEST_F(BoxOnLine, LateAnswerMissesAShortReadButReachesAPatientOne) {
    ShortTimeouts();
    box_.SetAnswerDelayMs(400);
    const auto begin = Clock::now();
    EXPECT_TRUE(Box(0x00).empty());
    EXPECT_GE(Clock::now() - begin, 150ms);
    ASSERT_TRUE(port_.SetTimeouts(SerialTimeouts{}));
    std::uint8_t late = 0xFF;
    EXPECT_EQ(port_.Read(&late, 1), 1u);  // it does come, only too late
    EXPECT_EQ(late, 0x00);
}

TEST_F(BoxOnLine, ClosedLineIsAHangupForTheProgram) {
    EXPECT_EQ(Box(0x00), Bytes{0x00});
    box_.CloseLine();
    EXPECT_EQ(box_.Snapshot().lineOpen, 0);
    EXPECT_TRUE(Box(0x00).empty());
    EXPECT_TRUE(port_.LineDead());
    box_.Stop();  // after a closed line, stopping is still clean
}

TEST_F(BoxOnLine, RandomNoiseOnTheLineDoesNotStopTheBox) {
    // Noise without the module command and ending in a whole frame: every
    // byte is then skipped or part of a frame with a one-byte answer.
    std::vector<std::uint8_t> noise(4096);
    std::uint32_t x = 12345;
    for (std::uint8_t& b : noise) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
        b = b == 0xC2 ? 0x42 : b;
    }
    noise.insert(noise.end(), {0xC1, 0x00});
    ASSERT_EQ(port_.Write(noise.data(), noise.size()), noise.size());
    const auto deadline = Clock::now() + 30s;
    BoxSnapshot s = box_.Snapshot();
    while (2 * s.ticks + s.skippedBytes < noise.size() && Clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);  // polling the box's counters
        s = box_.Snapshot();
    }
    ASSERT_EQ(2 * s.ticks + s.skippedBytes, noise.size());
    // Every frame was answered; the answers are read before the next exchange.
    std::vector<std::uint8_t> answers(s.ticks);
    for (std::size_t got = 0, n = 1; got < answers.size() && n > 0; got += n) {
        n = port_.Read(answers.data() + got, answers.size() - got);
        ASSERT_GT(n, 0u) << got << " of " << answers.size();
    }
    box_.ForceInput(7, InputForce::kOn);
    const auto present = static_cast<std::uint8_t>(box_.Snapshot().PresentInputs() & 0xFF);
    EXPECT_EQ(present & 0x40, 0x40);
    EXPECT_EQ(Box(0x00), Bytes{present});
}

// A program may close and reopen the device; a reset request puts the
// carriages back at the next exchange.
TEST_F(BoxOnLine, ReopenKeepsTheModelAndAResetPutsItBack) {
    EXPECT_EQ(Box(0x02), Bytes{0x00});
    port_.Close();
    ASSERT_TRUE(Prepare(port_, path_));
    EXPECT_EQ(Box(0x02), Bytes{0x00});
    EXPECT_EQ(box_.Snapshot().motors[0].position, 1002);
    box_.RequestModelReset();
    EXPECT_EQ(Box(0x02), Bytes{0x00});
    EXPECT_EQ(box_.Snapshot().motors[0].position, 1001);
}

int ExclusiveMode(const std::string& path) {
    testing::LineClient probe(path);
    int exclusive = -1;
    ::ioctl(probe.fd(), TIOCGEXCL, &exclusive);
    return exclusive;
}

TEST_F(BoxOnLine, ExclusiveModeOfADeadProgramIsClearedButNotThatOfALiveOne) {
    // A live program: its lock keeps its exclusive mode however often the
    // idle box looks for a stale one.
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

    // A program that dies without closing leaves exclusive mode behind, which
    // would refuse every later open by a normal user.
    {
        testing::LineClient crashed(path_);
        ASSERT_EQ(::ioctl(crashed.fd(), TIOCEXCL), 0);
    }
    int exclusive = 1;
    for (int i = 0; i < 500 && exclusive != 0; ++i) {
        std::this_thread::sleep_for(10ms);  // polling until the box clears it
        exclusive = ExclusiveMode(path_);
    }
    EXPECT_EQ(exclusive, 0);
}

// The trace's lines as (tick, us, the rest after the us column).
struct TraceLine {
    unsigned long long tick = 0, us = 0;
    std::string rest;
};
std::vector<TraceLine> ReadTrace(const std::string& path, std::string* header) {
    std::ifstream in(path);
    std::vector<TraceLine> lines;
    std::string line;
    std::getline(in, *header);
    while (std::getline(in, line)) {
        TraceLine t;
        int used = 0;
        if (std::sscanf(line.c_str(), "%llu,%llu,%n", &t.tick, &t.us, &used) == 2) {
            t.rest = line.substr(static_cast<std::size_t>(used));
            lines.push_back(t);
        }
    }
    return lines;
}

TEST(BoxTrace, WritesOneCsvLinePerExchangeFlushedWhileRunning) {
    const std::string trace = ::testing::TempDir() + "/sim_trace.csv";
    SimulatedBoxOptions options = SimulatedBoxOptions::FastLine();
    options.tracePath = trace;
    SimulatedBox box(options);
    const std::string path = box.Start();
    ASSERT_FALSE(path.empty()) << box.error();
    testing::LineClient client(path);
    box.ForceInput(8, InputForce::kOn);
    EXPECT_EQ(client.Exchange({0xC1, 0x02}, 1), Bytes{0x80});
    box.ForceInput(15, InputForce::kOn);
    EXPECT_EQ(client.Exchange({0xC2, 0x0A, 0x41}, 2), (Bytes{0x80, 0x40}));
    std::string header;
    std::vector<TraceLine> lines;
    for (int i = 0; i < 250 && lines.size() < 2; ++i) {
        std::this_thread::sleep_for(20ms);  // polling until the flush interval passed
        lines = ReadTrace(trace, &header);
    }
    EXPECT_EQ(header, "tick,us,cmd,out1,out2,in1,in2");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].tick, 1u);
    EXPECT_EQ(lines[0].rest, "C1,02,,80,");
    EXPECT_EQ(lines[1].tick, 2u);
    EXPECT_EQ(lines[1].rest, "C2,0A,41,80,40");
    EXPECT_LE(lines[0].us, lines[1].us);

    SimulatedBoxOptions unwritable = SimulatedBoxOptions::FastLine();
    unwritable.tracePath = "/nonexistent-dir/trace.csv";
    SimulatedBox refused(unwritable);
    EXPECT_TRUE(refused.Start().empty());
    EXPECT_NE(refused.error().find("/nonexistent-dir/trace.csv"), std::string::npos);
    EXPECT_FALSE(refused.running());
}

// 32 0xC1 and then 24 0xC2 exchanges; how long each group took, in us.
std::pair<std::int64_t, std::int64_t> TimeExchanges(SerialPort& port) {
    using std::chrono::duration_cast;
    using std::chrono::microseconds;
    const auto begin = Clock::now();
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(Exchange(port, 0x00), Bytes{0x00});
    }
    const auto middle = Clock::now();
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(Exchange(port, 0x00, true).size(), 2u);
    }
    return {duration_cast<microseconds>(middle - begin).count(),
            duration_cast<microseconds>(Clock::now() - middle).count()};
}

// 30 bit times per 0xC1 exchange, 50 per 0xC2 exchange, at 9600 baud. With
// the pseudo-terminal's measured delays corrected, an answer still never
// leaves sooner than the line time less those two delays.
TEST(BoxLineTiming, AnswersNoSoonerThanTheLineAllows) {
    EXPECT_EQ(LineTimeUs(3), 3125);
    EXPECT_EQ(LineTimeUs(5), 5208);
    for (const bool correct : {false, true}) {
        SCOPED_TRACE(correct ? "corrected" : "uncorrected");
        SimulatedBoxOptions options;  // line timing on
        options.correctLineLatency = correct;
        SimulatedBox box(options);
        const std::string path = box.Start();
        ASSERT_FALSE(path.empty()) << box.error();
        const LineLatency latency = box.lineLatency();
        for (const std::int64_t us : {latency.inUs, latency.outUs}) {
            EXPECT_GE(us, 0);
            EXPECT_LE(us, correct ? kMaxLatencyCorrectionUs : 0);
        }
        // Measuring left the device as it was: not exclusive, no bytes
        // waiting for the box, and the serial layer gets it for itself alone.
        EXPECT_EQ(ExclusiveMode(path), 0);
        SerialPort port;
        ASSERT_TRUE(Prepare(port, path));
        EXPECT_FALSE(SerialPort().Open(path.c_str()));
        const auto [boxUs, moduleUs] = TimeExchanges(port);
        const std::int64_t correction = latency.inUs + latency.outUs;
        EXPECT_GE(boxUs, 32 * (3125 - correction));
        EXPECT_GE(moduleUs, 24 * (5208 - correction));
        EXPECT_GE(boxUs, 32 * 2500);
        EXPECT_EQ(box.Snapshot().ticks, 56u);
        EXPECT_EQ(box.Snapshot().skippedBytes, 0u);
    }
}

// A USB serial adapter's latency timer: an answer leaves at the timer's next
// expiry after it is due.
TEST(BoxUsbLatency, AnswersLeaveAtTheNextExpiryOfTheTimer) {
    struct Case {
        std::int64_t due, epoch;
        int ms;
        std::int64_t expiry;
    };
    for (const Case& c : {Case{3125, 0, 16, 16000}, Case{16000, 0, 16, 32000},  // passed at once
                          Case{16001, 0, 16, 32000}, Case{100, 50, 1, 1050}, Case{-5, 0, 16, 0},
                          Case{4242, 0, 0, 4242}}) {  // 0 ms: no adapter
        EXPECT_EQ(UsbTimerExpiryUs(c.due, c.epoch, c.ms), c.expiry) << c.due << " " << c.ms;
    }
    // A program that sends its next request as soon as it has an answer:
    // with a timer of 8 ms every exchange falls into a period of its own.
    const std::string trace = ::testing::TempDir() + "/usb_latency_trace.csv";
    SimulatedBoxOptions options = SimulatedBoxOptions::FastLine();
    options.tracePath = trace;
    options.usbLatencyMs = 8;
    SimulatedBox box(options);
    const std::string path = box.Start();
    ASSERT_FALSE(path.empty()) << box.error();
    {
        testing::LineClient client(path);
        for (int i = 0; i < 6; ++i) {
            ASSERT_EQ(client.Exchange({0xC1, 0x00}, 1).size(), 1u);
        }
    }
    box.Stop();
    std::string header;
    const std::vector<TraceLine> lines = ReadTrace(trace, &header);
    ASSERT_EQ(lines.size(), 6u);
    for (std::size_t k = 1; k < lines.size(); ++k) {
        EXPECT_GT(lines[k].us / 8000, lines[k - 1].us / 8000) << "exchange " << k;
    }
}

}  // namespace
}  // namespace kinemo::simulator
