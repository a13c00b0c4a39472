// One interface record for the life of a program, with the port it was last
// opened on remembered, so that a run after a lost line (an adapter pulled and
// plugged in again) can open the same port once more without the user going
// through the connect step again.
//
// The record is used by one thread at a time: the connect step and Reopen run
// while no run is in progress, exchanges only during a run. LineLost may be
// asked from any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string_view>

#include "driver/interface_driver.h"

namespace kinemo::driver {

// Port names travel to the driver in an 8-byte buffer: 7 characters and a NUL.
inline constexpr std::size_t kPortNameBytes = 8;

class ReopenableInterface {
  public:
    ReopenableInterface() = default;
    ReopenableInterface(const ReopenableInterface&) = delete;
    ReopenableInterface& operator=(const ReopenableInterface&) = delete;

    // Sets the record's kind and opens `portName` (cut to 7 characters). On
    // success the port and kind are remembered for Reopen and the line counts
    // as good again; false when the driver reports no connection.
    bool Open(std::int32_t kind, std::string_view portName);

    std::uint32_t Exchange(std::uint32_t output) { return ExchangeWithInterface(&record_, output); }
    // True once an exchange found the line gone. Stays true until an Open or
    // Reopen succeeds, also while the port cannot be opened again (the driver
    // forgets a dead line when its record is closed; a caller must not).
    bool LineLost();
    // After a lost line: closes the dead record (which only lets its port go)
    // and opens the remembered port with the remembered kind. Does nothing
    // while the line is good or before any successful Open. True when the line
    // is usable afterwards.
    bool Reopen();
    // Switches all motors off and closes the port (never during an exchange).
    void Close() { CloseInterface(&record_); }

    InterfaceRecord& Record() { return record_; }

  private:
    InterfaceRecord record_{};
    std::array<char, kPortNameBytes> port_{};
    std::int32_t kind_ = 0;
    std::atomic<bool> lost_{false};
};

}  // namespace kinemo::driver
