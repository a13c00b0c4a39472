// Exchanges per second between a program and the simulated box.
//
//   BareLoop          write 2 bytes, read 1, on a raw descriptor: the floor
//                     that the pseudo-terminal and the box's thread set
//   SerialLayer       the same exchange through platform::SerialPort, the
//                     programs' serial code (goal: at least 90 % of BareLoop)
//   SideBySide        both, alternating in blocks; serial_share_pct is the
//                     median of the blocks' rate ratios
//   DriverExchange    the same exchange through the driver library's call
//   SerialLayerTraced SerialLayer with the box writing its CSV trace
//   LineTiming        the box answering at 9600 baud: ticks per second
//                     against the line limit of 320 (goal: at least 97 %)
//   LineTimingUncorrected  the same without correcting the pseudo-terminal's
//                     transport delays (the box's correctLineLatency off)
//   LineTimingBare    the same with the bare loop instead of the serial layer
//   LineTimingRealtimeClient  the same with the program's thread at real-time
//                     priority too (needs the privilege), so a loaded machine
//                     does not hide the box's own timing
//
// Run by hand: build-*/bench/serial_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "driver/interface_driver.h"
#include "platform/serial_port.h"
#include "protocol/box_protocol.h"
#include "simulator/simulated_box.h"

namespace {

using kinemo::platform::SerialPort;
using kinemo::platform::SerialTimeouts;
using kinemo::simulator::SimulatedBox;
using kinemo::simulator::SimulatedBoxOptions;

// 320 exchanges of 30 bit times per second.
constexpr double kLineLimitPerSecond =
    1e6 / static_cast<double>(kinemo::protocol::ExchangeLineTimeUs(kinemo::protocol::kSetOutputs));

SimulatedBox& FastBox() {
    static SimulatedBox box(SimulatedBoxOptions::FastLine());
    if (!box.running()) {
        box.Start();
    }
    return box;
}

// A plain raw descriptor on the box's device.
class BareLine {
  public:
    explicit BareLine(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        ::tcsetattr(fd_, TCSANOW, &tio);
        ::tcflush(fd_, TCIFLUSH);
    }
    ~BareLine() { ::close(fd_); }
    bool ok() const { return fd_ >= 0; }

    std::uint8_t Exchange(std::uint8_t out) {
        const std::uint8_t request[2] = {kinemo::protocol::kSetOutputs, out};
        std::uint8_t answer = 0;
        if (::write(fd_, request, 2) != 2 || ::read(fd_, &answer, 1) != 1) {
            failed_ = true;
        }
        return answer;
    }
    bool failed() const { return failed_; }

