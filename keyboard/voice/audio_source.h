// Where the recogniser's sound comes from: 16 kHz mono 16-bit samples, read
// in blocks by the recognition thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kinemo::voice {

class AudioSource {
  public:
    virtual ~AudioSource() = default;
    // Fills `block` with the next samples and returns how many; waits until
    // some are there. 0 means the source has ended or Stop was called.
    virtual std::size_t Read(std::span<std::int16_t> block) = 0;
    // Ends a Read that is waiting, from any thread; later Reads return 0.
    virtual void Stop() = 0;
};

// Samples from memory, e.g. a WAV file. Paced, they come no faster than they
// would from a microphone (as for a demonstration); unpaced, as fast as they
// are read (for tests and measurements).
class SampleSource final : public AudioSource {
  public:
    SampleSource(std::vector<std::int16_t> samples, bool paced);
    std::size_t Read(std::span<std::int16_t> block) override;
    void Stop() override;

    // When sample `index` was (or will be) handed out, for a paced source
    // that has started; measures the delay from the end of a word.
    std::chrono::steady_clock::time_point TimeOfSample(std::size_t index) const;
    std::size_t Position() const { return position_.load(std::memory_order_acquire); }

  private:
    std::vector<std::int16_t> samples_;
    const bool paced_;
    std::atomic<std::size_t> position_{0};
    std::atomic<std::int64_t> startNanos_{0};
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
};

// Sound from the default (or a named) capture device through SDL's audio
// capture, 16 kHz mono. The device runs from Open until Stop or destruction.
class MicrophoneSource final : public AudioSource {
  public:
    MicrophoneSource();
    ~MicrophoneSource() override;
    MicrophoneSource(const MicrophoneSource&) = delete;
    MicrophoneSource& operator=(const MicrophoneSource&) = delete;

    // Opens and starts the device (empty name: the system's default); false
    // with a German message in `error` when there is none or it refuses.
    bool Open(const std::string& deviceName, std::string& error);
    std::size_t Read(std::span<std::int16_t> block) override;
    void Stop() override;

    // Samples lost because the recogniser fell behind (the buffer holds some
    // seconds); 0 in normal use.
    std::size_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

  private:
    static void Deliver(void* self, std::uint8_t* stream, int length);
    void Close();

    std::uint32_t device_ = 0;
    bool audioInitialised_ = false;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<std::int16_t> ring_;  // fixed size, reserved at Open
    std::size_t head_ = 0;            // next sample to read
    std::size_t count_ = 0;           // samples waiting
    bool stop_ = false;
    std::atomic<std::size_t> dropped_{0};
};

}  // namespace kinemo::voice
