#include "pulse/pulse_generator.h"

namespace kinemo::pulse {

PulseRatio ComputePulseRatio(double speedPercent) {
    double x = speedPercent * 0.01;
    // The upper bound is tested first; both bounds keep the ratio finite.
    if (x > 0.99999) {
        x = 0.99999;
    }
    if (x < 0.00001) {
        x = 0.00001;
    }
    double r;
    if (x > 0.5) {
        r = 2.0 - 1.0 / (1.0 - x);
    } else {
        r = 1.0 / x - 2.0;
    }
    // Round toward zero to five decimals. |r * 100000| reaches almost 1e10 at
    // the clamp bounds, which does not fit 32 bits.
    const auto scaled = static_cast<std::int64_t>(r * 100000.0);
    return static_cast<double>(scaled) * 0.00001;
}

}  // namespace kinemo::pulse
