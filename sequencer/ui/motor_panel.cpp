#include "sequencer/ui/motor_panel.h"

#include <QLineEdit>
#include <QStringLiteral>

#include "sequencer/ui/motor_panel_text.h"

namespace kinemo::ui {
namespace {

constexpr int kInputCount = 8;  // E1..E8
constexpr int kLabelCopyChars = 8;
constexpr int kLabelWidth = 36;

QString InputName(int number) {
    return QStringLiteral("E%1").arg(number);
}

// The list index of input number 1..8; any other number selects nothing.
int InputIndex(std::int32_t number) {
    return number >= 1 && number <= kInputCount ? number - 1 : -1;
}

}  // namespace

MotorPanelIds PanelIds(int m) {
    MotorPanelIds ids{};
    ids.group = 1099 + m;
    ids.speed1 = 1023 + m;
    ids.fine1 = 1031 + m;
    ids.label1 = 1039 + m;
    ids.speed2 = 1027 + m;
    ids.fine2 = 1035 + m;
    ids.label2 = 1043 + m;
    ids.left = 1051 + m;
    ids.off = 1055 + m;
    ids.right = 1059 + m;
    ids.accelCheck = 1063 + m;
    ids.accelText = 1103 + m;
    ids.accelEdit = 1107 + m;
    ids.maxDurationCheck = 1091 + m;
    ids.maxDurationEdit = 1095 + m;
    ids.maxImpulsesCheck = 1083 + m;
    ids.impulseEdit = 1071 + m;
    ids.impulseAnText = 1075 + m;
    ids.impulseInput = 1087 + m;
    ids.endSwitchCheck = 1079 + m;
    ids.endSwitchInput = 1067 + m;
    return ids;
}

int PanelOffset(int motor) {
    constexpr int kOffsets[engine::kMotorCount] = {0, 74, 151, 226};
    return kOffsets[motor];
}

MotorPanel::MotorPanel(platform::DialogWindow& dialog, int motor)
    : dialog_(dialog), motor_(motor), ids_(PanelIds(motor)) {}

void MotorPanel::Create() {
    auto& d = dialog_;
    const int dy = PanelOffset(motor_);
    const QString percent = QStringLiteral("0.00%");
    d.AddGroupBox(ids_.group, QStringLiteral("Motor %1").arg(motor_ + 1), 5, 4 + dy, 358, 71);

    d.AddTrackbar(ids_.speed1, 14, 12 + dy, 142, 14, 0, 99);
    d.AddTrackbar(ids_.fine1, 163, 12 + dy, 73, 14, 0, 100);
    // The labels reach up to the check boxes (36 units instead of 28), so
    // that "100.00 %" is never clipped in the sans-serif dialog font.
    d.AddStatic(ids_.label1, percent, 240, 12 + dy, kLabelWidth, 14, Qt::AlignRight);
    // Scale captions under the sliders.
    d.AddStatic(-1, QStringLiteral("0%"), 16, 26 + dy, 20, 8);
    d.AddStatic(-1, QStringLiteral("50%"), 75, 26 + dy, 20, 8);
    d.AddStatic(-1, QStringLiteral("100%"), 136, 26 + dy, 20, 8, Qt::AlignRight);
    d.AddStatic(-1, QStringLiteral("0.0%"), 163, 26 + dy, 20, 8);
    d.AddStatic(-1, QStringLiteral("0.5%"), 190, 26 + dy, 20, 8);
    d.AddStatic(-1, QStringLiteral("1.0%"), 216, 26 + dy, 20, 8, Qt::AlignRight);
    d.AddTrackbar(ids_.speed2, 14, 34 + dy, 142, 16, 0, 99);
    d.AddTrackbar(ids_.fine2, 163, 34 + dy, 73, 16, 0, 100);
    d.AddStatic(ids_.label2, percent, 240, 34 + dy, kLabelWidth, 16, Qt::AlignRight);

    d.AddCheckBox(ids_.maxDurationCheck, QStringLiteral("Max. dauer:"), 277, 14 + dy, 50, 10);
    d.AddEdit(ids_.maxDurationEdit, 328, 14 + dy, 30, 13);
    d.AddCheckBox(ids_.accelCheck, QStringLiteral("Beschleunigung"), 277, 30 + dy, 80, 10);
    d.AddStatic(ids_.accelText, QStringLiteral("Beschl. dauer:"), 278, 45 + dy, 49, 8);
    d.AddEdit(ids_.accelEdit, 328, 43 + dy, 30, 13);

    d.AddCheckBox(ids_.maxImpulsesCheck, QStringLiteral("Max. Impulse:"), 15, 57 + dy, 57, 10);
    d.AddEdit(ids_.impulseEdit, 73, 56 + dy, 20, 13);
    d.AddStatic(ids_.impulseAnText, QStringLiteral("an"), 95, 58 + dy, 10, 8);
    d.AddDropDownList(ids_.impulseInput, 107, 56 + dy, 28, 13);
    d.AddCheckBox(ids_.endSwitchCheck, QStringLiteral("Endtaster:"), 157, 57 + dy, 45, 10);
    d.AddDropDownList(ids_.endSwitchInput, 203, 56 + dy, 28, 13);
    d.AddRadioButton(ids_.left, QStringLiteral("Links"), 251, 57 + dy, 33, 10, true);
    d.AddRadioButton(ids_.off, QStringLiteral("Aus"), 285, 57 + dy, 33, 10, false);
    d.AddRadioButton(ids_.right, QStringLiteral("Rechts"), 319, 57 + dy, 38, 10, false);

    // Disabled at creation, as the acceleration and impulse limits start off.
    for (const int id :
         {ids_.speed2, ids_.fine2, ids_.label2, ids_.accelText, ids_.accelEdit, ids_.impulseEdit,
          ids_.impulseAnText, ids_.impulseInput, ids_.endSwitchInput}) {
        d.SetEnabled(id, false);
    }

    d.OnValueChanged(ids_.speed1, [this] { OnRow1Changed(true); });
    d.OnValueChanged(ids_.fine1, [this] { OnRow1Changed(false); });
    d.OnValueChanged(ids_.speed2, [this] { OnRow2Changed(); });
    d.OnValueChanged(ids_.fine2, [this] { OnRow2Changed(); });
    d.OnClicked(ids_.accelCheck, [this] { ApplyAccelerationRule(); });
    d.OnClicked(ids_.maxImpulsesCheck, [this] { ApplyMaxImpulsesRule(); });
    d.OnClicked(ids_.maxDurationCheck, [this] { ApplyMaxDurationRule(); });
    d.OnClicked(ids_.endSwitchCheck, [this] { ApplyEndSwitchRule(); });
    d.OnTextChanged(ids_.maxDurationEdit, [this] { FilterDuration(ids_.maxDurationEdit); });
    d.OnTextChanged(ids_.accelEdit, [this] { FilterDuration(ids_.accelEdit); });
}

void MotorPanel::Initialise() {
    auto& d = dialog_;
    for (const int id : {ids_.speed1, ids_.fine1, ids_.speed2, ids_.fine2}) {
        d.SetSliderValue(id, kInitialSliderPosition);
    }
    d.SetChecked(ids_.accelCheck, false);
    d.SetChecked(ids_.off, true);
    d.SetText(ids_.label1, FormatSpeedLabel(99, 100));
    d.SetText(ids_.label2, FormatSpeedLabel(99, 100));
    d.SetChecked(ids_.maxDurationCheck, true);
    d.SetChecked(ids_.endSwitchCheck, false);
    d.SetChecked(ids_.maxImpulsesCheck, false);

    d.SetText(ids_.impulseEdit, QStringLiteral("0"));
    d.SetText(ids_.maxDurationEdit, QString::fromLatin1(kInitialDurationText));
    d.SetText(ids_.accelEdit, QString::fromLatin1(kInitialDurationText));

    for (int input = 1; input <= kInputCount; ++input) {
        d.ComboAppend(ids_.impulseInput, InputName(input));
        d.ComboAppend(ids_.endSwitchInput, InputName(input));
    }
    d.ComboSetSelection(ids_.impulseInput, 2 * motor_);        // E1, E3, E5, E7
    d.ComboSetSelection(ids_.endSwitchInput, 2 * motor_ + 1);  // E2, E4, E6, E8
}

void MotorPanel::Store(engine::MovementRecord& r) const {
    const auto& d = dialog_;
    const int m = motor_;
    r.speed[m] = static_cast<std::uint8_t>(d.SliderValue(ids_.speed1));
    r.fineSpeed[m] = static_cast<std::uint8_t>(d.SliderValue(ids_.fine1));
    r.targetSpeed[m] = static_cast<std::uint8_t>(d.SliderValue(ids_.speed2));
    r.targetFineSpeed[m] = static_cast<std::uint8_t>(d.SliderValue(ids_.fine2));
    r.direction[m] = static_cast<std::uint8_t>(d.CheckedRadio({ids_.left, ids_.off, ids_.right}));
    r.accelOn[m] = d.IsChecked(ids_.accelCheck) ? 1 : 0;
    r.accelDuration[m] = ParseDialogInteger(d.Text(ids_.accelEdit));
    r.endSwitchOn[m] = d.IsChecked(ids_.endSwitchCheck) ? 1 : 0;
    r.endSwitchInput[m] = d.ComboSelection(ids_.endSwitchInput) + 1;
    r.maxDurationOn[m] = d.IsChecked(ids_.maxDurationCheck) ? 1 : 0;
    r.maxDuration[m] = ParseDialogInteger(d.Text(ids_.maxDurationEdit));
    r.maxImpulsesOn[m] = d.IsChecked(ids_.maxImpulsesCheck) ? 1 : 0;
    r.maxImpulses[m] = ParseDialogInteger(d.Text(ids_.impulseEdit));
    r.impulseInput[m] = static_cast<std::uint8_t>(d.ComboSelection(ids_.impulseInput) + 1);
}

void MotorPanel::Show(const engine::MovementRecord& r) {
    auto& d = dialog_;
    const int m = motor_;
    // Start speeds first, so that the target speeds are set last.
    d.SetSliderValue(ids_.speed1, r.speed[m]);
    d.SetSliderValue(ids_.fine1, r.fineSpeed[m]);
    d.SetSliderValue(ids_.speed2, r.targetSpeed[m]);
    d.SetSliderValue(ids_.fine2, r.targetFineSpeed[m]);
    const int radios[] = {ids_.left, ids_.off, ids_.right};
    for (int i = 0; i < 3; ++i) {
        d.SetChecked(radios[i], r.direction[m] == i);
    }
    d.SetChecked(ids_.accelCheck, r.accelOn[m] != 0);
    d.SetChecked(ids_.endSwitchCheck, r.endSwitchOn[m] != 0);
    d.SetChecked(ids_.maxDurationCheck, r.maxDurationOn[m] != 0);
    d.SetChecked(ids_.maxImpulsesCheck, r.maxImpulsesOn[m] != 0);
    d.SetText(ids_.accelEdit, FormatDialogUnsigned(r.accelDuration[m]));
    d.SetText(ids_.maxDurationEdit, FormatDialogUnsigned(r.maxDuration[m]));
    d.SetText(ids_.impulseEdit, FormatDialogUnsigned(r.maxImpulses[m]));
    d.ComboSetSelection(ids_.endSwitchInput, InputIndex(r.endSwitchInput[m]));
    d.ComboSetSelection(ids_.impulseInput, InputIndex(r.impulseInput[m]));
    RefreshLabels();
}

void MotorPanel::ApplyAccelerationRule() {
    auto& d = dialog_;
    const bool on = d.IsChecked(ids_.accelCheck);
    for (const int id : {ids_.speed2, ids_.fine2, ids_.label2, ids_.accelText, ids_.accelEdit}) {
        d.SetEnabled(id, on);
    }
    if (!on) {
        d.SetSliderValue(ids_.speed2, d.SliderValue(ids_.speed1));
        d.SetSliderValue(ids_.fine2, d.SliderValue(ids_.fine1));
        d.SetText(ids_.label2, d.Text(ids_.label1).left(kLabelCopyChars));
    }
}

void MotorPanel::ApplyMaxImpulsesRule() {
    const bool on = dialog_.IsChecked(ids_.maxImpulsesCheck);
    for (const int id : {ids_.impulseEdit, ids_.impulseAnText, ids_.impulseInput}) {
        dialog_.SetEnabled(id, on);
    }
}

void MotorPanel::ApplyEndSwitchRule() {
    dialog_.SetEnabled(ids_.endSwitchInput, dialog_.IsChecked(ids_.endSwitchCheck));
}

void MotorPanel::ApplyMaxDurationRule() {
    dialog_.SetEnabled(ids_.maxDurationEdit, dialog_.IsChecked(ids_.maxDurationCheck));
}

void MotorPanel::OnRow1Changed(bool speedSlider) {
    auto& d = dialog_;
    const QString text = FormatSpeedLabel(d.SliderValue(ids_.speed1), d.SliderValue(ids_.fine1));
    d.SetText(ids_.label1, text);
    if (d.IsChecked(ids_.accelCheck)) {
        return;
    }
    // Without acceleration the target speed follows the start speed.
    if (speedSlider) {
        d.SetSliderValue(ids_.speed2, d.SliderValue(ids_.speed1));
    } else {
        d.SetSliderValue(ids_.fine2, d.SliderValue(ids_.fine1));
    }
    d.SetText(ids_.label2, text);
}

void MotorPanel::OnRow2Changed() {
    auto& d = dialog_;
    d.SetText(ids_.label2, FormatSpeedLabel(d.SliderValue(ids_.speed2), d.SliderValue(ids_.fine2)));
}

void MotorPanel::RefreshLabels() {
    OnRow1Changed(true);
    OnRow1Changed(false);
    if (dialog_.IsChecked(ids_.accelCheck)) {
        OnRow2Changed();
    }
}

void MotorPanel::FilterDuration(int editId) {
    if (filtering_) {
        return;
    }
    auto* edit = dialog_.Control<QLineEdit>(editId);
    const DurationFilterResult result = FilterDurationText(edit->text());
    if (!result.changed) {
        return;
    }
    filtering_ = true;
    edit->setText(result.text);  // leaves the caret at the end
    if (result.selectAll) {
        edit->selectAll();
    }
    filtering_ = false;
}

}  // namespace kinemo::ui
