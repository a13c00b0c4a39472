#include "platform/threads.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>

#include <atomic>
#include <cerrno>

#include "tests/platform/threads_test_support.h"

namespace kinemo::platform {
namespace {

using testing::RunInChild;
using testing::SchedulingPrivilege;

constexpr int kGenerousWaitMs = 20000;

// An event stays signalled until reset and releases a waiter on another
// thread; a thread knows its id at once, passes its parameter, and taking
// over another thread first waits for the one held.
TEST(Thread, EventsReleaseWaitersAndThreadsWaitBeforeTakingOver) {
    ManualResetEvent event;
    EXPECT_FALSE(event.WaitFor(0));
    event.Set();
    event.Wait();
    EXPECT_TRUE(event.WaitFor(0));  // still signalled
    event.Reset();
    EXPECT_FALSE(event.WaitFor(10));
    EXPECT_TRUE(ManualResetEvent(true).IsSet());

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
    EXPECT_NE(tid, 0);
    EXPECT_NE(tid, CurrentThreadId().tid);
    EXPECT_FALSE(seen.done.WaitFor(20));
    event.Set();
    EXPECT_TRUE(seen.done.WaitFor(kGenerousWaitMs));
    thread.Join();
    EXPECT_EQ(seen.id.tid, tid);
    EXPECT_FALSE(thread.Joinable());

    auto count = [](void* s) { static_cast<Seen*>(s)->value.fetch_add(1); };
    thread = Thread(count, &seen);
    thread = Thread(count, &seen);
    thread.Join();
    EXPECT_EQ(seen.value.load(), 3);
    Thread moved(std::move(thread));
    EXPECT_FALSE(moved.Joinable());
    EXPECT_EQ(SetThreadPriority(ThreadId{}, ThreadPriority::kHighest),
              PriorityApplied::kUnchanged);  // a thread that is not running is left alone
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

// Real time and the idle class where allowed (the superuser), nothing at
// all for an unprivileged user.
TEST(SetThreadPriority, UsesRealTimeAndTheIdleClassOnlyWhereAllowed) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "real-time scheduling and dropping to a user need the superuser";
    }
    EXPECT_EQ(RunInChild(SchedulingPrivilege::kFull, [] { return ApplyAllAndCheck(true); }), 0);
    EXPECT_EQ(RunInChild(SchedulingPrivilege::kNone, [] { return ApplyAllAndCheck(false); }), 0);
}

}  // namespace
}  // namespace kinemo::platform
