#include "simulator/sim_options.h"

#include <charconv>
#include <string_view>

namespace kinemo::simulator {
namespace {

// Whole milliseconds 0..255, the range of the adapters' latency timers.
bool ParseUsbLatency(std::string_view text, int* ms) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 ||
        value > 255) {
        return false;
    }
    *ms = value;
    return true;
}

}  // namespace

bool ParseSimOptions(int argc, const char* const* argv, SimOptions* options, std::string* error) {
    *options = SimOptions{};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--headless") {
            options->headless = true;
        } else if (arg == "--fast") {
            options->fast = true;
        } else if (arg == "--help" || arg == "-h") {
            options->help = true;
        } else if (arg == "--link" || arg == "--trace") {
            if (!hasValue || std::string_view(argv[i + 1]).empty()) {
                *error = std::string(arg) + " needs a path";
                return false;
            }
            (arg == "--link" ? options->linkPath : options->tracePath) = argv[++i];
        } else if (arg == "--usb-latency") {
            if (!ParseUsbLatency(hasValue ? argv[i + 1] : "", &options->usbLatencyMs)) {
                *error = "--usb-latency needs milliseconds from 0 to 255";
                return false;
            }
            ++i;
        } else if (arg == "--launch") {
            if (!hasValue) {
                *error = "--launch needs a program";
                return false;
            }
            options->launch.assign(argv + i + 1, argv + argc);
            break;
        } else {
            *error = "unknown option " + std::string(arg);
            return false;
        }
    }
    return true;
}

const char* SimUsage() {
    return "Usage: kinemo-sim [OPTIONS] [--launch PROGRAM [ARGS...]]\n"
           "Simulates the interface box (M1-M8, E1-E16) on a pseudo-terminal and\n"
           "prints the device path on the first line of standard output.\n"
           "\n"
           "  --headless        no window\n"
           "  --fast            answer at once instead of after the line time\n"
           "                    (3.125 ms per 0xC1 exchange at 9600 baud)\n"
           "  --link PATH       create a symbolic link PATH to the device (removed at exit)\n"
           "  --usb-latency MS  act like a USB serial adapter with a latency timer of MS\n"
           "                    milliseconds (1 to 255; 0: none): an answer leaves at the\n"
           "                    timer's next expiry, so at 16 ms about 62 ticks per second\n"
           "  --trace FILE      write every exchange to FILE as CSV:\n"
           "                    tick,us,cmd,out1,out2,in1,in2 (bytes in hex)\n"
           "  --launch PROGRAM [ARGS...]\n"
           "                    run PROGRAM with KINEMO_PORT_COM1 set to the device and\n"
           "                    end with its exit code when it ends\n"
           "  --help            this text\n"
           "\n"
           "SIGINT, SIGTERM and SIGHUP end the simulator (and a launched program) cleanly.\n";
}

}  // namespace kinemo::simulator
