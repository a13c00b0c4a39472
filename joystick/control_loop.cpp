#include "joystick/control_loop.h"

#include <cstring>

namespace kinemo::joy {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// The byte of a mapping field, by its position in MotorMapping (file order).
enum Field : std::size_t {
    kDirFromAxis,
    kDirFromButtons,
    kDirFixed,
    kEndSwitchesOn,
    kSpeedFromAxis,
    kSpeedFixed,
    kSpeedFromThrottle,
    kAxisIndex,
    kButtonLeftIndex,
    kButtonRightIndex,
    kFixedDirIndex,
    kEndSwitchLeftIndex,
    kEndSwitchRightIndex,
    kThrottleIndex,
    kSpeedAxisIndex,
    kFixedSpeed,
};

std::uint8_t ToByte(std::int32_t value) {
    return value >= 0 && value < kNoSelection ? static_cast<std::uint8_t>(value) : kNoSelection;
}

// A flag of an index that may lie outside the table reads as clear.
template <std::size_t N>
bool FlagAt(const std::array<std::uint8_t, N>& flags, std::uint8_t index) {
    return index < N && flags[index] == 1;
}

std::uint32_t Pov(const platform::JoystickPosition& position) {
    return position.pov;
}

}  // namespace

void PublishMapping(LiveSettings& live, int slot, const MotorMapping& mapping) {
    std::uint8_t bytes[sizeof(MotorMapping)];
    std::memcpy(bytes, &mapping, sizeof bytes);
    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        live.motorSlots[slot].fields[i].store(bytes[i], kRelaxed);
    }
}

void PublishBindings(LiveSettings& live, int slot, const AxisBinding& axis,
                     const ThrottleBinding& throttle) {
    LiveSlot& s = live.motorSlots[slot];
    // Source and mode change together as one binding: the loop may read them
    // a tick apart only if both stores land between its two loads, which
    // gives one tick of the old source with the new mode at worst.
    s.hatMode.store(static_cast<std::uint8_t>(axis.hatMode), kRelaxed);
    s.axisSource.store(static_cast<std::uint8_t>(axis.source), kRelaxed);
    s.throttleSource.store(static_cast<std::uint8_t>(throttle.source), kRelaxed);
}

void PublishOffSettings(LiveSettings& live, std::int32_t offSwitchOn, std::int32_t offSwitchInput,
                        std::int32_t offButtonOn, std::int32_t offButtonIndex) {
    live.offSwitchOn.store(offSwitchOn != 0 ? 1 : 0, kRelaxed);
    live.offSwitchInput.store(ToByte(offSwitchInput), kRelaxed);
    live.offButtonOn.store(offButtonOn != 0 ? 1 : 0, kRelaxed);
    live.offButtonIndex.store(ToByte(offButtonIndex), kRelaxed);
}

void PublishAll(LiveSettings& live, const JoySettings& settings) {
    live.motorCount.store(settings.motorCount == 8 ? 8 : 4, kRelaxed);
    live.joystickButtons.store(settings.joystickButtons, kRelaxed);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        PublishMapping(live, slot, settings.mappings[slot]);
        PublishBindings(live, slot, settings.axisBindings[slot], settings.throttleBindings[slot]);
    }
    PublishOffSettings(live, settings.offSwitchOn, settings.offSwitchInput, settings.offButtonOn,
                       settings.offButtonIndex);
}

std::uint32_t BoundValue(const platform::JoystickPosition& position, AxisSource source) {
    const auto index = static_cast<std::size_t>(source);
    if (index < platform::kJoystickMaxAxes) {
        return position.axes[index];
    }
    if (source == AxisSource::kPov) {
        return position.pov;
    }
    return platform::kJoystickAxisCentre;
}

std::uint8_t AxisDirection(const platform::JoystickPosition& position, AxisBinding binding) {
    if (binding.source == AxisSource::kNone) {
        return pulse::kMotorOff;
    }
    switch (binding.hatMode) {
        case HatMode::kAxis: {
            const std::uint32_t v = BoundValue(position, binding.source);
            if (v < kDeadZoneLow) {
                return pulse::kMotorLeft;
            }
            return v > kDeadZoneHigh ? pulse::kMotorRight : pulse::kMotorOff;
        }
        case HatMode::kPov1: {
            // Left arc 190..350 degrees, right arc 10..170.
            const std::uint32_t p = Pov(position);
            std::uint8_t state = pulse::kMotorOff;
            if (p >= 19000 && p <= 35000) {
                state = pulse::kMotorLeft;
            }
            if (p >= 1000 && p <= 17000) {
                state = pulse::kMotorRight;
            }
            return state;
        }
        case HatMode::kPov2: {
            // Forward 280..80 degrees, backward 100..260.
            const std::uint32_t p = Pov(position);
            std::uint8_t state = pulse::kMotorOff;
            if ((p >= 28000 && p <= 36000) || p <= 8000) {
                state = pulse::kMotorLeft;
            }
            if (p >= 10000 && p <= 26000) {
                state = pulse::kMotorRight;
            }
            return state;
        }
    }
    return pulse::kMotorOff;
}

