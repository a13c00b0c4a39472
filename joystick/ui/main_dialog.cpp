#include "joystick/ui/main_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "joystick/joy_texts.h"
#include "joystick/settings_file.h"
#include "joystick/ui/main_dialog_ids.h"
#include "joystick/ui/resource_paths.h"
#include "joystick/ui/run_ended_event.h"

namespace kinemo::joy::ui {
namespace {

constexpr int kDialogWidth = 340;
constexpr int kDialogHeight = 284;
constexpr int kPanelPitch = 64;  // vertical distance of the motor panels

// The flag of a mapping for a check state, and back.
std::uint8_t Flag(bool checked) {
    return checked ? 1 : 0;
}
// A list position as the mapping stores it (no selection: kNoSelection).
std::uint8_t Index(int selection) {
    return selection < 0 || selection > 0xFE ? kNoSelection : static_cast<std::uint8_t>(selection);
}
int Selection(std::uint8_t index) {
    return index == kNoSelection ? -1 : index;
}

QString SliderLabel(int value) {
    return QString::asprintf("%u%%", static_cast<unsigned>(value));
}

void FillCombo(platform::DialogWindow& dialog, int id, const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        dialog.ComboAppend(id, QString::fromStdString(text));
    }
}

}  // namespace

MainDialog::MainDialog(JoySettings& settings, MainDialogServices services, QWidget* parent)
    : DialogWindow(QString::fromUtf8(kMainDialogTitle), kDialogWidth, kDialogHeight, parent),
      settings_(settings),
      services_(std::move(services)),
      poster_(std::make_unique<RunEndedToWindow>(this)),
      // The control thread starts here and waits for the first "LOS!".
      controller_(std::make_unique<JoyController>(*services_.link, *services_.source, *poster_)),
      live_(controller_->Live()) {
    resources::InitResources();
    setObjectName(QString::number(kMainDialogResource));
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    SetProgramIcon(QString::fromLatin1(resources::kProgramIcon));
    AddContextMenuEntry(kCommandAbout, QString::fromUtf8(kAboutMenuText), [this] { ShowAbout(); });

    CreateControls();
    FillLists();
    ConnectHandlers();

    settings_.moduleShown = 0;
    ResetSettings(settings_);
    LoadSettings(services_.settingsPath, settings_);
    ShowMappings();
    ShowOffSettings();
    ApplyEnableRules();
    PublishAll(live_, settings_);
    // ResetSettings leaves "Übernehmen" disabled until the first run.
    SetEnabled(kIdApply, false);
}

MainDialog::~MainDialog() {
    controller_->StopAndWait();
    FinishRecording(false);
}

int MainDialog::Slot(int panel) const {
    return SlotOf(settings_.moduleShown, panel);
}

void MainDialog::CreatePanel(int m) {
    const int y = 4 + m * kPanelPitch;
    AddGroupBox(kIdPanelGroup + m, QString::fromStdString(MotorPanelTitle(0, m)), 4, y, 250, 62);

    // Direction, on the left.
    AddRadioButton(kIdDirAxis + m, QStringLiteral("Achse:"), 10, y + 10, 44, 10, true);
    AddDropDownList(kIdAxisList + m, 78, y + 9, 44, 12);
    AddRadioButton(kIdDirButtons + m, QStringLiteral("Buttons (L/R):"), 10, y + 23, 68, 10, false);
    AddDropDownList(kIdButtonLeftList + m, 78, y + 22, 28, 12);
    AddDropDownList(kIdButtonRightList + m, 108, y + 22, 28, 12);
    AddRadioButton(kIdDirFixed + m, QStringLiteral("Fest:"), 10, y + 36, 44, 10, false);
    AddDropDownList(kIdFixedDirList + m, 78, y + 35, 28, 12);
    AddCheckBox(kIdEndSwitches + m, QStringLiteral("Endtaster (L/R):"), 10, y + 49, 68, 10);
    AddDropDownList(kIdEndLeftList + m, 78, y + 48, 28, 12);
    AddDropDownList(kIdEndRightList + m, 108, y + 48, 28, 12);

    // Speed, on the right.
    AddStatic(-1, QStringLiteral("Geschwindigkeit:"), 142, y + 9, 70, 8);
    AddRadioButton(kIdSpeedAxis + m, QStringLiteral("Achse:"), 142, y + 21, 48, 10, true);
    AddDropDownList(kIdSpeedAxisList + m, 196, y + 20, 44, 12);
    AddRadioButton(kIdSpeedThrottle + m, QStringLiteral("Schubregler:"), 142, y + 34, 54, 10,
                   false);
    AddDropDownList(kIdThrottleList + m, 196, y + 33, 44, 12);
    AddRadioButton(kIdSpeedFixed + m, QStringLiteral("Fest:"), 142, y + 48, 30, 10, false);
    AddTrackbar(kIdSpeedSlider + m, 172, y + 47, 54, 12, 0, 100);
    AddStatic(kIdSpeedLabel + m, QStringLiteral("100%"), 228, y + 49, 24, 8);
}

