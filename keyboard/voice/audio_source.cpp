#include "keyboard/voice/audio_source.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "keyboard/voice/wav_file.h"

namespace kinemo::voice {
namespace {

using Clock = std::chrono::steady_clock;

std::int64_t NowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// Four seconds of sound: far more than one recognition step ever needs.
constexpr std::size_t kRingSamples = 4 * kSampleRate;
// Blocks of 16 ms from the device.
constexpr Uint16 kDeviceBlock = 256;

}  // namespace

SampleSource::SampleSource(std::vector<std::int16_t> samples, bool paced)
    : samples_(std::move(samples)), paced_(paced) {}

Clock::time_point SampleSource::TimeOfSample(std::size_t index) const {
    const auto offset = std::chrono::nanoseconds(static_cast<std::int64_t>(index) * 1'000'000'000 /
                                                 static_cast<std::int64_t>(kSampleRate));
    return Clock::time_point(std::chrono::nanoseconds(startNanos_.load())) + offset;
}

std::size_t SampleSource::Read(std::span<std::int16_t> block) {
    const std::size_t position = position_.load(std::memory_order_relaxed);
    const std::size_t n = std::min(block.size(), samples_.size() - position);
    if (n == 0) {
        return 0;
    }
    if (paced_) {
        if (position == 0) {
            startNanos_.store(NowNanos());
        }
        // A block is handed out when its last sample would have been heard.
        std::unique_lock lock(mutex_);
        stopped_.wait_until(lock, TimeOfSample(position + n), [this] { return stop_; });
        if (stop_) {
            return 0;
        }
    } else {
        std::lock_guard lock(mutex_);
        if (stop_) {
            return 0;
        }
    }
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position), n, block.begin());
    position_.store(position + n, std::memory_order_release);
    return n;
}

void SampleSource::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    stopped_.notify_all();
}

MicrophoneSource::MicrophoneSource() = default;

MicrophoneSource::~MicrophoneSource() {
    Stop();
    Close();
}

bool MicrophoneSource::Open(const std::string& deviceName, std::string& error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = std::string("Keine Tonaufnahme möglich: ") + SDL_GetError();
        return false;
    }
    audioInitialised_ = true;
    ring_.assign(kRingSamples, 0);
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(kSampleRate);
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = kDeviceBlock;
    want.callback = &MicrophoneSource::Deliver;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts whatever the device gives to 16 kHz mono.
    device_ =
        SDL_OpenAudioDevice(deviceName.empty() ? nullptr : deviceName.c_str(), 1, &want, &have, 0);
    if (device_ == 0) {
        error = std::string("Kein Mikrofon gefunden") +
                (deviceName.empty() ? "" : " (\"" + deviceName + "\")") + ": " + SDL_GetError();
        Close();
        return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void MicrophoneSource::Deliver(void* self, std::uint8_t* stream, int length) {
    auto* source = static_cast<MicrophoneSource*>(self);
    const std::size_t n = static_cast<std::size_t>(length) / 2;
    {
        std::lock_guard lock(source->mutex_);
        for (std::size_t i = 0; i < n; ++i) {
            std::int16_t sample;
            std::memcpy(&sample, stream + 2 * i, 2);
            if (source->count_ == source->ring_.size()) {
                // Full: the oldest sample goes, so the recogniser hears the present.
                source->head_ = (source->head_ + 1) % source->ring_.size();
                --source->count_;
                source->dropped_.fetch_add(1, std::memory_order_relaxed);
            }
            source->ring_[(source->head_ + source->count_) % source->ring_.size()] = sample;
            ++source->count_;
        }
    }
    source->ready_.notify_one();
}

std::size_t MicrophoneSource::Read(std::span<std::int16_t> block) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return stop_ || count_ > 0; });
    if (stop_) {
        return 0;
    }
    const std::size_t n = std::min(block.size(), count_);
    for (std::size_t i = 0; i < n; ++i) {
        block[i] = ring_[(head_ + i) % ring_.size()];
    }
    head_ = (head_ + n) % ring_.size();
    count_ -= n;
    return n;
}

void MicrophoneSource::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    ready_.notify_all();
}

void MicrophoneSource::Close() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    if (audioInitialised_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioInitialised_ = false;
    }
}

}  // namespace kinemo::voice
