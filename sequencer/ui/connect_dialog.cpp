#include "sequencer/ui/connect_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <utility>

#include "platform/dialog_connect.h"
#include "platform/dialog_message.h"
#include "platform/dialog_ports.h"
#include "platform/port_map.h"
#include "sequencer/ui/resource_paths.h"

namespace kinemo::ui {
ConnectDialog::ConnectDialog(ConnectDialogServices services, QWidget* parent)
    : DialogWindow(QStringLiteral("Kinemo"), 114, 54, parent), services_(std::move(services)) {
    resources::InitResources();
    setObjectName(QString::number(kConnectDialogResource));
    SetProgramIcon(QString::fromLatin1(resources::kProgramIcon));

    AddStatic(-1, QStringLiteral("Interface an:"), 5, 4, 44, 9);
    QComboBox* ports = AddDropDownList(kPortChoiceId, 5, 15, 40, 12);
    for (std::string_view name : platform::kPortNames) {
        ComboAppend(kPortChoiceId, QString::fromLatin1(name.data(), static_cast<int>(name.size())));
        ports->setItemData(ports->count() - 1, platform::PortTooltip(name), Qt::ToolTipRole);
    }
    ComboSetSelection(kPortChoiceId, 0);

    QPushButton* connect =
        AddPushButton(platform::kIdOk, QStringLiteral("Verbinden"), 59, 4, 50, 14);
    connect->setDefault(true);
    AddPushButton(platform::kIdCancel, QStringLiteral("Abbrechen"), 59, 22, 50, 14);
    // A trailing line break of a status text must not push the text up out of
    // its one-line field, so the text hangs from the top.
    AddStatic(kConnectStatusId, QString::fromUtf8(kStatusNotConnected), 0, 42, 109, 10,
              Qt::AlignRight | Qt::AlignTop);
    QStringList statusTexts;
    for (const char* text :
         {kStatusNotConnected, kStatusConnecting, kStatusConnected, kStatusNoConnection}) {
        statusTexts << QString::fromUtf8(text);
    }
    ReserveTexts(kConnectStatusId, statusTexts);

    OnClicked(platform::kIdOk, [this] { StartAttempt(); });
    OnClicked(platform::kIdCancel, [this] { reject(); });
}

void ConnectDialog::reject() {
    if (services_.cancel) {
        services_.cancel();
    }
}

void ConnectDialog::StartAttempt() {
    if (Connecting() || connected_ || !services_.connect) {
        return;
    }
    SetEnabled(platform::kIdOk, false);
    SetText(kConnectStatusId, QString::fromUtf8(kStatusConnecting));

    const int index = ComboSelection(kPortChoiceId);
    std::string portName = index >= 0
                               ? Control<QComboBox>(kPortChoiceId)->itemText(index).toStdString()
                               : std::string();
    // The worker only reads the function objects, which this dialog keeps
    // unchanged and alive until it has joined the worker.
    attempt_.Start(
        this,
        [this, portName = std::move(portName)] {
            const platform::ThreadId self = platform::CurrentThreadId();
            if (services_.workerChanged) {
                services_.workerChanged(&self);
            }
            const ConnectStatusSink status = [this](const char* text) {
                QMetaObject::invokeMethod(
                    this,
                    [this, line = QString::fromUtf8(text)] { SetText(kConnectStatusId, line); },
                    Qt::QueuedConnection);
            };
            const bool success = services_.connect(portName, status);
            if (services_.workerChanged) {
                services_.workerChanged(nullptr);
            }
            return success;
        },
        [this](bool success) { FinishAttempt(success); });
}

void ConnectDialog::FinishAttempt(bool success) {
    platform::ConnectResultTexts texts;
    texts.connected = QString::fromUtf8(kStatusConnected);
    texts.noConnection = QString::fromUtf8(kStatusNoConnection);
    texts.failedMessage = QString::fromUtf8(kConnectFailedMessage);
    platform::ShowConnectResult(*this, kConnectStatusId, success, texts, services_.messages);
    if (success) {
        connected_ = true;
        hide();
        emit connectedToInterface();
    }
}

}  // namespace kinemo::ui
