#include "keyboard/voice/wav_file.h"

#include <cstring>
#include <fstream>

namespace kinemo::voice {
namespace {

constexpr char kExpected[] = "erwartet wird 16 kHz, mono, 16 Bit PCM";

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}
void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

WavResult Refuse(std::string text) {
    WavResult r;
    r.error = "WAV-Datei: " + std::move(text);
    return r;
}

}  // namespace

WavResult ParseWav(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > kMaxWavBytes) {
        return Refuse("zu groß (höchstens " + std::to_string(kMaxWavBytes / (1024 * 1024)) +
                      " MiB)");
    }
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return Refuse("keine WAV-Datei (RIFF/WAVE fehlt)");
    }
    bool haveFormat = false;
    std::size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        const std::uint8_t* header = bytes.data() + pos;
        const std::uint32_t size = Le32(header + 4);
        const std::size_t bodyStart = pos + 8;
        const std::size_t remaining = bytes.size() - bodyStart;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            if (size < 16 || size > remaining) {
                return Refuse("der Formatblock ist beschädigt");
            }
            const std::uint8_t* f = bytes.data() + bodyStart;
            const std::uint16_t format = Le16(f);
            const std::uint16_t channels = Le16(f + 2);
            const std::uint32_t rate = Le32(f + 4);
            const std::uint16_t blockAlign = Le16(f + 12);
            const std::uint16_t bits = Le16(f + 14);
            if (format != 1) {
                return Refuse("nicht PCM (Formatkennung " + std::to_string(format) + "); " +
                              kExpected);
            }
            if (channels != 1) {
                return Refuse(std::to_string(channels) + " Kanäle; " + kExpected);
            }
            if (rate != kSampleRate) {
                return Refuse(std::to_string(rate) + " Hz; " + kExpected);
            }
            if (bits != 16 || blockAlign != 2) {
                return Refuse(std::to_string(bits) + " Bit; " + kExpected);
            }
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!haveFormat) {
                return Refuse("der Formatblock fehlt vor den Daten");
            }
            if (size > remaining) {
                return Refuse("unvollständig (die Daten sind kürzer als angegeben)");
            }
            if (size % 2 != 0) {
                return Refuse("die Daten enden mitten in einem Abtastwert");
            }
            std::vector<std::int16_t> samples(size / 2);
            const std::uint8_t* d = bytes.data() + bodyStart;
            for (std::size_t i = 0; i < samples.size(); ++i) {
                samples[i] = static_cast<std::int16_t>(Le16(d + 2 * i));
            }
            WavResult r;
            r.samples = std::move(samples);
            return r;
        }
        // Chunks are padded to an even length.
        const std::size_t advance = 8 + static_cast<std::size_t>(size) + (size & 1u);
        if (advance > bytes.size() - pos) {
            break;
        }
        pos += advance;
    }
    return Refuse(haveFormat ? "die Daten fehlen" : "der Formatblock fehlt");
}

WavResult LoadWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Refuse("\"" + path + "\" kann nicht gelesen werden");
    }
    std::vector<std::uint8_t> bytes;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        const auto got = static_cast<std::size_t>(in.gcount());
        if (bytes.size() + got > kMaxWavBytes) {
            return Refuse("\"" + path + "\" ist zu groß (höchstens " +
                          std::to_string(kMaxWavBytes / (1024 * 1024)) + " MiB)");
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    if (in.bad()) {
        return Refuse("\"" + path + "\" kann nicht gelesen werden");
    }
    WavResult r = ParseWav(bytes);
    if (!r.samples) {
        r.error += " (" + path + ")";
    }
    return r;
}

std::vector<std::uint8_t> EncodeWav(std::span<const std::int16_t> samples) {
    std::vector<std::uint8_t> out;
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.reserve(44 + dataBytes);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    Put32(out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, 1);  // mono
    Put32(out, kSampleRate);
    Put32(out, kSampleRate * 2);
    Put16(out, 2);
    Put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Put32(out, dataBytes);
    for (std::int16_t s : samples) {
        Put16(out, static_cast<std::uint16_t>(s));
    }
    return out;
}

}  // namespace kinemo::voice
