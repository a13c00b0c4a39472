#include "joystick/joystick_source.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>

namespace kinemo::joy {
namespace {

constexpr std::string_view kHeaderStart = "# kinemo-joy replay name=\"";
constexpr std::size_t kMaxReplayBytes = 512U * 1024U * 1024U;

ReplayParseResult Refuse(int line, std::string message) {
    return ReplayParseResult{false, line, std::move(message)};
}

// A whole decimal number of 1 to 10 digits, nothing else.
bool ParseNumber(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Takes "key=NUMBER" from the front of `rest` (after one space).
bool TakeField(std::string_view& rest, std::string_view key, std::uint64_t& value) {
    if (rest.substr(0, 1) != " ") {
        return false;
    }
    rest.remove_prefix(1);
    if (rest.substr(0, key.size()) != key || rest.substr(key.size(), 1) != "=") {
        return false;
    }
    rest.remove_prefix(key.size() + 1);
    const std::size_t end = std::min(rest.find(' '), rest.size());
    const bool ok = ParseNumber(rest.substr(0, end), value);
    rest.remove_prefix(end);
    return ok;
}

ReplayParseResult ParseHeader(std::string_view line, ReplayHeader& header) {
    const std::string expected =
        "Kopfzeile fehlt oder ist ungültig (erwartet: # kinemo-joy replay name=\"NAME\" axes=A "
        "buttons=B hat=H)";
    if (line.substr(0, kHeaderStart.size()) != kHeaderStart) {
        return Refuse(1, expected);
    }
    std::string_view rest = line.substr(kHeaderStart.size());
    const std::size_t quote = rest.find('"');
    if (quote == std::string_view::npos) {
        return Refuse(1, expected);
    }
    if (quote > kReplayMaxNameLength) {
        return Refuse(1, "Name länger als " + std::to_string(kReplayMaxNameLength) + " Zeichen");
    }
    header.name = std::string(rest.substr(0, quote));
    rest.remove_prefix(quote + 1);
    std::uint64_t axes = 0;
    std::uint64_t buttons = 0;
    std::uint64_t hat = 0;
    if (!TakeField(rest, "axes", axes) || !TakeField(rest, "buttons", buttons) ||
        !TakeField(rest, "hat", hat) || !rest.empty()) {
        return Refuse(1, expected);
    }
    if (axes < 2 || axes > 6) {
        return Refuse(1, "axes muss 2 bis 6 sein");
    }
    if (buttons > 32) {
        return Refuse(1, "buttons muss 0 bis 32 sein");
    }
    if (hat > 1) {
        return Refuse(1, "hat muss 0 oder 1 sein");
    }
    header.axes = static_cast<int>(axes);
    header.buttons = static_cast<int>(buttons);
    header.hat = static_cast<int>(hat);
    return ReplayParseResult{true, 0, {}};
}

ReplayParseResult ParseRead(std::string_view line, int number, const ReplayHeader& header,
                            ReplayRead& read) {
    std::uint64_t values[8] = {};
    std::size_t count = 0;
    while (true) {
        const std::size_t comma = line.find(',');
        const std::string_view cell = line.substr(0, comma);
        if (count == 8 || !ParseNumber(cell, values[count])) {
            return Refuse(number, "erwartet acht Zahlen x,y,z,r,u,v,pov,buttons");
        }
        ++count;
        if (comma == std::string_view::npos) {
            break;
        }
        line.remove_prefix(comma + 1);
    }
    if (count != 8) {
        return Refuse(number, "erwartet acht Zahlen x,y,z,r,u,v,pov,buttons");
    }
    static constexpr const char* kAxisNames[] = {"x", "y", "z", "r", "u", "v"};
    for (int axis = 0; axis < platform::kJoystickMaxAxes; ++axis) {
        if (values[axis] > 65535) {
            return Refuse(number, std::string(kAxisNames[axis]) + " muss 0 bis 65535 sein");
        }
        read.axes[axis] = static_cast<std::uint16_t>(values[axis]);
    }
    const std::uint64_t pov = values[6];
    if (pov > 65535 || !platform::IsPovDirection(static_cast<std::uint32_t>(pov))) {
        return Refuse(number, "pov muss 0, 4500, 9000, ..., 31500 oder 65535 sein");
    }
    if (header.hat == 0 && pov != platform::kJoystickHatCentred) {
        return Refuse(number, "pov muss ohne Hut (hat=0) 65535 sein");
    }
    read.pov = static_cast<std::uint16_t>(pov);
    const std::uint64_t limit = std::uint64_t{1} << header.buttons;
    if (values[7] >= limit) {
        return Refuse(number, "buttons muss eine Bitmaske unter 2^" +
                                  std::to_string(header.buttons) + " sein");
    }
    read.buttons = static_cast<std::uint32_t>(values[7]);
    return ReplayParseResult{true, 0, {}};
}

// Ten digits hold any 32-bit value.
char* PutNumber(char* out, std::uint32_t value) {
    return std::to_chars(out, out + 10, value).ptr;
}

}  // namespace

DeviceSource::DeviceSource(int index) {
    device_.Open(index);
}

ReadResult DeviceSource::Read(platform::JoystickPosition& position) {
    return device_.Read(position) ? ReadResult::kOk : ReadResult::kFailed;
}

ReplayParseResult ParseReplay(std::string_view text, Replay& replay) {
    replay = Replay{};
    Replay parsed;
    int number = 0;
    bool headerSeen = false;
    while (!text.empty()) {
        ++number;
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!headerSeen) {
            ReplayParseResult header = ParseHeader(line, parsed.header);
            if (!header.ok) {
                return header;
            }
            headerSeen = true;
            continue;
        }
        if (!line.empty() && line.front() == '#') {
            continue;
        }
        if (line.empty()) {
            return Refuse(number, "leere Zeile");
        }
        if (parsed.reads.size() >= kReplayMaxReads) {
            return Refuse(number, "zu viele Zeilen (höchstens " + std::to_string(kReplayMaxReads) +
                                      " Lesungen)");
        }
        ReplayRead read;
        ReplayParseResult result = ParseRead(line, number, parsed.header, read);
        if (!result.ok) {
            return result;
        }
        parsed.reads.push_back(read);
    }
    if (!headerSeen) {
        return Refuse(1,
                      "Kopfzeile fehlt oder ist ungültig (erwartet: # kinemo-joy replay "
                      "name=\"NAME\" axes=A buttons=B hat=H)");
    }
    replay = std::move(parsed);
    return ReplayParseResult{true, 0, {}};
}

ReplayParseResult LoadReplay(const std::string& path, Replay& replay) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Refuse(0, "Datei kann nicht geöffnet werden");
    }
    std::string text;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxReplayBytes) {
            return Refuse(0, "Datei ist zu groß");
        }
    }
    if (in.bad()) {
        return Refuse(0, "Datei kann nicht gelesen werden");
    }
    return ParseReplay(text, replay);
}