  private:
    int fd_ = -1;
    bool failed_ = false;
};

bool OpenSerial(SerialPort& port, const std::string& path) {
    return port.Open(path.c_str()) && port.ApplyLineSettings().Ok() &&
           port.SetTimeouts(SerialTimeouts{});
}

std::uint8_t SerialExchange(SerialPort& port, std::uint8_t out, bool* failed) {
    const std::uint8_t request[2] = {kinemo::protocol::kSetOutputs, out};
    std::uint8_t answer = 0;
    if (port.Exchange(request, 2, &answer, 1) != 1) {
        *failed = true;
    }
    return answer;
}

void BM_BareLoop(benchmark::State& state) {
    BareLine line(FastBox().devicePath());
    if (!line.ok()) {
        state.SkipWithError("cannot open the box");
        return;
    }
    std::uint8_t out = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(line.Exchange(out));
        out ^= 0x02;
    }
    if (line.failed()) {
        state.SkipWithError("an exchange failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareLoop)->UseRealTime()->MinTime(2.0);

void BM_SerialLayer(benchmark::State& state) {
    SerialPort port;
    if (!OpenSerial(port, FastBox().devicePath())) {
        state.SkipWithError("cannot open the box");
        return;
    }
    bool failed = false;
    std::uint8_t out = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SerialExchange(port, out, &failed));
        out ^= 0x02;
    }
    if (failed) {
        state.SkipWithError("an exchange failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SerialLayer)->UseRealTime()->MinTime(2.0);

// The same exchange through the driver library's call, with its record check
// and port guard around the serial layer (compare with SerialLayer).
void BM_DriverExchange(benchmark::State& state) {
    ::setenv("KINEMO_PORT_COM1", FastBox().devicePath().c_str(), 1);
    InterfaceRecord record{};
    SetInterfaceKind(&record, INTERFACE_KIND_SEQUENCER);
    if (OpenInterface(&record, "COM1") == INTERFACE_OPEN_FAILED) {
        state.SkipWithError("cannot open the box");
        return;
    }
    std::uint32_t out = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExchangeWithInterface(&record, out));
        out ^= 0x02;
    }
    CloseInterface(&record);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DriverExchange)->UseRealTime()->MinTime(2.0);

// Alternating blocks cancel out drift of the machine's load between the two;
// the median of the blocks' ratios ignores the blocks that a burst of other
// work on the machine hit.
void BM_SideBySide(benchmark::State& state) {
    constexpr int kBlock = 1000;
    using Clock = std::chrono::steady_clock;
    const std::string path = FastBox().devicePath();
    Clock::duration bare{};
    Clock::duration layer{};
    std::vector<double> ratios;
    bool failed = false;
    for (auto _ : state) {
        Clock::duration bareBlock{};
        Clock::duration layerBlock{};
        {
            BareLine line(path);
            const auto begin = Clock::now();
            for (int i = 0; i < kBlock; ++i) {
                benchmark::DoNotOptimize(line.Exchange(0x02));
            }
            bareBlock = Clock::now() - begin;
            failed = failed || line.failed();
        }
        {
            SerialPort port;
            failed = failed || !OpenSerial(port, path);
            const auto begin = Clock::now();
            for (int i = 0; i < kBlock; ++i) {
                benchmark::DoNotOptimize(SerialExchange(port, 0x02, &failed));
            }
            layerBlock = Clock::now() - begin;
        }
        bare += bareBlock;
        layer += layerBlock;
        ratios.push_back(std::chrono::duration<double>(bareBlock).count() /
                         std::chrono::duration<double>(layerBlock).count());
    }
    if (failed) {
        state.SkipWithError("an exchange failed");
        return;
    }
    std::sort(ratios.begin(), ratios.end());
    const double exchanges = static_cast<double>(state.iterations()) * kBlock;
    state.counters["bare_per_s"] = exchanges / std::chrono::duration<double>(bare).count();
    state.counters["serial_per_s"] = exchanges / std::chrono::duration<double>(layer).count();
    state.counters["serial_share_pct"] = 100.0 * ratios[ratios.size() / 2];
}
BENCHMARK(BM_SideBySide)->UseRealTime()->Iterations(21);

void BM_SerialLayerTraced(benchmark::State& state) {
    SimulatedBoxOptions options = SimulatedBoxOptions::FastLine();
    options.tracePath = "/tmp/kinemo-serial-bench-trace.csv";
    SimulatedBox box(options);
    const std::string path = box.Start();
    SerialPort port;
    if (path.empty() || !OpenSerial(port, path)) {
        state.SkipWithError("cannot start the traced box");
        return;
    }
    bool failed = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SerialExchange(port, 0x02, &failed));
    }
    box.Stop();
    std::remove(options.tracePath.c_str());
    if (failed) {
        state.SkipWithError("an exchange failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SerialLayerTraced)->UseRealTime()->MinTime(2.0);

void LineTimingWith(benchmark::State& state, const SimulatedBoxOptions& options) {
    SimulatedBox box(options);  // answers after 30 bit times at 9600 baud
    const std::string path = box.Start();
    SerialPort port;
    if (path.empty() || !OpenSerial(port, path)) {
        state.SkipWithError("cannot start the box");
        return;
    }
    bool failed = false;
    const auto begin = std::chrono::steady_clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(SerialExchange(port, 0x02, &failed));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (failed) {
        state.SkipWithError("an exchange failed");
        return;
    }
    const double rate = static_cast<double>(state.iterations()) / seconds;
    state.counters["ticks_per_s"] = rate;
    state.counters["line_limit_pct"] = 100.0 * rate / kLineLimitPerSecond;
    // The pseudo-terminal's transport delays the box corrects its answers by.
    state.counters["latency_in_us"] = static_cast<double>(box.lineLatency().inUs);
    state.counters["latency_out_us"] = static_cast<double>(box.lineLatency().outUs);
}

void BM_LineTiming(benchmark::State& state) {
    LineTimingWith(state, SimulatedBoxOptions{});
}
BENCHMARK(BM_LineTiming)->UseRealTime()->Iterations(1600);

// The same with the box timing answers from the request's arrival, without
// correcting the pseudo-terminal's delays: what the correction gains.
void BM_LineTimingUncorrected(benchmark::State& state) {
    SimulatedBoxOptions options;
    options.correctLineLatency = false;
    LineTimingWith(state, options);
}
BENCHMARK(BM_LineTimingUncorrected)->UseRealTime()->Iterations(1600);

// The same with the bare loop in place of the serial layer: what the
// pseudo-terminal and the box allow without the layer's own cost.
void BM_LineTimingBare(benchmark::State& state) {
    SimulatedBox box;
    const std::string path = box.Start();
    if (path.empty()) {
        state.SkipWithError("cannot start the box");
        return;
    }
    BareLine line(path);
    const auto begin = std::chrono::steady_clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(line.Exchange(0x02));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (line.failed()) {
        state.SkipWithError("an exchange failed");
        return;
    }
    const double rate = static_cast<double>(state.iterations()) / seconds;
    state.counters["ticks_per_s"] = rate;
    state.counters["line_limit_pct"] = 100.0 * rate / kLineLimitPerSecond;
}
BENCHMARK(BM_LineTimingBare)->UseRealTime()->Iterations(1600);

// The same with the program's thread at real-time priority as well, so the
// figure shows the box's own timing rather than the machine's load.
void BM_LineTimingRealtimeClient(benchmark::State& state) {
    sched_param before{};
    int policy = 0;
    ::pthread_getschedparam(::pthread_self(), &policy, &before);
    sched_param fifo{};
    fifo.sched_priority = ::sched_get_priority_min(SCHED_FIFO);
    if (::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &fifo) != 0) {
        state.SkipWithError("no permission for real-time priority");
        return;
    }
    BM_LineTiming(state);
    ::pthread_setschedparam(::pthread_self(), policy, &before);
}
BENCHMARK(BM_LineTimingRealtimeClient)->UseRealTime()->Iterations(1600);

}  // namespace

BENCHMARK_MAIN();
