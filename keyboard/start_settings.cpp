#include "keyboard/start_settings.h"

namespace kinemo::keyboard {

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}  // namespace

StartSettings DefaultStartSettings() {
    StartSettings settings;
    for (int motor = 0; motor < kMotorCount; ++motor) {
        MotorStartSettings& m = settings.motors[motor];
        m.endSwitches = false;
        m.leftInput = static_cast<std::uint8_t>(2 * motor);
        m.rightInput = static_cast<std::uint8_t>(2 * motor + 1);
        m.startState = kMotorOff;
        m.startSpeed = kMaxSpeed;
    }
    settings.offSwitch = false;
    settings.offSwitchInput = kMaxInput;
    return settings;
}

void LiveSettings::Store(const StartSettings& settings) {
    for (int motor = 0; motor < kMotorCount; ++motor) {
        const MotorStartSettings& from = settings.motors[motor];
        Motor& to = motors[motor];
        to.startState.store(from.startState, kRelaxed);
        to.startSpeed.store(from.startSpeed, kRelaxed);
        to.endSwitches.store(from.endSwitches ? 1 : 0, kRelaxed);
        to.leftInput.store(from.leftInput, kRelaxed);
        to.rightInput.store(from.rightInput, kRelaxed);
    }
    offSwitch.store(settings.offSwitch ? 1 : 0, kRelaxed);
    offSwitchInput.store(settings.offSwitchInput, kRelaxed);
}

StartSettings LiveSettings::Load() const {
    StartSettings settings;
    for (int motor = 0; motor < kMotorCount; ++motor) {
        const Motor& from = motors[motor];
        MotorStartSettings& to = settings.motors[motor];
        to.startState = from.startState.load(kRelaxed);
        to.startSpeed = from.startSpeed.load(kRelaxed);
        to.endSwitches = from.endSwitches.load(kRelaxed) != 0;
        to.leftInput = from.leftInput.load(kRelaxed);
        to.rightInput = from.rightInput.load(kRelaxed);
    }
    settings.offSwitch = offSwitch.load(kRelaxed) != 0;
    settings.offSwitchInput = offSwitchInput.load(kRelaxed);
    return settings;
}

}  // namespace kinemo::keyboard
