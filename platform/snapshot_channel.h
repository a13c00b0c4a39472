// Hands a small trivially copyable value from one writer thread to readers
// without ever blocking the writer: a sequence lock over relaxed atomic words.
//
// The writer bumps the sequence to odd, stores the words, bumps it to even.
// A reader copies the words and retries while the sequence was odd or moved.
// Every shared access is atomic, so there is no data race; the fences order
// the word copies against the sequence as in the classic seqlock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace kinemo::platform {

template <typename T>
class SnapshotChannel {
    static_assert(std::is_trivially_copyable_v<T>);
    static constexpr std::size_t kWords = (sizeof(T) + 7) / 8;

  public:
    SnapshotChannel() { Publish(T{}); }

    // Only ever called by one thread at a time.
    void Publish(const T& value) {
        std::array<std::uint64_t, kWords> words{};
        std::memcpy(words.data(), &value, sizeof(T));
        const std::uint32_t s = sequence_.load(std::memory_order_relaxed);
        sequence_.store(s + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        for (std::size_t i = 0; i < kWords; ++i) {
            words_[i].store(words[i], std::memory_order_relaxed);
        }
        sequence_.store(s + 2, std::memory_order_release);
    }

    T Read() const {
        std::array<std::uint64_t, kWords> words{};
        for (;;) {
            const std::uint32_t before = sequence_.load(std::memory_order_acquire);
            if ((before & 1u) != 0) {
                continue;
            }
            for (std::size_t i = 0; i < kWords; ++i) {
                words[i] = words_[i].load(std::memory_order_relaxed);
            }
            std::atomic_thread_fence(std::memory_order_acquire);
            if (sequence_.load(std::memory_order_relaxed) == before) {
                break;
            }
        }
        T value;
        std::memcpy(static_cast<void*>(&value), words.data(), sizeof(T));
        return value;
    }

  private:
    std::atomic<std::uint32_t> sequence_{0};
    std::array<std::atomic<std::uint64_t>, kWords> words_{};
};

}  // namespace kinemo::platform
