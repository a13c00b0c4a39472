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

TEST(ManualResetEvent, StaysSignalledUntilResetAndReleasesEveryWaiter) {
    ManualResetEvent event;
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.WaitFor(0));
    event.Set();
    event.Wait();
    event.Wait();  // still signalled
    EXPECT_TRUE(event.WaitFor(0));
    event.Reset();
    EXPECT_FALSE(event.WaitFor(10));
    EXPECT_TRUE(ManualResetEvent(true).IsSet());
}

TEST(ManualResetEvent, SetOnAnotherThreadReleasesWaitWithoutTimeOut) {
    ManualResetEvent go;
    ManualResetEvent done;
    struct Pair {
        ManualResetEvent* go;
        ManualResetEvent* done;
    } pair{&go, &done};
    Thread waiter(
        [](void* parameter) {
            auto* p = static_cast<Pair*>(parameter);
            p->go->Wait();
            p->done->Set();
        },
        &pair);
    EXPECT_FALSE(done.WaitFor(20));
    go.Set();
    EXPECT_TRUE(done.WaitFor(kGenerousWaitMs));
}

TEST(Thread, PassesItsParameterAndKnowsItsIdAtOnce) {
    struct Seen {
        std::atomic<int> value{0};
        ThreadId id;
        ManualResetEvent finish;
    } seen;
    Thread thread(
        [](void* parameter) {
            auto* s = static_cast<Seen*>(parameter);
            s->id = CurrentThreadId();
            s->value = 42;
            s->finish.Wait();
        },
        &seen);
    const pid_t tid = thread.Id().tid;
    EXPECT_NE(tid, 0);
    EXPECT_NE(tid, CurrentThreadId().tid);
    seen.finish.Set();
    thread.Join();
    EXPECT_EQ(seen.value.load(), 42);
    EXPECT_EQ(seen.id.tid, tid);
    EXPECT_FALSE(thread.Joinable());
}

TEST(Thread, TakingOverAnotherThreadFirstWaitsForTheOneHeld) {
    std::atomic<int> finished{0};
    auto count = [](void* counter) { static_cast<std::atomic<int>*>(counter)->fetch_add(1); };
    Thread thread(count, &finished);
    thread = Thread(count, &finished);
    thread.Join();
    EXPECT_EQ(finished.load(), 2);
    Thread moved(std::move(thread));
    EXPECT_FALSE(moved.Joinable());
}

int NiceOf(pid_t tid) {
    errno = 0;
    return getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
}

int PolicyOf(pthread_t handle) {
    int policy = -1;
    sched_param param{};
    pthread_getschedparam(handle, &policy, &param);
    return policy;
}

// Applies every priority in turn to a waiting thread and checks that what is
// reported is what the system shows. Returns 0 or the number of the failed step.
int ApplyAllAndCheck(PriorityApplied expectedRaised, PriorityApplied expectedIdle) {
    ManualResetEvent finish;
    Thread thread([](void* event) { static_cast<ManualResetEvent*>(event)->Wait(); }, &finish);
    const ThreadId id = thread.Id();
    int failed = 0;
    if (SetThreadPriority(id, ThreadPriority::kAboveNormal) != expectedRaised) {
        failed = 1;
    } else if (expectedRaised == PriorityApplied::kRealTime && PolicyOf(id.handle) != SCHED_RR) {
        failed = 2;
    } else if (expectedRaised == PriorityApplied::kNice && NiceOf(id.tid) != -5) {
        failed = 3;
    } else if (SetThreadPriority(id, ThreadPriority::kHighest) != expectedRaised) {
        failed = 4;
    } else if (expectedRaised == PriorityApplied::kNice && NiceOf(id.tid) != -10) {
        failed = 5;
    } else if (SetThreadPriority(id, ThreadPriority::kIdle) != expectedIdle) {
        failed = 6;
    } else if (expectedIdle == PriorityApplied::kIdleClass && PolicyOf(id.handle) != SCHED_IDLE) {
        failed = 7;
    } else if (SetThreadPriority(id, ThreadPriority::kNormal) != PriorityApplied::kNice) {
        failed = 8;  // back to normal from wherever the steps before left it
    } else if (PolicyOf(id.handle) != SCHED_OTHER || NiceOf(id.tid) != 0) {
        failed = 9;
    } else if (NiceOf(CurrentThreadId().tid) != 0) {
        failed = 10;  // only the one thread was changed
    }
    finish.Set();
    return failed;
}

TEST(SetThreadPriority, UsesRealTimeAndTheIdleClassWhereAllowed) {
    // Only the superuser may use real time on the test machines.
    if (geteuid() != 0) {
        GTEST_SKIP() << "real-time scheduling needs the superuser";
    }
    EXPECT_EQ(RunInChild(SchedulingPrivilege::kFull,
                         [] {
                             return ApplyAllAndCheck(PriorityApplied::kRealTime,
                                                     PriorityApplied::kIdleClass);
                         }),
              0);
}

TEST(SetThreadPriority, LeavesThreadsUnchangedWhereNothingIsAllowed) {
    // Idle stays unchanged too: an unprivileged thread could never come back.
    if (geteuid() != 0) {
        GTEST_SKIP() << "dropping to an unprivileged user needs the superuser";
    }
    EXPECT_EQ(RunInChild(SchedulingPrivilege::kNone,
                         [] {
                             return ApplyAllAndCheck(PriorityApplied::kUnchanged,
                                                     PriorityApplied::kUnchanged);
                         }),
              0);
}

TEST(SetThreadPriority, AThreadThatIsNotRunningIsLeftAlone) {
    for (const ThreadPriority priority : {ThreadPriority::kIdle, ThreadPriority::kHighest}) {
        EXPECT_EQ(SetThreadPriority(ThreadId{}, priority), PriorityApplied::kUnchanged);
    }
}

}  // namespace
}  // namespace kinemo::platform
