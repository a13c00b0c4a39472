#include "sequencer/engine/timeline_workers.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

namespace kinemo::engine {
namespace {

class RowWorkers {
  public:
    // Never destroyed: the helper may still wait for work while the process
    // ends, and a computation must not race a static destructor.
    static RowWorkers& Instance() {
        static RowWorkers* const workers = new RowWorkers();
        return *workers;
    }

    void Run(int rowCount, RowTask task, void* context) {
        const std::lock_guard<std::mutex> oneAtATime(callMutex_);
        if (!helperRunning_ || rowCount < 2) {
            for (int row = 0; row < rowCount; ++row) {
                task(row, context);
            }
            return;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            task_ = task;
            context_ = context;
            rowCount_ = rowCount;
            nextRow_.store(0, std::memory_order_relaxed);
            helperDone_ = false;
            ++generation_;
        }
        wake_.notify_one();
        TakeRows(task, context, rowCount);
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return helperDone_; });
    }

  private:
    RowWorkers() {
        try {
            std::thread(&RowWorkers::HelperLoop, this).detach();
            helperRunning_ = true;
        } catch (const std::system_error&) {
            helperRunning_ = false;
        }
    }

    void TakeRows(RowTask task, void* context, int rowCount) {
        for (;;) {
            const int row = nextRow_.fetch_add(1, std::memory_order_relaxed);
            if (row >= rowCount) {
                return;
            }
            task(row, context);
        }
    }

    void HelperLoop() {
        std::uint64_t served = 0;
        for (;;) {
            RowTask task = nullptr;
            void* context = nullptr;
            int rowCount = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return generation_ != served; });
                served = generation_;
                task = task_;
                context = context_;
                rowCount = rowCount_;
            }
            TakeRows(task, context, rowCount);
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                helperDone_ = true;
            }
            done_.notify_one();
        }
    }

    std::mutex callMutex_;
    bool helperRunning_ = false;

    std::mutex mutex_;  // guards the job fields below
    std::condition_variable wake_;
    std::condition_variable done_;
    std::uint64_t generation_ = 0;
    RowTask task_ = nullptr;
    void* context_ = nullptr;
    int rowCount_ = 0;
    bool helperDone_ = true;
    std::atomic<int> nextRow_{0};
};

}  // namespace

void RunRowsInParallel(int rowCount, RowTask task, void* context) {
    RowWorkers::Instance().Run(rowCount, task, context);
}

}  // namespace kinemo::engine
