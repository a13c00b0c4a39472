// Starting a program against the simulated box and waiting for the end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/termination_signals.h"

namespace kinemo::simulator {

// The port name programs open the simulator under.
inline constexpr char kPortVariable[] = "KINEMO_PORT_COM1";

// Starts argv[0] (searched in PATH) with the current environment plus
// KINEMO_PORT_COM1=devicePath, default handling of the termination signals
// and an empty signal mask. Returns its process id, or -1 with *error set.
pid_t LaunchProgram(const std::vector<std::string>& argv, const std::string& devicePath,
                    std::string* error);

// Waits for SIGINT, SIGTERM or SIGHUP (taken from `termination`), for
// `wakeFd` to become readable (the window closed; -1: none) or, when
// child > 0, for the child's end. Returns the exit code for the simulator:
// the child's own (128 + signal when a signal ended it), or 0 when it was
// woken or a signal arrived and there is no child. A signal or wake-up with a
// child running passes SIGTERM on and waits for it (SIGKILL after
// kChildGraceSeconds).
int WaitForEnd(platform::TerminationSignals& termination, pid_t child, int wakeFd = -1);

inline constexpr int kChildGraceSeconds = 5;

}  // namespace kinemo::simulator
