#include "keyboard/ui/connect_dialog.h"

#include <QRadioButton>
#include <utility>

#include "keyboard/ui/main_dialog_ids.h"
#include "keyboard/ui/resource_paths.h"
#include "platform/dialog_connect.h"
#include "platform/dialog_message.h"
#include "platform/dialog_ports.h"
#include "platform/port_map.h"

namespace kinemo::keyboard::ui {

ConnectDialog::ConnectDialog(ConnectDialogServices services, QWidget* parent)
    : ConnectAttemptDialog(QString::fromLatin1(kProgramTitle), 160, 76,
                           {QStringLiteral("Interface an:"),
                            QRect(7, 5, 60, 9),
                            QPoint(103, 5),
                            kConnectStatusId,
                            QRect(3, 62, 150, 10),
                            {kStatusNotConnected, kStatusConnecting, kStatusConnected,
                             kStatusNoConnection, kConnectFailedMessage}},
                           {services.messages, services.cancel, QString::fromLatin1(kProgramTitle)},
                           parent),
      connect_(std::move(services.connect)) {
    resources::InitResources();
    setObjectName(QString::number(kConnectDialogResource));
    SetProgramIcon(QString::fromLatin1(resources::kProgramIcon));
    AddFrame([this] {
        for (int index = 0; index < kPortCount; ++index) {
            QRadioButton* radio =
                AddRadioButton(kPortRadioFirstId + index, QStringLiteral("Com %1").arg(index + 1),
                               12, 16 + 11 * index, 45, 10, index == 0);
            // The same names as the box's serial layer: "COM1" to "COM4".
            radio->setToolTip(platform::PortTooltip(platform::kPortNames[index]));
        }
        SetChecked(kPortRadioFirstId, true);
    });
    OnClicked(platform::kIdOk, [this] {
        if (connect_) {
            StartAttempt([connect = connect_, port = PortNumber()] { return connect(port); });
        }
    });
}

int ConnectDialog::PortNumber() const {
    const int index = CheckedRadio(
        {kPortRadioFirstId, kPortRadioFirstId + 1, kPortRadioFirstId + 2, kPortRadioFirstId + 3});
    return index < 0 ? 1 : index + 1;
}

}  // namespace kinemo::keyboard::ui
