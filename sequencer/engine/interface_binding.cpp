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
    if (connected) {
        link.Connected(name.data());
    }
    if (status) {
        status(connected ? kConnectedText : kNoConnectionText);
    }
    return connected;
}

void DriverLink::Connected(const char* name) {
    port_.fill('\0');
    for (std::size_t i = 0; i + 1 < port_.size() && name[i] != '\0'; ++i) {
        port_[i] = name[i];
    }
    lost_.store(false, std::memory_order_relaxed);
}

void DriverLink::Reopen() {
    if (port_[0] == '\0' || !LinkLost()) {
        return;
    }
    // Closing a dead record only lets its port go; then the same port again.
    CloseInterface(&record_);
    SetInterfaceKind(&record_, kSequencerInterfaceKind);
    if (OpenInterface(&record_, port_.data()) != INTERFACE_OPEN_FAILED) {
        lost_.store(false, std::memory_order_relaxed);
    }
}

}  // namespace kinemo::engine
