// The far end of a pseudo-terminal, standing in for the interface box in
// tests: the code under test opens DevicePath() like a serial port, and the
// test reads what arrived on the wire and answers through the master side.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kinemo::testing {

using Bytes = std::vector<std::uint8_t>;

class PtyPeer {
  public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& DevicePath() const { return devicePath_; }

    // Reads until `count` bytes arrived or `timeoutMs` passed.
    Bytes Read(std::size_t count, int timeoutMs = 5000);
    // Everything that arrives within `quietMs` (for "nothing was sent").
    Bytes Drain(int quietMs = 200) { return Read(4096, quietMs); }
    bool Write(const Bytes& bytes);
    // Hangs up the line: the device side sees the peer gone.
    void CloseMaster();

    // Acts as the box on a thread: every request of `requestSize` bytes is
    // logged and answered with the current answer (nothing when it is empty).
    void StartBox(std::size_t requestSize, const Bytes& answer);
    void SetAnswer(const Bytes& answer);
    // The next `count` requests get no answer (a tick whose reply is lost).
    void SkipAnswers(int count) { skip_.store(count); }
    // Delay before each answer.
    void SetAnswerDelayMs(int delayMs) { delayMs_.store(delayMs); }
    void StopBox();
    // Requests the box has received so far, each as sent.
    std::vector<Bytes> Requests() const;
    // Waits until the box has received `count` requests.
    bool WaitForRequests(std::size_t count, int timeoutMs = 5000) const;

  private:
    void RunBox(std::size_t requestSize);

    int master_ = -1;
    std::string devicePath_;
    std::thread box_;
    std::atomic<bool> stop_{false};
    std::atomic<int> skip_{0};
    std::atomic<int> delayMs_{0};
    mutable std::mutex mutex_;
    Bytes answer_;
    std::vector<Bytes> requests_;
};

}  // namespace kinemo::testing
