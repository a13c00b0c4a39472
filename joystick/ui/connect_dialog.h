// KinemoJoy's connect dialog, run modally before the main window: it makes
// sure a joystick is present, reads the settings file's header and either
// connects at once with the stored port and module or lets the user choose
// them ("Interface 1 an:", "Extension- Modul") and press "Verbinden".
//
// Opening a port blocks for at most the driver's answer time-out (800 ms);
// the dialog shows "Baue Verbindung zum Interface auf..." first and waits on
// its own thread, which nothing else needs meanwhile: the main window does
// not exist yet and no motor can be running.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "joystick/joy_settings.h"
#include "platform/dialog_window.h"
#include "platform/joystick.h"

namespace kinemo::platform {
class MessageService;
}

namespace kinemo::joy::ui {

// The joystick check: joystick 0's capabilities, when both they and one
// position could be read; nothing when no joystick answers.
using JoystickProbe = std::function<std::optional<platform::JoystickCaps>()>;
// Opens the interface on the settings' port and module (ConnectInterface of
// the engine); true when the box answered.
using OpenFunction = std::function<bool(const JoySettings& settings)>;

struct ConnectDialogServices {
    JoystickProbe probeJoystick;
    OpenFunction open;
    platform::MessageService* messages = nullptr;
    std::string settingsPath = "settings.kmj";
};

// How the connect dialog ended.
enum class ConnectOutcome {
    kConnected,       // the interface is open; the main window follows
    kCancelled,       // "Abbrechen", Escape or the close box: exit code 0
    kNoJoystick,      // no joystick and Cancel: exit code 1
    kSettingsRefused  // a settings file of another version and Cancel: exit code 2
};

// The exit code of a connect dialog that did not connect.
int ExitCodeOf(ConnectOutcome outcome);

class ConnectDialog : public platform::DialogWindow {
    Q_OBJECT

  public:
    // `settings` receives the joystick's counts, the port and the module.
    ConnectDialog(JoySettings& settings, ConnectDialogServices services, QWidget* parent = nullptr);

    // The whole dialog: the joystick check, the settings header, the
    // automatic connection, and, where still needed, the user's choice.
    ConnectOutcome Run();

    // The joystick found by the check (valid once Run got past it).
    const platform::JoystickCaps& Caps() const { return caps_; }
    // Connects with the port and module chosen in the controls ("Verbinden").
    void ConnectChosen();

  public Q_SLOTS:
    // "Abbrechen", Escape and the close box.
    void reject() override;

  private:
    bool CheckJoystick();
    // ConnectInterface: status texts, the driver, the failure box.
    bool ConnectInterface();
    void ShowStoredChoice();
    void Finish(ConnectOutcome outcome);

    JoySettings& settings_;
    ConnectDialogServices services_;
    platform::JoystickCaps caps_;
    ConnectOutcome outcome_ = ConnectOutcome::kCancelled;
    // Set by reject(), also while a box of Run is open (a termination signal).
    bool cancelled_ = false;
};

}  // namespace kinemo::joy::ui
