#include "simulator/pseudo_terminal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kinemo::simulator {

namespace {

std::string Failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

PseudoTerminal::~PseudoTerminal() {
    Close();
}

bool PseudoTerminal::Open(std::string* error) {
    Close();
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        *error = Failure("posix_openpt");
        return false;
    }
    std::array<char, 128> name{};
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name.data(), name.size()) != 0) {
        *error = Failure("pseudo-terminal setup");
        Close();
        return false;
    }
    slavePath_ = name.data();
    slaveKeeper_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeeper_ < 0) {
        *error = Failure("open pseudo-terminal slave");
        Close();
        return false;
    }
    termios tio{};
    if (::tcgetattr(master_, &tio) != 0) {
        *error = Failure("tcgetattr");
        Close();
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(master_, TCSANOW, &tio) != 0) {
        *error = Failure("tcsetattr");
        Close();
        return false;
    }
    // Answers nobody reads must never stall the box.
    const int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    return true;
}

void PseudoTerminal::ReleaseStaleExclusiveMode() {
    int exclusive = 0;
    if (slaveKeeper_ < 0 || ::ioctl(slaveKeeper_, TIOCGEXCL, &exclusive) != 0 || exclusive == 0) {
        return;
    }
    if (::flock(slaveKeeper_, LOCK_EX | LOCK_NB) != 0) {
        return;  // a program holds the line: its exclusive mode is real
    }
    ::ioctl(slaveKeeper_, TIOCNXCL);
    ::flock(slaveKeeper_, LOCK_UN);
}

void PseudoTerminal::Close() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    if (slaveKeeper_ >= 0) {
        ::close(slaveKeeper_);
        slaveKeeper_ = -1;
    }
}

}  // namespace kinemo::simulator
