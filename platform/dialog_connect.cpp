#include "platform/dialog_connect.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

namespace kinemo::platform {
namespace {

// Gap between the main window and the connect dialog beside it, in pixels.
constexpr int kWindowGap = 12;

}  // namespace

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

void ShowConnectDialogBeside(QWidget& main, QWidget& connect) {
    main.show();
    const QRect frame = main.frameGeometry();
    connect.move(frame.topRight() + QPoint(kWindowGap, 0));
    connect.show();
    connect.activateWindow();
}

}  // namespace kinemo::platform
