#include "simulator/trace_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "simulator/frame_parser.h"

namespace kinemo::simulator {

namespace {

constexpr char kHeader[] = "tick,us,cmd,out1,out2,in1,in2\n";
// Longest line: two 20-digit numbers, the command and four bytes, separators.
constexpr std::size_t kMaxLine = 20 + 1 + 20 + 1 + 2 + 4 * 3 + 1;

// Twenty digits hold any 64-bit value.
char* PutUnsigned(char* p, std::uint64_t value) {
    return std::to_chars(p, p + 20, value).ptr;
}

char* PutHexByte(char* p, unsigned value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    *p++ = kHex[(value >> 4) & 0xFu];
    *p++ = kHex[value & 0xFu];
    return p;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

TraceWriter::~TraceWriter() {
    Close();
}

bool TraceWriter::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        return false;
    }
    std::memcpy(buffer_.data(), kHeader, sizeof(kHeader) - 1);
    used_ = sizeof(kHeader) - 1;
    Flush();
    return true;
}

void TraceWriter::Add(std::uint64_t tick, std::int64_t us, std::uint8_t command,
                      std::uint16_t outputs, std::uint16_t inputs) {
    if (fd_ < 0) {
        return;
    }
    if (buffer_.size() - used_ < kMaxLine) {
        Flush();
    }
    char* p = buffer_.data() + used_;
    p = PutUnsigned(p, tick);
    *p++ = ',';
    p = PutUnsigned(p, static_cast<std::uint64_t>(us < 0 ? 0 : us));
    *p++ = ',';
    p = PutHexByte(p, command);
    const bool module = command == kCommandBoxAndModule;
    *p++ = ',';
    p = PutHexByte(p, outputs & 0xFFu);
    *p++ = ',';
    if (module) {
        p = PutHexByte(p, outputs >> 8);
    }
    *p++ = ',';
    p = PutHexByte(p, inputs & 0xFFu);
    *p++ = ',';
    if (module) {
        p = PutHexByte(p, inputs >> 8);
    }
    *p++ = '\n';
    used_ = static_cast<std::size_t>(p - buffer_.data());
}

void TraceWriter::FlushIfDue(std::int64_t nowUs) {
    if (used_ > 0 && nowUs - lastFlushUs_ >= kFlushIntervalUs) {
        Flush();
        lastFlushUs_ = nowUs;
    }
}

void TraceWriter::Flush() {
    if (fd_ >= 0 && used_ > 0) {
        // A trace that cannot be written must not stop the box; lines are lost.
        WriteAll(fd_, buffer_.data(), used_);
    }
    used_ = 0;
}

void TraceWriter::Close() {
    if (fd_ < 0) {
        return;
    }
    Flush();
    ::close(fd_);
    fd_ = -1;
}

}  // namespace kinemo::simulator
