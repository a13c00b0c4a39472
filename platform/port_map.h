// Port names of the interface box ("COM1".."COM4", "LPT1".."LPT3", "LPT") and
// the serial devices they stand for on this system.
//
// The environment variable KINEMO_PORT_<NAME> (for example
// KINEMO_PORT_COM1=/dev/ttyUSB0) maps a name to any device; without it "COMn"
// is /dev/ttyS(n-1). Parallel ports are not supported: an LPT name has no
// device unless the environment maps it to a serial one.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kinemo::platform {

// Every port name the programs offer, in the order they offer them.
inline constexpr std::array<std::string_view, 8> kPortNames = {"COM1", "COM2", "COM3", "COM4",
                                                               "LPT1", "LPT2", "LPT3", "LPT"};

// The environment variable that overrides `portName`, e.g. "KINEMO_PORT_COM1".
std::string PortEnvironmentVariable(std::string_view portName);

// The device path of a port name, or nothing for an unknown or unmapped name
// (such a port fails to open like a missing one). An empty override unmaps.
std::optional<std::string> PortDevicePath(std::string_view portName);

// True when the port name maps to a path that exists.
bool PortDeviceExists(std::string_view portName);

}  // namespace kinemo::platform
