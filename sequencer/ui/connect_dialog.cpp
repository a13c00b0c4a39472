#include "sequencer/ui/connect_dialog.h"

#include <QComboBox>
#include <utility>

#include "platform/dialog_connect.h"
#include "platform/dialog_events.h"
#include "platform/dialog_ports.h"
#include "platform/port_map.h"
#include "sequencer/ui/resource_paths.h"

namespace kinemo::ui {
ConnectDialog::ConnectDialog(ConnectDialogServices services, QWidget* parent)
    : ConnectAttemptDialog(QStringLiteral("Kinemo"), 114, 54,
                           {QStringLiteral("Interface an:"),
                            QRect(5, 4, 44, 9),
                            QPoint(59, 4),
                            kConnectStatusId,
                            QRect(0, 42, 109, 10),
                            {kStatusNotConnected, kStatusConnecting, kStatusConnected,
                             kStatusNoConnection, kConnectFailedMessage}},
                           {services.messages, services.cancel, QString()}, parent),
      connect_(std::move(services.connect)),
      workerChanged_(std::move(services.workerChanged)) {
    resources::InitResources();
    setObjectName(QString::number(kConnectDialogResource));
    SetProgramIcon(QString::fromLatin1(resources::kProgramIcon));
    AddFrame([this] {
        QComboBox* ports = AddDropDownList(kPortChoiceId, 5, 15, 40, 12);
        for (std::string_view name : platform::kPortNames) {
            ComboAppend(kPortChoiceId,
                        QString::fromLatin1(name.data(), static_cast<int>(name.size())));
            ports->setItemData(ports->count() - 1, platform::PortTooltip(name), Qt::ToolTipRole);
        }
        ComboSetSelection(kPortChoiceId, 0);
    });
    OnClicked(platform::kIdOk, [this] { Connect(); });
}

void ConnectDialog::Connect() {
    if (!connect_) {
        return;
    }
    const int index = ComboSelection(kPortChoiceId);
    std::string portName = index >= 0
                               ? Control<QComboBox>(kPortChoiceId)->itemText(index).toStdString()
                               : std::string();
    // The attempt thread works with its own copies of the functions; its
    // status texts reach the status line as queued calls.
    StartAttempt([this, connect = connect_, workerChanged = workerChanged_,
                  portName = std::move(portName)] {
        const platform::ThreadId self = platform::CurrentThreadId();
        if (workerChanged) {
            workerChanged(&self);
        }
        const ConnectStatusSink status = [this](const char* text) {
            platform::PostCall(
                this, [this, line = QString::fromUtf8(text)] { SetText(kConnectStatusId, line); });
        };
        const bool success = connect(portName, status);
        if (workerChanged) {
            workerChanged(nullptr);
        }
        return success;
    });
}

}  // namespace kinemo::ui
