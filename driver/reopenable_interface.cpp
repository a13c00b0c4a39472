#include "driver/reopenable_interface.h"

#include <algorithm>

namespace kinemo::driver {

bool ReopenableInterface::Open(std::int32_t kind, std::string_view portName) {
    std::array<char, kPortNameBytes> name{};
    std::copy_n(portName.begin(), std::min(portName.size(), kPortNameBytes - 1), name.begin());
    SetInterfaceKind(&record_, kind);
    if (OpenInterface(&record_, name.data()) == INTERFACE_OPEN_FAILED) {
        return false;
    }
    port_ = name;
    kind_ = kind;
    lost_.store(false, std::memory_order_relaxed);
    return true;
}

bool ReopenableInterface::LineLost() {
    if (lost_.load(std::memory_order_relaxed)) {
        return true;
    }
    if (InterfaceLineLost(&record_) != 0) {
        lost_.store(true, std::memory_order_relaxed);
        return true;
    }
    return false;
}

bool ReopenableInterface::Reopen() {
    if (!LineLost()) {
        return true;
    }
    if (port_[0] == '\0') {
        return false;
    }
    CloseInterface(&record_);
    SetInterfaceKind(&record_, kind_);
    if (OpenInterface(&record_, port_.data()) == INTERFACE_OPEN_FAILED) {
        return false;
    }
    lost_.store(false, std::memory_order_relaxed);
    return true;
}

}  // namespace kinemo::driver
