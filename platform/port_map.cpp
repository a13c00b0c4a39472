#include "platform/port_map.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

namespace kinemo::platform {

std::string PortEnvironmentVariable(std::string_view portName) {
    std::string name = "KINEMO_PORT_";
    name.append(portName);
    return name;
}

std::optional<std::string> PortDevicePath(std::string_view portName) {
    if (std::find(kPortNames.begin(), kPortNames.end(), portName) == kPortNames.end()) {
        return std::nullopt;
    }
    if (const char* mapped = std::getenv(PortEnvironmentVariable(portName).c_str())) {
        if (mapped[0] == '\0') {
            return std::nullopt;
        }
        return std::string(mapped);
    }
    // "COM1".."COM4" are the first four on-board serial ports.
    if (portName.size() == 4 && portName.substr(0, 3) == "COM") {
        std::string path = "/dev/ttyS";
        path.push_back(static_cast<char>(portName[3] - 1));
        return path;
    }
    return std::nullopt;
}

bool PortDeviceExists(std::string_view portName) {
    const std::optional<std::string> path = PortDevicePath(portName);
    struct stat info {};
    return path && stat(path->c_str(), &info) == 0;
}

}  // namespace kinemo::platform
