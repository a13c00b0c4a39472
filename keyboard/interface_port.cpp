#include "keyboard/interface_port.h"

#include <cstdio>
#include <optional>
#include <string>

#include "platform/port_map.h"

namespace kinemo::keyboard {

InterfacePort::InterfacePort(const platform::SerialTimeouts& timeouts) : timeouts_(timeouts) {}

bool InterfacePort::connect(int portNumber) {
    char portName[16];
    std::snprintf(portName, sizeof portName, "COM%1d", portNumber);

    // A missing or busy port leaves the port closed; every following step then
    // fails on it, and the test exchange below decides the outcome.
    const std::optional<std::string> device = platform::PortDevicePath(portName);
    port_.Open(device ? device->c_str() : nullptr);
    const platform::LineSettingsResult line = port_.ApplyLineSettings();
    const bool timeoutsOk = port_.SetTimeouts(timeouts_);

    readFailed_.store(false, std::memory_order_relaxed);
    exchange(0);

    if (readFailed() || !line.readOk || !line.writeOk || !timeoutsOk) {
        port_.Close();
        return false;
    }
    return true;
}

std::uint8_t InterfacePort::exchange(std::uint8_t output) {
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
