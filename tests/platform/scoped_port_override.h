// Maps a port name to a device through the documented environment variable
// (KINEMO_PORT_<NAME>) for the life of a test; nullptr removes the mapping.
#pragma once

#include <stdlib.h>

#include <string>
#include <string_view>

namespace kinemo::testing {

class ScopedPortOverride {
  public:
    ScopedPortOverride(std::string_view portName, const char* device)
        : variable_("KINEMO_PORT_" + std::string(portName)) {
        device != nullptr ? setenv(variable_.c_str(), device, 1) : unsetenv(variable_.c_str());
    }
    ScopedPortOverride(std::string_view portName, const std::string& device)
        : ScopedPortOverride(portName, device.c_str()) {}
    ~ScopedPortOverride() { unsetenv(variable_.c_str()); }
    ScopedPortOverride(const ScopedPortOverride&) = delete;
    ScopedPortOverride& operator=(const ScopedPortOverride&) = delete;

  private:
    std::string variable_;
};

}  // namespace kinemo::testing
