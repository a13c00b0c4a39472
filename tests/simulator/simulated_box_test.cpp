// The simulated box through a real pseudo-terminal and the programs' own
// serial layer.
#include "simulator/simulated_box.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "simulator/pseudo_terminal.h"
#include "tests/simulator/line_client.h"

namespace kinemo::simulator {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::SerialPort;
using platform::SerialTimeouts;
using namespace std::chrono_literals;

SerialTimeouts ShortTimeouts() {
    return SerialTimeouts{100, 100, 100, 100, 100};
}

class BoxOnLine : public ::testing::Test {
  protected:
    void StartBox(SimulatedBoxOptions options) {
        box_ = std::make_unique<SimulatedBox>(std::move(options));
        path_ = box_->Start();
        ASSERT_FALSE(path_.empty()) << box_->error();
        ASSERT_TRUE(port_.Open(path_.c_str()));
        ASSERT_TRUE(port_.ApplyLineSettings().Ok());
        ASSERT_TRUE(port_.SetTimeouts(SerialTimeouts{}));
    }
    void SetUp() override { StartBox(SimulatedBoxOptions::FastLine()); }

    // One 0xC1 exchange; the answer as received (empty or short on failure).
    Bytes Box(std::uint8_t out) {
        const std::uint8_t request[2] = {0xC1, out};
        std::uint8_t answer[1] = {};
        const std::size_t n = port_.Exchange(request, 2, answer, 1);
        return Bytes(answer, answer + n);
    }
    Bytes Module(std::uint8_t out, std::uint8_t ext) {
        const std::uint8_t request[3] = {0xC2, out, ext};
        std::uint8_t answer[2] = {};
        const std::size_t n = port_.Exchange(request, 3, answer, 2);
        return Bytes(answer, answer + n);
    }

    std::unique_ptr<SimulatedBox> box_;
    std::string path_;
    SerialPort port_;
};

TEST_F(BoxOnLine, AnswersEachFrameWithItsInputWords) {
    EXPECT_EQ(Box(0x00), Bytes{0x00});
    EXPECT_EQ(Module(0x00, 0x00), (Bytes{0x00, 0x00}));
    box_->ForceInput(1, InputForce::kOn);
    box_->ForceInput(8, InputForce::kOn);
    box_->ForceInput(9, InputForce::kOn);
    box_->ForceInput(16, InputForce::kOn);
    EXPECT_EQ(Box(0x00), Bytes{0x81});
    EXPECT_EQ(Module(0x00, 0x00), (Bytes{0x81, 0x81}));
    const BoxSnapshot s = box_->Snapshot();
    EXPECT_EQ(s.ticks, 4u);
    EXPECT_EQ(s.lastCommand, 0xC2);
    EXPECT_EQ(s.inputs, 0x8181);
    EXPECT_TRUE(s.Input(16));
    EXPECT_FALSE(s.Input(2));
}

// The carriages themselves: box_model_test; here only that frames drive them.
TEST_F(BoxOnLine, ModuleFramesDriveM5ToM8AndBoxFramesLeaveThemStill) {
    for (int tick = 1; tick <= 8; ++tick) {
        const Bytes answer = Module(0x00, 0x01);  // M5 left
        ASSERT_EQ(answer.size(), 2u);
        EXPECT_EQ(answer[1], tick == 8 ? 0x01 : 0x00) << tick;
    }
    Box(0x00);
    const BoxSnapshot s = box_->Snapshot();
    EXPECT_EQ(s.motors[4].position, 992);
    EXPECT_EQ(s.motors[4].state, 0);
    EXPECT_EQ(s.modelInputs, 0x0100);
}

TEST_F(BoxOnLine, ForcedInputsOverrideTheModelUntilReleased) {
    for (int tick = 0; tick < 8; ++tick) {
        Box(0x02);  // E1 high from the model
    }
    box_->ForceInput(1, InputForce::kOff);
    box_->ForceInput(3, InputForce::kOn);
    EXPECT_EQ(box_->forcedInput(1), InputForce::kOff);
    EXPECT_EQ(Box(0x00), Bytes{0x04});
    box_->ForceInput(1, InputForce::kModel);
    box_->ForceInput(3, InputForce::kModel);
    box_->ForceInput(0, InputForce::kOn);   // no such input
    box_->ForceInput(17, InputForce::kOn);  // no such input
    EXPECT_EQ(Box(0x00), Bytes{0x01});
    EXPECT_EQ(box_->Snapshot().forcedMask, 0);
}

TEST_F(BoxOnLine, SilentBoxGivesNoAnswerAndDoesNotMove) {
    ASSERT_TRUE(port_.SetTimeouts(ShortTimeouts()));
    box_->SetSilent(true);
    EXPECT_TRUE(Box(0x02).empty());
    BoxSnapshot s = box_->Snapshot();
    EXPECT_EQ(s.ticks, 0u);
    EXPECT_EQ(s.ignoredFrames, 1u);
    EXPECT_EQ(s.motors[0].position, 1000);
    box_->SetSilent(false);
    EXPECT_EQ(Box(0x02), Bytes{0x00});
    EXPECT_EQ(box_->Snapshot().motors[0].position, 1001);
}

TEST_F(BoxOnLine, LateAnswerMissesAShortReadButReachesAPatientOne) {
    ASSERT_TRUE(port_.SetTimeouts(ShortTimeouts()));
    box_->SetAnswerDelayMs(400);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(Box(0x00).empty());
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 150ms);
    ASSERT_TRUE(port_.SetTimeouts(SerialTimeouts{}));
    std::uint8_t late = 0xFF;
    EXPECT_EQ(port_.Read(&late, 1), 1u);  // it does come, only too late
    EXPECT_EQ(late, 0x00);

