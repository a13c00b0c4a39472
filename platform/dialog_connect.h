// The end of a connection attempt as the programs' connect dialogs show it.
#pragma once

#include <QString>

#include "platform/dialog_message.h"
#include "platform/dialog_window.h"

namespace kinemo::platform {

struct ConnectResultTexts {
    QString connected;      // the status line after a success
    QString noConnection;   // the status line after a failure
    QString failedMessage;  // the box after a failure
    QString caption;        // the box's caption; empty: the program's title
};

// Shows the result of an attempt in the status line `statusId` of `dialog`.
// After a failure the box says so (when `messages` is given) and OK (id 1) is
// enabled again for another attempt; after a success the caller closes the
// dialog.
void ShowConnectResult(DialogWindow& dialog, int statusId, bool success,
                       const ConnectResultTexts& texts, MessageService* messages);

// Shows `main` and then the connect dialog `connect` beside it, to its right,
// with the focus.
void ShowConnectDialogBeside(QWidget& main, QWidget& connect);

}  // namespace kinemo::platform
