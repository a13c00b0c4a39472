// KinemoSpeech's connect dialog: the user picks one of the serial ports
// "Com 1" to "Com 4" and presses "Verbinden"; "Abbrechen" ends the program.
//
// The attempt runs on a thread of its own, since a box that does not answer
// keeps the connection test waiting for up to 800 ms; its result comes back
// to the dialog as a queued call, so that thread never touches a widget and
// the main window stays usable beside the dialog all the while.
#pragma once

#include <functional>

#include "platform/dialog_connect.h"

namespace kinemo::keyboard::ui {

// Dialog resource number and control ids of the connect dialog.
inline constexpr int kConnectDialogResource = 129;
inline constexpr int kPortRadioFirstId = 1010;  // "Com 1"; 1011 to 1013 follow
inline constexpr int kPortCount = 4;
inline constexpr int kConnectStatusId = 1001;

// Status texts and the failure box, exactly as shown (UTF-8).
inline constexpr char kStatusNotConnected[] = "Nicht Verbunden";
inline constexpr char kStatusConnecting[] = "Baue Verbindung zum Interface auf...\n";
inline constexpr char kStatusConnected[] = "Verbindung zum Interface erfolgreich\n";
inline constexpr char kStatusNoConnection[] = "Keine Verbindung zum Interface!\n";
inline constexpr char kConnectFailedMessage[] = "Verbindung zum Interface fehlgeschlagen!\n";

// Opens the interface on port number 1 to 4 and tests the link; true on
// success. Runs on the dialog's connect thread.
using PortConnectFunction = std::function<bool(int portNumber)>;

struct ConnectDialogServices {
    PortConnectFunction connect;
    platform::MessageService* messages = nullptr;
    // "Abbrechen", Escape or the close box: ends the program.
    std::function<void()> cancel;
};

class ConnectDialog : public platform::ConnectAttemptDialog {
    Q_OBJECT

  public:
    explicit ConnectDialog(ConnectDialogServices services, QWidget* parent = nullptr);

    // The chosen port number, 1 to 4.
    int PortNumber() const;

  private:
    PortConnectFunction connect_;
};

}  // namespace kinemo::keyboard::ui
