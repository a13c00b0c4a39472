// KinemoJoy's binding to the interface driver library: the link the control
// loop exchanges through and the connect step (ConnectInterface).
#pragma once

#include <cstdint>
#include <functional>

#include "driver/interface_driver.h"
#include "driver/reopenable_interface.h"
#include "joystick/control_loop.h"
#include "joystick/joy_settings.h"

namespace kinemo::joy {

// interfaceKind for the port and module: 10 for a parallel port, 2 for a
// serial port with the extension module, 1 without.
std::int32_t InterfaceKindFor(std::uint8_t lptPort, std::uint8_t extensionModule);

// One InterfaceRecord for the life of the program, zero at start. After a
// lost line the next run opens the port of the last connection again.
class DriverLink : public InterfaceLink {
  public:
    DriverLink() = default;
    DriverLink(const DriverLink&) = delete;
    DriverLink& operator=(const DriverLink&) = delete;

    std::uint32_t Exchange(std::uint32_t output) override { return interface_.Exchange(output); }
    // Stays true after a lost line until a connection or a reopen succeeds.
    bool LinkLost() override { return interface_.LineLost(); }
    void Reopen() override { interface_.Reopen(); }
    // "Ende": CloseInterface (never during an exchange: stop the loop first).
    void Close() { interface_.Close(); }
    InterfaceRecord& Record() { return interface_.Record(); }
    driver::ReopenableInterface& Interface() { return interface_; }

  private:
    driver::ReopenableInterface interface_;
};

// Receives each status text of the connect step (kConnectingText, then
// kConnectedText or kNoConnectionText).
using ConnectStatus = std::function<void(const char* text)>;

// ConnectInterface: sets the record's kind from the settings' port and module
// and opens PortName(portNumber, lptPort). False when the driver reports no
// connection (the window then shows kConnectFailedBoxText).
bool ConnectInterface(DriverLink& link, const JoySettings& settings, const ConnectStatus& status);

}  // namespace kinemo::joy
