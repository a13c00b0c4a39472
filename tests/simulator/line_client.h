// A program's end of the simulated line, in plain POSIX, for tests that need
// byte-level control (partial frames, garbage, short answers).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kinemo::simulator::testing {

class LineClient {
  public:
    explicit LineClient(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        termios tio{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
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

    // One exchange: request bytes out, up to `answerBytes` back within a
    // generous 5 s; returns what came.
    std::vector<std::uint8_t> Exchange(const std::vector<std::uint8_t>& request,
                                       std::size_t answerBytes) {
        std::vector<std::uint8_t> got;
        if (::write(fd_, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
            return got;
        }
        while (got.size() < answerBytes) {
            pollfd p{fd_, POLLIN, 0};
            std::uint8_t buffer[16];
            if (::poll(&p, 1, 5000) <= 0 || (p.revents & POLLIN) == 0) {
                break;
            }
            const ssize_t n = ::read(fd_, buffer, answerBytes - got.size());
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

  private:
    int fd_ = -1;
};

}  // namespace kinemo::simulator::testing
