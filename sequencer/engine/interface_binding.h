// The sequencer's binding to the interface driver library: the link the
// player exchanges through, and the connect step behind "Verbinden".
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "driver/interface_driver.h"
#include "driver/reopenable_interface.h"
#include "sequencer/engine/player.h"

namespace kinemo::engine {

// Texts of the connect step, shown in the connect dialog's status line and,
// on failure, in a message box.
inline constexpr char kConnectingText[] = "Baue Verbindung zum Interface auf...\n";
inline constexpr char kNoConnectionText[] = "Keine Verbindung zum Interface!\n";
inline constexpr char kConnectedText[] = "Verbindung zum Interface erfolgreich\n";
inline constexpr char kConnectFailedBoxText[] = "Verbindung fehlgeschlagen!\n";

// The sequencer opens every port as this kind of interface.
inline constexpr std::int32_t kSequencerInterfaceKind = 40;

// One InterfaceRecord, reserved for the life of the program and zero at start.
// Every exchange is one driver call; the driver's answer is taken as the Input
// word unchecked. The sequencer never closes the interface; after a lost line
// the next run opens the port of the last connection again.
class DriverLink : public InterfaceLink {
  public:
    DriverLink() = default;
    DriverLink(const DriverLink&) = delete;
    DriverLink& operator=(const DriverLink&) = delete;

    std::uint32_t Exchange(std::uint32_t output) override { return interface_.Exchange(output); }
    // Stays true after a lost line until a connection or a reopen succeeds,
    // also while the port cannot be opened again.
    bool LinkLost() override { return interface_.LineLost(); }
    void Reopen() override { interface_.Reopen(); }
    InterfaceRecord& Record() { return interface_.Record(); }
    driver::ReopenableInterface& Interface() { return interface_; }

  private:
    driver::ReopenableInterface interface_;
};

// Receives each status text of the connect step as it happens.
using ConnectStatus = std::function<void(const char* text)>;

// "Verbinden": reports kConnectingText, sets the record's kind to 40 and opens
// the port (the name cut to 7 characters in an 8-byte buffer). On failure
// reports kNoConnectionText and returns false (the window then shows
// kConnectFailedBoxText); otherwise reports kConnectedText and returns true.
bool ConnectInterface(DriverLink& link, std::string_view portName, const ConnectStatus& status);

}  // namespace kinemo::engine
