#include "joystick/joy_connect.h"

#include <cstring>

#include "joystick/joy_texts.h"

namespace kinemo::joy {

std::int32_t InterfaceKindFor(std::uint8_t lptPort, std::uint8_t extensionModule) {
    if (lptPort != 0) {
        return INTERFACE_KIND_PARALLEL;
    }
    return extensionModule != 0 ? INTERFACE_KIND_SERIAL_EXTENDED : INTERFACE_KIND_SERIAL;
}

bool ConnectInterface(DriverLink& link, const JoySettings& settings, const ConnectStatus& status) {
    const auto report = [&status](const char* text) {
        if (status) {
            status(text);
        }
    };
    report(kConnectingText);
    // The driver takes the name in an 8-byte buffer: 7 characters and a NUL.
    char name[8] = {};
    const std::string portName = PortName(settings.portNumber, settings.lptPort);
    std::strncpy(name, portName.c_str(), sizeof name - 1);
    SetInterfaceKind(&link.Record(), InterfaceKindFor(settings.lptPort, settings.extensionModule));
    if (OpenInterface(&link.Record(), name) == INTERFACE_OPEN_FAILED) {
        report(kNoConnectionText);
        return false;
    }
    report(kConnectedText);
    return true;
}

}  // namespace kinemo::joy
