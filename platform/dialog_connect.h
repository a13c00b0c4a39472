// What the programs' connect dialogs share: the frame of prompt, port choice,
// "Verbinden", "Abbrechen" and status line; the end of a connection attempt
// as the dialog shows it; and a dialog whose attempt runs on a thread of its
// own, for programs whose main window stays usable beside it.
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

#include "platform/dialog_job.h"
#include "platform/dialog_message.h"
#include "platform/dialog_window.h"

namespace kinemo::platform {

struct ConnectResultTexts {
    QString connected;      // the status line after a success
    QString noConnection;   // the status line after a failure
    QString failedMessage;  // the box after a failure
    QString caption;        // the box's caption; empty: the program's title
};

// The texts of a connect dialog's status line and of its failure box,
// exactly as shown (UTF-8).
struct ConnectTexts {
    const char* notConnected;
    const char* connecting;
    const char* connected;
    const char* noConnection;
    const char* failedMessage;
};

// A connect dialog's frame, in dialog units: the prompt ("Interface an:")
// above the port choice, "Verbinden" (OK, the default button) with
// "Abbrechen" (Cancel) 18 units below it, and the status line, right-aligned
// and hanging from the top so that a trailing line break never pushes its
// one line up out of the field. The status line starts "not connected" and
// keeps room for each of its texts, so none is cut off.
struct ConnectFrame {
    QString prompt;
    QRect promptRect;
    QPoint buttons;  // top left of "Verbinden"
    int statusId = 0;
    QRect statusRect;
    ConnectTexts texts;
};

// Adds the frame to `dialog` in tab order: prompt, what `addPortChoice`
// adds, the two buttons, the status line. Clicking "Abbrechen" rejects.
void AddConnectFrame(DialogWindow& dialog, const ConnectFrame& frame,
                     const std::function<void()>& addPortChoice);

// Shows the result of an attempt in the status line `statusId` of `dialog`.
// After a failure the box says so (when `messages` is given) and OK (id 1) is
// enabled again for another attempt; after a success the caller closes the
// dialog.
void ShowConnectResult(DialogWindow& dialog, int statusId, bool success,
                       const ConnectResultTexts& texts, MessageService* messages);

// Shows `main` and then the connect dialog `connect` beside it, to its right,
// with the focus.
void ShowConnectDialogBeside(QWidget& main, QWidget& connect);

// A connect dialog whose attempt ("Verbinden") runs on a thread of its own,
// since a box that does not answer keeps it waiting for up to 800 ms; the
// result comes back as a queued call, so that thread never touches a widget.
// A failure shows its box and enables "Verbinden" again; a success hides the
// dialog and emits connectedToInterface(). "Abbrechen", Escape and the close
// box call the program's cancel function.
class ConnectAttemptDialog : public DialogWindow {
    Q_OBJECT

  public:
    struct Services {
        MessageService* messages = nullptr;
        // "Abbrechen", Escape or the close box.
        std::function<void()> cancel;
        QString failureCaption;  // empty: the program's title
    };

    ConnectAttemptDialog(const QString& title, int widthUnits, int heightUnits, ConnectFrame frame,
                         Services services, QWidget* parent = nullptr);
    // Waits for a running attempt, which ends by itself within its time-out.
    ~ConnectAttemptDialog() override = default;

    // True from "Verbinden" until the attempt's result has been shown.
    bool Connecting() const { return attempt_.Busy(); }
    // True once an attempt has succeeded (the dialog is then closed).
    bool Connected() const { return connected_; }

  Q_SIGNALS:
    // Emitted on the dialog's thread after a successful attempt.
    void connectedToInterface();

  public Q_SLOTS:
    void reject() override;

  protected:
    // Adds the frame with the program's port choice (AddConnectFrame).
    void AddFrame(const std::function<void()>& addPortChoice);
    // Runs `job` on the attempt thread unless an attempt is running or one
    // has succeeded. What `job` uses must be its own (copies) or outlive this
    // dialog's attempt: a program's members are gone before the attempt
    // thread is joined.
    void StartAttempt(std::function<bool()> job);

  private:
    void FinishAttempt(bool success);

    ConnectFrame frame_;
    Services services_;
    bool connected_ = false;
    // Declared last: destroyed first, waiting for an attempt that still uses
    // the services.
    DialogJob attempt_;
};

}  // namespace kinemo::platform