std::string ReplayErrorLine(const std::string& path, const ReplayParseResult& result) {
    if (result.line <= 0) {
        return path + ": " + result.message;
    }
    return path + ":" + std::to_string(result.line) + ": " + result.message;
}

platform::JoystickPosition PositionOf(const ReplayRead& read) {
    platform::JoystickPosition position;
    for (int axis = 0; axis < platform::kJoystickMaxAxes; ++axis) {
        position.axes[axis] = read.axes[axis];
    }
    position.pov = read.pov;
    position.buttons = read.buttons;
    return position;
}

ReplayRead ReadOf(const platform::JoystickPosition& position) {
    ReplayRead read;
    for (int axis = 0; axis < platform::kJoystickMaxAxes; ++axis) {
        read.axes[axis] =
            static_cast<std::uint16_t>(std::min<std::uint32_t>(position.axes[axis], 65535));
    }
    read.pov = static_cast<std::uint16_t>(std::min<std::uint32_t>(position.pov, 65535));
    read.buttons = position.buttons;
    return read;
}

std::string ReplayHeaderLine(const platform::JoystickCaps& caps) {
    std::string name = caps.name.substr(0, kReplayMaxNameLength);
    std::replace(name.begin(), name.end(), '"', '\'');
    std::replace(name.begin(), name.end(), '\n', ' ');
    std::replace(name.begin(), name.end(), '\r', ' ');
    const unsigned axes = std::clamp(caps.axes, 2U, 6U);
    const unsigned buttons = std::min(caps.buttons, 32U);
    return std::string(kHeaderStart) + name + "\" axes=" + std::to_string(axes) +
           " buttons=" + std::to_string(buttons) + " hat=" + (caps.hasHat ? "1" : "0") + "\n";
}

std::size_t FormatReplayLine(const platform::JoystickPosition& position, char* buffer) {
    char* out = buffer;
    for (int axis = 0; axis < platform::kJoystickMaxAxes; ++axis) {
        out = PutNumber(out, position.axes[axis]);
        *out++ = ',';
    }
    out = PutNumber(out, position.pov);
    *out++ = ',';
    out = PutNumber(out, position.buttons);
    *out++ = '\n';
    return static_cast<std::size_t>(out - buffer);
}

ReplaySource::ReplaySource(const Replay& replay) : replay_(replay) {
    if (virtual_.Attach(replay.header.name, replay.header.axes, replay.header.buttons,
                        replay.header.hat)) {
        device_.Open(virtual_.Index());
    }
}

ReadResult ReplaySource::Read(platform::JoystickPosition& position) {
    if (next_ >= replay_.reads.size()) {
        return ReadResult::kEnded;
    }
    virtual_.Set(PositionOf(replay_.reads[next_++]));
    return device_.Read(position) ? ReadResult::kOk : ReadResult::kFailed;
}

RecordingSource::RecordingSource(JoystickSource& inner, const platform::JoystickCaps& caps)
    : inner_(inner), caps_(caps) {}

RecordingSource::~RecordingSource() {
    Finish();
}

bool RecordingSource::Open(const std::string& path) {
    Finish();
    failed_ = false;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        return false;
    }
    // One write call per megabyte of lines, not one per tick.
    constexpr std::size_t kBufferSize = 1U << 20;
    buffer_ = std::make_unique<char[]>(kBufferSize);
    std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferSize);
    const std::string header = ReplayHeaderLine(caps_);
    failed_ = std::fwrite(header.data(), 1, header.size(), file_) != header.size();
    return true;
}

bool RecordingSource::Finish() {
    if (file_ == nullptr) {
        return !failed_;
    }
    failed_ = std::fflush(file_) != 0 || failed_;
    failed_ = std::fclose(file_) != 0 || failed_;
    file_ = nullptr;
    buffer_.reset();
    return !failed_;
}

ReadResult RecordingSource::Read(platform::JoystickPosition& position) {
    const ReadResult result = inner_.Read(position);
    if (result != ReadResult::kEnded && file_ != nullptr) {
        char line[kReplayLineMax];
        const std::size_t length = FormatReplayLine(position, line);
        failed_ = std::fwrite(line, 1, length, file_) != length || failed_;
    }
    return result;
}

}  // namespace kinemo::joy
