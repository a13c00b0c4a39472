// The connect dialog: the user picks the port the interface box hangs on and
// presses "Verbinden"; "Abbrechen" ends the program.
//
// The attempt itself runs on a worker thread, since opening a port can block
// for up to 800 ms while the box does not answer; its status texts come back
// to the dialog as queued calls, so the worker never touches a widget.
#pragma once

#include <functional>
#include <string>

#include "platform/dialog_connect.h"
#include "platform/threads.h"
#include "sequencer/engine/interface_binding.h"

namespace kinemo::ui {

// Dialog resource number and control ids of the connect dialog.
inline constexpr int kConnectDialogResource = 129;
inline constexpr int kPortChoiceId = 1113;
inline constexpr int kConnectStatusId = 1001;

// Status texts of the connection, exactly as shown; the connect step itself
// reports the others.
inline constexpr char kStatusNotConnected[] = "Nicht Verbunden";
inline constexpr const char* kStatusConnecting = engine::kConnectingText;
inline constexpr const char* kStatusConnected = engine::kConnectedText;
inline constexpr const char* kStatusNoConnection = engine::kNoConnectionText;
inline constexpr const char* kConnectFailedMessage = engine::kConnectFailedBoxText;

// Receives a status text; called on the worker thread.
using ConnectStatusSink = std::function<void(const char* status)>;

// Opens the interface on `portName`, reporting progress through `status`;
// true on success. Runs on the worker thread.
using ConnectFunction =
    std::function<bool(const std::string& portName, const ConnectStatusSink& status)>;

struct ConnectDialogServices {
    ConnectFunction connect;
    platform::MessageService* messages = nullptr;
    // "Abbrechen", Escape or the close box: ends the program.
    std::function<void()> cancel;
    // Called on the worker thread when an attempt starts (with its id) and
    // when it ends (with nullptr), so a run can lower its priority meanwhile.
    std::function<void(const platform::ThreadId* worker)> workerChanged;
};

class ConnectDialog : public platform::ConnectAttemptDialog {
    Q_OBJECT

  public:
    explicit ConnectDialog(ConnectDialogServices services, QWidget* parent = nullptr);

  private:
    void Connect();

    ConnectFunction connect_;
    std::function<void(const platform::ThreadId* worker)> workerChanged_;
};

}  // namespace kinemo::ui
