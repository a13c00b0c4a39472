#include "pulse/pulse_generator.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kinemo::pulse {
namespace {

// On/off pattern of one motor from accumulator 0, tick 0 first.
std::string Pattern(double speed, int ticks) {
    const double ratio = ComputePulseRatio(speed);
    double accumulator = 0.0;
    const std::uint32_t pattern = MotorPattern(kMotorLeft, 0);
    std::string bits;
    for (int t = 0; t < ticks; ++t) {
        bits += PulseStep(&ratio, &accumulator, &pattern, 1) != 0 ? '1' : '0';
    }
    return bits;
}

// Cut (not rounded) to five decimals: 1/0.3333 - 2 = 1.000300030... gives
// 1.00030. 0 % clamps to 0.00001 (99998 minus float error, cut), 100 % to
// 0.99999, each the product of a 64-bit scaled integer and 0.00001.
TEST(ComputePulseRatio, RoundsTowardZeroToFiveDecimalsAndClamps) {
    const double empty = static_cast<double>(9999799999LL) * 0.00001;
    const double full = static_cast<double>(-9999800000LL) * 0.00001;
    // clang-format off
    for (const auto& [speed, ratio] : {
             std::pair{50.0, 0.0}, {25.0, 2.0}, {75.0, -2.0}, {10.0, 8.0}, {90.0, -8.0},
             {33.33, static_cast<double>(100030) * 0.00001}, {0.01, 9998.0}, {99.99, -9998.0},
             {0.0, empty}, {-5.0, empty}, {100.0, full}, {250.0, full}}) {
        EXPECT_EQ(ComputePulseRatio(speed), ratio) << speed;
    }
    // clang-format on
    EXPECT_NEAR(full, -99998.0, 1e-9);
}

TEST(PulseStep, PatternsFromZeroAccumulator) {
    for (const auto& [speed, pattern] : {std::pair<double, std::string>{50.0, "10101010"},
                                         {25.0, "001000100010"},
                                         {75.0, "110111011101"},
                                         {33.33, "010010010"},
                                         {10.0, "000000001000000000100000000010"},
                                         {90.0, "111111110111111111011111111101"}}) {
        EXPECT_EQ(Pattern(speed, static_cast<int>(pattern.size())), pattern) << speed;
    }
    // Extreme speeds never switch fully on or off; the clamped ends do.
    EXPECT_EQ((std::vector{Pattern(0.01, 10000).find('1'), Pattern(99.99, 10000).find('0'),
                           Pattern(0.0, 65535).find('1'), Pattern(100.0, 65535).find('0')}),
              (std::vector{9998UL, 9998UL, std::string::npos, std::string::npos}));
}

// One word for all motors, M5..M8 in bits 8..15: M1 at 50 % left on in every
// second tick, M2 off at 25 % (contributing nothing while its accumulator
// advances as that of M3 at 25 % right does: 0 1 2 -1 0 1 2), M4..M8 at 100 % right.
TEST(PulseStep, MotorsShareOneWordAndAnOffMotorsAccumulatorAdvances) {
    const double speeds[8] = {50, 25, 25, 100, 100, 100, 100, 100};
    double ratios[8], accumulators[8] = {};
    std::uint32_t patterns[8];
    for (int k = 0; k < 8; ++k) {
        ratios[k] = ComputePulseRatio(speeds[k]);
        patterns[k] = MotorPattern(k == 0 ? kMotorLeft : k == 1 ? kMotorOff : kMotorRight, k);
    }
    std::vector<std::uint32_t> words;
    for (int t = 0; t < 6; ++t) {
        words.push_back(PulseStep(ratios, accumulators, patterns, 8));
    }
    EXPECT_EQ(words, (std::vector<std::uint32_t>{0xAA81, 0xAA80, 0xAAA1, 0xAA80, 0xAA81, 0xAA80}));
    EXPECT_EQ(std::pair(accumulators[1], accumulators[2]), std::pair(2.0, 2.0));
}

}  // namespace
}  // namespace kinemo::pulse
