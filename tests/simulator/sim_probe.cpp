// A stand-in program for kinemo-sim --launch: finds the box under the port
// name COM1 like every Kinemo program, drives M1 right for eight ticks and
// exits with 40 + the last Input word (41: the impulse input E1 rose).
// Exit 3: no device for COM1; 4: it would not open; 5: an answer was lost.
#include <cstdio>

#include "platform/port_map.h"
#include "platform/serial_port.h"

int main() {
    const auto device = kinemo::platform::PortDevicePath("COM1");
    if (!device) {
        return 3;
    }
    kinemo::platform::SerialPort port;
    if (!port.Open(device->c_str()) || !port.ApplyLineSettings().Ok() ||
        !port.SetTimeouts(kinemo::platform::SerialTimeouts{})) {
        return 4;
    }
    std::uint8_t answer = 0;
    for (int tick = 0; tick < 8; ++tick) {
        const std::uint8_t request[2] = {0xC1, 0x02};
        if (port.Exchange(request, 2, &answer, 1) != 1) {
            return 5;
        }
    }
    std::printf("%s\n", device->c_str());
    return 40 + answer;
}
