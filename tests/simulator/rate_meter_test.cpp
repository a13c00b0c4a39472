#include "simulator/rate_meter.h"

#include <gtest/gtest.h>

namespace kinemo::simulator {
namespace {

BoxSnapshot At(std::uint64_t ticks, std::uint64_t m1OnTicks) {
    BoxSnapshot s;
    s.ticks = ticks;
    s.motors[0].onTicks = m1OnTicks;
    return s;
}

TEST(RateMeter, NothingUntilTwoSamples) {
    RateMeter meter;
    EXPECT_EQ(meter.TickRate(), 0.0);
    meter.Add(At(100, 50), 0);
    EXPECT_EQ(meter.TickRate(), 0.0);
    EXPECT_EQ(meter.MotorSpeedPercent(0), 0.0);
}

TEST(RateMeter, MeasuresOverTheLastSecondOnly) {
    RateMeter meter;
    // First second: 100 ticks per second, M1 always on.
    for (int i = 0; i <= 25; ++i) {
        meter.Add(At(static_cast<std::uint64_t>(4 * i), static_cast<std::uint64_t>(4 * i)),
                  i * 40'000);
    }
    EXPECT_DOUBLE_EQ(meter.TickRate(), 100.0);
    EXPECT_DOUBLE_EQ(meter.MotorSpeedPercent(0), 100.0);
    // Then 320 per second with M1 on in a quarter of them; after a full
    // second the first phase no longer counts.
    std::uint64_t ticks = 100;
    std::uint64_t on = 100;
    for (int i = 26; i <= 51; ++i) {
        meter.Add(At(ticks, on), i * 40'000);
        if (i % 5 == 0) {
            ticks += 64;
            on += 16;
        }
    }
    EXPECT_NEAR(meter.TickRate(), 320.0, 0.01);
    EXPECT_NEAR(meter.MotorSpeedPercent(0), 25.0, 0.01);
    EXPECT_EQ(meter.MotorSpeedPercent(1), 0.0);
    // After a long pause the rate runs since the previous sample.
    meter.Add(At(ticks + 100, on + 100), 51 * 40'000 + 5'000'000);
    EXPECT_NEAR(meter.TickRate(), 20.0, 0.01);
    EXPECT_NEAR(meter.MotorSpeedPercent(0), 100.0, 0.01);
    EXPECT_EQ(meter.MotorSpeedPercent(8), 0.0);
}

}  // namespace
}  // namespace kinemo::simulator
