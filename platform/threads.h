// Thin thread layer: a manual-reset event, threads started with one parameter,
// and the four scheduling classes the programs give their control threads.
#pragma once

#include <sys/types.h>

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kinemo::platform {

// Scheduling class of a thread.
enum class ThreadPriority { kIdle, kNormal, kAboveNormal, kHighest };

// What a priority change actually did; the system may allow less than asked.
enum class PriorityApplied {
    kRealTime,   // real-time round-robin scheduling
    kIdleClass,  // the idle scheduling class
    kNice,       // a per-thread nice value
    kUnchanged,  // not allowed here; the thread keeps its scheduling
};

// An event that stays signalled until it is reset; Set releases every waiter,
// current and future, until Reset.
class ManualResetEvent {
  public:
    explicit ManualResetEvent(bool initiallySet = false) : set_(initiallySet) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // Waits without time-out until the event is signalled.
    void Wait();
    // Waits at most `milliseconds`; true when the event was signalled.
    bool WaitFor(int milliseconds);

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool set_;
};

// Identifies a running thread for priority changes from any thread: the
// pthread handle for the scheduling policy and the kernel thread id for the
// per-thread nice value.
struct ThreadId {
    pthread_t handle{};
    pid_t tid = 0;
};

ThreadId CurrentThreadId();

using ThreadFunction = void (*)(void* parameter);

// A thread started with one parameter. The constructor returns once the new
// thread is running, so its ThreadId is known at once.
class Thread {
  public:
    Thread() = default;
    Thread(ThreadFunction function, void* parameter);
    Thread(Thread&&) noexcept = default;
    // Joins the thread this one held before taking over `other`.
    Thread& operator=(Thread&& other) noexcept;
    // Joins the thread: a Thread never outlives its work silently.
    ~Thread();

    bool Joinable() const { return thread_.joinable(); }
    void Join();
    // Lets the thread run on alone; its id is no longer valid afterwards.
    void Detach();
    const ThreadId& Id() const { return id_; }

  private:
    std::thread thread_;
    ThreadId id_;
};

// Applies `priority` to the thread: real-time scheduling for above normal and
// highest where the system allows it, else a negative nice value; the idle
// class (or nice 19) for idle, but only where the thread may later be raised
// back to normal, since a thread that cannot return would play every later
// run at the lowest priority; nice 0 under normal scheduling for normal.
// Never fails: what the system refuses is left unchanged.
PriorityApplied SetThreadPriority(const ThreadId& thread, ThreadPriority priority);

}  // namespace kinemo::platform
