// A program's end of the simulated line, in plain POSIX, for tests that need
// byte-level control (partial frames, garbage, short answers).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kinemo::simulator::testing {

class LineClient {
  public:
    explicit LineClient(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ >= 0) {
            termios tio{};
            ::tcgetattr(fd_, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~LineClient() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool Send(const std::vector<std::uint8_t>& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until `count` bytes arrived or `timeout` passed; returns what came.
    std::vector<std::uint8_t> Receive(std::size_t count, std::chrono::milliseconds timeout) {
        std::vector<std::uint8_t> got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            if ((p.revents & POLLIN) == 0) {
                lastHangup_ = (p.revents & (POLLHUP | POLLERR)) != 0;
                break;
            }
            std::uint8_t buffer[16];
            const ssize_t n = ::read(fd_, buffer, count - got.size());
            if (n <= 0) {
                lastHangup_ = true;
                break;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    // One exchange: request bytes out, `answerBytes` back (generous timeout).
    std::vector<std::uint8_t> Exchange(const std::vector<std::uint8_t>& request,
                                       std::size_t answerBytes) {
        Send(request);
        return Receive(answerBytes, std::chrono::seconds(5));
    }

    bool sawHangup() const { return lastHangup_; }

  private:
    int fd_ = -1;
    bool lastHangup_ = false;
};

}  // namespace kinemo::simulator::testing
