#include "joystick/joy_connect.h"

#include <string>

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
    const std::string portName = PortName(settings.portNumber, settings.lptPort);
    if (!link.Interface().Open(InterfaceKindFor(settings.lptPort, settings.extensionModule),
                               portName)) {
        report(kNoConnectionText);
        return false;
    }
    report(kConnectedText);
    return true;
}

}  // namespace kinemo::joy
