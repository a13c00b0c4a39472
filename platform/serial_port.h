// Our serial-port layer: one exclusively opened serial device, the interface's
// fixed line (9600 baud, 8 data bits, no parity, 1 stop bit, raw, no flow
// control) and reads and writes bounded by the box protocol's timeouts.
//
// Timeouts follow the classic serial-port rule: a read of n bytes gives up
// after readTotalMultiplierMs * n + readTotalConstantMs in total, or after
// readIntervalMs of silence once a first byte has arrived; a write of n bytes
// gives up after writeTotalMultiplierMs * n + writeTotalConstantMs. Waiting is
// done with poll() against monotonic deadlines; nothing sleeps and nothing is
// allocated after Open.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/usb_latency.h"

namespace kinemo::platform {

// The five timeouts of the box protocol, in milliseconds.
struct SerialTimeouts {
    int readIntervalMs = 400;
    int readTotalMultiplierMs = 400;
    int readTotalConstantMs = 400;
    int writeTotalMultiplierMs = 400;
    int writeTotalConstantMs = 400;
};

// Which parts of applying the line settings worked.
struct LineSettingsResult {
    bool readOk = false;   // the current settings could be read
    bool writeOk = false;  // the changed settings were accepted
    bool Ok() const { return readOk && writeOk; }
};

class SerialPort {
  public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens `devicePath` for reading and writing, exclusively: a second open of
    // the same device fails while this one holds it, also for root. Does not
    // make the device the controlling terminal. Any pending input is dropped.
    // Closes a device this object held before. False when the device is
    // missing, held elsewhere or not openable.
    bool Open(const char* devicePath);
    bool IsOpen() const { return fd_ >= 0; }
    // Releases the device (exclusive hold included). Safe when not open.
    void Close();

    // Reads the line settings, switches to raw 9600 8N1 without flow control
    // (leaving unrelated settings as they were) and writes them back.
    LineSettingsResult ApplyLineSettings();
    // Takes the timeouts for all following reads and writes. False when the
    // port is not open or a value is negative.
    bool SetTimeouts(const SerialTimeouts& timeouts);

    // Writes `size` bytes; returns how many were written before the write
    // timeout (0 when not open or the line is dead).
    std::size_t Write(const std::uint8_t* data, std::size_t size);
    // Reads up to `size` bytes; returns how many arrived before the read
    // timeouts (0 when not open or the line is dead).
    std::size_t Read(std::uint8_t* data, std::size_t size);
    // One request/answer exchange: writes the whole request in one write and
    // reads until `answerSize` bytes have arrived or the read timeouts strike.
    // Returns the number of answer bytes read. Normally four system calls:
    // drop pending input, write, poll until the answer is there, read. Input
    // that arrived before the request (a late answer, bytes beyond a complete
    // answer, noise) is dropped, so it is never taken for the answer of the
    // following request.
    std::size_t Exchange(const std::uint8_t* request, std::size_t requestSize, std::uint8_t* answer,
                         std::size_t answerSize);

    // True once the device reported a hangup or an I/O error (adapter
    // unplugged, peer of a pseudo-terminal gone). Stays set until Close.
    bool LineDead() const { return dead_; }

  private:
    int fd_ = -1;
    bool dead_ = false;
    bool dropStaleInput_ = false;
    SerialTimeouts timeouts_{};
    UsbLatencyHold latency_;  // low latency of a USB adapter while it is open
};

}  // namespace kinemo::platform
