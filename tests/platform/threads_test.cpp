#include "platform/threads.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <tuple>

namespace kinemo::platform {
namespace {

constexpr int kGenerousWaitMs = 20000;

// An event stays signalled until reset and releases a waiter on another
// thread; a thread knows its id at once, passes its parameter, and taking
// over another thread first waits for the one held.
TEST(Thread, EventsReleaseWaitersAndThreadsWaitBeforeTakingOver) {
    ManualResetEvent event;
    const bool before = event.WaitFor(0);
    event.Set();
    event.Wait();
    const bool still = event.WaitFor(0);
    event.Reset();
    EXPECT_EQ(std::tuple(before, still, event.WaitFor(10), ManualResetEvent(true).IsSet()),
              std::tuple(false, true, false, true));

    struct Seen {
        std::atomic<int> value{0};
        ThreadId id;
        ManualResetEvent* start = nullptr;
        ManualResetEvent done;
    } seen;
    seen.start = &event;
    Thread thread(
        [](void* parameter) {
            auto* s = static_cast<Seen*>(parameter);
            s->id = CurrentThreadId();
            s->value.fetch_add(1);
            s->start->Wait();
            s->done.Set();
        },
        &seen);
    const pid_t tid = thread.Id().tid;
    EXPECT_TRUE(tid != 0 && tid != CurrentThreadId().tid);
    EXPECT_FALSE(seen.done.WaitFor(20));
    event.Set();
    EXPECT_TRUE(seen.done.WaitFor(kGenerousWaitMs));
    thread.Join();
    EXPECT_EQ(std::pair(seen.id.tid, thread.Joinable()), std::pair(tid, false));

    auto count = [](void* s) { static_cast<Seen*>(s)->value.fetch_add(1); };
    thread = Thread(count, &seen);
    thread = Thread(count, &seen);
    thread.Join();
    Thread moved(std::move(thread));
    // A thread that is not running is left alone.
    EXPECT_EQ(std::tuple(seen.value.load(), moved.Joinable(),
                         SetThreadPriority(ThreadId{}, ThreadPriority::kHighest)),
              std::tuple(3, false, PriorityApplied::kUnchanged));
}

// Applies every priority in turn to a waiting thread and checks that what is
// reported is what the system shows, and that back at normal the thread is
// plain again. Only the one thread changes. Returns 0 or the failed step + 1.
int ApplyAllAndCheck(bool privileged) {
    struct Step {
        ThreadPriority priority;
        PriorityApplied applied;
        int policy;
    };
    const PriorityApplied raised =
        privileged ? PriorityApplied::kRealTime : PriorityApplied::kUnchanged;
    const Step steps[] = {
        {ThreadPriority::kAboveNormal, raised, privileged ? SCHED_RR : SCHED_OTHER},
        {ThreadPriority::kHighest, raised, privileged ? SCHED_RR : SCHED_OTHER},
        // Idle stays unchanged too: an unprivileged thread could never come back.
        {ThreadPriority::kIdle,
         privileged ? PriorityApplied::kIdleClass : PriorityApplied::kUnchanged,
         privileged ? SCHED_IDLE : SCHED_OTHER},
        {ThreadPriority::kNormal, PriorityApplied::kNice, SCHED_OTHER},
    };
    ManualResetEvent finish;
    Thread thread([](void* event) { static_cast<ManualResetEvent*>(event)->Wait(); }, &finish);
    const ThreadId id = thread.Id();
    int failed = 0;
    for (int i = 0; i < 4 && failed == 0; ++i) {
        int policy = -1;
        sched_param param{};
        const bool applied = SetThreadPriority(id, steps[i].priority) == steps[i].applied;
        if (!applied || pthread_getschedparam(id.handle, &policy, &param) != 0 ||
            policy != steps[i].policy) {
            failed = i + 1;
        }
    }
    errno = 0;
    if (failed == 0 && (getpriority(PRIO_PROCESS, static_cast<id_t>(id.tid)) != 0 ||
                        getpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadId().tid)) != 0)) {
        failed = 5;
    }
    finish.Set();
    return failed;
}

// Forks (the caller has no other threads), drops to an unprivileged user
// with the default limits unless `privileged`, and returns the exit code of
// ApplyAllAndCheck; 100 when the privileges could not be dropped, 101 when
// the child did not exit normally.
int InChild(bool privileged) {
    const pid_t child = fork();
    if (child == 0) {
        const rlimit none{0, 0};
        const uid_t nobody = 65534;
        _exit(privileged ||
                      (setrlimit(RLIMIT_NICE, &none) == 0 && setrlimit(RLIMIT_RTPRIO, &none) == 0 &&
                       setgid(nobody) == 0 && setuid(nobody) == 0)
                  ? ApplyAllAndCheck(privileged)
                  : 100);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)
               ? WEXITSTATUS(status)
               : 101;
}

// Real time and the idle class where allowed (the superuser), nothing at
// all for an unprivileged user. (A user allowed nice values but not real
// time needs a raised RLIMIT_NICE hard limit, which the test machine cannot
// grant.)
TEST(SetThreadPriority, UsesRealTimeAndTheIdleClassOnlyWhereAllowed) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "real-time scheduling and dropping to a user need the superuser";
    }
    EXPECT_EQ(std::pair(InChild(true), InChild(false)), std::pair(0, 0));
}

}  // namespace
}  // namespace kinemo::platform
