#include "keyboard/control_loop.h"

namespace kinemo::keyboard {

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}  // namespace

ControlLoop::ControlLoop(BoxLink& link, const LiveSettings& settings, RunVariables& run)
    : link_(link), settings_(settings), run_(run) {
    for (int speed = 0; speed <= kMaxSpeed; ++speed) {
        ratioOfSpeed_[speed] = pulse::ComputePulseRatio(speed);
    }
}

StopReason ControlLoop::Run() {
    Begin();
    while (run_.stopRequested.load(kRelaxed) == kNotStopped) {
        Tick();
    }
    Finish();
    return run_.Stopped();
}

void ControlLoop::Begin() {
    ratios_.fill(0.0);
    accumulators_.fill(0.0);
    bitValues_.fill(0);
    inputFlags_.fill(0);
    ticks_ = 0;
}

void ControlLoop::Tick() {
    // 1. Pulse step. Keys typed since the last step restart their motors'
    // patterns here, before the step that uses the bit values they caused.
    const std::uint8_t restart = run_.restartPatterns.load(std::memory_order_acquire);
    if (restart != 0) {
        const std::uint8_t taken = run_.restartPatterns.exchange(0, std::memory_order_acquire);
        for (int motor = 0; motor < kMotorCount; ++motor) {
            if ((taken >> motor) & 1U) {
                accumulators_[motor] = 0.0;
            }
        }
    }
    const auto output = static_cast<std::uint8_t>(
        pulse::PulseStep(ratios_.data(), accumulators_.data(), bitValues_.data(), kMotorCount));
    const std::uint8_t answer = link_.Exchange(output);
    // A dead line answers at once: without this the loop would spin.
    if (link_.LinkLost()) {
        run_.RequestStop(kLinkLost);
    }
    for (int input = 0; input < kInputCount; ++input) {
        inputFlags_[input] = static_cast<std::uint8_t>((answer >> input) & 1U);
    }

    for (int motor = 0; motor < kMotorCount; ++motor) {
        const LiveSettings::Motor& limits = settings_.motors[motor];
        std::atomic<std::uint8_t>& state = run_.state[motor];
        // 2. End switches.
        if (limits.endSwitches.load(kRelaxed) != 0) {
            const std::uint8_t current = state.load(kRelaxed);
            const std::uint8_t input = current == kMotorRight ? limits.rightInput.load(kRelaxed)
                                                              : limits.leftInput.load(kRelaxed);
            if (input <= kMaxInput && inputFlags_[input] != 0) {
                state.store(kMotorOff, kRelaxed);
            }
        }
        // 3. Pulse ratio from the speed (every whole speed computed ahead;
        // larger values give what the generator's clamp gives for them).
        const std::uint8_t speed = run_.speed[motor].load(kRelaxed);
        ratios_[motor] = ratioOfSpeed_[speed <= kMaxSpeed ? speed : kMaxSpeed];
        // 4. Bit value; a code above "R" never reaches the wire.
        const std::uint8_t now = state.load(kRelaxed);
        bitValues_[motor] =
            pulse::MotorPattern(static_cast<MotorState>(now <= kMaxMotorState ? now : 0), motor);
    }

    ++ticks_;
    run_.ticks.store(ticks_, kRelaxed);
    run_.lastOutput.store(output, kRelaxed);
    run_.lastInput.store(answer, kRelaxed);

    // 5. Off switch.
    if (answer != 0 && settings_.offSwitch.load(kRelaxed) != 0) {
        const std::uint8_t input = settings_.offSwitchInput.load(kRelaxed);
        if (input <= kMaxInput && inputFlags_[input] != 0) {
            run_.RequestStop(kOffSwitch);
        }
    }
}

void ControlLoop::Finish() {
    link_.Exchange(0);
    run_.lastOutput.store(0, kRelaxed);
}

}  // namespace kinemo::keyboard
