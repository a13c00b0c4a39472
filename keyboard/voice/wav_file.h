// WAV files as a speech source: 16 kHz, mono, 16-bit PCM, which is what the
// recogniser listens to. Other formats are refused with a message that says
// what was found; nothing is resampled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kinemo::voice {

inline constexpr std::uint32_t kSampleRate = 16000;
// About half an hour of speech; a larger file is more likely a mistake.
inline constexpr std::size_t kMaxWavBytes = 64 * 1024 * 1024;

struct WavResult {
    std::optional<std::vector<std::int16_t>> samples;
    std::string error;  // German
};

// Decodes a whole WAV file image: the RIFF header, a "fmt " chunk describing
// 16 kHz mono 16-bit PCM and a "data" chunk; other chunks are skipped.
WavResult ParseWav(std::span<const std::uint8_t> bytes);

WavResult LoadWav(const std::string& path);

// The bytes of a 16 kHz mono 16-bit PCM WAV file holding `samples`.
std::vector<std::uint8_t> EncodeWav(std::span<const std::int16_t> samples);

}  // namespace kinemo::voice
