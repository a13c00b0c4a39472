#include "simulator/simulated_box.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kinemo::simulator {

namespace {

// How long the serial thread sleeps without traffic: bounds trace flushing.
constexpr int kIdlePollMs = 20;

// Timers wake tens of microseconds late, more on a busy machine; an answer
// due within this much is waited for by watching the clock. At 320 ticks a
// second that costs under 3 % of one core and keeps the ticks on the line's
// pace.
constexpr std::int64_t kSpinUs = 80;

// Bytes sent each way to measure the line's transport delay: enough for a
// stable median; about 0.1 s at start (samples rest 3 ms apart).
constexpr int kLatencySamples = 16;

std::uint32_t ForceBits(std::uint32_t forces, int bit, InputForce force) {
    const std::uint32_t mask = 1u << bit;
    const std::uint32_t level = 1u << (bit + 16);
    forces &= ~(mask | level);
    if (force == InputForce::kOn) {
        forces |= mask | level;
    } else if (force == InputForce::kOff) {
        forces |= mask;
    }
    return forces;
}

}  // namespace

SimulatedBox::SimulatedBox(SimulatedBoxOptions options) : options_(std::move(options)) {}

SimulatedBox::~SimulatedBox() {
    Stop();
}

std::string SimulatedBox::Start() {
    if (running()) {
        return devicePath_;
    }
    error_.clear();
    if (!line_.Open(&error_)) {
        return {};
    }
    if (!options_.tracePath.empty() && !trace_.Open(options_.tracePath)) {
        error_ = "cannot write trace file " + options_.tracePath + ": " + std::strerror(errno);
        line_.Close();
        return {};
    }
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        error_ = std::string("eventfd: ") + std::strerror(errno);
        trace_.Close();
        line_.Close();
        return {};
    }
    // Measured before the path is handed out, so no program's bytes mix in.
    latency_ = options_.fast || !options_.correctLineLatency
                   ? LineLatency{}
                   : MeasureLineLatency(line_.master(), line_.slaveKeeper(), kLatencySamples);
    devicePath_ = line_.slavePath();
    model_.Reset();
    parser_ = FrameParser{};
    state_ = BoxSnapshot{};
    state_.lineOpen = 1;
    lastDueUs_ = 0;
    stopRequested_.store(false);
    closeRequested_.store(false);
    lineClosed_.store(false);
    published_.Publish(state_);
    startTime_ = std::chrono::steady_clock::now();
    thread_ = std::thread([this] { Run(); });
    return devicePath_;
}

void SimulatedBox::Stop() {
    if (!running()) {
        return;
    }
    stopRequested_.store(true);
    Wake();
    thread_.join();
    trace_.Close();
    line_.Close();
    ::close(wakeFd_);
    wakeFd_ = -1;
    state_.lineOpen = 0;
    published_.Publish(state_);
}

void SimulatedBox::CloseLine() {
    if (!running()) {
        return;
    }
    closeRequested_.store(true);
    Wake();
    lineClosed_.wait(false);
}

BoxSnapshot SimulatedBox::Snapshot() const {
    BoxSnapshot s = published_.Read();
    const std::uint32_t forces = forces_.load(std::memory_order_relaxed);
    s.forcedMask = static_cast<std::uint16_t>(forces & 0xFFFFu);
    s.forcedLevels = static_cast<std::uint16_t>((forces >> 16) & s.forcedMask);
    return s;
}

bool SimulatedBox::WaitForTicks(std::uint64_t ticks, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (published_.Read().ticks < ticks) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void SimulatedBox::ForceInput(int number, InputForce force) {
    if (number < 1 || number > kInputCount) {
        return;
    }
    std::uint32_t current = forces_.load(std::memory_order_relaxed);
    while (!forces_.compare_exchange_weak(current, ForceBits(current, number - 1, force),
                                          std::memory_order_relaxed)) {
    }
}

InputForce SimulatedBox::forcedInput(int number) const {
    if (number < 1 || number > kInputCount) {
        return InputForce::kModel;
    }
    const std::uint32_t forces = forces_.load(std::memory_order_relaxed);
    if ((forces & (1u << (number - 1))) == 0) {
        return InputForce::kModel;
    }
    return (forces & (1u << (number + 15))) != 0 ? InputForce::kOn : InputForce::kOff;
}

std::int64_t SimulatedBox::NowUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 startTime_)
        .count();
}

void SimulatedBox::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof(one));
}

