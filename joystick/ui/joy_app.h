// KinemoJoy's application frame: the connect dialog, modally, before the
// main window; the event loop; and the end of the program.
//
// Every way out of the main window ("Ende", Escape, the close box, SIGINT,
// SIGTERM, SIGHUP) goes through EndProgram: the run stops, the frame waits
// (at most a second) for the loop's final all-off exchange, closes the
// interface, saves the settings and ends with exit code 0. The reset with
// restart ends with 0 without saving; a joystick lost at the start of a run
// and Abort ends with 2, without saving, still with the motors off. The
// connect dialog ends the program with 0 ("Abbrechen"), 1 (no joystick) or
// 2 (a settings file of another version refused).
#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "joystick/joy_connect.h"
#include "joystick/joy_settings.h"
#include "joystick/joystick_source.h"
#include "platform/joystick.h"

namespace kinemo::platform {
class FileDialogService;
class MessageService;
class TerminationSignals;
}  // namespace kinemo::platform

namespace kinemo::joy::ui {

class ConnectDialog;
class MainDialog;

// The command line of the window program.
struct JoyOptions {
    std::string replayPath;  // --replay FILE: a virtual joystick plays it
    std::string settingsPath = "settings.kmj";
};

// Parses the arguments after the program name; false with a one-line error
// for anything else than --replay FILE, --settings FILE and --help.
bool ParseJoyOptions(int argc, char** argv, JoyOptions& options, std::string& error, bool& help);

struct JoyAppServices {
    platform::MessageService* messages = nullptr;
    platform::FileDialogService* files = nullptr;
    // The joystick the program reads; for a replay its virtual joystick.
    JoystickSource* source = nullptr;
    // The joystick check of the connect dialog.
    std::function<std::optional<platform::JoystickCaps>()> probeJoystick;
    std::string settingsPath = "settings.kmj";
};

class JoyApp : public QObject {
    Q_OBJECT

  public:
    explicit JoyApp(JoyAppServices services);
    ~JoyApp() override;

    // The connect dialog, then the main window until the program ends;
    // returns the exit code.
    int Exec();

    // Ends the program in order (see above); the first call wins.
    void EndProgram(int exitCode, bool save);
    // A termination signal: ends like the close box (or like "Abbrechen"
    // while the connect dialog is open).
    void OnTerminationSignal(int signalNumber);

    JoySettings& Settings() { return settings_; }
    DriverLink& Link() { return link_; }
    MainDialog* Main() { return main_.get(); }
    ConnectDialog* Connect() { return connect_.get(); }

  private:
    JoyAppServices services_;
    JoySettings settings_;
    DriverLink link_;
    std::unique_ptr<ConnectDialog> connect_;
    std::unique_ptr<MainDialog> main_;
    bool ending_ = false;
    int exitCode_ = 0;
};

// The whole program: signals, application object, joystick, windows.
int RunJoyProgram(int argc, char** argv);

}  // namespace kinemo::joy::ui
