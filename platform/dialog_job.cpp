#include "platform/dialog_job.h"

#include <utility>

#include "platform/dialog_events.h"

namespace kinemo::platform {

DialogJob::~DialogJob() {
    Join();
}

void DialogJob::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool DialogJob::Start(QObject* receiver, std::function<bool()> job,
                      std::function<void(bool)> done) {
    if (Busy()) {
        return false;
    }
    Join();  // the previous job has handed over its result and is ending
    job_ = std::move(job);
    done_ = std::move(done);
    finished_ = false;
    thread_ = std::thread([this, receiver] {
        const bool result = job_();
        // Run on the receiver's thread; dropped if the receiver is gone.
        PostCall(receiver, [this, result] {
            finished_ = true;
            done_(result);
        });
    });
    return true;
}

}  // namespace kinemo::platform