double AxisSpeed(const platform::JoystickPosition& position, AxisBinding binding) {
    if (binding.source == AxisSource::kNone) {
        return 0.0;
    }
    if (binding.hatMode == HatMode::kAxis) {
        const std::uint32_t v = BoundValue(position, binding.source);
        // The same divisor on both sides: full deflection towards 65535 gives
        // 102.06 %, which the 95 % rule turns into full speed.
        if (v < kDeadZoneLow) {
            return static_cast<double>(kDeadZoneLow - v) / kAxisDivisor * 100.0;
        }
        if (v > kDeadZoneHigh) {
            return static_cast<double>(v - kDeadZoneHigh) / kAxisDivisor * 100.0;
        }
        return 0.0;
    }
    const std::uint32_t p = Pov(position);
    if (p == platform::kJoystickHatCentred) {
        return 0.0;
    }
    const double d = static_cast<double>(p);
    double share = 0.0;
    if (binding.hatMode == HatMode::kPov1) {
        // The left-right share of the hat: 1 at 90 and 270 degrees.
        if (p <= 9000) {
            share = d / 9000.0;
        } else if (p <= 18000) {
            share = (18000.0 - d) / 9000.0;
        } else if (p <= 27000) {
            share = (d - 18000.0) / 9000.0;
        } else if (p <= 36000) {
            share = (36000.0 - d) / 9000.0;
        }
    } else {
        // The forward-backward share: 1 at 0 and 180 degrees.
        if (p <= 9000) {
            share = (9000.0 - d) / 9000.0;
        } else if (p <= 18000) {
            share = (d - 9000.0) / 9000.0;
        } else if (p <= 27000) {
            share = (27000.0 - d) / 9000.0;
        } else if (p <= 36000) {
            share = (d - 27000.0) / 9000.0;
        }
    }
    return share * 100.0;
}

double ThrottleShare(const platform::JoystickPosition& position, ThrottleBinding binding) {
    if (binding.source == AxisSource::kNone || binding.source == AxisSource::kPov) {
        return 0.0;
    }
    return static_cast<double>(BoundValue(position, binding.source)) / 65535.0 * 100.0;
}

void ControlLoop::ReadJoystick() {
    const ReadResult result = source_->Read(position_);
    if (result == ReadResult::kEnded) {
        replayEnded_ = true;
        stop_.store(1);
    }
}

bool ControlLoop::BeginRun() {
    replayEnded_ = false;
    linkLost_ = false;
    const ReadResult check = source_->Read(position_);
    if (check == ReadResult::kFailed) {
        return false;
    }
    if (check == ReadResult::kEnded) {
        replayEnded_ = true;
        stop_.store(1);
    }
    state_.fill(0);
    previousState_.fill(0);
    speed_.fill(0.0);
    ratios_.fill(0.0);
    accumulators_.fill(0.0);
    bitValues_.fill(0);
    buttonStates_.fill(0);
    inputStates_.fill(0);
    inputWord_ = 0;
    return true;
}

