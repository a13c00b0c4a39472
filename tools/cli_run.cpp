// kinemo-cli run FILE.kmo --port NAME [--movement I] [--loop | --no-loop]
//
// Plays a program file on the interface box without a window, the way "LOS!"
// (or "Bewegung Testen" with --movement) does: connects through the driver
// library, computes the timeline and plays it on the player thread. Standard
// output carries the engine's diagnostic lines; standard error the status
// texts, one per line. SIGINT and SIGTERM act as NOT-AUS.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <string>

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
// Wakes the signal thread when the command is done.
constexpr int kWakeSignal = SIGUSR2;

void Status(const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
}

class EndedEvent : public engine::RunEndedListener {
  public:
    void PostRunEnded() override { ended.Set(); }
    platform::ManualResetEvent ended;
};

// SIGINT and SIGTERM are blocked in every thread of the command and taken by
// one thread with sigwait, so the stop runs as ordinary code: it sets the
// player's stop flag, which the player reads at its next motor check.
class StopSignals {
  public:
    StopSignals() {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        sigaddset(&signals_, kWakeSignal);
        pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
        thread_ = platform::Thread(&Main, this);
    }
    ~StopSignals() {
        done_.store(true);
        pthread_kill(thread_.Id().handle, kWakeSignal);
        thread_.Join();
        // A wake signal that was not consumed would stay pending once unblocked.
        sigset_t wake;
        sigemptyset(&wake);
        sigaddset(&wake, kWakeSignal);
        timespec none{};
        while (sigtimedwait(&wake, nullptr, &none) == kWakeSignal) {
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The run to stop; until it is set a signal only marks the command as
    // interrupted.
    void Watch(engine::RunControl* control) { control_.store(control); }
    bool Interrupted() const { return interrupted_.load(); }

  private:
    static void Main(void* parameter) {
        auto& self = *static_cast<StopSignals*>(parameter);
        while (!self.done_.load()) {
            int signal = 0;
            if (sigwait(&self.signals_, &signal) != 0 || signal == kWakeSignal) {
                continue;
            }
            self.interrupted_.store(true);
            if (engine::RunControl* control = self.control_.load()) {
                control->EmergencyStop();
            }
            Status(kStoppedText);
        }
    }

    sigset_t signals_{};
    sigset_t previous_{};
    std::atomic<bool> done_{false};
    std::atomic<bool> interrupted_{false};
    std::atomic<engine::RunControl*> control_{nullptr};
    platform::Thread thread_;
};

struct RunRequest {
    std::string path;
    std::string port;
    int movement = -1;  // -1: the whole list
    int loop = -1;      // -1: as the file says, else the endlessLoop value
};

RunRequest ParseRequest(CommandArgs args) {
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

}  // namespace

int RunRunCommand(CommandArgs args, std::FILE* out) {
    const RunRequest request = ParseRequest(args);
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
    Status(kFinishedText);
    return kExitOk;
}

}  // namespace kinemo::cli