    box_->ForceInput(2, InputForce::kOn);
    box_->SetAnswerDelayMs(100);
    const auto second = std::chrono::steady_clock::now();
    EXPECT_EQ(Box(0x00), Bytes{0x02});
    EXPECT_GE(std::chrono::steady_clock::now() - second, 100ms);
}

TEST_F(BoxOnLine, DroppedAnswerBytesGiveShortAnswers) {
    ASSERT_TRUE(port_.SetTimeouts(ShortTimeouts()));
    box_->ForceInput(5, InputForce::kOn);
    box_->ForceInput(13, InputForce::kOn);
    box_->SetAnswerBytesDropped(1);
    EXPECT_TRUE(Box(0x00).empty());
    EXPECT_EQ(Module(0x00, 0x00), Bytes{0x10});
    box_->SetAnswerBytesDropped(0);
    EXPECT_EQ(Module(0x00, 0x00), (Bytes{0x10, 0x10}));
    // The model ran for every request, answered in full or not.
    EXPECT_EQ(box_->Snapshot().ticks, 3u);
}

TEST_F(BoxOnLine, ClosedLineIsAHangupForTheProgram) {
    EXPECT_EQ(Box(0x00), Bytes{0x00});
    box_->CloseLine();
    EXPECT_EQ(box_->Snapshot().lineOpen, 0);
    EXPECT_TRUE(Box(0x00).empty());
    EXPECT_TRUE(port_.LineDead());
    box_->Stop();  // after a closed line, stopping is still clean
}

TEST_F(BoxOnLine, SkipsStrayBytesAndFindsTheNextRequest) {
    const std::uint8_t stray[3] = {0x00, 0x33, 0xC2};
    ASSERT_EQ(port_.Write(stray, 3), 3u);  // and a module request cut short
    EXPECT_EQ(Box(0x02), Bytes{0x00});
    const BoxSnapshot s = box_->Snapshot();
    EXPECT_EQ(s.ticks, 1u);
    EXPECT_EQ(s.skippedBytes, 3u);
    EXPECT_EQ(s.motors[0].position, 1001);
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
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    BoxSnapshot s = box_->Snapshot();
    while (2 * s.ticks + s.skippedBytes < noise.size() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);  // polling the box's counters
        s = box_->Snapshot();
    }
    ASSERT_EQ(2 * s.ticks + s.skippedBytes, noise.size());
    // Every frame was answered; the answers are read before the next exchange.
    std::vector<std::uint8_t> answers(s.ticks);
    std::size_t got = 0;
    while (got < answers.size()) {
        const std::size_t n = port_.Read(answers.data() + got, answers.size() - got);
        ASSERT_GT(n, 0u) << got << " of " << answers.size();
        got += n;
    }
    box_->ForceInput(7, InputForce::kOn);
    const auto present = static_cast<std::uint8_t>(box_->Snapshot().PresentInputs() & 0xFF);
    EXPECT_EQ(present & 0x40, 0x40);
    EXPECT_EQ(Box(0x00), Bytes{present});
    EXPECT_TRUE(box_->running());
}

