#include "tests/platform/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace kinemo::testing {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

PtyPeer::PtyPeer() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    const char* name = master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0
                           ? ptsname(master_)
                           : nullptr;
    if (name == nullptr) {
        throw std::runtime_error("no pseudo-terminal");
    }
    devicePath_ = name;
}

PtyPeer::~PtyPeer() {
    CloseMaster();
}

Bytes PtyPeer::Read(std::size_t count, int timeoutMs) {
    Bytes bytes;
    const auto deadline = Clock::now() + milliseconds(timeoutMs);
    for (auto left = milliseconds(timeoutMs);
         bytes.size() < count && master_ >= 0 && left.count() > 0;
         left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now())) {
        pollfd entry{master_, POLLIN, 0};
        std::uint8_t buffer[64];
        if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        const ssize_t got = read(master_, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (got > 0) {
            bytes.insert(bytes.end(), buffer, buffer + got);
        } else {
            // No device side open (yet): the master reports hangup.
            std::this_thread::sleep_for(milliseconds(5));
        }
    }
    return bytes;
}

bool PtyPeer::Write(const Bytes& bytes) {
    return master_ >= 0 && (bytes.empty() || write(master_, bytes.data(), bytes.size()) ==
                                                 static_cast<ssize_t>(bytes.size()));
}

void PtyPeer::CloseMaster() {
    StopBox();
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

void PtyPeer::StartBox(std::size_t requestSize, const Bytes& answer) {
    StopBox();
    SetAnswer(answer);
    stop_.store(false);
    box_ = std::thread([this, requestSize] { RunBox(requestSize); });
}

void PtyPeer::SetAnswer(const Bytes& answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = answer;
}

void PtyPeer::StopBox() {
    stop_.store(true);
    if (box_.joinable()) {
        box_.join();
    }
}

std::vector<Bytes> PtyPeer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool PtyPeer::WaitForRequests(std::size_t count, int timeoutMs) const {
    const auto deadline = Clock::now() + milliseconds(timeoutMs);
    while (Requests().size() < count && Clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(2));
    }
    return Requests().size() >= count;
}

void PtyPeer::RunBox(std::size_t requestSize) {
    Bytes pending;
    while (!stop_.load()) {
        const Bytes got = Read(requestSize - pending.size(), 20);
        pending.insert(pending.end(), got.begin(), got.end());
        if (pending.size() < requestSize) {
            continue;
        }
        Bytes answer;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(pending);
            answer = answer_;
        }
        pending.clear();
        if (skip_.load() > 0) {
            skip_.fetch_sub(1);
            continue;
        }
        std::this_thread::sleep_for(milliseconds(delayMs_.load()));
        Write(answer);
    }
}

}  // namespace kinemo::testing