void SimulatedBox::Run() {
    // Wake-ups on time matter more here than the kernel's batching of timers.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (!options_.fast && options_.realtime) {
        // The thread only ever blocks in poll; it cannot starve the machine.
        sched_param param{};
        param.sched_priority = ::sched_get_priority_min(SCHED_FIFO);
        ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &param);
    }
    std::uint8_t bytes[256];
    for (;;) {
        pollfd fds[2] = {{line_.master(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, kIdlePollMs);
        const std::int64_t now = NowUs();
        trace_.FlushIfDue(now);
        if (stopRequested_.load()) {
            break;
        }
        if (closeRequested_.load()) {
            line_.Close();
            state_.lineOpen = 0;
            PublishState();
            trace_.Flush();
            lineClosed_.store(true);
            lineClosed_.notify_all();
            break;
        }
        if (ready == 0) {
            line_.ReleaseStaleExclusiveMode();
            continue;
        }
        if (ready < 0) {
            continue;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof(count));
        }
        const ssize_t n =
            (fds[0].revents & POLLIN) != 0 ? ::read(line_.master(), bytes, sizeof(bytes)) : 0;
        for (ssize_t i = 0; i < n; ++i) {
            Frame frame;
            if (parser_.Feed(bytes[i], now, &frame)) {
                Handle(frame);
            }
        }
        const bool readFailed = n < 0 && errno != EAGAIN && errno != EINTR;
        if (readFailed || (n == 0 && fds[0].revents != 0)) {
            // Should not happen while the slave is held open; never spin on it.
            ::poll(fds + 1, 1, kIdlePollMs);
        }
    }
    // Lines of the last exchanges reach the file even if the owner never
    // calls Stop() before reading it.
    trace_.Flush();
    if (!lineClosed_.load()) {
        lineClosed_.store(true);
        lineClosed_.notify_all();
    }
}

void SimulatedBox::Handle(const Frame& frame) {
    if (silent_.load(std::memory_order_relaxed)) {
        ++state_.ignoredFrames;
        PublishState();
        return;
    }
    if (resetRequested_.exchange(false, std::memory_order_relaxed)) {
        model_.Reset();
    }
    // A 0xC1 frame does not address the extension module: M5-M8 stand still.
    const std::uint16_t outputs = frame.command == kCommandBox
                                      ? static_cast<std::uint16_t>(frame.outputs & 0xFFu)
                                      : frame.outputs;
    const std::uint16_t modelInputs = model_.Apply(outputs);
    const std::uint32_t forces = forces_.load(std::memory_order_relaxed);
    const auto mask = static_cast<std::uint16_t>(forces & 0xFFFFu);
    const auto levels = static_cast<std::uint16_t>(forces >> 16);
    const auto inputs = static_cast<std::uint16_t>((modelInputs & ~mask) | (levels & mask));

    ++state_.ticks;
    state_.elapsedUs = frame.startUs;
    state_.outputs = outputs;
    state_.modelInputs = modelInputs;
    state_.inputs = inputs;
    state_.lastCommand = frame.command;
    trace_.Add(state_.ticks, frame.startUs, frame.command, outputs, inputs);
    PublishState();

    std::int64_t due = frame.startUs;
    if (!options_.fast) {
        const std::int64_t lineUs = protocol::ExchangeLineTimeUs(frame.command);
        // The program sent the command byte the inward delay before it
        // arrived here; the answer is complete on its side the outward delay
        // after it leaves. All in microseconds of the box's clock.
        const std::int64_t sentUs = frame.startUs - latency_.inUs;
        due = std::max(sentUs, lastDueUs_) + lineUs;
        lastDueUs_ = due;
        due -= latency_.outUs;
    }
    due += static_cast<std::int64_t>(answerDelayMs_.load(std::memory_order_relaxed)) * 1000;
    due = UsbTimerExpiryUs(due, 0, options_.usbLatencyMs);
    if (due > NowUs() && !WaitUntil(due)) {
        return;
    }
    const auto answer = protocol::EncodeAnswer(inputs);
    const int dropped = std::clamp(answerBytesDropped_.load(std::memory_order_relaxed), 0, 2);
    const int count = frame.AnswerBytes() - std::min(dropped, frame.AnswerBytes());
    if (count > 0) {
        // Non-blocking: an answer nobody reads is lost, as on a real line.
        [[maybe_unused]] const ssize_t n =
            ::write(line_.master(), answer.data(), static_cast<std::size_t>(count));
    }
    trace_.FlushIfDue(NowUs());
}

bool SimulatedBox::WaitUntil(std::int64_t dueUs) {
    for (;;) {
        const std::int64_t left = dueUs - NowUs();
        if (left <= 0) {
            return true;
        }
        if (stopRequested_.load() || closeRequested_.load()) {
            return false;
        }
        if (left <= kSpinUs) {
            continue;  // the last stretch: a timer would wake too late
        }
        const std::int64_t sleepUs = left - kSpinUs;
        pollfd wake{wakeFd_, POLLIN, 0};
        const timespec timeout{static_cast<time_t>(sleepUs / 1'000'000),
                               static_cast<long>((sleepUs % 1'000'000) * 1000)};
        ::ppoll(&wake, 1, &timeout, nullptr);
        if ((wake.revents & POLLIN) != 0 && (stopRequested_.load() || closeRequested_.load())) {
            return false;
        }
    }
}

void SimulatedBox::PublishState() {
    for (int k = 0; k < kMotorCount; ++k) {
        const Carriage& c = model_.carriage(k);
        MotorSnapshot& m = state_.motors[static_cast<std::size_t>(k)];
        m.position = c.position;
        m.state = c.state;
        m.onTicks = c.onTicks;
    }
    state_.skippedBytes = parser_.skippedBytes();
    published_.Publish(state_);
}

}  // namespace kinemo::simulator
