// kinemo-joy-cli: KinemoJoy's engine on the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/termination_signals.h"
#include "tools/joy/joy_cli.h"

int main(int argc, char** argv) {
    // Before any thread starts, so that every thread inherits the blocked
    // signals and they arrive only through the descriptor.
    kinemo::platform::TerminationSignals signals;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return kinemo::joycli::RunJoyCli(args, stdout, stderr, signals);
}