void MainDialog::CreateControls() {
    for (int m = 0; m < kPanelCount; ++m) {
        CreatePanel(m);
    }

    AddStatic(-1, QStringLiteral("Einstellungen für:"), 258, 6, 78, 8);
    AddDropDownList(kIdModule, 258, 16, 78, 12);
    AddPushButton(kIdStart, QStringLiteral("LOS!"), 258, 34, 78, 22);
    AddCheckBox(kIdRecord, QStringLiteral("Aufnehmen"), 262, 59, 74, 10);
    QPushButton* stop = AddPushButton(kIdEmergencyStop, QStringLiteral("NOT-AUS"), 258, 73, 78, 26);
    // Return presses "NOT-AUS", whichever control has the focus.
    stop->setDefault(true);
    AddPushButton(kIdApply, QStringLiteral("Übernehmen"), 258, 104, 78, 14);
    AddCheckBox(kIdOffSwitch, QStringLiteral("Aus-Taster:"), 258, 126, 50, 10);
    AddDropDownList(kIdOffSwitchInput, 308, 125, 28, 12);
    AddCheckBox(kIdOffButton, QStringLiteral("Aus-Button:"), 258, 141, 50, 10);
    AddDropDownList(kIdOffButtonIndex, 308, 140, 28, 12);
    // "Los-Button:" is kept, hidden: it follows the enable rule and takes
    // part in nothing else.
    AddCheckBox(kIdStartButton, QStringLiteral("Los-Button:"), 258, 156, 50, 10)->hide();
    AddDropDownList(kIdStartButtonIndex, 308, 155, 28, 12)->hide();
    AddStatic(kIdStatus, QString::fromUtf8(kStatusReady), 258, 176, 78, 9, Qt::AlignHCenter);
    AddFlatButton(kIdCredit, QStringLiteral("Programmierung:\ndas Kinemo-Team"), 258, 196, 78, 24);
    AddPushButton(kIdReset, QStringLiteral("Alle Einstellungen zurücksetzen"), 4, 264, 125, 16);
    AddPushButton(kIdEnd, QStringLiteral("Ende"), 258, 264, 78, 16);
}

void MainDialog::FillLists() {
    lists_ = MakeListContents(settings_);
    for (int m = 0; m < kPanelCount; ++m) {
        FillCombo(*this, kIdAxisList + m, lists_.axes);
        FillCombo(*this, kIdSpeedAxisList + m, lists_.axes);
        FillCombo(*this, kIdThrottleList + m, lists_.throttle);
        FillCombo(*this, kIdButtonLeftList + m, lists_.buttons);
        FillCombo(*this, kIdButtonRightList + m, lists_.buttons);
        FillCombo(*this, kIdEndLeftList + m, lists_.inputs);
        FillCombo(*this, kIdEndRightList + m, lists_.inputs);
        FillCombo(*this, kIdFixedDirList + m, lists_.directions);
    }
    FillCombo(*this, kIdOffSwitchInput, lists_.offSwitch);
    FillCombo(*this, kIdOffButtonIndex, lists_.buttons);
    FillCombo(*this, kIdStartButtonIndex, lists_.buttons);
    FillCombo(*this, kIdModule, lists_.modules);
    ComboSetSelection(kIdModule, 0);
}

