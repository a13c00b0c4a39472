#include "platform/dialog_ports.h"

#include <optional>
#include <string>

#include "platform/port_map.h"

namespace kinemo::platform {

QString PortTooltip(std::string_view portName) {
    const std::optional<std::string> device = PortDevicePath(portName);
    const QString variable = QString::fromStdString(PortEnvironmentVariable(portName));
    if (!device) {
        return QStringLiteral("Kein Gerät zugeordnet (%1 setzen)").arg(variable);
    }
    return QStringLiteral("%1 (änderbar mit %2)").arg(QString::fromStdString(*device), variable);
}

}  // namespace kinemo::platform
