// kinemo-cli run FILE.kmo --port NAME [--movement I] [--loop | --no-loop]
//
// Plays a program file on the interface box without a window, the way "LOS!"
// (or "Bewegung Testen" with --movement) does: connects through the driver
// library, computes the timeline and plays it on the player thread. Standard
// output carries the engine's diagnostic lines; standard error the status
// texts, one per line. SIGINT, SIGTERM and SIGHUP act as NOT-AUS.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/termination_signals.h"
#include "platform/threads.h"
#include "sequencer/engine/interface_binding.h"
#include "sequencer/engine/run_control.h"
#include "tools/cli_args.h"
#include "tools/cli_command.h"
#include "tools/cli_program.h"

namespace kinemo::cli {
namespace {

constexpr char kComputingText[] = "Berechnen...\n";
constexpr char kPlayingText[] = "Ausführen...\n";
constexpr char kFinishedText[] = "Fertig\n";
constexpr char kStoppedText[] = "Abgebrochen\n";
constexpr char kNoConnectionLine[] = "Keine Verbindung zum Interface!\n";

void Status(const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
}

class EndedEvent : public engine::RunEndedListener {
  public:
    void PostRunEnded() override { ended.Set(); }
    platform::ManualResetEvent ended;
};

// SIGINT, SIGTERM and SIGHUP are blocked in every thread of the command and
// taken by one thread, so the stop runs as ordinary code: it sets the
// player's stop flag, which the player reads at its next motor check.
class StopSignals {
  public:
    StopSignals() : wake_(::eventfd(0, EFD_CLOEXEC)) { thread_ = platform::Thread(&Main, this); }
    ~StopSignals() {
        done_.store(true);
        if (wake_ >= 0) {
            const std::uint64_t one = 1;
            const ssize_t written = ::write(wake_, &one, sizeof one);
            (void)written;  // the counter cannot overflow from one write
        }
        thread_.Join();
        if (wake_ >= 0) {
            ::close(wake_);
        }
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The run to stop; until it is set a signal only marks the command as
    // interrupted. Watch(nullptr) returns once a stop in progress has ended,
    // so the run may be destroyed after it.
    void Watch(engine::RunControl* control) {
        const std::lock_guard lock(controlMutex_);
        control_ = control;
    }
    bool Interrupted() const { return interrupted_.load(); }

  private:
    static void Main(void* parameter) {
        auto& self = *static_cast<StopSignals*>(parameter);
        pollfd watched[2] = {{self.termination_.Fd(), POLLIN, 0}, {self.wake_, POLLIN, 0}};
        // Without a wake descriptor the thread looks at the done flag now and then.
        const int timeoutMs = self.wake_ >= 0 ? -1 : 100;
        while (!self.done_.load()) {
            ::poll(watched, 2, timeoutMs);
            while (self.termination_.Take() != 0) {
                self.interrupted_.store(true);
                {
                    const std::lock_guard lock(self.controlMutex_);
                    if (self.control_ != nullptr) {
                        self.control_->EmergencyStop();
                    }
                }
                Status(kStoppedText);
            }
        }
    }

    // Declared first: the mask is in place before the thread starts.
    platform::TerminationSignals termination_;
    int wake_;  // eventfd: the command is done
    std::atomic<bool> done_{false};
    std::atomic<bool> interrupted_{false};
    std::mutex controlMutex_;
    engine::RunControl* control_ = nullptr;  // guarded by controlMutex_
    platform::Thread thread_;
};

}  // namespace

RunRequest ParseRunArgs(CommandArgs args) {
    const ParsedArgs parsed(
        args, {{"--port", true}, {"--movement", true}, {"--loop", false}, {"--no-loop", false}});
    RunRequest request;
    request.path = parsed.Positional({"DATEI.kmo"})[0];
    const std::optional<std::string> port = parsed.Value("--port");
    if (!port || port->empty()) {
        throw CliFailure("Option --port NAME fehlt");
    }
    request.port = *port;
    if (parsed.Has("--loop") && parsed.Has("--no-loop")) {
        throw CliFailure("--loop und --no-loop schließen einander aus");
    }
    if (parsed.Has("--loop")) {
        request.loop = 1;
    } else if (parsed.Has("--no-loop")) {
        request.loop = 0;
    }
    if (parsed.Has("--movement")) {
        if (request.loop == 1) {
            throw CliFailure("--loop passt nicht zu --movement (ein Test läuft einmal)");
        }
        request.movement = static_cast<int>(
            ParseInteger(*parsed.Value("--movement"), 0, engine::kMaxMovements - 1, "--movement"));
    }
    return request;
}

int RunCommand(const RunRequest& request, std::FILE* out) {
    const engine::ProgramContents contents = LoadProgramOrFail(request.path);
    if (request.movement >= static_cast<int>(contents.records.size())) {
        throw CliFailure("--movement: die Datei hat nur " +
                         std::to_string(contents.records.size()) +
                         " Bewegungen (von 0 an gezählt)");
    }

    StopSignals signals;
    engine::DriverLink link;
    if (!engine::ConnectInterface(link, request.port, nullptr)) {
        Status(kNoConnectionLine);
        return kExitFailure;
    }
    if (signals.Interrupted()) {
        return kExitOk;
    }

    EndedEvent listener;
    engine::RunControl control(link, listener, out);
    engine::RunSettingsValues settings;
    FillList(contents, control.Movements(), settings);
    if (request.loop >= 0) {
        settings.endlessLoop = static_cast<std::uint8_t>(request.loop);
    }
    engine::StoreRunSettings(control.Settings(), settings);
    signals.Watch(&control);
    // Also when a throw leaves early: before `control` goes, a stop the signal
    // thread is giving right then ends first.
    struct Unwatch {
        StopSignals& watcher;
        ~Unwatch() { watcher.Watch(nullptr); }
    } const unwatch{signals};

    Status(kComputingText);
    if (request.movement >= 0) {
        control.Movements().currentMovement = request.movement;
        control.TestMovement(request.movement);
    } else {
        control.RunList();
    }
    // Starting a run clears the stop flag, so a stop that came while computing
    // is given again.
    if (signals.Interrupted()) {
        control.EmergencyStop();
    }
    Status(kPlayingText);
    listener.ended.Wait();
    control.OnRunEnded();
    signals.Watch(nullptr);
    if (control.LastOutcome() == engine::RunOutcome::kLinkLost) {
        // The rows after the loss were never sent: no "Fertig".
        Status(engine::kLinkLostText);
        Status("\n");
        return kExitFailure;
    }
    Status(kFinishedText);
    return kExitOk;
}

}  // namespace kinemo::cli