void MainDialog::ConnectHandlers() {
    for (int m = 0; m < kPanelCount; ++m) {
        for (const int id : {kIdDirAxis + m, kIdDirButtons + m, kIdDirFixed + m}) {
            OnClicked(id, [this, id] { OnJoyAxisCh(id); });
        }
        for (const int id : {kIdSpeedAxis + m, kIdSpeedThrottle + m, kIdSpeedFixed + m}) {
            OnClicked(id, [this, id] { OnAxisRadio(id); });
        }
        OnSelectionChanged(kIdAxisList + m, [this, m] { OnSelchangeJoyAxisCo(m); });
        OnSelectionChanged(kIdSpeedAxisList + m, [this, m] {
            ComboSetSelection(kIdAxisList + m, ComboSelection(kIdSpeedAxisList + m));
            OnSelchangeJoyAxisCo(m);
        });
        OnSelectionChanged(kIdThrottleList + m, [this, m] {
            DeriveThrottleBinding(settings_, lists_, m, ComboSelection(kIdThrottleList + m));
            const int slot = Slot(m);
            PublishBindings(live_, slot, settings_.axisBindings[slot],
                            settings_.throttleBindings[slot]);
        });
        OnClicked(kIdEndSwitches + m, [this, m] {
            const bool on = IsChecked(kIdEndSwitches + m);
            SetEnabled(kIdEndLeftList + m, on);
            SetEnabled(kIdEndRightList + m, on);
        });
        // The label follows every position of the slider, the user's and the
        // program's.
        OnValueChanged(kIdSpeedSlider + m, [this, m] {
            SetText(kIdSpeedLabel + m, SliderLabel(SliderValue(kIdSpeedSlider + m)));
        });
    }
    const std::pair<int, int> offPairs[] = {{kIdOffSwitch, kIdOffSwitchInput},
                                            {kIdOffButton, kIdOffButtonIndex},
                                            {kIdStartButton, kIdStartButtonIndex}};
    for (const auto& pair : offPairs) {
        const int check = pair.first;
        const int list = pair.second;
        OnClicked(check, [this, check, list] {
            SetEnabled(list, IsChecked(check));
            PublishOffSettings();
        });
        OnSelectionChanged(list, [this] { PublishOffSettings(); });
    }

    OnClicked(kIdStart, [this] { Start(); });
    OnClicked(kIdEmergencyStop, [this] { EmergencyStop(); });
    OnClicked(kIdApply, [this] { Apply(); });
    OnSelectionChanged(kIdModule, [this] { ChangeModule(); });
    OnClicked(kIdReset, [this] { Reset(); });
    OnClicked(kIdCredit, [this] { ShowAbout(); });
    OnClicked(kIdEnd, [this] { End(); });
}

void MainDialog::StoreMappings() {
    for (int m = 0; m < kPanelCount; ++m) {
        MotorMapping& mapping = settings_.mappings[Slot(m)];
        mapping.dirFromAxis = Flag(IsChecked(kIdDirAxis + m));
        mapping.dirFromButtons = Flag(IsChecked(kIdDirButtons + m));
        mapping.dirFixed = Flag(IsChecked(kIdDirFixed + m));
        mapping.endSwitchesOn = Flag(IsChecked(kIdEndSwitches + m));
        mapping.speedFromAxis = Flag(IsChecked(kIdSpeedAxis + m));
        mapping.speedFixed = Flag(IsChecked(kIdSpeedFixed + m));
        mapping.speedFromThrottle = Flag(IsChecked(kIdSpeedThrottle + m));
        mapping.axisIndex = Index(ComboSelection(kIdAxisList + m));
        mapping.buttonLeftIndex = Index(ComboSelection(kIdButtonLeftList + m));
        mapping.buttonRightIndex = Index(ComboSelection(kIdButtonRightList + m));
        mapping.fixedDirIndex = Index(ComboSelection(kIdFixedDirList + m));
        mapping.endSwitchLeftIndex = Index(ComboSelection(kIdEndLeftList + m));
        mapping.endSwitchRightIndex = Index(ComboSelection(kIdEndRightList + m));
        mapping.throttleIndex = Index(ComboSelection(kIdThrottleList + m));
        mapping.speedAxisIndex = Index(ComboSelection(kIdSpeedAxisList + m));
        mapping.fixedSpeed = static_cast<std::uint8_t>(SliderValue(kIdSpeedSlider + m));
        PublishMapping(live_, Slot(m), mapping);
    }
}

