// The sequencer's application frame: the main window and, beside it, the
// connect dialog, both on the program's one window thread; the event loop;
// and the end of the program.
//
// The program ends with exit code 0 when the main window closes ("Ende",
// Escape, close box) or when the connect dialog is cancelled ("Abbrechen",
// Escape, close box), and on SIGINT, SIGTERM or SIGHUP. In every case the
// windows are torn down in order: the connect attempt (if one runs) ends
// within the driver's time-out, then the run control stops the player and
// waits for its final all-off exchange, so no motor keeps running.
#pragma once

#include <QObject>
#include <cstdio>
#include <memory>

#include "sequencer/ui/connect_dialog.h"

namespace kinemo::engine {
class InterfaceLink;
}
namespace kinemo::platform {
class FileDialogService;
class MessageService;
class TerminationSignals;
}  // namespace kinemo::platform

namespace kinemo::ui {

class MainDialog;

// The program's title: window captions and the caption of message boxes that
// name none.
inline constexpr char kProgramTitle[] = "Kinemo";

struct SequencerAppServices {
    engine::InterfaceLink* link = nullptr;  // the interface the player drives
    ConnectFunction connect;                // opens the interface on a port
    platform::MessageService* messages = nullptr;
    platform::FileDialogService* files = nullptr;
    std::FILE* diagnostics = stdout;  // the engine's diagnostic lines
};

class SequencerApp : public QObject {
    Q_OBJECT

  public:
    // Needs a QApplication. Creates the main window and the connect dialog
    // (not shown yet).
    explicit SequencerApp(const SequencerAppServices& services);
    ~SequencerApp() override;

    MainDialog& Main() { return *main_; }
    ConnectDialog& Connect() { return *connect_; }

    // Shows the main window and the connect dialog beside it, serves events
    // until the program is ended and returns its exit code, 0.
    int Exec();

    // Ends the event loop with exit code 0; the destructor then stops the run.
    static void EndProgram();

  private:
    // Members are destroyed in reverse order: the connect dialog (its worker
    // uses the interface) before the main window (whose run control waits
    // for the final all-off exchange).
    std::unique_ptr<MainDialog> main_;
    std::unique_ptr<ConnectDialog> connect_;
};

// Ends the program cleanly on SIGINT, SIGTERM and SIGHUP: the window thread
// sets `stopFlag` (the player stops at its next motor check) and ends the
// event loop. Call once, after the QApplication exists.
void EndProgramOnSignals(platform::TerminationSignals& termination,
                         std::atomic<std::uint8_t>& stopFlag);

// The whole program: application object, driver, windows, event loop.
int RunSequencerProgram(int argc, char** argv);

}  // namespace kinemo::ui
