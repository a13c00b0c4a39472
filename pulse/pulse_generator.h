// Software pulse-width modulation of motor speeds.
//
// The interface box only switches a motor fully on (left or right) or off. A
// speed in percent becomes a signed pulse ratio, and a per-motor accumulator
// turns that ratio, tick by tick, into a pattern of on- and off-ticks whose
// share of on-ticks equals the speed. A tick is whatever the caller makes it;
// in every Kinemo program it is one exchange with the interface.
//
// All arithmetic is plain IEEE double: the library is compiled without
// floating-point contraction so that every machine produces the same ticks.
#pragma once

#include <cstdint>

namespace kinemo::pulse {

// Value of a motor's two-bit field in the Motor output word. 3 never occurs.
enum MotorState : std::uint8_t {
    kMotorOff = 0,
    kMotorLeft = 1,
    kMotorRight = 2,
};

// Encoded speed (see ComputePulseRatio) and the generator's running state.
using PulseRatio = double;
using PulseAccumulator = double;

// Largest number of motors one PulseStep drives (M1-M8 with the extension module).
inline constexpr int kMaxMotors = 8;

// Pattern of motor k (k = 0 for M1): its state shifted left by 2k, so
// 1, 4, 16, 64 for M1-M4 running left and 2, 8, 32, 128 running right.
constexpr std::uint32_t MotorPattern(MotorState state, int motor) {
    return static_cast<std::uint32_t>(state) << (2 * motor);
}

// Turns a speed in percent into its pulse ratio:
//   x = speed * 0.01, clamped to at most 0.99999 and then at least 0.00001;
//   x > 0.5: r = 2 - 1 / (1 - x) (negative); otherwise r = 1 / x - 2;
//   r is rounded toward zero to five decimals through a 64-bit integer.
// 0 % gives 99997.99999, 50 % gives 0, 100 % gives -99998.
PulseRatio ComputePulseRatio(double speedPercent);

// Advances the accumulators of motors 0..motorCount-1 by one tick and returns
// the Motor output word of that tick: the OR of the patterns of the motors that
// are on. Every accumulator advances, whatever the motor's pattern, so a motor
// that is switched on later continues its pattern where it stands.
inline std::uint32_t PulseStep(const PulseRatio* ratios, PulseAccumulator* accumulators,
                               const std::uint32_t* patterns, int motorCount) {
    std::uint32_t word = 0;
    for (int k = 0; k < motorCount; ++k) {
        const double r = ratios[k];
        const double n = r < 0.0 ? -r : r;
        double& a = accumulators[k];
        bool on;
        if (n - 1.0 >= a) {
            on = r < 0.0;
            a = a + 1.0;
        } else {
            on = r >= 0.0;
            a = a - n - 1.0;
        }
        if (on) {
            word |= patterns[k];
        }
    }
    return word;
}

}  // namespace kinemo::pulse
