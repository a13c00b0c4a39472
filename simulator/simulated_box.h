// The simulated interface box: answers the box's serial frames on a
// pseudo-terminal, so every program runs unmodified, through its own serial
// code, without hardware.
//
//   SimulatedBox box(SimulatedBoxOptions::FastLine());
//   std::string device = box.Start();   // e.g. "/dev/pts/7"
//   ... a program opens `device` and exchanges frames ...
//   BoxSnapshot s = box.Snapshot();
//   box.Stop();
//
// One serial thread owns the line: it reads requests, applies their outputs
// to the carriage model (box_model.h), and answers with the inputs *after*
// the motion of that tick, so a program sees the effect of an output in the
// answer to the very request that sent it. Forced inputs override the model.
//
// Line timing: the answer is complete (request bytes + answer bytes) * 10 bit
// times at 9600 baud after the program sent the request's command byte:
// 3.125 ms for a 0xC1 exchange, 5.208 ms for a 0xC2 exchange, and never
// sooner than that after the previous answer was due, as on a real line.
// The pseudo-terminal delays bytes in both directions, which a real line
// does not; the box measures that delay at start (line_latency.h), dates each
// request back by the inward delay and sends its answer early by the outward
// one, so the program sees the real line's pace. With `fast` it answers at
// once.
//
// The serial thread allocates nothing and takes no lock per tick; the window
// and tests read snapshots through a sequence lock (snapshot_channel.h).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "simulator/box_model.h"
#include "simulator/box_snapshot.h"
#include "simulator/frame_parser.h"
#include "simulator/line_latency.h"
#include "simulator/pseudo_terminal.h"
#include "simulator/snapshot_channel.h"
#include "simulator/trace_writer.h"

namespace kinemo::simulator {

using protocol::LineTimeUs;

struct SimulatedBoxOptions {
    bool fast = false;      // answer at once instead of after the line time
    std::string tracePath;  // CSV of every exchange (trace_writer.h); empty: none
    // With line timing, ask for the lowest real-time priority for the serial
    // thread, so that answers leave on time on a busy machine. Without the
    // privilege the thread keeps its normal priority.
    bool realtime = true;
    // With line timing, measure the pseudo-terminal's transport delay at
    // start and correct answer times by it. Off: the line time counts from
    // the request's arrival here and the answer leaves when it is due.
    bool correctLineLatency = true;
    // Emulates a USB serial adapter's latency timer of this many milliseconds
    // (0: none): every answer leaves at the timer's next expiry, counted from
    // the box's start.
    int usbLatencyMs = 0;

    // Answers at once: for tests and for measuring the programs' own cost.
    static SimulatedBoxOptions FastLine() {
        SimulatedBoxOptions options;
        options.fast = true;
        return options;
    }
};

// How the user holds an input.
enum class InputForce : std::uint8_t {
    kModel,  // released: the carriage model decides
    kOn,     // closed whatever the model says
    kOff,    // open whatever the model says
};

class SimulatedBox {
  public:
    explicit SimulatedBox(SimulatedBoxOptions options = {});
    ~SimulatedBox();
    SimulatedBox(const SimulatedBox&) = delete;
    SimulatedBox& operator=(const SimulatedBox&) = delete;

    // Creates the pseudo-terminal, opens the trace and starts answering.
    // Returns the device path programs open; empty on failure (see error()).
    std::string Start();
    // Stops answering, writes the rest of the trace and removes the line.
    void Stop();

    bool running() const { return thread_.joinable(); }
    const std::string& devicePath() const { return devicePath_; }
    const std::string& error() const { return error_; }
    const SimulatedBoxOptions& options() const { return options_; }
    // The transport delays measured at start; zero when not corrected.
    LineLatency lineLatency() const { return latency_; }

    // A consistent copy of the state after the latest exchange. Callable from
    // any thread; never blocks the serial thread. The state is published
    // before the answer leaves, so once a program has its answer, a snapshot
    // includes that exchange.
    BoxSnapshot Snapshot() const;

    // Waits (polling) until at least `ticks` exchanges were applied.
    bool WaitForTicks(std::uint64_t ticks, std::chrono::milliseconds timeout) const;

    // Inputs are numbered 1 (E1) to 16 (E16); other numbers are ignored.
    void ForceInput(int number, InputForce force);
    InputForce forcedInput(int number) const;

    // Puts every carriage back to its start at the next exchange.
    void RequestModelReset() { resetRequested_.store(true, std::memory_order_relaxed); }

    // Fault injection, for tests of the programs' serial code.
    // Silent: requests are read and ignored; no answer, no motion.
    void SetSilent(bool silent) { silent_.store(silent, std::memory_order_relaxed); }
    // Every answer comes this much later than the line time.
    void SetAnswerDelayMs(int ms) { answerDelayMs_.store(ms, std::memory_order_relaxed); }
    // The last `count` bytes of every answer are left out (1 on a 0xC1
    // exchange sends nothing at all; on 0xC2 only E1-E8 arrive).
    void SetAnswerBytesDropped(int count) {
        answerBytesDropped_.store(count, std::memory_order_relaxed);
    }
    // Closes the master side: programs reading the device see a hangup. The
    // box stops answering for good. Returns when the line is closed.
    void CloseLine();

  private:
    void Run();
    void Handle(const Frame& frame);
    // Waits until the box's clock reaches dueUs; false if told to stop.
    bool WaitUntil(std::int64_t dueUs);
    std::int64_t NowUs() const;
    void Wake();
    void PublishState();

    SimulatedBoxOptions options_;
    std::string devicePath_;
    std::string error_;

    PseudoTerminal line_;
    int wakeFd_ = -1;
    std::thread thread_;
    std::chrono::steady_clock::time_point startTime_{};

    // Owned by the serial thread while it runs.
    BoxModel model_;
    FrameParser parser_;
    TraceWriter trace_;
    BoxSnapshot state_{};
    std::int64_t lastDueUs_ = 0;
    LineLatency latency_{};  // written by Start() before the thread runs

    SnapshotChannel<BoxSnapshot> published_;
    std::atomic<std::uint32_t> forces_{0};  // mask in bits 0-15, levels in 16-31
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> closeRequested_{false};
    std::atomic<bool> lineClosed_{false};
    std::atomic<bool> resetRequested_{false};
    std::atomic<bool> silent_{false};
    std::atomic<int> answerDelayMs_{0};
    std::atomic<int> answerBytesDropped_{0};
};

}  // namespace kinemo::simulator