void MainDialog::ShowMappings() {
    for (int m = 0; m < kPanelCount; ++m) {
        const MotorMapping& mapping = settings_.mappings[Slot(m)];
        SetChecked(kIdDirAxis + m, mapping.dirFromAxis != 0);
        SetChecked(kIdDirButtons + m, mapping.dirFromButtons != 0);
        SetChecked(kIdDirFixed + m, mapping.dirFixed != 0);
        SetChecked(kIdEndSwitches + m, mapping.endSwitchesOn != 0);
        SetChecked(kIdSpeedAxis + m, mapping.speedFromAxis != 0);
        SetChecked(kIdSpeedFixed + m, mapping.speedFixed != 0);
        SetChecked(kIdSpeedThrottle + m, mapping.speedFromThrottle != 0);
        // A position with no entry in the current lists shows no selection.
        ComboSetSelection(kIdAxisList + m, Selection(mapping.axisIndex));
        ComboSetSelection(kIdButtonLeftList + m, Selection(mapping.buttonLeftIndex));
        ComboSetSelection(kIdButtonRightList + m, Selection(mapping.buttonRightIndex));
        ComboSetSelection(kIdFixedDirList + m, Selection(mapping.fixedDirIndex));
        ComboSetSelection(kIdEndLeftList + m, Selection(mapping.endSwitchLeftIndex));
        ComboSetSelection(kIdEndRightList + m, Selection(mapping.endSwitchRightIndex));
        ComboSetSelection(kIdThrottleList + m, Selection(mapping.throttleIndex));
        ComboSetSelection(kIdSpeedAxisList + m, Selection(mapping.speedAxisIndex));
        SetSliderValue(kIdSpeedSlider + m, mapping.fixedSpeed);
        SetText(kIdSpeedLabel + m, SliderLabel(SliderValue(kIdSpeedSlider + m)));
    }
}

void MainDialog::ShowOffSettings() {
    SetChecked(kIdOffSwitch, settings_.offSwitchOn != 0);
    SetChecked(kIdOffButton, settings_.offButtonOn != 0);
    SetChecked(kIdStartButton, settings_.startButtonOn != 0);
    ComboSetSelection(kIdOffSwitchInput, settings_.offSwitchInput);
    ComboSetSelection(kIdOffButtonIndex, settings_.offButtonIndex);
    ComboSetSelection(kIdStartButtonIndex, settings_.startButtonIndex);
}

void MainDialog::PublishOffSettings() {
    settings_.offSwitchOn = IsChecked(kIdOffSwitch) ? 1 : 0;
    settings_.offButtonOn = IsChecked(kIdOffButton) ? 1 : 0;
    settings_.startButtonOn = IsChecked(kIdStartButton) ? 1 : 0;
    settings_.offSwitchInput = ComboSelection(kIdOffSwitchInput);
    settings_.offButtonIndex = ComboSelection(kIdOffButtonIndex);
    settings_.startButtonIndex = ComboSelection(kIdStartButtonIndex);
    joy::PublishOffSettings(live_, settings_.offSwitchOn, settings_.offSwitchInput,
                            settings_.offButtonOn, settings_.offButtonIndex);
}

void MainDialog::ApplyEnableRules() {
    for (int m = 0; m < kPanelCount; ++m) {
        const std::pair<int, int> rules[] = {
            {kIdAxisList + m, kIdDirAxis + m},
            {kIdButtonLeftList + m, kIdDirButtons + m},
            {kIdButtonRightList + m, kIdDirButtons + m},
            {kIdFixedDirList + m, kIdDirFixed + m},
            {kIdEndLeftList + m, kIdEndSwitches + m},
            {kIdEndRightList + m, kIdEndSwitches + m},
            {kIdSpeedAxisList + m, kIdSpeedAxis + m},
            {kIdThrottleList + m, kIdSpeedThrottle + m},
            {kIdSpeedSlider + m, kIdSpeedFixed + m},
            {kIdSpeedLabel + m, kIdSpeedFixed + m},
        };
        for (const auto& [control, enabler] : rules) {
            SetEnabled(control, IsChecked(enabler));
        }
    }
    SetEnabled(kIdOffSwitchInput, IsChecked(kIdOffSwitch));
    SetEnabled(kIdOffButtonIndex, IsChecked(kIdOffButton));
    SetEnabled(kIdStartButtonIndex, IsChecked(kIdStartButton));
}

