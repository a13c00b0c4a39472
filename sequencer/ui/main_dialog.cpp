#include "sequencer/ui/main_dialog.h"

#include <QLabel>
#include <QStringLiteral>

#include "platform/dialog_events.h"
#include "sequencer/ui/live_panel.h"
#include "sequencer/ui/main_dialog_ids.h"
#include "sequencer/ui/movement_list_names.h"
#include "sequencer/ui/preview_window.h"
#include "sequencer/ui/resource_paths.h"

namespace kinemo::ui {
namespace {

constexpr int kDialogWidth = 461;
// The strip of the live panel lies below the dialog's original area.
constexpr int kDialogHeight = 327 + kLivePanelHeightUnits;
constexpr int kInputCount = 8;
constexpr int kMaxNameChars = 20;

}  // namespace

// Posts RunEnded to the dialog from the player thread.
class MainDialog::RunEndedPoster : public engine::RunEndedListener {
  public:
    explicit RunEndedPoster(QObject* dialog) : dialog_(dialog) {}
    void PostRunEnded() override { platform::PostDialogEvent(dialog_, platform::kRunEndedEvent); }

  private:
    QObject* dialog_;
};

MainDialog::MainDialog(engine::InterfaceLink& link, platform::MessageService& messages,
                       platform::FileDialogService& files, QWidget* parent, std::FILE* diagnostics)
    : DialogWindow(QStringLiteral("Kinemo"), kDialogWidth, kDialogHeight, parent),
      messages_(messages),
      files_(files),
      poster_(std::make_unique<RunEndedPoster>(this)),
      // The player thread starts here and waits for the first run; handlers
      // of the controls may touch the run settings from now on.
      run_(std::make_unique<engine::RunControl>(link, *poster_, diagnostics)) {
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    CreateControls();
    Initialise();
}

MainDialog::~MainDialog() = default;

engine::MovementList& MainDialog::Movements() {
    return run_->Movements();
}

void MainDialog::CreateControls() {
    resources::InitResources();  // the button pictures and the program icon
    for (int m = 0; m < engine::kMotorCount; ++m) {
        panels_[m] = std::make_unique<MotorPanel>(*this, m);
        panels_[m]->Create();
    }

    AddListBox(kIdMovementList, 366, 9, 90, 174);
    AddEdit(kIdMovementName, 366, 189, 90, 13, kMaxNameChars);
    AddBitmapButton(kIdCut, kBitmapCutDisabled, 366, 208, 17, 16);
    AddBitmapButton(kIdCopy, kBitmapCopy, 391, 208, 17, 16);
    AddBitmapButton(kIdPaste, kBitmapPasteDisabled, 416, 208, 17, 16);
    AddBitmapButton(kIdDelete, kBitmapDeleteDisabled, 439, 208, 17, 16);
    AddBitmapButton(kIdAdd, kBitmapAdd, 439, 227, 17, 16);
    AddPushButton(kIdTestMovement, QStringLiteral("Bewegung Testen"), 366, 227, 68, 16);
    AddPushButton(kIdRunList, QStringLiteral("LOS!"), 366, 246, 90, 20);
    AddPushButton(kIdEmergencyStop, QStringLiteral("NOT-AUS"), 366, 271, 90, 25);
    AddCheckBox(kIdEndlessLoop, QStringLiteral("Endlosschleife"), 377, 299, 75, 10);
    AddCheckBox(kIdOffSwitch, QStringLiteral("Aus-Taster:"), 377, 313, 50, 10);
    AddDropDownList(kIdOffSwitchInput, 428, 311, 28, 13);

    AddPushButton(kIdEnd, QStringLiteral("Ende"), 5, 307, 54, 16);
    AddFlatButton(kIdCredit, QStringLiteral("Programmierung: das Kinemo-Team"), 66, 310, 147, 13);
    AddBitmapButton(kIdNewList, kBitmapNewList, 219, 307, 17, 16);
    AddBitmapButton(kIdSave, kBitmapSave, 240, 307, 17, 16);
    AddBitmapButton(kIdLoad, kBitmapLoad, 261, 307, 17, 16);
    AddStatic(kIdStatus, QString::fromUtf8(kStatusReady), 285, 315, 74, 8);

    // Delete, cut and paste start disabled; the off-switch input too.
    for (const int id : {kIdDelete, kIdCut, kIdPaste, kIdOffSwitchInput}) {
        SetEnabled(id, false);
    }

    OnClicked(kIdTestMovement, [this] { TestMovement(); });
    OnClicked(kIdRunList, [this] { RunList(); });
    OnClicked(kIdEmergencyStop, [this] { EmergencyStop(); });
    OnClicked(kIdEnd, [this] { End(); });
    OnClicked(kIdCredit, [this] { ShowAbout(); });
    OnClicked(kIdEndlessLoop, [this] {
        Run().Settings().endlessLoop.store(IsChecked(kIdEndlessLoop) ? 1 : 0,
                                           std::memory_order_relaxed);
    });
    OnClicked(kIdOffSwitch, [this] { ApplyOffSwitchRule(); });
    OnSelectionChanged(kIdOffSwitchInput, [this] {
        Run().Settings().offSwitchInput.store(
            static_cast<std::uint8_t>(ComboSelection(kIdOffSwitchInput)),
            std::memory_order_relaxed);
    });

    OnSelectionChanged(kIdMovementList, [this] { SelectMovement(); });
    OnTextChanged(kIdMovementName, [this] { RenameMovement(); });
    OnClicked(kIdAdd, [this] { AddMovement(); });
    OnClicked(kIdDelete, [this] { DeleteMovement(); });
    OnClicked(kIdCut, [this] { CutMovement(); });
    OnClicked(kIdCopy, [this] { CopyMovement(); });
    OnClicked(kIdPaste, [this] { PasteMovement(); });
    OnClicked(kIdNewList, [this] { NewList(); });
    OnClicked(kIdSave, [this] { SaveProgram(); });
    OnClicked(kIdLoad, [this] { LoadProgram(); });

    new LivePanel(*this, Units(), Run(), kDialogHeight - kLivePanelHeightUnits, kDialogWidth);
}

void MainDialog::Initialise() {
    AddContextMenuEntry(kCommandAbout, QStringLiteral("Inf&o über Kinemo..."),
                        [this] { ShowAbout(); });
    AddContextMenuEntry(kCommandPreview, QStringLiteral("Vorschau"), [this] {
        StoreMovement(Movements().currentMovement);
        OpenPreview(*this, Movements());
    });
    SetProgramIcon(QString::fromLatin1(kProgramIconPath));

    for (auto& panel : panels_) {
        panel->Initialise();
    }
    SetChecked(kIdOffSwitch, false);
    for (int input = 1; input <= kInputCount; ++input) {
        ComboAppend(kIdOffSwitchInput, QStringLiteral("E%1").arg(input));
    }
    ComboSetSelection(kIdOffSwitchInput, kInputCount - 1);  // E8

    SetText(kIdMovementName, QString::fromLatin1(engine::kNewMovementName));
    ListAppend(kIdMovementList, QString::fromLatin1(engine::kNewMovementName));
    ListSetSelection(kIdMovementList, 0);
    SetChecked(kIdEndlessLoop, false);

    engine::FillMovementsAtStartup(Movements());
    engine::SetRecordName(copyBuffer_, kEmptyCopyBufferName);

    SetBitmap(kIdCut, kBitmapCutDisabled);
    SetBitmap(kIdCopy, kBitmapCopy);
    SetBitmap(kIdPaste, kBitmapPasteDisabled);
    SetBitmap(kIdAdd, kBitmapAdd);
    SetBitmap(kIdDelete, kBitmapDeleteDisabled);
    SetBitmap(kIdNewList, kBitmapNewList);
    SetBitmap(kIdSave, kBitmapSave);
    SetBitmap(kIdLoad, kBitmapLoad);

    ControlWidget(kIdCopy)->setFocus();
}

void MainDialog::ShowAbout() {
    if (aboutHandler_) {
        aboutHandler_(this);
    }
}

void MainDialog::SetStatus(const char* text) {
    SetText(kIdStatus, QString::fromUtf8(text));
}

void MainDialog::StoreMovement(int index) {
    engine::MovementList& list = Movements();
    engine::MovementRecord& record = list.records[index];
    for (const auto& panel : panels_) {
        panel->Store(record);
    }
    SetRecordNameFromText(record, Text(kIdMovementName));
    engine::RunSettings& settings = Run().Settings();
    settings.endlessLoop.store(IsChecked(kIdEndlessLoop) ? 1 : 0, std::memory_order_relaxed);
    settings.offSwitchOn.store(IsChecked(kIdOffSwitch) ? 1 : 0, std::memory_order_relaxed);
    settings.offSwitchInput.store(static_cast<std::uint8_t>(ComboSelection(kIdOffSwitchInput)),
                                  std::memory_order_relaxed);
}

void MainDialog::ShowMovement(int index) {
    const engine::MovementRecord& record = Movements().records[index];
    for (auto& panel : panels_) {
        panel->Show(record);
    }
    SetText(kIdMovementName, RecordNameText(record));
    const engine::RunSettingsValues settings = engine::LoadRunSettings(Run().Settings());
    SetChecked(kIdEndlessLoop, settings.endlessLoop != 0);
    SetChecked(kIdOffSwitch, settings.offSwitchOn != 0);
    ComboSetSelection(kIdOffSwitchInput, settings.offSwitchInput);
    ApplyEnableRules();
}

void MainDialog::ApplyEnableRules() {
    for (auto& panel : panels_) {
        panel->ApplyAccelerationRule();
    }
    for (auto& panel : panels_) {
        panel->ApplyMaxImpulsesRule();
    }
    for (auto& panel : panels_) {
        panel->ApplyEndSwitchRule();
    }
    for (auto& panel : panels_) {
        panel->ApplyMaxDurationRule();
    }
    ApplyOffSwitchRule();
}

void MainDialog::ApplyOffSwitchRule() {
    const bool on = IsChecked(kIdOffSwitch);
    SetEnabled(kIdOffSwitchInput, on);
    Run().Settings().offSwitchOn.store(on ? 1 : 0, std::memory_order_relaxed);
}

}  // namespace kinemo::ui
