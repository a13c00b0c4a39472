#include "joystick/joy_controller.h"

#include <atomic>

namespace kinemo::joy {

using platform::ThreadPriority;

struct JoyController::State {
    InterfaceLink& link;
    LiveSettings live;
    StopFlag stopRequested{0};
    ControlLoop loop;
    RunEndedListener* listener = nullptr;
    // Released by "LOS!"; reset by the control thread as it wakes.
    platform::ManualResetEvent startEvent;
    // Signalled while no run is in progress.
    platform::ManualResetEvent idle{true};
    platform::ManualResetEvent exited;
    std::atomic<bool> quit{false};
    // Set by StopAndWait: no run starts any more.
    std::atomic<bool> closing{false};
    // "LOS!" presses so far, and the count at the latest "NOT-AUS": a stop
    // that comes after the start of the run it is meant for, but before the
    // control thread has woken for it, still ends that run, while a stop in
    // the last tick of the previous run leaves the next run alone.
    std::atomic<std::uint64_t> starts{0};
    std::atomic<std::uint64_t> stopAtStart{0};
    std::atomic<std::uint64_t> runsEnded{0};
    std::atomic<platform::PriorityApplied> priority{platform::PriorityApplied::kUnchanged};
    platform::Thread thread;

    State(InterfaceLink& l, JoystickSource& source)
        : link(l), loop(live, source, l, stopRequested) {}

    void SetPriority(ThreadPriority p) {
        priority.store(platform::SetThreadPriority(thread.Id(), p));
    }

    static void Main(void* parameter) {
        auto& s = *static_cast<State*>(parameter);
        for (;;) {
            s.startEvent.Wait();
            s.startEvent.Reset();
            if (s.quit.load()) {
                break;
            }
            if (s.closing.load()) {
                s.idle.Set();
                continue;
            }
            s.idle.Reset();
            const std::uint64_t start = s.starts.load();
            s.stopRequested.store(0);
            if (s.stopAtStart.load() >= start) {
                s.stopRequested.store(1);
            }
            // Here, on the thread that owns the link during runs; the test
            // exchange of a reopen keeps the window free.
            s.link.Reopen();
            const RunOutcome outcome = s.loop.Run();
            s.runsEnded.fetch_add(1);
            s.idle.Set();
            s.listener->PostRunEnded(outcome);
        }
        s.idle.Set();
        s.exited.Set();
    }
};

JoyController::JoyController(InterfaceLink& link, JoystickSource& source,
                             RunEndedListener& listener)
    : state_(std::make_unique<State>(link, source)) {
    state_->listener = &listener;
    state_->startEvent.Reset();
    state_->thread = platform::Thread(&State::Main, state_.get());
}

JoyController::~JoyController() {
    State& s = *state_;
    s.quit.store(true);
    StopAndWait();
    s.startEvent.Set();  // wakes a waiting control thread, which then leaves
    if (s.exited.WaitFor(1000)) {
        s.thread.Join();
        return;
    }
    // The driver keeps the thread inside an exchange; it sees the stop after
    // it and still reads the state, which is therefore left to it.
    s.thread.Detach();
    static_cast<void>(state_.release());
}

LiveSettings& JoyController::Live() {
    return state_->live;
}

StopFlag& JoyController::StopRequested() {
    return state_->stopRequested;
}

bool JoyController::SetSource(JoystickSource& source) {
    if (Running()) {
        return false;
    }
    state_->loop.SetSource(source);
    return true;
}

void JoyController::Start() {
    State& s = *state_;
    if (s.closing.load()) {
        return;
    }
    s.SetPriority(ThreadPriority::kAboveNormal);
    s.idle.Reset();
    s.starts.fetch_add(1);
    s.startEvent.Set();
}

void JoyController::Stop() {
    State& s = *state_;
    s.stopAtStart.store(s.starts.load());
    s.stopRequested.store(1);
}

void JoyController::OnRunEnded() {
    state_->SetPriority(ThreadPriority::kIdle);
}

bool JoyController::StopAndWait(int timeoutMs) {
    State& s = *state_;
    // A start the control thread has not taken yet is dropped when it wakes.
    s.closing.store(true);
    Stop();
    return s.idle.WaitFor(timeoutMs);
}

bool JoyController::Running() const {
    return !state_->idle.IsSet();
}

bool JoyController::WaitUntilIdle(int timeoutMs) {
    return state_->idle.WaitFor(timeoutMs);
}

std::uint64_t JoyController::RunsEnded() const {
    return state_->runsEnded.load();
}

platform::ThreadId JoyController::ControlThread() const {
    return state_->thread.Id();
}

platform::PriorityApplied JoyController::PriorityApplied() const {
    return state_->priority.load();
}

}  // namespace kinemo::joy
