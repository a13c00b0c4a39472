#include "platform/dialog_connect.h"

#include <QPoint>
#include <QPushButton>
#include <QWidget>
#include <utility>

namespace kinemo::platform {
namespace {

// Gap between the main window and the connect dialog beside it, in pixels.
constexpr int kWindowGap = 12;

}  // namespace

void AddConnectFrame(DialogWindow& dialog, const ConnectFrame& frame,
                     const std::function<void()>& addPortChoice) {
    const QRect& prompt = frame.promptRect;
    dialog.AddStatic(-1, frame.prompt, prompt.x(), prompt.y(), prompt.width(), prompt.height());
    addPortChoice();
    const QPoint& at = frame.buttons;
    dialog.AddPushButton(kIdOk, QStringLiteral("Verbinden"), at.x(), at.y(), 50, 14)
        ->setDefault(true);
    dialog.AddPushButton(kIdCancel, QStringLiteral("Abbrechen"), at.x(), at.y() + 18, 50, 14);
    const QRect& status = frame.statusRect;
    dialog.AddStatic(frame.statusId, QString::fromUtf8(frame.texts.notConnected), status.x(),
                     status.y(), status.width(), status.height(), Qt::AlignRight | Qt::AlignTop);
    QStringList statusTexts;
    for (const char* text : {frame.texts.notConnected, frame.texts.connecting,
                             frame.texts.connected, frame.texts.noConnection}) {
        statusTexts << QString::fromUtf8(text);
    }
    dialog.ReserveTexts(frame.statusId, statusTexts);
    dialog.OnClicked(kIdCancel, [&dialog] { dialog.reject(); });
}

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

ConnectAttemptDialog::ConnectAttemptDialog(const QString& title, int widthUnits, int heightUnits,
                                           ConnectFrame frame, Services services, QWidget* parent)
    : DialogWindow(title, widthUnits, heightUnits, parent),
      frame_(std::move(frame)),
      services_(std::move(services)) {}

void ConnectAttemptDialog::AddFrame(const std::function<void()>& addPortChoice) {
    AddConnectFrame(*this, frame_, addPortChoice);
}

void ConnectAttemptDialog::reject() {
    if (services_.cancel) {
        services_.cancel();
    }
}

void ConnectAttemptDialog::StartAttempt(std::function<bool()> job) {
    if (Connecting() || connected_ || !job) {
        return;
    }
    SetEnabled(kIdOk, false);
    SetText(frame_.statusId, QString::fromUtf8(frame_.texts.connecting));
    attempt_.Start(this, std::move(job), [this](bool success) { FinishAttempt(success); });
}

void ConnectAttemptDialog::FinishAttempt(bool success) {
    ConnectResultTexts texts;
    texts.connected = QString::fromUtf8(frame_.texts.connected);
    texts.noConnection = QString::fromUtf8(frame_.texts.noConnection);
    texts.failedMessage = QString::fromUtf8(frame_.texts.failedMessage);
    texts.caption = services_.failureCaption;
    ShowConnectResult(*this, frame_.statusId, success, texts, services_.messages);
    if (success) {
        connected_ = true;
        hide();
        Q_EMIT connectedToInterface();
    }
}

}  // namespace kinemo::platform
