// SIGINT, SIGTERM and SIGHUP as a readable descriptor, so that a program ends
// on them in ordinary code (an event loop, a poll loop or a waiting thread)
// instead of inside a signal handler.
#pragma once

#include <signal.h>

namespace kinemo::platform {

// The set of SIGINT, SIGTERM and SIGHUP, for code that hands them on (for
// example back to their default handling in a started program).
sigset_t TerminationSignalSet();

// SIGINT, SIGTERM and SIGHUP as a readable descriptor (signalfd). Construct it
// first thing in main(), before any thread starts: it blocks the three
// signals in the calling thread, and threads started later inherit the mask.
// Destruction restores the previous mask; a signal still pending then acts as
// it would have without this object.
class TerminationSignals {
  public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // poll() it, or watch it with a QSocketNotifier; -1 when the system gave
    // no descriptor (the signals are then still blocked and never reported).
    int Fd() const { return fd_; }
    // The number of a pending signal, 0 if none (never blocks).
    int Take();
    // Waits up to timeoutMs (-1: no limit); the signal number or 0.
    int Wait(int timeoutMs);

  private:
    int fd_ = -1;
    sigset_t previousMask_{};  // the thread's mask before construction
};

}  // namespace kinemo::platform
