// kinemo-cli ports: every port name the programs offer, the device it stands
// for on this system and whether that device exists. One line per name:
//   NAME DEVICE STATE [KIND[, Latenz-Timer N ms[ (nicht änderbar)]]] [(VARIABLE)]
// DEVICE is "-" for a name without a device; KIND is shown for a device whose
// kind is known (eingebaut, USB-Seriell, Pseudo-Terminal), with the latency
// timer of an adapter whose driver shows it; VARIABLE names the environment
// variable that set the device, when one did.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/port_map.h"
#include "platform/usb_latency.h"
#include "tools/cli_args.h"
#include "tools/cli_command.h"

namespace kinemo::cli {

PortsRequest ParsePortsArgs(CommandArgs args) {
    ParsedArgs(args, {}).Positional({});
    return {};
}

int RunCommand(const PortsRequest& /*request*/, std::FILE* out) {
    for (const std::string_view name : platform::kPortNames) {
        const std::string variable = platform::PortEnvironmentVariable(name);
        const bool overridden = std::getenv(variable.c_str()) != nullptr;
        const std::optional<std::string> device = platform::PortDevicePath(name);
        const char* state = !device                            ? "nicht zugeordnet"
                            : platform::PortDeviceExists(name) ? "vorhanden"
                                                               : "fehlt";
        std::fprintf(out, "%.*s %s %s", static_cast<int>(name.size()), name.data(),
                     device ? device->c_str() : "-", state);
        if (device && platform::PortDeviceExists(name)) {
            const platform::SerialDeviceInfo info = platform::InspectSerialDevice(*device);
            if (info.kind != platform::SerialDeviceKind::kUnknown) {
                std::fprintf(out, " %s", platform::SerialDeviceKindText(info.kind));
            }
            if (info.latencyMs >= 0) {
                std::fprintf(out, ", Latenz-Timer %d ms%s", info.latencyMs,
                             info.latencyWritable ? "" : " (nicht änderbar)");
            }
        }
        if (overridden) {
            std::fprintf(out, " (%s)", variable.c_str());
        }
        std::fprintf(out, "\n");
    }
    return kExitOk;
}

}  // namespace kinemo::cli
