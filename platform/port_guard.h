// Keeps the threads that share one serial port apart: the thread that opens
// or closes it (a connect dialog's worker, the program's end) and the thread
// that exchanges on it every tick (a player or control loop).
//
// Opening and closing hold the port exclusively and wait, blocked, for an
// exchange that is running. An exchange never waits: it uses the port only
// when it is open and nobody else holds it, so a tick during a connection
// attempt reports no answer at once instead of stalling behind a test that
// may take the whole read time-out. One mutex per port: an exchange costs
// system calls and milliseconds of line time anyway.
#pragma once

#include <atomic>
#include <mutex>

namespace kinemo::platform {

class PortGuard {
  public:
    using Hold = std::unique_lock<std::mutex>;

    // For opening, testing and closing: waits until no exchange runs.
    Hold Exclusive() { return Hold(mutex_); }

    // For one exchange: held only when the port is open and free; an empty
    // (not owning) lock otherwise.
    Hold TryExchange() {
        if (!open_.load(std::memory_order_acquire)) {
            return Hold();
        }
        Hold hold(mutex_, std::try_to_lock);
        if (hold.owns_lock() && !open_.load(std::memory_order_relaxed)) {
            hold.unlock();  // closed between the look and the lock
        }
        return hold;
    }

    // Marks the port open or closed; call while holding it exclusively.
    void SetOpen(bool open) { open_.store(open, std::memory_order_release); }
    bool IsOpen() const { return open_.load(std::memory_order_acquire); }

  private:
    std::mutex mutex_;
    std::atomic<bool> open_{false};
};

}  // namespace kinemo::platform
