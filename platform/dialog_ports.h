// Texts the windows show about port names.
#pragma once

#include <QString>
#include <string_view>

namespace kinemo::platform {

// The tooltip of a port entry in a connect dialog: the device the name stands
// for here and the environment variable that changes it, or, for a name
// without a device, which variable to set.
QString PortTooltip(std::string_view portName);

}  // namespace kinemo::platform
