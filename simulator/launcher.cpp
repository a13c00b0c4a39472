#include "simulator/launcher.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <ctime>

extern char** environ;

namespace kinemo::simulator {

namespace {

sigset_t EndSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);  // the terminal went away
    sigaddset(&set, SIGUSR1);
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

int EndChild(pid_t child) {
    ::kill(child, SIGTERM);
    const sigset_t set = EndSignals();
    const std::time_t giveUp = std::time(nullptr) + kChildGraceSeconds;
    int code = 0;
    while (!Reaped(child, &code)) {
        if (std::time(nullptr) >= giveUp) {
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);
            return ExitCodeOf(status);
        }
        const timespec tick{0, 100'000'000};
        ::sigtimedwait(&set, nullptr, &tick);
    }
    return code;
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
    sigset_t defaults = EndSignals();
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

void BlockEndSignals() {
    const sigset_t set = EndSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int WaitForEnd(pid_t child) {
    const sigset_t set = EndSignals();
    int code = 0;
    for (;;) {
        if (child > 0 && Reaped(child, &code)) {
            return code;
        }
        const int signal = ::sigwaitinfo(&set, nullptr);
        if (signal == SIGINT || signal == SIGTERM || signal == SIGHUP || signal == SIGUSR1) {
            return child > 0 ? EndChild(child) : 0;
        }
        // SIGCHLD (or an interruption): look at the child again.
    }
}

}  // namespace kinemo::simulator
