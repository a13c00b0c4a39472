#include "simulator/launcher.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <initializer_list>

extern char** environ;

namespace kinemo::simulator {

namespace {

// The signals a launched program gets back at their default handling: the
// termination signals this program blocks, and SIGCHLD for its own children.
sigset_t ChildDefaultSignals() {
    sigset_t set = platform::TerminationSignalSet();
    sigaddset(&set, SIGCHLD);
    return set;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return 1;
}

// Reaps the child if it has ended; *code then holds its exit code.
bool Reaped(pid_t child, int* code) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) {
        *code = ExitCodeOf(status);
        return true;
    }
    return false;
}

// A descriptor that becomes readable when the child ends; without one (an
// old kernel) the waits look at the child every kChildPollMs instead.
constexpr int kChildPollMs = 100;

class ChildWatch {
  public:
    explicit ChildWatch(pid_t child)
        : fd_(child > 0 ? static_cast<int>(::syscall(SYS_pidfd_open, child, 0)) : -1) {}
    ~ChildWatch() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    ChildWatch(const ChildWatch&) = delete;
    ChildWatch& operator=(const ChildWatch&) = delete;

    int Fd() const { return fd_; }

  private:
    int fd_;
};

// Waits until one of `fds` (negative entries are skipped) is readable or
// `timeoutMs` passed (-1: no limit).
void WaitReadable(std::initializer_list<int> fds, int timeoutMs) {
    pollfd watched[4]{};
    nfds_t count = 0;
    for (const int fd : fds) {
        if (fd >= 0 && count < 4) {
            watched[count++] = pollfd{fd, POLLIN, 0};
        }
    }
    ::poll(watched, count, timeoutMs);
}

int EndChild(platform::TerminationSignals& termination, pid_t child, const ChildWatch& watch) {
    ::kill(child, SIGTERM);
    const std::time_t giveUp = std::time(nullptr) + kChildGraceSeconds;
    int code = 0;
    while (!Reaped(child, &code)) {
        if (std::time(nullptr) >= giveUp) {
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);
            return ExitCodeOf(status);
        }
        // Further end requests change nothing: the child is already asked to end.
        while (termination.Take() != 0) {
        }
        WaitReadable({watch.Fd(), termination.Fd()}, kChildPollMs);
    }
    return code;
}

bool Readable(int fd) {
    if (fd < 0) {
        return false;
    }
    pollfd watched{fd, POLLIN, 0};
    return ::poll(&watched, 1, 0) > 0 && (watched.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

}  // namespace

pid_t LaunchProgram(const std::vector<std::string>& argv, const std::string& devicePath,
                    std::string* error) {
    if (argv.empty()) {
        *error = "no program to launch";
        return -1;
    }
    std::vector<std::string> environment;
    const std::string prefix = std::string(kPortVariable) + "=";
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        if (std::strncmp(*e, prefix.c_str(), prefix.size()) != 0) {
            environment.emplace_back(*e);
        }
    }
    environment.push_back(prefix + devicePath);

    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> env;
    for (std::string& e : environment) {
        env.push_back(e.data());
    }
    env.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults = ChildDefaultSignals();
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), env.data());
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        *error = "cannot start " + argv[0] + ": " + std::strerror(rc);
        return -1;
    }
    return pid;
}

int WaitForEnd(platform::TerminationSignals& termination, pid_t child, int wakeFd) {
    const ChildWatch watch(child);
    // Without a descriptor for the child, look at it now and then.
    const int timeoutMs = child > 0 && watch.Fd() < 0 ? kChildPollMs : -1;
    int code = 0;
    for (;;) {
        if (child > 0 && Reaped(child, &code)) {
            return code;
        }
        if (termination.Take() != 0 || Readable(wakeFd)) {
            return child > 0 ? EndChild(termination, child, watch) : 0;
        }
        WaitReadable({termination.Fd(), wakeFd, watch.Fd()}, timeoutMs);
    }
}

}  // namespace kinemo::simulator