std::uint32_t ControlLoop::Tick() {
    // The read's result is not checked: on failure the last position stays.
    ReadJoystick();
    if (replayEnded_) {
        // No line left: the run ends here, as by "NOT-AUS" between ticks, so
        // a replayed recording sends exactly the words of the recorded run.
        return 0;
    }
    const unsigned buttons = live_.joystickButtons.load(kRelaxed);
    const unsigned lastFlag = buttons < platform::kJoystickMaxButtons
                                  ? buttons
                                  : static_cast<unsigned>(platform::kJoystickMaxButtons);
    for (unsigned b = 0; b <= lastFlag; ++b) {
        buttonStates_[b] = 0;
    }
    for (unsigned b = 0; b <= lastFlag && b < 32; ++b) {
        if ((position_.buttons >> b) & 1U) {
            buttonStates_[b] = 1;
        }
    }

    const int motorCount = live_.motorCount.load(kRelaxed) == 8 ? 8 : 4;
    const std::uint32_t output =
        pulse::PulseStep(ratios_.data(), accumulators_.data(), bitValues_.data(), motorCount);
    const std::uint32_t input = link_.Exchange(output);
    // A dead line answers at once: without this the loop would spin.
    if (link_.LinkLost()) {
        linkLost_ = true;
        stop_.store(1);
    }
    const int inputs = 2 * motorCount;
    for (int i = 0; i < inputs; ++i) {
        inputStates_[i] = static_cast<std::uint8_t>((input >> i) & 1U);
    }
    inputWord_ = input;

    for (int module = 0; module < motorCount / 4; ++module) {
        for (int j = 0; j < kPanelCount; ++j) {
            const int k = module * 4 + j;
            const LiveSlot& slot = live_.motorSlots[SlotOf(module, j)];
            const auto field = [&slot](Field f) { return slot.fields[f].load(kRelaxed); };
            const AxisBinding axis{static_cast<AxisSource>(slot.axisSource.load(kRelaxed)),
                                   static_cast<HatMode>(slot.hatMode.load(kRelaxed))};

            // Direction.
            if (field(kDirFromAxis) != 0) {
                state_[k] = AxisDirection(position_, axis);
            } else if (field(kDirFromButtons) != 0) {
                if (FlagAt(buttonStates_, field(kButtonLeftIndex))) {
                    state_[k] = pulse::kMotorLeft;
                } else if (FlagAt(buttonStates_, field(kButtonRightIndex))) {
                    state_[k] = pulse::kMotorRight;
                } else {
                    state_[k] = pulse::kMotorOff;
                }
            } else if (field(kDirFixed) != 0) {
                // A list without selection (or a damaged file) means off.
                const std::uint8_t fixed = field(kFixedDirIndex);
                state_[k] = fixed <= pulse::kMotorRight ? fixed : std::uint8_t{pulse::kMotorOff};
            }

            // Speed.
            if (field(kSpeedFromAxis) != 0) {
                speed_[k] = AxisSpeed(position_, axis);
            } else if (field(kSpeedFromThrottle) != 0) {
                const ThrottleBinding throttle{
                    static_cast<AxisSource>(slot.throttleSource.load(kRelaxed))};
                const double s = ThrottleShare(position_, throttle);
                if (s <= 2.0) {
                    speed_[k] = 0.0;
                    accumulators_[k] = 0.0;
                } else if (s >= 95.0) {
                    speed_[k] = 100.0;
                    accumulators_[k] = 0.0;
                } else {
                    speed_[k] = s;
                }
            } else if (field(kSpeedFixed) != 0) {
                speed_[k] = field(kFixedSpeed);
            }
            if (speed_[k] >= kFullSpeedFrom) {
                speed_[k] = kFullSpeed;
            }

            // End switches.
            if (field(kEndSwitchesOn) != 0) {
                const std::uint8_t index = state_[k] == pulse::kMotorRight
                                               ? field(kEndSwitchRightIndex)
                                               : field(kEndSwitchLeftIndex);
                if (FlagAt(inputStates_, index)) {
                    state_[k] = pulse::kMotorOff;
                }
            }

            // A change of direction restarts the motor's pattern.
            if (state_[k] != previousState_[k]) {
                accumulators_[k] = 0.0;
            }
            previousState_[k] = state_[k];
        }
    }

    // What this tick worked out drives the next tick's output.
    for (int k = 0; k < motorCount; ++k) {
        ratios_[k] = pulse::ComputePulseRatio(speed_[k]);
        bitValues_[k] = pulse::MotorPattern(static_cast<pulse::MotorState>(state_[k]), k);
    }

    if (position_.buttons != 0 && live_.offButtonOn.load(kRelaxed) != 0 &&
        FlagAt(buttonStates_, live_.offButtonIndex.load(kRelaxed))) {
        stop_.store(1);
    }
    if (input != 0 && live_.offSwitchOn.load(kRelaxed) != 0) {
        const std::uint8_t index = live_.offSwitchInput.load(kRelaxed);
        if (index < inputs && inputStates_[index] == 1) {
            stop_.store(1);
        }
    }
    return output;
}

void ControlLoop::EndRun() {
    link_.Exchange(0);
}

RunOutcome ControlLoop::Run() {
    if (!BeginRun()) {
        return RunOutcome::kJoystickLost;
    }
    while (stop_.load() == 0) {
        Tick();
    }
    EndRun();
    if (linkLost_) {
        return RunOutcome::kLinkLost;
    }
    return replayEnded_ ? RunOutcome::kReplayEnded : RunOutcome::kStopped;
}

}  // namespace kinemo::joy