TEST_F(BoxOnLine, ProgramsCanCloseAndReopenTheDevice) {
    EXPECT_EQ(Box(0x02), Bytes{0x00});
    port_.Close();
    ASSERT_TRUE(port_.Open(path_.c_str()));
    ASSERT_TRUE(port_.ApplyLineSettings().Ok());
    ASSERT_TRUE(port_.SetTimeouts(SerialTimeouts{}));
    EXPECT_EQ(Box(0x02), Bytes{0x00});
    EXPECT_EQ(box_->Snapshot().motors[0].position, 1002);
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
        std::this_thread::sleep_for(10ms);
        exclusive = ExclusiveMode(path_);
    }
    EXPECT_EQ(exclusive, 0);
}

TEST_F(BoxOnLine, ResetRequestPutsCarriagesBackAtTheNextExchange) {
    for (int tick = 0; tick < 10; ++tick) {
        Box(0x02);
    }
    box_->RequestModelReset();
    EXPECT_EQ(Box(0x02), Bytes{0x00});
    EXPECT_EQ(box_->Snapshot().motors[0].position, 1001);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Drops the us column (timing) from every line after the header.
std::vector<std::string> WithoutTimes(const std::string& csv) {
    std::vector<std::string> lines;
    std::istringstream in(csv);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t first = line.find(',');
        const std::size_t second = line.find(',', first + 1);
        if (lines.empty() || first == std::string::npos || second == std::string::npos) {
            lines.push_back(line);
        } else {
            lines.push_back(line.substr(0, first) + line.substr(second));
        }
    }
    return lines;
}

TEST(BoxTrace, WritesOneCsvLinePerExchange) {
    const std::string trace = ::testing::TempDir() + "/sim_trace.csv";
    SimulatedBoxOptions options = SimulatedBoxOptions::FastLine();
    options.tracePath = trace;
    SimulatedBox box(options);
    const std::string path = box.Start();
    ASSERT_FALSE(path.empty()) << box.error();
    testing::LineClient client(path);
    ASSERT_TRUE(client.ok());
    box.ForceInput(8, InputForce::kOn);
    EXPECT_EQ(client.Exchange({0xC1, 0x02}, 1), Bytes{0x80});
    box.ForceInput(15, InputForce::kOn);
    EXPECT_EQ(client.Exchange({0xC2, 0x0A, 0x41}, 2), (Bytes{0x80, 0x40}));
    // Flushed within the flush interval without stopping the box.
    std::string text;
    for (int i = 0; i < 100 && std::count(text.begin(), text.end(), '\n') < 3; ++i) {
        std::this_thread::sleep_for(20ms);
        text = ReadFile(trace);
    }
    EXPECT_EQ(WithoutTimes(text), (std::vector<std::string>{"tick,us,cmd,out1,out2,in1,in2",
                                                            "1,C1,02,,80,", "2,C2,0A,41,80,40"}));
    box.Stop();
    unsigned long long tick = 0;
    unsigned long long us1 = 0;
    unsigned long long us2 = 0;
    const std::string body = ReadFile(trace).substr(text.find('\n') + 1);
    ASSERT_EQ(std::sscanf(body.c_str(), "%llu,%llu,", &tick, &us1), 2);
    ASSERT_EQ(std::sscanf(body.substr(body.find('\n') + 1).c_str(), "%llu,%llu,", &tick, &us2), 2);
    EXPECT_LE(us1, us2);
}

