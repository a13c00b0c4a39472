#include "keyboard/interface_port.h"

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/port_map.h"

namespace kinemo::keyboard {

InterfacePort::InterfacePort(const platform::SerialTimeouts& timeouts) : timeouts_(timeouts) {}

bool InterfacePort::connect(int portNumber) {
    if (connecting_.exchange(true, std::memory_order_acquire)) {
        return false;  // another connection test is running
    }
    // Take the port from the control thread: wait out a running exchange.
    platform::PortGuard::Hold hold = guard_.Exclusive();
    guard_.SetOpen(false);
    const bool connected = ConnectHeld(portNumber);
    guard_.SetOpen(connected);
    hold.unlock();
    if (connected) {
        lastPort_.store(portNumber, std::memory_order_relaxed);
    }
    connecting_.store(false, std::memory_order_release);
    return connected;
}

bool InterfacePort::reopen() {
    const int last = lastPort_.load(std::memory_order_relaxed);
    if (last == 0 || (isOpen() && !lineLost())) {
        return isOpen();
    }
    return connect(last);
}

bool InterfacePort::ConnectHeld(int portNumber) {
    char portName[16];
    std::snprintf(portName, sizeof portName, "COM%1d", portNumber);

    // A missing or busy port leaves the port closed; every following step then
    // fails on it, and the test exchange below decides the outcome.
    const std::optional<std::string> device = platform::PortDevicePath(portName);
    port_.Open(device ? device->c_str() : nullptr);
    const platform::LineSettingsResult line = port_.ApplyLineSettings();
    const bool timeoutsOk = port_.SetTimeouts(timeouts_);

    readFailed_.store(false, std::memory_order_relaxed);
    lineLost_.store(false, std::memory_order_relaxed);
    bool answered = false;
    ExchangeHeld(0, &answered);

    // The test's own answer decides: a tick refused meanwhile also sets
    // readFailed, but says nothing about this port.
    if (!answered || !line.readOk || !line.writeOk || !timeoutsOk) {
        port_.Close();
        return false;
    }
    return true;
}

std::uint8_t InterfacePort::exchange(std::uint8_t output) {
    const platform::PortGuard::Hold hold = guard_.TryExchange();
    if (!hold.owns_lock()) {
        output_.store(output, std::memory_order_relaxed);
        readFailed_.store(true, std::memory_order_relaxed);
        return 0;
    }
    bool answered = false;
    return ExchangeHeld(output, &answered);
}

std::uint8_t InterfacePort::ExchangeHeld(std::uint8_t output, bool* answered) {
    output_.store(output, std::memory_order_relaxed);
    const protocol::Request request = protocol::EncodeRequest(output, false);
    std::uint8_t answer[protocol::kMaxAnswerBytes] = {};
    constexpr auto kAnswerBytes =
        static_cast<std::size_t>(protocol::AnswerBytes(protocol::kSetOutputs));
    if (port_.Exchange(request.data(), request.length(), answer, kAnswerBytes) != kAnswerBytes) {
        readFailed_.store(true, std::memory_order_relaxed);
        if (port_.LineDead()) {
            lineLost_.store(true, std::memory_order_relaxed);
        }
        return 0;
    }
    *answered = true;
    return static_cast<std::uint8_t>(protocol::DecodeAnswer(protocol::kSetOutputs, answer));
}

}  // namespace kinemo::keyboard
