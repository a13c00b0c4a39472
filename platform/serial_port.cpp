#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace kinemo::platform {
namespace {

using Millis = long long;

Millis NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<Millis>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Errors after which the device will never answer again.
bool IsLineGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

enum class WaitResult { kReady, kTimedOut, kLineGone };

// Waits until `fd` is ready for `events` or the monotonic deadline passes.
WaitResult WaitFor(int fd, short events, Millis deadline) {
    for (;;) {
        const Millis left = deadline - NowMs();
        if (left <= 0) {
            return WaitResult::kTimedOut;
        }
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, static_cast<int>(left));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return WaitResult::kLineGone;
        }
        if (ready == 0) {
            continue;  // loop re-checks the deadline (poll may wake a bit early)
        }
        if ((entry.revents & events) != 0) {
            return WaitResult::kReady;
        }
        // Hangup, error or a closed descriptor without the wanted readiness.
        return WaitResult::kLineGone;
    }
}

}  // namespace

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::Open(const char* devicePath) {
    Close();
    if (devicePath == nullptr || devicePath[0] == '\0') {
        return false;
    }
    // Non-blocking so that neither the open (waiting for carrier) nor a read or
    // write can hang; every wait is a poll with a deadline.
    const int fd = open(devicePath, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // The advisory lock excludes every other user of this layer, root included;
    // the terminal's exclusive mode keeps out other programs that don't lock
    // (root ignores it, hence both).
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    if (isatty(fd) != 0) {
        ioctl(fd, TIOCEXCL);
        tcflush(fd, TCIFLUSH);
    }
    fd_ = fd;
    dead_ = false;
    dropStaleInput_ = false;
    latency_.Acquire(fd_, devicePath);
    return true;
}

void SerialPort::Close() {
    if (fd_ < 0) {
        return;
    }
    if (isatty(fd_) != 0) {
        ioctl(fd_, TIOCNXCL);
    }
    latency_.Release(fd_);
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
    dead_ = false;
    dropStaleInput_ = false;
}

LineSettingsResult SerialPort::ApplyLineSettings() {
    LineSettingsResult result;
    termios settings{};
    if (fd_ < 0 || tcgetattr(fd_, &settings) != 0) {
        return result;
    }
    result.readOk = true;
    // Raw bytes both ways: no line editing, echo, signals or character
    // translation; software flow control off as well, since 0x11 and 0x13 are
    // ordinary Input words on this line.
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                               ICRNL | IXON | IXOFF | IXANY);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // 8 data bits, no parity, 1 stop bit, no hardware handshake, receiver on,
    // modem lines ignored.
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= static_cast<tcflag_t>(CS8 | CLOCAL | CREAD);
    // Reads return at once with what is there; poll does the waiting.
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, B9600) != 0 || cfsetospeed(&settings, B9600) != 0) {
        return result;
    }
    result.writeOk = tcsetattr(fd_, TCSANOW, &settings) == 0;
    return result;
}

bool SerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
    if (fd_ < 0) {
        return false;
    }
    if (timeouts.readIntervalMs < 0 || timeouts.readTotalMultiplierMs < 0 ||
        timeouts.readTotalConstantMs < 0 || timeouts.writeTotalMultiplierMs < 0 ||
        timeouts.writeTotalConstantMs < 0) {
        return false;
    }
    timeouts_ = timeouts;
    return true;
}

std::size_t SerialPort::Write(const std::uint8_t* data, std::size_t size) {
    if (fd_ < 0 || dead_ || size == 0) {
        return 0;
    }
    const Millis deadline =
        NowMs() +
        static_cast<Millis>(timeouts_.writeTotalMultiplierMs) * static_cast<Millis>(size) +
        timeouts_.writeTotalConstantMs;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = write(fd_, data + done, size - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN) {
            dead_ = IsLineGone(errno);
            return done;
        }
        const WaitResult wait = WaitFor(fd_, POLLOUT, deadline);
        if (wait != WaitResult::kReady) {
            dead_ = wait == WaitResult::kLineGone;
            return done;
        }
    }
    return done;
}

std::size_t SerialPort::Read(std::uint8_t* data, std::size_t size) {
    if (fd_ < 0 || dead_ || size == 0) {
        return 0;
    }
    const Millis start = NowMs();
    const Millis totalDeadline =
        start + static_cast<Millis>(timeouts_.readTotalMultiplierMs) * static_cast<Millis>(size) +
        timeouts_.readTotalConstantMs;
    Millis deadline = totalDeadline;
    std::size_t done = 0;
    while (done < size) {
        // Poll first: the box needs milliseconds to answer, so a read straight
        // after the request would nearly always come back empty.
        const WaitResult wait = WaitFor(fd_, POLLIN, deadline);
        if (wait != WaitResult::kReady) {
            dead_ = wait == WaitResult::kLineGone;
            return done;
        }
        const ssize_t got = read(fd_, data + done, size - done);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
            // Once bytes flow, silence longer than the interval ends the read.
            const Millis intervalDeadline = NowMs() + timeouts_.readIntervalMs;
            deadline = intervalDeadline < totalDeadline ? intervalDeadline : totalDeadline;
            continue;
        }
        if (got == 0) {
            // Readable yet nothing to read: end of file or a hung-up line.
            dead_ = true;
            return done;
        }
        if (errno != EINTR && errno != EAGAIN) {
            dead_ = IsLineGone(errno);
            return done;
        }
    }
    return done;
}

std::size_t SerialPort::Exchange(const std::uint8_t* request, std::size_t requestSize,
                                 std::uint8_t* answer, std::size_t answerSize) {
    if (fd_ < 0 || dead_) {
        return 0;
    }
    // Whatever waits in the input before the request is sent belongs to no
    // answer of this request: the rest of a late answer, extra bytes after a
    // complete one, noise. Dropping it every time keeps the frames aligned
    // for every answer size.
    tcflush(fd_, TCIFLUSH);
    dropStaleInput_ = false;
    Write(request, requestSize);
    const std::size_t got = Read(answer, answerSize);
    dropStaleInput_ = got != answerSize;
    return got;
}

}  // namespace kinemo::platform
