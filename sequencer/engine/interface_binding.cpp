#include "sequencer/engine/interface_binding.h"

#include <algorithm>
#include <array>

namespace kinemo::engine {

bool ConnectInterface(DriverLink& link, std::string_view portName, const ConnectStatus& status) {
    if (status) {
        status(kConnectingText);
    }
    std::array<char, kPortNameBytes> name{};
    std::copy_n(portName.begin(), std::min(portName.size(), kPortNameBytes - 1), name.begin());
    SetInterfaceKind(&link.Record(), kSequencerInterfaceKind);
    const bool connected = OpenInterface(&link.Record(), name.data()) != INTERFACE_OPEN_FAILED;
    if (status) {
        status(connected ? kConnectedText : kNoConnectionText);
    }
    return connected;
}

}  // namespace kinemo::engine
