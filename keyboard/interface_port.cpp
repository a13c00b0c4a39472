#include "keyboard/interface_port.h"

#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "platform/port_map.h"

namespace kinemo::keyboard {

InterfacePort::InterfacePort(const platform::SerialTimeouts& timeouts) : timeouts_(timeouts) {}

bool InterfacePort::connect(int portNumber) {
    // Take the port from the control thread: wait out a running exchange.
    for (;;) {
        int expected = state_.load(std::memory_order_acquire);
        if (expected == kConnecting) {
            return false;  // another connection test is running
        }
        if (expected != kBusy &&
            state_.compare_exchange_weak(expected, kConnecting, std::memory_order_acquire)) {
            break;
        }
        std::this_thread::yield();
    }

    char portName[16];
    std::snprintf(portName, sizeof portName, "COM%1d", portNumber);

    // A missing or busy port leaves the port closed; every following step then
    // fails on it, and the test exchange below decides the outcome.
    const std::optional<std::string> device = platform::PortDevicePath(portName);
    port_.Open(device ? device->c_str() : nullptr);
    const platform::LineSettingsResult line = port_.ApplyLineSettings();
    const bool timeoutsOk = port_.SetTimeouts(timeouts_);

    readFailed_.store(false, std::memory_order_relaxed);
    ExchangeHeld(0);

    if (readFailed() || !line.readOk || !line.writeOk || !timeoutsOk) {
        port_.Close();
        state_.store(kClosed, std::memory_order_release);
        return false;
    }
    state_.store(kReady, std::memory_order_release);
    return true;
}

std::uint8_t InterfacePort::exchange(std::uint8_t output) {
    int expected = kReady;
    if (!state_.compare_exchange_strong(expected, kBusy, std::memory_order_acquire)) {
        output_.store(output, std::memory_order_relaxed);
        readFailed_.store(true, std::memory_order_relaxed);
        return 0;
    }
    const std::uint8_t input = ExchangeHeld(output);
    state_.store(kReady, std::memory_order_release);
    return input;
}

std::uint8_t InterfacePort::ExchangeHeld(std::uint8_t output) {
    output_.store(output, std::memory_order_relaxed);
    const std::uint8_t request[2] = {kSetOutputsCommand, output};
    std::uint8_t answer = 0;
    if (port_.Exchange(request, sizeof request, &answer, 1) != 1) {
        readFailed_.store(true, std::memory_order_relaxed);
        return 0;
    }
    return answer;
}

}  // namespace kinemo::keyboard
