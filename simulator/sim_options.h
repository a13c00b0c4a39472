// Command line of the kinemo-sim program.
#pragma once

#include <string>
#include <vector>

namespace kinemo::simulator {

struct SimOptions {
    bool headless = false;
    bool fast = false;
    bool help = false;
    std::string linkPath;             // --link PATH
    std::string tracePath;            // --trace FILE
    std::vector<std::string> launch;  // --launch PROGRAM [ARGS...]
    int usbLatencyMs = 0;             // --usb-latency MS: an adapter's latency timer, 0 = none
};

// Parses argv[1..argc-1]. On a mistake returns false with *error set.
// Everything after --launch PROGRAM belongs to the launched program.
bool ParseSimOptions(int argc, const char* const* argv, SimOptions* options, std::string* error);

// The --help text.
const char* SimUsage();

}  // namespace kinemo::simulator
