#include "keyboard/ui/connect_dialog.h"

#include <QPushButton>
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
    : DialogWindow(QString::fromLatin1(kProgramTitle), 160, 76, parent),
      services_(std::move(services)) {
    resources::InitResources();
    setObjectName(QString::number(kConnectDialogResource));
    SetProgramIcon(QString::fromLatin1(resources::kProgramIcon));

    AddStatic(-1, QStringLiteral("Interface an:"), 7, 5, 60, 9);
    for (int index = 0; index < kPortCount; ++index) {
        QRadioButton* radio =
            AddRadioButton(kPortRadioFirstId + index, QStringLiteral("Com %1").arg(index + 1), 12,
                           16 + 11 * index, 45, 10, index == 0);
        // The same names as the box's serial layer: "COM1" to "COM4".
        radio->setToolTip(platform::PortTooltip(platform::kPortNames[index]));
    }
    SetChecked(kPortRadioFirstId, true);

    QPushButton* connect =
        AddPushButton(platform::kIdOk, QStringLiteral("Verbinden"), 103, 5, 50, 14);
    connect->setDefault(true);
    AddPushButton(platform::kIdCancel, QStringLiteral("Abbrechen"), 103, 23, 50, 14);
    // A trailing line break must not push the one-line text up out of its
    // field, so the text hangs from the top.
    AddStatic(kConnectStatusId, QString::fromUtf8(kStatusNotConnected), 3, 62, 150, 10,
              Qt::AlignRight | Qt::AlignTop);

    OnClicked(platform::kIdOk, [this] { StartAttempt(); });
    OnClicked(platform::kIdCancel, [this] { reject(); });
}

int ConnectDialog::PortNumber() const {
    const int index = CheckedRadio(
        {kPortRadioFirstId, kPortRadioFirstId + 1, kPortRadioFirstId + 2, kPortRadioFirstId + 3});
    return index < 0 ? 1 : index + 1;
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
    const int portNumber = PortNumber();
    attempt_.Start(
        this, [this, portNumber] { return services_.connect(portNumber); },
        [this](bool success) { FinishAttempt(success); });
}

void ConnectDialog::FinishAttempt(bool success) {
    platform::ConnectResultTexts texts;
    texts.connected = QString::fromUtf8(kStatusConnected);
    texts.noConnection = QString::fromUtf8(kStatusNoConnection);
    texts.failedMessage = QString::fromUtf8(kConnectFailedMessage);
    texts.caption = QString::fromLatin1(kProgramTitle);
    platform::ShowConnectResult(*this, kConnectStatusId, success, texts, services_.messages);
    if (success) {
        connected_ = true;
        hide();
        emit connectedToInterface();
    }
}

}  // namespace kinemo::keyboard::ui
