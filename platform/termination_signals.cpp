#include "platform/termination_signals.h"

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace kinemo::platform {

sigset_t TerminationSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);  // the terminal went away
    return set;
}

TerminationSignals::TerminationSignals() {
    const sigset_t set = TerminationSignalSet();
    sigemptyset(&previousMask_);
    ::pthread_sigmask(SIG_BLOCK, &set, &previousMask_);
    fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

TerminationSignals::~TerminationSignals() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

int TerminationSignals::Take() {
    if (fd_ < 0) {
        return 0;
    }
    signalfd_siginfo info{};
    for (;;) {
        const ssize_t got = ::read(fd_, &info, sizeof info);
        if (got == static_cast<ssize_t>(sizeof info)) {
            return static_cast<int>(info.ssi_signo);
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return 0;  // EAGAIN: nothing pending
    }
}

int TerminationSignals::Wait(int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd watched{fd_, POLLIN, 0};
    for (;;) {
        if (const int signal = Take(); signal != 0) {
            return signal;
        }
        int waitMs = -1;
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                return 0;
            }
            waitMs = static_cast<int>(left);
        }
        if (fd_ < 0) {
            // Nothing can arrive; still honour the wait the caller asked for.
            ::poll(nullptr, 0, waitMs);
            return 0;
        }
        // Woken without a signal to take (another thread took it, or an
        // interruption): look again while time is left.
        ::poll(&watched, 1, waitMs);
    }
}

}  // namespace kinemo::platform
