// The control loop of one run.
//
// Each tick:
//   1. pulse step: the output word from the ratios and bit values computed in
//      the previous tick, one exchange, the answer decoded into eight input
//      flags (bit k is E(k+1));
//   2. end switches: a motor whose end switches are on is switched off when
//      the input of its "R" list (while it runs "R") or of its "L" list
//      (otherwise) is active;
//   3. each motor's pulse ratio from its speed;
//   4. each motor's bit value: its state times 4 to the power of its index;
//   5. off switch: when the answer had any bit set, the off switch is on and
//      its input is active, the run stops (kOffSwitch).
// Ratios, bit values and accumulators start at 0, so the first tick of a run
// always sends 0. The end-switch and off-switch settings are loaded anew on
// every tick. After the last tick one more exchange sends 0, so every run
// ends with all motors off.
//
// Nothing is allocated, locked or logged per tick.
#pragma once

#include <array>
#include <cstdint>

#include "keyboard/box_link.h"
#include "keyboard/run_variables.h"
#include "keyboard/start_settings.h"
#include "pulse/pulse_generator.h"

namespace kinemo::keyboard {

class ControlLoop {
  public:
    ControlLoop(BoxLink& link, const LiveSettings& settings, RunVariables& run);
    ControlLoop(const ControlLoop&) = delete;
    ControlLoop& operator=(const ControlLoop&) = delete;

    // One whole run on the calling thread, from Begin to Finish, while the stop
    // flag stays clear. The variables must have been prepared (PrepareRun).
    // Returns why it ended.
    StopReason Run();

    // The parts of Run, for benchmarks and tests.
    // Ratios, bit values and accumulators to 0, input flags cleared.
    void Begin();
    // One tick (steps 1 to 5 above).
    void Tick();
    // The final all-off exchange.
    void Finish();

    // State of the loop between ticks.
    const std::array<pulse::PulseRatio, kMotorCount>& Ratios() const { return ratios_; }
    const std::array<pulse::PulseAccumulator, kMotorCount>& Accumulators() const {
        return accumulators_;
    }
    const std::array<std::uint32_t, kMotorCount>& BitValues() const { return bitValues_; }
    // Flag k stands for input E(k+1).
    const std::array<std::uint8_t, kInputCount>& InputFlags() const { return inputFlags_; }

  private:
    BoxLink& link_;
    const LiveSettings& settings_;
    RunVariables& run_;
    // ComputePulseRatio of every whole speed 0..100, computed once.
    std::array<pulse::PulseRatio, kMaxSpeed + 1> ratioOfSpeed_{};
    std::array<pulse::PulseRatio, kMotorCount> ratios_{};
    std::array<pulse::PulseAccumulator, kMotorCount> accumulators_{};
    std::array<std::uint32_t, kMotorCount> bitValues_{};
    std::array<std::uint8_t, kInputCount> inputFlags_{};
    std::uint32_t ticks_ = 0;
};

}  // namespace kinemo::keyboard
