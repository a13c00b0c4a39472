#include "platform/usb_latency.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kinemo::platform {
namespace {

constexpr int kLineTicksPerSecond = 320;
// Unix98 pseudo-terminal slaves have majors 136..143.
constexpr unsigned kFirstPtyMajor = 136;
constexpr unsigned kLastPtyMajor = 143;

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// The whole file as a number of milliseconds: digits and an optional newline.
int ReadMilliseconds(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    char text[16];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) {
        return -1;
    }
    int value = 0;
    ssize_t i = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9' && value < 100000; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    const bool tail = i == n || (i + 1 == n && text[i] == '\n');
    return i > 0 && tail ? value : -1;
}

bool WriteMilliseconds(const std::string& path, int value) {
    // sysfs ignores the truncation; a plain file (a test's tree) needs it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const std::string text = std::to_string(value) + "\n";
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return (::close(fd) == 0) && ok;
}

bool CanWrite(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

std::atomic<bool> noticeShown{false};

}  // namespace

const char* SerialDeviceKindText(SerialDeviceKind kind) {
    switch (kind) {
        case SerialDeviceKind::kBuiltIn:
            return "eingebaut";
        case SerialDeviceKind::kUsbSerial:
            return "USB-Seriell";
        case SerialDeviceKind::kPseudoTerminal:
            return "Pseudo-Terminal";
        case SerialDeviceKind::kUnknown:
            break;
    }
    return "unbekannt";
}

std::string SysfsRoot() {
    const char* root = std::getenv("KINEMO_SYSFS_ROOT");
    return root != nullptr && root[0] != '\0' ? std::string(root) : std::string("/sys");
}

SerialDeviceInfo InspectSerialDevice(const std::string& devicePath, const std::string& sysfsRoot) {
    SerialDeviceInfo info;
    const std::string node = RealPath(devicePath);
    if (node.empty()) {
        return info;
    }
    info.ttyName = node.substr(node.find_last_of('/') + 1);
    const std::string device = RealPath(sysfsRoot + "/class/tty/" + info.ttyName + "/device");
    if (!device.empty()) {
        const bool usb = device.find("/usb") != std::string::npos;
        info.kind = usb ? SerialDeviceKind::kUsbSerial : SerialDeviceKind::kBuiltIn;
        const std::string timer = device + "/latency_timer";
        struct stat timerInfo {};
        if (usb && ::stat(timer.c_str(), &timerInfo) == 0 && !S_ISDIR(timerInfo.st_mode)) {
            info.latencyPath = timer;
            info.latencyMs = ReadMilliseconds(timer);
            info.latencyWritable = CanWrite(timer);
        }
        return info;
    }
    struct stat nodeInfo {};
    if (node.rfind("/dev/pts/", 0) == 0 ||
        (::stat(node.c_str(), &nodeInfo) == 0 && S_ISCHR(nodeInfo.st_mode) &&
         major(nodeInfo.st_rdev) >= kFirstPtyMajor && major(nodeInfo.st_rdev) <= kLastPtyMajor)) {
        info.kind = SerialDeviceKind::kPseudoTerminal;
    }
    return info;
}

int TickRateWithLatency(int latencyMs) {
    if (latencyMs <= 0) {
        return kLineTicksPerSecond;
    }
    return std::min(kLineTicksPerSecond, 1000 / latencyMs);
}

std::string LatencyNotice(const std::string& devicePath, const SerialDeviceInfo& info) {
    const std::string ms = std::to_string(info.latencyMs);
    return "Hinweis: Der USB-Seriell-Adapter " + devicePath + " hält jede Antwort bis zu " + ms +
           " ms zurück (Latenz-Timer); so schafft das Interface nur etwa " +
           std::to_string(TickRateWithLatency(info.latencyMs)) +
           " statt 320 Ticks pro Sekunde, und Zeiten in Ticks dauern länger.\n"
           "Senken (bis zum Abziehen) mit:\n  echo 1 | sudo tee " +
           info.latencyPath +
           "\nDauerhaft mit der udev-Regel 60-kinemo-usb-latency.rules in /etc/udev/rules.d "
           "(das Kinemo-Paket bringt sie mit).\n";
}

const LatencyReport& UsbLatencyHold::Acquire(int fd, const char* devicePath,
                                             const std::string& sysfsRoot) {
    report_ = {};
    if (devicePath == nullptr) {
        return report_;
    }
    report_.device = InspectSerialDevice(devicePath, sysfsRoot);
    if (report_.device.kind != SerialDeviceKind::kUsbSerial) {
        return report_;
    }
    // The flag: the kernel hands received bytes on at once.
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        previousFlags_ = serial.flags;
        if ((serial.flags & ASYNC_LOW_LATENCY) == 0) {
            serial.flags |= ASYNC_LOW_LATENCY;
            report_.lowLatencyFlag = ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
        }
    }
    // The adapter's own timer, where its driver shows it. Setting the flag
    // lowers it already on some drivers, so it is read again.
    const SerialDeviceInfo& device = report_.device;
    if (!device.latencyPath.empty() && device.latencyMs > 1) {
        const int now =
            report_.lowLatencyFlag ? ReadMilliseconds(device.latencyPath) : device.latencyMs;
        if (now > 1) {
            report_.timerLowered =
                device.latencyWritable && WriteMilliseconds(device.latencyPath, 1);
            report_.timerStaysHigh = !report_.timerLowered;
        }
    }
    if (report_.timerStaysHigh && !noticeShown.exchange(true)) {
        const std::string notice = LatencyNotice(devicePath, device);
        std::fputs(notice.c_str(), stderr);
    }
    return report_;
}

void UsbLatencyHold::Release(int fd) {
    if (report_.timerLowered) {
        WriteMilliseconds(report_.device.latencyPath, report_.device.latencyMs);
    }
    if (report_.lowLatencyFlag) {
        serial_struct serial{};
        if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
            serial.flags =
                (serial.flags & ~ASYNC_LOW_LATENCY) | (previousFlags_ & ASYNC_LOW_LATENCY);
            ::ioctl(fd, TIOCSSERIAL, &serial);
        }
    }
    report_ = {};
}

}  // namespace kinemo::platform
