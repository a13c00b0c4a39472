// kinemo-sim: the simulated interface box as a program.
//
// Prints the pseudo-terminal's path on the first line of standard output,
// then answers the box's frames until SIGINT/SIGTERM/SIGHUP, the window closes, or
// the program started with --launch ends (its exit code becomes ours).
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/termination_signals.h"
#include "simulator/launcher.h"
#include "simulator/sim_options.h"
#include "simulator/simulated_box.h"
#include "simulator/symlink_guard.h"

#ifdef KINEMO_SIM_WINDOW
#include <QApplication>

#include "simulator/ui/simulator_window.h"
#endif

namespace {

using namespace kinemo::simulator;
using kinemo::platform::TerminationSignals;

#ifdef KINEMO_SIM_WINDOW
bool DisplayAvailable() {
    return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr ||
           std::getenv("QT_QPA_PLATFORM") != nullptr;
}

int RunWithWindow(char* programName, SimulatedBox& box, TerminationSignals& termination,
                  pid_t child) {
    // Qt sees no options: the launched program's arguments are not its own.
    int qtArgc = 1;
    char* qtArgv[] = {programName, nullptr};
    QApplication app(qtArgc, qtArgv);
    auto window = CreateSimulatorWindow(box);
    window->show();
    // Readable once the window has closed: tells the waiter (it ends a
    // launched program).
    const int windowClosed = ::eventfd(0, EFD_CLOEXEC);
    int code = 0;
    std::thread waiter([&code, &termination, child, windowClosed, &app] {
        code = WaitForEnd(termination, child, windowClosed);
        QMetaObject::invokeMethod(
            &app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    app.exec();
    if (windowClosed >= 0) {
        const std::uint64_t one = 1;
        const ssize_t written = ::write(windowClosed, &one, sizeof one);
        (void)written;  // one write cannot overflow the counter
    } else {
        // No descriptor to wake the waiter: end it as a signal would.
        ::kill(::getpid(), SIGTERM);
    }
    waiter.join();
    if (windowClosed >= 0) {
        ::close(windowClosed);
    }
    return code;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (!ParseSimOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "kinemo-sim: %s\n%s", error.c_str(), SimUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(SimUsage(), stdout);
        return 0;
    }
    // Before any thread exists, so that only WaitForEnd ever takes them.
    TerminationSignals termination;

    SimulatedBoxOptions boxOptions;
    boxOptions.fast = options.fast;
    boxOptions.usbLatencyMs = options.usbLatencyMs;
    boxOptions.tracePath = options.tracePath;
    SimulatedBox box(boxOptions);
    const std::string device = box.Start();
    if (device.empty()) {
        std::fprintf(stderr, "kinemo-sim: %s\n", box.error().c_str());
        return 1;
    }
    SymlinkGuard link;
    if (!options.linkPath.empty() && !link.Create(options.linkPath, device, &error)) {
        std::fprintf(stderr, "kinemo-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", device.c_str());
    std::fflush(stdout);

    pid_t child = -1;
    if (!options.launch.empty()) {
        child = LaunchProgram(options.launch, device, &error);
        if (child < 0) {
            std::fprintf(stderr, "kinemo-sim: %s\n", error.c_str());
            return 127;
        }
    }

#ifdef KINEMO_SIM_WINDOW
    bool headless = options.headless;
    if (!headless && !DisplayAvailable()) {
        std::fprintf(stderr, "kinemo-sim: no display, running without a window\n");
        headless = true;
    }
    const int code =
        headless ? WaitForEnd(termination, child) : RunWithWindow(argv[0], box, termination, child);
#else
    const int code = WaitForEnd(termination, child);
#endif
    box.Stop();
    return code;
}
