#include "sequencer/engine/interface_binding.h"

namespace kinemo::engine {

bool ConnectInterface(DriverLink& link, std::string_view portName, const ConnectStatus& status) {
    if (status) {
        status(kConnectingText);
    }
    const bool connected = link.Interface().Open(kSequencerInterfaceKind, portName);
    if (status) {
        status(connected ? kConnectedText : kNoConnectionText);
    }
    return connected;
}

}  // namespace kinemo::engine
