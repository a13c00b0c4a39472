// Starting a program against the simulated box and waiting for the end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kinemo::simulator {

// The port name programs open the simulator under.
inline constexpr char kPortVariable[] = "KINEMO_PORT_COM1";

// Starts argv[0] (searched in PATH) with the current environment plus
// KINEMO_PORT_COM1=devicePath, default signal handling and an empty signal
// mask. Returns its process id, or -1 with *error set.
pid_t LaunchProgram(const std::vector<std::string>& argv, const std::string& devicePath,
                    std::string* error);

// The signals that end the simulator. Block them in every thread (call
// before starting any thread) and collect them with WaitForEnd.
void BlockEndSignals();

// Waits for SIGINT, SIGTERM, SIGHUP, SIGUSR1 (the window closed) or, when child > 0,
// for the child's end. Returns the exit code for the simulator: the child's
// own (128 + signal when a signal ended it), or 0 when a signal arrived and
// there is no child. A signal with a child running passes SIGTERM on and
// waits for it (SIGKILL after kChildGraceSeconds).
int WaitForEnd(pid_t child);

inline constexpr int kChildGraceSeconds = 5;

}  // namespace kinemo::simulator
