// What kind of serial device a port is, and the latency of USB serial adapters.
//
// A USB serial adapter does not pass a received byte on at once: it collects
// bytes until its packet is full or its latency timer expires (16 ms on the
// common chips). The box answers every exchange with one byte, so each
// exchange waits for the timer and the tick rate falls from the line's 320 to
// about 1000 / 16 = 62 per second. Opening such a device therefore asks the
// kernel for low latency (ASYNC_LOW_LATENCY through TIOCSSERIAL) and, where
// the driver exposes it, sets sysfs `latency_timer` to 1 ms; closing puts both
// back as they were. Without permission to write the timer the programs say
// so once, with the command that lowers it.
//
// Everything is read below a sysfs root: "/sys", or KINEMO_SYSFS_ROOT when set
// (tests point it at a fake tree). A device is found there by the name of the
// device node it resolves to: /dev/serial/by-id/... -> /dev/ttyUSB0 -> ttyUSB0
// -> ROOT/class/tty/ttyUSB0/device, whose real path runs through a USB bus
// for an adapter.
#pragma once

#include <cstdint>
#include <string>

namespace kinemo::platform {

enum class SerialDeviceKind : std::uint8_t {
    kUnknown,         // not a terminal we know (or not there)
    kBuiltIn,         // a UART of the machine (ttyS*, ttyAMA*, ...)
    kUsbSerial,       // an adapter on a USB bus (ttyUSB*, ttyACM*)
    kPseudoTerminal,  // /dev/pts/*: a simulated box
};

// "unbekannt", "eingebaut", "USB-Seriell", "Pseudo-Terminal".
const char* SerialDeviceKindText(SerialDeviceKind kind);

// "/sys" or the value of KINEMO_SYSFS_ROOT.
std::string SysfsRoot();

struct SerialDeviceInfo {
    SerialDeviceKind kind = SerialDeviceKind::kUnknown;
    std::string ttyName;      // e.g. "ttyUSB0"; empty when the path does not resolve
    std::string latencyPath;  // the sysfs latency_timer, empty when the driver has none
    int latencyMs = -1;       // its value, -1 when unknown
    bool latencyWritable = false;
};

SerialDeviceInfo InspectSerialDevice(const std::string& devicePath,
                                     const std::string& sysfsRoot = SysfsRoot());

// Ticks per second at most, when every exchange waits for a latency timer of
// this many milliseconds (0 or less: the line's 320).
int TickRateWithLatency(int latencyMs);

// The notice for an adapter whose timer stays above 1 ms (UTF-8, ends in a newline).
std::string LatencyNotice(const std::string& devicePath, const SerialDeviceInfo& info);

// What opening a device did about its latency.
struct LatencyReport {
    SerialDeviceInfo device;      // as found before anything was changed
    bool lowLatencyFlag = false;  // ASYNC_LOW_LATENCY is set by us
    bool timerLowered = false;    // latency_timer went to 1 ms
    bool timerStaysHigh = false;  // above 1 ms and cannot be lowered
};

// The low-latency settings of one open device, undone on Release.
class UsbLatencyHold {
  public:
    UsbLatencyHold() = default;
    UsbLatencyHold(const UsbLatencyHold&) = delete;
    UsbLatencyHold& operator=(const UsbLatencyHold&) = delete;

    // For a USB serial device behind `fd`: sets ASYNC_LOW_LATENCY and lowers
    // the latency timer to 1 ms where it can. A timer that stays high is
    // reported on standard error, once per process. Other devices are left alone.
    const LatencyReport& Acquire(int fd, const char* devicePath,
                                 const std::string& sysfsRoot = SysfsRoot());
    // Puts back what Acquire changed. Safe to call when nothing was changed.
    void Release(int fd);

    const LatencyReport& Report() const { return report_; }

  private:
    LatencyReport report_;
    int previousFlags_ = 0;
};

}  // namespace kinemo::platform
