// The simulator's parts without a line: the carriage model, the frame
// parser, the rate meter and the command line.
#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "simulator/box_model.h"
#include "simulator/frame_parser.h"
#include "simulator/rate_meter.h"
#include "simulator/sim_options.h"

namespace kinemo::simulator {
namespace {

// Carriages start in the middle with every input open; off and the unused
// field value 3 do not move them; a reset puts them back. The impulse input
// changes level every eight steps, also on the way back.
TEST(BoxModel, StartsInTheMiddleAndTheImpulseInputChangesEveryEightSteps) {
    BoxModel model;
    model.Apply(0x0003);  // M1 field 3
    model.Apply(0x0000);
    EXPECT_EQ(model.Inputs(), 0);
    for (int k = 0; k < kMotorCount; ++k) {
        EXPECT_EQ(model.carriage(k).position, 1000);
    }
    EXPECT_EQ(model.carriage(0).onTicks, 0u);
    std::vector<int> edges;
    for (int tick = 1, level = 0; tick <= 48; ++tick) {
        const int now = model.Apply(tick <= 40 ? 0x0002 : 0x0001) & 0x0001;  // right, then left
        if (now != level) {
            edges.push_back(tick);
            level = now;
        }
    }
    EXPECT_EQ(edges, (std::vector<int>{8, 16, 24, 32, 40, 48}));
    EXPECT_EQ(model.carriage(0).position, 1032);
    model.Reset();
    EXPECT_EQ(model.carriage(0).position, 1000);
    EXPECT_EQ(model.Inputs(), 0);
}

// Against an end the switch closes and the carriage stops (no step, no
// impulse edge); one step away opens it again.
TEST(BoxModel, EndSwitchClosesAtBothEndsAndTheCarriageStops) {
    BoxModel model;
    for (int tick = 1; tick < 1000; ++tick) {
        ASSERT_EQ(model.Apply(0x0040) & 0x0080, 0) << tick;  // M4 left
    }
    const std::uint16_t atEnd = model.Apply(0x0040);
    EXPECT_NE(atEnd & 0x0080, 0);
    for (int tick = 0; tick < 20; ++tick) {
        EXPECT_EQ(model.Apply(0x0040), atEnd);
    }
    const Carriage& m4 = model.carriage(3);
    EXPECT_EQ(std::vector<long long>({m4.position, static_cast<long long>(m4.stepsMoved),
                                      static_cast<long long>(m4.onTicks)}),
              std::vector<long long>({0, 1000, 1020}));
    EXPECT_EQ(model.Apply(0x0080) & 0x0080, 0);
    for (int tick = 0; tick < 1999; ++tick) {
        model.Apply(0x8000);  // M8 right
    }
    EXPECT_EQ(model.carriage(7).position, 2000);
    EXPECT_NE(model.Inputs() & 0x8000, 0);
}

// Whole frames, garbage before a command byte, a command byte inside a frame
// (a request cut short) starting anew, and a partial frame dropped after a
// long gap: frames as (command, outputs, start) and the bytes skipped.
TEST(FrameParser, SplitsFramesAndSkipsWhatIsNoFrame) {
    using Frames = std::vector<std::tuple<int, int, std::int64_t>>;
    auto parse = [](const std::vector<std::pair<std::uint8_t, std::int64_t>>& bytes) {
        FrameParser parser;
        Frames frames;
        for (const auto& [b, us] : bytes) {
            Frame f;
            if (parser.Feed(b, us, &f)) {
                frames.emplace_back(f.command, f.outputs, f.startUs);
                EXPECT_EQ(f.RequestBytes() - 1, f.AnswerBytes());
                EXPECT_EQ(f.AnswerBytes(), f.command == 0xC2 ? 2 : 1);
            }
        }
        return std::pair{frames, parser.skippedBytes()};
    };
    const std::int64_t gap = kFrameGapUs;
    EXPECT_EQ(parse({{0xC1, 1}, {0x55, 1}, {0xC2, 2}, {0xAA, 2}, {0x09, 2}, {0xC1, 3}, {0, 3}}),
              std::pair(Frames{{0xC1, 0x55, 1}, {0xC2, 0x09AA, 2}, {0xC1, 0, 3}}, 0ul));
    EXPECT_EQ(parse({{0x00, 0}, {0x12, 0}, {0xFF, 0}, {0xC1, 0}, {0x02, 0}}),
              std::pair(Frames{{0xC1, 0x02, 0}}, 3ul));
    EXPECT_EQ(parse({{0xC2, 0}, {0x01, 0}, {0xC1, 0}, {0x08, 0}}),
              std::pair(Frames{{0xC1, 0x08, 0}}, 2ul));
    EXPECT_EQ(parse({{0xC1, 0}, {0x05, gap + 1}, {0xC1, gap + 2}, {0x05, gap + 3}}),
              std::pair(Frames{{0xC1, 0x05, gap + 2}}, 2ul));
}

TEST(FrameParser, RandomBytesAreEitherFramesOrSkipped) {
    std::mt19937 random(20261207);
    FrameParser parser;
    std::uint64_t framed = 0;
    constexpr int kBytes = 200'000;
    for (int i = 0; i < kBytes; ++i) {
        Frame f;
        // Every 997th byte arrives after a long pause, which drops a partial frame.
        const std::int64_t us = i * 10 + (i / 997) * kFrameGapUs * 2;
        if (parser.Feed(static_cast<std::uint8_t>(random()), us, &f)) {
            ASSERT_TRUE(f.command == kCommandBox || f.command == kCommandBoxAndModule);
            ASSERT_TRUE(f.command == kCommandBoxAndModule || f.outputs <= 0xFF);
            framed += static_cast<std::uint64_t>(f.RequestBytes());
        }
    }
    // At most one partial frame (two bytes) can still be waiting.
    const std::uint64_t accounted = framed + parser.skippedBytes();
    EXPECT_LE(accounted, static_cast<std::uint64_t>(kBytes));
    EXPECT_GE(accounted + 2, static_cast<std::uint64_t>(kBytes));
    EXPECT_GT(framed, 0u);
}

// Nothing until two samples; then over the last second only; after a long
// pause the rate runs since the previous sample.
TEST(RateMeter, MeasuresOverTheLastSecondOnly) {
    RateMeter meter;
    auto add = [&meter](std::uint64_t ticks, std::uint64_t m1OnTicks, std::int64_t us) {
        BoxSnapshot s;
        s.ticks = ticks;
        s.motors[0].onTicks = m1OnTicks;
        meter.Add(s, us);
    };
    add(0, 0, 0);
    EXPECT_EQ(meter.TickRate(), 0.0);
    EXPECT_EQ(meter.MotorSpeedPercent(0), 0.0);
    for (int i = 1; i <= 25; ++i) {  // 100 ticks per second, M1 always on
        add(static_cast<std::uint64_t>(4 * i), static_cast<std::uint64_t>(4 * i), i * 40'000);
    }
    EXPECT_DOUBLE_EQ(meter.TickRate(), 100.0);
    EXPECT_DOUBLE_EQ(meter.MotorSpeedPercent(0), 100.0);
    std::uint64_t ticks = 100, on = 100;
    for (int i = 26; i <= 51; ++i) {  // 320 per second, M1 on in a quarter
        add(ticks, on, i * 40'000);
        if (i % 5 == 0) {
            ticks += 64;
            on += 16;
        }
    }
    EXPECT_NEAR(meter.TickRate(), 320.0, 0.01);
    EXPECT_NEAR(meter.MotorSpeedPercent(0), 25.0, 0.01);
    EXPECT_EQ(meter.MotorSpeedPercent(1), 0.0);
    add(ticks + 100, on + 100, 51 * 40'000 + 5'000'000);
    EXPECT_NEAR(meter.TickRate(), 20.0, 0.01);
    EXPECT_NEAR(meter.MotorSpeedPercent(0), 100.0, 0.01);
    EXPECT_EQ(meter.MotorSpeedPercent(8), 0.0);
}

bool Parse(std::vector<const char*> args, SimOptions* options, std::string* error) {
    args.insert(args.begin(), "kinemo-sim");
    return ParseSimOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(SimOptions, TakesEveryOptionLeavesLaunchArgumentsAloneAndRefusesMistakes) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--headless", "--fast", "--link", "/tmp/box", "--trace", "t.csv",
                       "--usb-latency", "255", "--launch", "prog", "--fast", "-x"},
                      &o, &error));
    EXPECT_TRUE(o.headless && o.fast && !o.help);
    EXPECT_EQ(o.linkPath + " " + o.tracePath + " " + std::to_string(o.usbLatencyMs),
              "/tmp/box t.csv 255");
    EXPECT_EQ(o.launch, (std::vector<std::string>{"prog", "--fast", "-x"}));
    ASSERT_TRUE(Parse({"--usb-latency", "0", "--help"}, &o, &error));
    EXPECT_EQ(o.usbLatencyMs, 0);
    EXPECT_TRUE(o.help);

    const std::string latency = "--usb-latency needs milliseconds from 0 to 255";
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{"--link"}, "--link needs a path"},        {{"--trace", ""}, "--trace needs a path"},
        {{"--launch"}, "--launch needs a program"}, {{"--slow"}, "unknown option --slow"},
        {{"--usb-latency", "256"}, latency},        {{"--usb-latency", "-1"}, latency},
        {{"--usb-latency", "16ms"}, latency},       {{"--usb-latency"}, latency},
    };
    for (const auto& [args, message] : cases) {
        error.clear();
        EXPECT_FALSE(Parse(args, &o, &error)) << message;
        EXPECT_EQ(error, message);
    }
}

}  // namespace
}  // namespace kinemo::simulator
