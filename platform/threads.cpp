#include "platform/threads.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace kinemo::platform {

void ManualResetEvent::Set() {
    // Notifying under the lock lets a waiter destroy the event as soon as it
    // wakes: Set touches nothing after the unlock.
    std::lock_guard lock(mutex_);
    set_ = true;
    changed_.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool ManualResetEvent::IsSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

void ManualResetEvent::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return set_; });
}

bool ManualResetEvent::WaitFor(int milliseconds) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds < 0 ? 0 : milliseconds),
                             [this] { return set_; });
}

ThreadId CurrentThreadId() {
    ThreadId id;
    id.handle = pthread_self();
    id.tid = static_cast<pid_t>(syscall(SYS_gettid));
    return id;
}

Thread::Thread(ThreadFunction function, void* parameter) {
    ManualResetEvent started;
    ThreadId startedId;
    thread_ = std::thread([function, parameter, &started, &startedId] {
        startedId = CurrentThreadId();
        started.Set();  // `started` and `startedId` are gone once the constructor returns
        function(parameter);
    });
    started.Wait();
    id_ = startedId;
}

Thread& Thread::operator=(Thread&& other) noexcept {
    if (this != &other) {
        Join();
        thread_ = std::move(other.thread_);
        id_ = other.id_;
        other.id_ = ThreadId{};
    }
    return *this;
}

Thread::~Thread() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void Thread::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void Thread::Detach() {
    if (thread_.joinable()) {
        thread_.detach();
    }
    id_ = ThreadId{};
}

namespace {

constexpr int kIdleNice = 19;
constexpr int kAboveNormalNiceStep = 5;
constexpr int kHighestNiceStep = 10;
constexpr int kCapSysNice = 23;  // bit of CAP_SYS_NICE in the capability sets

// The nice value the process was started with stands for normal priority.
int BaseNice() {
    static const int base = [] {
        errno = 0;
        const int value = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
        return errno == 0 ? value : 0;
    }();
    return base;
}

bool HasCapSysNice() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return false;
    }
    bool capable = false;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        unsigned long long effective = 0;
        if (std::sscanf(line, "CapEff: %llx", &effective) == 1) {
            capable = ((effective >> kCapSysNice) & 1U) != 0;
            break;
        }
    }
    std::fclose(status);
    return capable;
}

// True when a thread lowered to the idle class or nice 19 may be raised back
// to the base nice value later. Without CAP_SYS_NICE the kernel allows nice n
// only when 20 - n is within RLIMIT_NICE (0 by default).
bool MayReturnToNormal() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) == 0 &&
        (limit.rlim_cur == RLIM_INFINITY ||
         limit.rlim_cur >= static_cast<rlim_t>(20 - BaseNice()))) {
        return true;
    }
    return geteuid() == 0 || HasCapSysNice();
}

bool SetPolicy(pthread_t handle, int policy, int schedPriority) {
    sched_param param{};
    param.sched_priority = schedPriority;
    return pthread_setschedparam(handle, policy, &param) == 0;
}

bool SetNice(pid_t tid, int nice) {
    if (tid == 0) {
        return false;
    }
    if (nice < -20) {
        nice = -20;
    }
    // With a thread id, the nice value applies to that one thread.
    return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0;
}

PriorityApplied ApplyRaised(const ThreadId& thread, int rtPriority, int niceStep) {
    const int minimum = sched_get_priority_min(SCHED_RR);
    if (SetPolicy(thread.handle, SCHED_RR, minimum + rtPriority)) {
        return PriorityApplied::kRealTime;
    }
    SetPolicy(thread.handle, SCHED_OTHER, 0);
    if (SetNice(thread.tid, BaseNice() - niceStep)) {
        return PriorityApplied::kNice;
    }
    return PriorityApplied::kUnchanged;
}

PriorityApplied ApplyNormal(const ThreadId& thread) {
    SetPolicy(thread.handle, SCHED_OTHER, 0);
    return SetNice(thread.tid, BaseNice()) ? PriorityApplied::kNice : PriorityApplied::kUnchanged;
}

PriorityApplied ApplyIdle(const ThreadId& thread) {
    if (!MayReturnToNormal()) {
        return PriorityApplied::kUnchanged;
    }
    if (SetPolicy(thread.handle, SCHED_IDLE, 0)) {
        return PriorityApplied::kIdleClass;
    }
    SetPolicy(thread.handle, SCHED_OTHER, 0);
    if (SetNice(thread.tid, kIdleNice)) {
        return PriorityApplied::kNice;
    }
    return PriorityApplied::kUnchanged;
}

}  // namespace

PriorityApplied SetThreadPriority(const ThreadId& thread, ThreadPriority priority) {
    if (thread.handle == pthread_t{} && thread.tid == 0) {
        return PriorityApplied::kUnchanged;
    }
    switch (priority) {
        case ThreadPriority::kIdle:
            return ApplyIdle(thread);
        case ThreadPriority::kNormal:
            return ApplyNormal(thread);
        case ThreadPriority::kAboveNormal:
            return ApplyRaised(thread, 1, kAboveNormalNiceStep);
        case ThreadPriority::kHighest:
            return ApplyRaised(thread, 2, kHighestNiceStep);
    }
    return PriorityApplied::kUnchanged;
}

}  // namespace kinemo::platform
