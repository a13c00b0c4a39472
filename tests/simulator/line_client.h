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
    ~LineClient() { ::close(fd_); }
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // One exchange: `size` request bytes out, up to `answerBytes` back into
    // `answer` within a generous 5 s; returns how many came. Allocates nothing.
    std::size_t Exchange(const std::uint8_t* request, std::size_t size, std::uint8_t* answer,
                         std::size_t answerBytes) {
        std::size_t n = 0;
        pollfd p{fd_, POLLIN, 0};
        if (::write(fd_, request, size) == static_cast<ssize_t>(size)) {
            for (ssize_t r = 1; r > 0 && n < answerBytes && ::poll(&p, 1, 5000) == 1;) {
                r = ::read(fd_, answer + n, answerBytes - n);
                n += r > 0 ? static_cast<std::size_t>(r) : 0;
            }
        }
        return n;
    }
    std::vector<std::uint8_t> Exchange(const std::vector<std::uint8_t>& request,
                                       std::size_t answerBytes) {
        std::vector<std::uint8_t> got(answerBytes);
        got.resize(Exchange(request.data(), request.size(), got.data(), answerBytes));
        return got;
    }

  private:
    int fd_ = -1;
};

}  // namespace kinemo::simulator::testing
