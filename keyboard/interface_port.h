// The keyboard controller's own link to the interface box on COM1..COM4: it
// speaks the box's serial protocol itself, one request 0xC1 + Motor output word
// answered by one Input word per exchange.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/port_guard.h"
#include "platform/serial_port.h"
#include "protocol/box_protocol.h"

namespace kinemo::keyboard {

// Command byte: set the motor outputs and return the digital inputs.
inline constexpr std::uint8_t kSetOutputsCommand = protocol::kSetOutputs;

// `connect` runs on the connect dialog's thread and `exchange` on the control
// thread; a port guard keeps them apart, so an exchange before (or during) a
// connection only reports a failed read at once and never touches a port that
// is being opened, and a connection waits for a running exchange.
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

    // After a lost line (or a reopen that failed), connects the port of the
    // last successful connection again, as connect does; otherwise, and
    // before any connection, does nothing. True when the port is usable.
    bool reopen();

    // Sends 0xC1 and `output` in one write and reads the one-byte answer.
    // When not exactly one byte arrives, readFailed is set and 0 is returned;
    // so it is without a connection and while a connection test runs, and
    // then nothing is sent and nothing waited for.
    std::uint8_t exchange(std::uint8_t output);

    // Set by a read that returned anything but one byte; cleared only when a
    // connection test starts.
    bool readFailed() const { return readFailed_.load(std::memory_order_relaxed); }
    // The output byte of the latest exchange.
    std::uint8_t output() const { return output_.load(std::memory_order_relaxed); }
    // True once a connection test succeeded (not while one runs).
    bool isOpen() const { return guard_.IsOpen(); }
    // True once an exchange found the line gone (hangup, I/O error); every
    // later exchange then returns at once. Cleared when a connection test starts.
    bool lineLost() const { return lineLost_.load(std::memory_order_relaxed); }

  private:
    // The connection test on the port this thread holds exclusively.
    bool ConnectHeld(int portNumber);
    // The exchange itself, on a port this thread holds; *answered tells
    // whether the whole answer arrived.
    std::uint8_t ExchangeHeld(std::uint8_t output, bool* answered);

    platform::PortGuard guard_;
    std::atomic<bool> connecting_{false};
    platform::SerialPort port_;
    platform::SerialTimeouts timeouts_;
    std::atomic<bool> readFailed_{false};
    std::atomic<bool> lineLost_{false};
    std::atomic<std::uint8_t> output_{0};
    // The port number of the last successful connection (0: none yet).
    std::atomic<int> lastPort_{0};
};

}  // namespace kinemo::keyboard