TEST(BoxTrace, UnwritableTraceFailsTheStart) {
    SimulatedBoxOptions options = SimulatedBoxOptions::FastLine();
    options.tracePath = "/nonexistent-dir/trace.csv";
    SimulatedBox box(options);
    EXPECT_TRUE(box.Start().empty());
    EXPECT_NE(box.error().find("/nonexistent-dir/trace.csv"), std::string::npos);
    EXPECT_FALSE(box.running());
}

// Runs 32 0xC1 and then 24 0xC2 exchanges through the serial layer and
// returns how long each group took, in microseconds.
struct LineRun {
    std::int64_t boxUs = 0;
    std::int64_t moduleUs = 0;
};
LineRun RunExchanges(SerialPort& port) {
    const std::uint8_t boxRequest[2] = {0xC1, 0x00};
    const std::uint8_t moduleRequest[3] = {0xC2, 0x00, 0x00};
    std::uint8_t answer[2] = {0xFF, 0xFF};
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(port.Exchange(boxRequest, 2, answer, 1), 1u);
        EXPECT_EQ(answer[0], 0x00);
    }
    const auto middle = std::chrono::steady_clock::now();
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(port.Exchange(moduleRequest, 3, answer, 2), 2u);
    }
    const auto end = std::chrono::steady_clock::now();
    using std::chrono::duration_cast;
    using std::chrono::microseconds;
    return {duration_cast<microseconds>(middle - begin).count(),
            duration_cast<microseconds>(end - middle).count()};
}

TEST(BoxLineTiming, AnswersNoSoonerThanTheLineAllows) {
    SimulatedBoxOptions options;  // line timing on
    options.correctLineLatency = false;
    SimulatedBox box(options);
    const std::string path = box.Start();
    ASSERT_FALSE(path.empty()) << box.error();
    EXPECT_EQ(box.lineLatency().inUs, 0);
    EXPECT_EQ(box.lineLatency().outUs, 0);
    SerialPort port;
    ASSERT_TRUE(port.Open(path.c_str()));
    ASSERT_TRUE(port.SetTimeouts(SerialTimeouts{}));
    const LineRun run = RunExchanges(port);
    // 30 bit times per 0xC1 exchange, 50 per 0xC2 exchange, at 9600 baud.
    EXPECT_GE(run.boxUs, 32 * 3125);
    EXPECT_GE(run.moduleUs, 24 * 5208);
    EXPECT_EQ(LineTimeUs(3), 3125);
    EXPECT_EQ(LineTimeUs(5), 5208);
}

TEST(BoxLineTiming, CorrectsThePseudoTerminalDelayButNeverAnswersEarlierThanThat) {
    SimulatedBox box;  // line timing with the measured delays corrected
    const std::string path = box.Start();
    ASSERT_FALSE(path.empty()) << box.error();
    const LineLatency latency = box.lineLatency();
    EXPECT_GE(latency.inUs, 0);
    EXPECT_LE(latency.inUs, kMaxLatencyCorrectionUs);
    EXPECT_GE(latency.outUs, 0);
    EXPECT_LE(latency.outUs, kMaxLatencyCorrectionUs);

    // Measuring left the device as it was: not exclusive, no bytes waiting
    // for the box, and the serial layer still gets it for itself alone.
    EXPECT_EQ(ExclusiveMode(path), 0);
    SerialPort port;
    ASSERT_TRUE(port.Open(path.c_str()));
    ASSERT_TRUE(port.ApplyLineSettings().Ok());
    ASSERT_TRUE(port.SetTimeouts(SerialTimeouts{}));
    SerialPort second;
    EXPECT_FALSE(second.Open(path.c_str()));

    // An answer leaves at the earliest the line time after the request was
    // written, less the two measured delays: never under 2.5 ms for 0xC1.
    const LineRun run = RunExchanges(port);
    const std::int64_t correction = latency.inUs + latency.outUs;
    EXPECT_GE(run.boxUs, 32 * (3125 - correction));
    EXPECT_GE(run.moduleUs, 24 * (5208 - correction));
    EXPECT_GE(run.boxUs, 32 * 2500);
    EXPECT_EQ(box.Snapshot().ticks, 56u);
    EXPECT_EQ(box.Snapshot().skippedBytes, 0u);
}

}  // namespace
}  // namespace kinemo::simulator