void MainDialog::ShowAssertion(const char* text) {
    platform::MessageRequest request;
    request.text = QString::fromUtf8(text) + QString::fromUtf8(kAssertContactLine);
    request.icon = platform::MessageIcon::kError;
    services_.messages->Show(this, request);
}

void MainDialog::OnJoyAxisCh(int id) {
    int m = -1;
    for (const int first : {kIdDirAxis, kIdDirButtons, kIdDirFixed}) {
        if (id >= first && id < first + kPanelCount) {
            m = id - first;
        }
    }
    if (m < 0) {
        ShowAssertion(kJoyAxisChAssertText);
        return;
    }
    // The axis for the direction also gives the speed; leaving it for buttons
    // or a fixed direction turns a speed from the axis into the fixed speed.
    if (IsChecked(kIdDirAxis + m)) {
        SetEnabled(kIdAxisList + m, true);
        SetChecked(kIdSpeedAxis + m, true);
        SetChecked(kIdSpeedThrottle + m, false);
        SetChecked(kIdSpeedFixed + m, false);
        ApplyEnableRules();
    } else {
        SetEnabled(kIdAxisList + m, false);
    }
    for (const int radio : {kIdDirButtons + m, kIdDirFixed + m}) {
        const bool checked = IsChecked(radio);
        if (radio == kIdDirButtons + m) {
            SetEnabled(kIdButtonLeftList + m, checked);
            SetEnabled(kIdButtonRightList + m, checked);
        } else {
            SetEnabled(kIdFixedDirList + m, checked);
        }
        if (checked && IsChecked(kIdSpeedAxis + m)) {
            SetChecked(kIdSpeedAxis + m, false);
            SetChecked(kIdSpeedThrottle + m, false);
            SetChecked(kIdSpeedFixed + m, true);
            ApplyEnableRules();
        }
    }
}

void MainDialog::OnAxisRadio(int id) {
    int m = -1;
    for (const int first : {kIdSpeedAxis, kIdSpeedThrottle, kIdSpeedFixed}) {
        if (id >= first && id < first + kPanelCount) {
            m = id - first;
        }
    }
    if (m < 0) {
        ShowAssertion(kAxisRadioAssertText);
        return;
    }
    SetEnabled(kIdSpeedAxisList + m, IsChecked(kIdSpeedAxis + m));
    SetEnabled(kIdThrottleList + m, IsChecked(kIdSpeedThrottle + m));
    const bool fixed = IsChecked(kIdSpeedFixed + m);
    SetEnabled(kIdSpeedLabel + m, fixed);
    SetEnabled(kIdSpeedSlider + m, fixed);
}

void MainDialog::OnSelchangeJoyAxisCo(int panel) {
    if (panel < 0 || panel >= kPanelCount) {
        ShowAssertion(kAxisAssertText);
        return;
    }
    const int index = ComboSelection(kIdAxisList + panel);
    if (!DeriveAxisBinding(settings_, lists_, panel, index)) {
        ShowAssertion(kAxisAssertText);
        return;
    }
    // The two axis lists of a panel always show the same entry; the new
    // binding drives the slot from the next tick, even during a run.
    ComboSetSelection(kIdSpeedAxisList + panel, index);
    const int slot = Slot(panel);
    PublishBindings(live_, slot, settings_.axisBindings[slot], settings_.throttleBindings[slot]);
}

void MainDialog::RetitlePanels() {
    for (int m = 0; m < kPanelCount; ++m) {
        SetText(kIdPanelGroup + m,
                QString::fromStdString(MotorPanelTitle(settings_.moduleShown, m)));
    }
}

void MainDialog::ChangeModule() {
    StoreMappings();
    const int shown = ComboSelection(kIdModule);
    settings_.moduleShown = static_cast<std::uint8_t>(shown == 1 ? 1 : 0);
    ShowMappings();
    ApplyEnableRules();
    RetitlePanels();
}

void MainDialog::Apply() {
    StoreMappings();
}

bool MainDialog::SaveSettings() {
    StoreMappings();
    PublishOffSettings();
    return joy::SaveSettings(services_.settingsPath, settings_);
}

void MainDialog::SetStatus(const char* text) {
    SetText(kIdStatus, QString::fromUtf8(text));
}

void MainDialog::ShowAbout() {
    if (services_.showAbout) {
        services_.showAbout(this);
    }
}

}  // namespace kinemo::joy::ui
