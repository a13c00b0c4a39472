// KinemoSpeech's application frame: the settings file read before any window
// shows, the main window and, beside it, the connect dialog, the event loop,
// and the end of the program.
//
// Exit codes: 1 when settings.kms is refused (after its message box, before
// the main window shows); otherwise 0. "&Ende", Escape, the close box and
// SIGINT, SIGTERM or SIGHUP stop a run, wait at most one second for its final
// all-off exchange, save the settings (a failed save is reported in a message
// box, and the program still ends) and end. "Abbrechen" in the connect dialog
// (or its Escape or close box) ends at once without saving. Every way out
// stops the speech input first. The speech input's settings are read and
// written with settings.kms, in a file of their own beside it.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "keyboard/box_link.h"
#include "keyboard/interface_port.h"
#include "keyboard/settings_file.h"
#include "keyboard/ui/connect_dialog.h"
#include "keyboard/ui/main_dialog.h"
#include "platform/dialog_file.h"
#include "platform/dialog_message.h"
#include "platform/termination_signals.h"

namespace kinemo::keyboard::ui {

struct SpeechAppServices {
    InterfacePort* port = nullptr;  // opened by the connect dialog
    BoxLink* link = nullptr;        // the control loop's view of `port`
    platform::MessageService* messages = nullptr;
    platform::FileDialogService* files = nullptr;  // the word list's "..."
    std::string settingsPath = kSettingsFileName;
    // The speech input's sound: empty for the microphone, else this WAV file.
    std::string audioPath;
};

// The program's command line: `kinemo-speech [--audio FILE.wav]`.
struct SpeechOptions {
    std::string audioPath;
    bool help = false;
};
// False with a one-line message for an unknown argument or a missing value.
bool ParseSpeechOptions(int argc, char** argv, SpeechOptions& options, std::string& error);
// What --help prints.
extern const char kSpeechUsage[];

class SpeechApp : public QObject {
    Q_OBJECT

  public:
    // Needs a QApplication. Creates the main window (defaults applied, control
    // thread waiting) and the connect dialog, neither shown yet.
    explicit SpeechApp(const SpeechAppServices& services);
    ~SpeechApp() override;

    MainDialog& Main() { return *main_; }
    ConnectDialog& Connect() { return *connect_; }

    // Ends the event loop (and any message box's loop within it): a normal
    // end, settings saved, or, for "Abbrechen", one without saving.
    static void EndProgram();
    void CancelProgram();

    // Shows both windows, serves events until the program is ended, then
    // stops a run, saves the settings unless cancelled and returns 0.
    int Exec();

  private:
    void SaveSettings();

    SpeechAppServices services_;
    bool cancelled_ = false;
    // Destroyed in reverse order: the connect dialog (its thread uses the
    // port) before the main window (whose control thread sends all-off).
    std::unique_ptr<MainDialog> main_;
    std::unique_ptr<ConnectDialog> connect_;
};

// Reads the settings file, then runs the windows (SpeechApp) with its
// contents; the signals of `termination` (may be null) end the program like "&Ende". Returns
// the exit code.
int RunSpeechSession(const SpeechAppServices& services, platform::TerminationSignals* termination);

// The whole program: signals, application object, serial port, windows.
int RunSpeechProgram(int argc, char** argv);

}  // namespace kinemo::keyboard::ui
