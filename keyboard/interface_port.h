// The keyboard controller's own link to the interface box on COM1..COM4: it
// speaks the box's serial protocol itself, one request 0xC1 + Motor output word
// answered by one Input word per exchange.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/serial_port.h"

namespace kinemo::keyboard {

// Command byte: set the motor outputs and return the digital inputs.
inline constexpr std::uint8_t kSetOutputsCommand = 0xC1;

// `connect` runs on the connect dialog's thread and `exchange` on the control
// thread; a small atomic state keeps them apart, so an exchange before (or
// during) a connection only reports a failed read and never touches a port
// that is being opened.
class InterfacePort {
  public:
    explicit InterfacePort(const platform::SerialTimeouts& timeouts = {});
    InterfacePort(const InterfacePort&) = delete;
    InterfacePort& operator=(const InterfacePort&) = delete;

    // Opens "COM<portNumber>" (through the port map), sets the line and the
    // timeouts and tests the link with one all-off exchange, which is made even
    // when an earlier step failed. True when the test answer arrived and the
    // settings and timeouts were applied; the port then stays open for the
    // life of this object. On failure the port is closed again.
    bool connect(int portNumber);

    // Sends 0xC1 and `output` in one write and reads the one-byte answer.
    // When not exactly one byte arrives, readFailed is set and 0 is returned;
    // so it is without a connection, and then nothing is sent.
    std::uint8_t exchange(std::uint8_t output);

    // Set by a read that returned anything but one byte; cleared only when a
    // connection test starts.
    bool readFailed() const { return readFailed_.load(std::memory_order_relaxed); }
    // The output byte of the latest exchange.
    std::uint8_t output() const { return output_.load(std::memory_order_relaxed); }
    bool isOpen() const { return state_.load(std::memory_order_acquire) != kClosed; }

  private:
    enum State : int { kClosed, kConnecting, kReady, kBusy };

    // The exchange itself, on a port this thread holds.
    std::uint8_t ExchangeHeld(std::uint8_t output);

    std::atomic<int> state_{kClosed};
    platform::SerialPort port_;
    platform::SerialTimeouts timeouts_;
    std::atomic<bool> readFailed_{false};
    std::atomic<std::uint8_t> output_{0};
};

}  // namespace kinemo::keyboard
