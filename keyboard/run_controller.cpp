#include "keyboard/run_controller.h"

#include <atomic>
#include <utility>

#include "keyboard/control_loop.h"
#include "keyboard/key_handler.h"

namespace kinemo::keyboard {

namespace {
// How long ending waits for the final all-off exchange.
constexpr int kShutdownWaitMs = 1000;
}  // namespace

struct RunController::State {
    State(BoxLink& l, const LiveSettings& s, RunEndedCallback callback)
        : link(l), settings(s), runEnded(std::move(callback)), loop(l, s, run) {}

    BoxLink& link;
    const LiveSettings& settings;
    RunEndedCallback runEnded;
    RunVariables run;
    ControlLoop loop;
    platform::ManualResetEvent startEvent{false};
    // Signalled while no run is in progress.
    platform::ManualResetEvent idle{true};
    platform::ManualResetEvent exited{false};
    std::atomic<bool> quit{false};
    std::atomic<std::uint32_t> runNumber{0};
    std::atomic<platform::PriorityApplied> priority{platform::PriorityApplied::kUnchanged};
    platform::Thread thread;

    void SetPriority(platform::ThreadPriority value) {
        priority.store(platform::SetThreadPriority(thread.Id(), value));
    }

    static void Main(void* parameter) {
        State& s = *static_cast<State*>(parameter);
        for (;;) {
            s.startEvent.Wait();
            s.startEvent.Reset();
            if (s.quit.load()) {
                break;
            }
            const std::uint32_t number = s.runNumber.load();
            const StopReason reason = s.loop.Run();
            s.idle.Set();
            // A controller that is being destroyed reports to nobody: its
            // owner may already be gone.
            if (s.runEnded && !s.quit.load()) {
                s.runEnded(number, reason);
            }
        }
        s.exited.Set();
    }
};

RunController::RunController(BoxLink& link, const LiveSettings& settings, RunEndedCallback runEnded)
    : state_(std::make_unique<State>(link, settings, std::move(runEnded))) {
    state_->thread = platform::Thread(&State::Main, state_.get());
}

RunController::~RunController() {
    State& s = *state_;
    s.quit.store(true);
    s.run.RequestStop(kStopButton);
    s.SetPriority(platform::ThreadPriority::kNormal);
    s.startEvent.Set();
    if (s.exited.WaitFor(kShutdownWaitMs)) {
        s.thread.Join();
        return;
    }
    // The thread is held in an exchange (a read gives up after 800 ms). It
    // sees the stop when it returns; the state it reads stays with it.
    s.thread.Detach();
    static_cast<void>(state_.release());
}

StartResult RunController::Start() {
    State& s = *state_;
    if (s.idle.IsSet()) {
        s.link.Reopen();  // a line lost in an earlier run
    }
    if (!s.link.Connected()) {
        return StartResult::kNotConnected;
    }
    if (!s.idle.IsSet()) {
        return StartResult::kRunning;
    }
    PrepareRun(s.run, s.settings);
    s.runNumber.fetch_add(1);
    s.idle.Reset();
    s.SetPriority(platform::ThreadPriority::kHighest);
    // The control thread resets the event when it wakes.
    s.startEvent.Set();
    return StartResult::kStarted;
}

void RunController::RequestStop(StopReason reason) {
    state_->run.RequestStop(reason);
}

int RunController::HandleKey(const KeyTable& table, std::uint8_t character) {
    return keyboard::HandleKey(table, state_->run, character);
}

void RunController::OnRunEnded() {
    state_->SetPriority(platform::ThreadPriority::kIdle);
}

bool RunController::Running() const {
    return !state_->idle.IsSet();
}

bool RunController::WaitUntilIdle(int timeoutMs) {
    return state_->idle.WaitFor(timeoutMs);
}

std::uint32_t RunController::RunNumber() const {
    return state_->runNumber.load();
}

RunVariables& RunController::Variables() {
    return state_->run;
}

platform::ThreadId RunController::ControlThread() const {
    return state_->thread.Id();
}

platform::PriorityApplied RunController::PriorityApplied() const {
    return state_->priority.load();
}

}  // namespace kinemo::keyboard
