#include "keyboard/box_link.h"

#include "keyboard/interface_port.h"

namespace kinemo::keyboard {

std::uint8_t PortLink::Exchange(std::uint8_t output) {
    return port_.exchange(output);
}

bool PortLink::LinkLost() const {
    return port_.lineLost();
}

void PortLink::Reopen() {
    port_.reopen();
}

bool PortLink::Connected() const {
    return port_.isOpen();
}

}  // namespace kinemo::keyboard
