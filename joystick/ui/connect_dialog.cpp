#include "joystick/ui/connect_dialog.h"

#include <QComboBox>
#include <algorithm>
#include <utility>

#include "joystick/joy_texts.h"
#include "joystick/settings_file.h"
#include "joystick/ui/main_dialog_ids.h"
#include "joystick/ui/resource_paths.h"
#include "platform/dialog_connect.h"
#include "platform/dialog_message.h"
#include "platform/dialog_ports.h"

namespace kinemo::joy::ui {

int ExitCodeOf(ConnectOutcome outcome) {
    switch (outcome) {
        case ConnectOutcome::kNoJoystick:
            return kExitNoJoystick;
        case ConnectOutcome::kSettingsRefused:
            return kExitBadSettings;
        case ConnectOutcome::kConnected:
        case ConnectOutcome::kCancelled:
            break;
    }
    return 0;
}

static_assert(kIdConnect == platform::kIdOk && kIdCancel == platform::kIdCancel,
              "the frame of the connect dialogs places OK and Cancel");

ConnectDialog::ConnectDialog(JoySettings& settings, ConnectDialogServices services, QWidget* parent)
    : DialogWindow(QString::fromUtf8(kProgramTitle), 135, 58, parent),
      settings_(settings),
      services_(std::move(services)) {
    resources::InitResources();
    setObjectName(QString::number(kConnectDialogResource));
    SetProgramIcon(QString::fromLatin1(resources::kProgramIcon));

    const platform::ConnectFrame frame{QStringLiteral("Interface 1 an:"),
                                       QRect(5, 5, 60, 9),
                                       QPoint(80, 5),
                                       kIdConnectStatus,
                                       QRect(2, 45, 128, 10),
                                       {kNotConnectedText, kConnectingText, kConnectedText,
                                        kNoConnectionText, kConnectFailedBoxText}};
    platform::AddConnectFrame(*this, frame, [this] {
        QComboBox* ports = AddDropDownList(kIdPortList, 5, 15, 45, 12);
        for (const std::string& name : PortListTexts()) {
            ComboAppend(kIdPortList, QString::fromStdString(name));
            ports->setItemData(ports->count() - 1, platform::PortTooltip(name), Qt::ToolTipRole);
        }
        ComboSetSelection(kIdPortList, 0);
        AddCheckBox(kIdExtension, QStringLiteral("Extension- Modul"), 5, 31, 72, 10);
    });
    OnClicked(kIdConnect, [this] { ConnectChosen(); });
}

ConnectOutcome ConnectDialog::Run() {
    settings_.portNumber = 0;
    settings_.extensionModule = 0;
    settings_.motorCount = 4;
    settings_.lptPort = 0;
    if (!CheckJoystick()) {
        return cancelled_ ? ConnectOutcome::kCancelled : ConnectOutcome::kNoJoystick;
    }

    const HeaderResult header = ReadSettingsHeader(services_.settingsPath, caps_, settings_);
    if (header.ShowForeignWarning()) {
        platform::MessageRequest warning;
        warning.text = QString::fromUtf8(kForeignFileText);
        warning.caption = QString::fromUtf8(kForeignFileCaption);
        warning.buttons = platform::MessageButtons::kOkCancel;
        warning.icon = platform::MessageIcon::kWarning;
        if (services_.messages->Show(this, warning) == platform::MessageResult::kCancel) {
            return cancelled_ ? ConnectOutcome::kCancelled : ConnectOutcome::kSettingsRefused;
        }
    }
    if (header.AskForPort()) {
        platform::MessageRequest found;
        found.text = QString::fromStdString(JoystickFoundText(caps_));
        found.caption = QString::fromUtf8(kJoystickFoundCaption);
        found.icon = platform::MessageIcon::kInformation;
        services_.messages->Show(this, found);
    } else {
        if (header.otherJoystick) {
            platform::MessageRequest other;
            other.text = QString::fromStdString(OtherJoystickText(caps_));
            other.caption = QString::fromUtf8(kOtherJoystickCaption);
            other.icon = platform::MessageIcon::kWarning;
            services_.messages->Show(this, other);
        }
        ShowStoredChoice();
        if (!cancelled_ && ConnectInterface()) {
            return ConnectOutcome::kConnected;
        }
    }
    if (cancelled_) {
        return ConnectOutcome::kCancelled;
    }
    outcome_ = ConnectOutcome::kCancelled;
    exec();
    return outcome_;
}

bool ConnectDialog::CheckJoystick() {
    for (;;) {
        if (services_.probeJoystick) {
            if (std::optional<platform::JoystickCaps> caps = services_.probeJoystick()) {
                caps_ = std::move(*caps);
                return true;
            }
        }
        platform::MessageRequest request;
        request.text = QString::fromUtf8(kNoJoystickText);
        request.caption = QString::fromUtf8(kNoJoystickCaption);
        request.buttons = platform::MessageButtons::kRetryCancel;
        request.icon = platform::MessageIcon::kError;
        if (services_.messages->Show(this, request) != platform::MessageResult::kRetry ||
            cancelled_) {
            return false;
        }
    }
}

void ConnectDialog::ShowStoredChoice() {
    // The stored port and module, so a failed automatic connection leaves
    // them to be tried again or changed.
    const std::string stored = PortName(settings_.portNumber, settings_.lptPort);
    const std::vector<std::string> names = PortListTexts();
    const auto found = std::find(names.begin(), names.end(), stored);
    if (found != names.end()) {
        ComboSetSelection(kIdPortList, static_cast<int>(found - names.begin()));
    }
    SetChecked(kIdExtension, settings_.extensionModule != 0);
}

void ConnectDialog::ConnectChosen() {
    PortFromListPosition(ComboSelection(kIdPortList), settings_.portNumber, settings_.lptPort);
    SetExtensionModule(settings_, IsChecked(kIdExtension));
    if (ConnectInterface()) {
        Finish(ConnectOutcome::kConnected);
    }
}

bool ConnectDialog::ConnectInterface() {
    SetText(kIdConnectStatus, QString::fromUtf8(kConnectingText));
    if (isVisible()) {
        ControlWidget(kIdConnectStatus)->repaint();
    }
    if (services_.open && services_.open(settings_)) {
        SetText(kIdConnectStatus, QString::fromUtf8(kConnectedText));
        return true;
    }
    SetText(kIdConnectStatus, QString::fromUtf8(kNoConnectionText));
    platform::MessageRequest failed;
    failed.text = QString::fromUtf8(kConnectFailedBoxText);
    failed.icon = platform::MessageIcon::kError;
    services_.messages->Show(this, failed);
    return false;
}

void ConnectDialog::Finish(ConnectOutcome outcome) {
    outcome_ = outcome;
    if (outcome == ConnectOutcome::kConnected) {
        accept();
    } else {
        QDialog::reject();
    }
}

void ConnectDialog::reject() {
    cancelled_ = true;
    Finish(ConnectOutcome::kCancelled);
}

}  // namespace kinemo::joy::ui
