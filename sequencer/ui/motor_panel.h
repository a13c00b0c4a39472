// One of the four motor panels of the main dialog: the controls of motor m
// (ids in motor order), their check-box rules, speed labels and duration
// filters, and the copy between the controls and a movement record.
#pragma once

#include "platform/dialog_window.h"
#include "sequencer/engine/movement_record.h"

namespace kinemo::ui {

// Control ids of motor `m` (0 = M1).
struct MotorPanelIds {
    int group;
    int speed1, fine1, label1;  // row 1: start speed
    int speed2, fine2, label2;  // row 2: target speed of the acceleration
    int left, off, right;       // direction radios
    int accelCheck, accelText, accelEdit;
    int maxDurationCheck, maxDurationEdit;
    int maxImpulsesCheck, impulseEdit, impulseAnText, impulseInput;
    int endSwitchCheck, endSwitchInput;
};
MotorPanelIds PanelIds(int motor);

// Vertical offset of panel m in dialog units.
int PanelOffset(int motor);

// The first movement's start values of every panel.
inline constexpr int kInitialSliderPosition = 100;  // clamps to 99 on speed sliders
inline constexpr char kInitialDurationText[] = "125";

class MotorPanel {
  public:
    MotorPanel(platform::DialogWindow& dialog, int motor);

    // Creates the panel's controls and binds their handlers.
    void Create();
    // The start values of steps 3 to 6 of the dialog's initialisation.
    void Initialise();

    // Copies the controls into the motor's entries of `record`.
    void Store(engine::MovementRecord& record) const;
    // Copies the motor's entries of `record` into the controls; the enable
    // rules run afterwards through the dialog's ApplyEnableRules.
    void Show(const engine::MovementRecord& record);

    // Check-box rules, each reading its box's current state.
    void ApplyAccelerationRule();
    void ApplyMaxImpulsesRule();
    void ApplyEndSwitchRule();
    void ApplyMaxDurationRule();

    const MotorPanelIds& Ids() const { return ids_; }

  private:
    void OnRow1Changed(bool speedSlider);
    void OnRow2Changed();
    void FilterDuration(int editId);
    void RefreshLabels();

    platform::DialogWindow& dialog_;
    int motor_;
    MotorPanelIds ids_;
    bool filtering_ = false;  // the filter's own rewrite must not run it again
};

}  // namespace kinemo::ui
