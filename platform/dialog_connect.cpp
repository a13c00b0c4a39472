#include "platform/dialog_connect.h"

namespace kinemo::platform {

void ShowConnectResult(DialogWindow& dialog, int statusId, bool success,
                       const ConnectResultTexts& texts, MessageService* messages) {
    if (success) {
        dialog.SetText(statusId, texts.connected);
        return;
    }
    dialog.SetText(statusId, texts.noConnection);
    if (messages != nullptr) {
        MessageRequest request;
        request.text = texts.failedMessage;
        request.caption = texts.caption;
        request.buttons = MessageButtons::kOk;
        messages->Show(&dialog, request);
    }
    dialog.SetEnabled(kIdOk, true);
}

}  // namespace kinemo::platform
