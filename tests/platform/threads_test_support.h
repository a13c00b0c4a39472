// Runs a check in a child process under a chosen scheduling privilege, so the
// thread layer can be seen working where real-time scheduling is allowed and
// where nothing is. (A user allowed nice values but not real time needs a
// raised RLIMIT_NICE hard limit, which the test machine cannot grant.)
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace kinemo::platform::testing {

enum class SchedulingPrivilege {
    kFull,  // the test's own rights (root in CI: real-time allowed)
    kNone,  // an unprivileged user with the default limits
};

constexpr uid_t kUnprivilegedUser = 65534;

inline bool DropTo(SchedulingPrivilege privilege) {
    if (privilege == SchedulingPrivilege::kFull) {
        return true;
    }
    const rlimit none{0, 0};
    return setrlimit(RLIMIT_NICE, &none) == 0 && setrlimit(RLIMIT_RTPRIO, &none) == 0 &&
           setgid(kUnprivilegedUser) == 0 && setuid(kUnprivilegedUser) == 0;
}

// Forks (the caller must have no other threads), drops to `privilege` and runs
// `check`; returns its exit code, 100 when the privileges could not be dropped
// and 101 when the child did not exit normally.
inline int RunInChild(SchedulingPrivilege privilege, const std::function<int()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(DropTo(privilege) ? check() : 100);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return 101;
    }
    return WEXITSTATUS(status);
}

}  // namespace kinemo::platform::testing
