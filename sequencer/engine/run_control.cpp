#include "sequencer/engine/run_control.h"

#include <atomic>
#include <mutex>
#include <optional>

namespace kinemo::engine {

namespace {
// How long ending the program waits for the player's final all-off exchange.
constexpr int kShutdownWaitMs = 1000;
}  // namespace

struct RunControl::State {
    MovementList movements;
    RunSettings settings;
    Timeline timeline;
    StopFlag stopRequested{0};
    InterfaceLink* link = nullptr;
    std::FILE* diagnostics = nullptr;
    PlayerThreadState player;
    LiveRunChannel live;
    RunRequest lastRun;
    platform::Thread playerThread;
    std::atomic<platform::PriorityApplied> playerPriority{platform::PriorityApplied::kUnchanged};

    // Registered by the connect thread itself; read by the dialog thread.
    std::mutex connectMutex;
    std::optional<platform::ThreadId> connectThread;

    void SetConnectPriority(ThreadPriority priority) {
        std::lock_guard lock(connectMutex);
        if (connectThread) {
            platform::SetThreadPriority(*connectThread, priority);
        }
    }
    void SetPlayerPriority(ThreadPriority priority) {
        playerPriority.store(platform::SetThreadPriority(playerThread.Id(), priority));
    }
};

RunControl::RunControl(InterfaceLink& link, RunEndedListener& listener, std::FILE* diagnostics)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    FillMovementsAtStartup(s.movements);
    s.link = &link;
    s.diagnostics = diagnostics;
    s.player.context.link = &link;
    s.player.context.timeline = &s.timeline;
    s.player.context.settings = &s.settings;
    s.player.context.stopRequested = &s.stopRequested;
    s.player.context.diagnostics = diagnostics;
    s.player.context.live = &s.live;
    s.player.listener = &listener;
    s.player.startEvent.Reset();
    s.playerThread = platform::Thread(&PlayerThreadMain, &s.player);
}

RunControl::~RunControl() {
    State& s = *state_;
    s.player.quit.store(true);
    s.stopRequested.store(1);
    s.SetPlayerPriority(ThreadPriority::kNormal);
    s.player.startEvent.Set();  // wakes a waiting player, which then leaves
    if (s.player.exited.WaitFor(kShutdownWaitMs)) {
        s.playerThread.Join();
        return;
    }
    // The driver keeps the player inside an exchange. It will see the stop at
    // its next motor check; until then it still reads the state, which is
    // therefore left to it.
    s.playerThread.Detach();
    static_cast<void>(state_.release());
}

MovementList& RunControl::Movements() {
    return state_->movements;
}

RunSettings& RunControl::Settings() {
    return state_->settings;
}

const Timeline& RunControl::GetTimeline() const {
    return state_->timeline;
}

bool RunControl::Start(const RunRequest& run) {
    State& s = *state_;
    if (Running() || run.first < 0 || run.count < 0 || run.first + run.count > kMovementSlots) {
        return false;
    }
    s.link->Reopen();
    ComputeTimeline(s.movements, run.first, run.first + run.count - 1, s.timeline, s.diagnostics);
    s.SetConnectPriority(ThreadPriority::kIdle);
    s.SetPlayerPriority(ThreadPriority::kNormal);
    s.stopRequested.store(0);
    s.player.runLength.store(run.count);
    s.player.loop.store(run.loop);
    s.lastRun = run;
    s.player.idle.Reset();
    // The player resets the event when it wakes.
    s.player.startEvent.Set();
    return true;
}

const LiveRunChannel& RunControl::Live() const {
    return state_->live;
}

RunRequest RunControl::LastRun() const {
    return state_->lastRun;
}

RunOutcome RunControl::LastOutcome() const {
    return state_->player.outcome.load();
}

bool RunControl::TestMovement(int current) {
    return current < kMaxMovements && Start(RunRequest{current, 1, false});
}

bool RunControl::RunList() {
    return Start(RunRequest{0, state_->movements.movementCount, true});
}

void RunControl::EmergencyStop() {
    state_->stopRequested.store(1);
}

void RunControl::OnRunEnded() {
    State& s = *state_;
    // The player posts RunEnded just before it marks the run as over, after
    // its last exchange; the wait is that short step, never an exchange.
    s.player.idle.WaitFor(kShutdownWaitMs);
    s.SetPlayerPriority(ThreadPriority::kIdle);
    s.SetConnectPriority(ThreadPriority::kIdle);
}

bool RunControl::Running() const {
    return !state_->player.idle.IsSet();
}

bool RunControl::WaitUntilIdle(int timeoutMs) {
    return state_->player.idle.WaitFor(timeoutMs);
}

void RunControl::SetConnectThread(const platform::ThreadId& thread) {
    std::lock_guard lock(state_->connectMutex);
    state_->connectThread = thread;
}

void RunControl::ClearConnectThread() {
    std::lock_guard lock(state_->connectMutex);
    state_->connectThread.reset();
}

platform::ThreadId RunControl::PlayerThread() const {
    return state_->playerThread.Id();
}

platform::PriorityApplied RunControl::PlayerPriorityApplied() const {
    return state_->playerPriority.load();
}

StopFlag& RunControl::StopRequested() {
    return state_->stopRequested;
}

}  // namespace kinemo::engine
