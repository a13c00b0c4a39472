// A blocking job of a dialog (a connection attempt, which may wait for a box
// that does not answer) on a thread of its own, so the dialog and every other
// window stay usable meanwhile. The job's result comes back to the dialog's
// thread as a queued call: the job's thread never touches a widget.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

namespace kinemo::platform {

class DialogJob {
  public:
    DialogJob() = default;
    // Waits for a job in progress; a job must end by itself (within its
    // time-outs).
    ~DialogJob();
    DialogJob(const DialogJob&) = delete;
    DialogJob& operator=(const DialogJob&) = delete;

    // True from Start until `done` has run.
    bool Busy() const { return thread_.joinable() && !finished_.load(); }

    // Runs `job` on a new thread; `done(result)` follows on `receiver`'s
    // thread (not at all when `receiver` is gone by then). False, starting
    // nothing, while a job is busy. `job` and `done` are kept until the next
    // start, so what they capture must live as long as this object.
    bool Start(QObject* receiver, std::function<bool()> job, std::function<void(bool)> done);

  private:
    void Join();

    std::thread thread_;
    std::atomic<bool> finished_{true};
    std::function<bool()> job_;
    std::function<void(bool)> done_;
};

}  // namespace kinemo::platform
