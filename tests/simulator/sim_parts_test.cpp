// The simulator's parts without a line: the carriage model, the frame
// parser, the rate meter and the command line.
#include <gtest/gtest.h>

#include <cmath>
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
    auto m1 = [&] { return std::tuple(model.carriage(0).position, model.carriage(0).onTicks); };
    model.Apply(0xFFFF);  // field 3 everywhere
    EXPECT_EQ(std::tuple(model.Inputs(), model.carriage(7).position), std::tuple(0, 1000));
    EXPECT_EQ(m1(), std::tuple(1000, 0u));
    std::vector<int> edges;
    for (int tick = 1, level = 0; tick <= 48; ++tick) {
        const int now = model.Apply(tick <= 40 ? 0x0002 : 0x0001) & 0x0001;  // right, then left
        if (now != level) {
            edges.push_back(tick);
            level = now;
        }
    }
    EXPECT_EQ(edges, (std::vector<int>{8, 16, 24, 32, 40, 48}));
    EXPECT_EQ(m1(), std::tuple(1032, 48u));
    model.Reset();
    EXPECT_EQ(std::tuple(model.Inputs(), model.carriage(0).position), std::tuple(0, 1000));
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
    EXPECT_EQ(std::tuple(m4.position, m4.stepsMoved, m4.onTicks), std::tuple(0, 1000u, 1020u));
    EXPECT_EQ(model.Apply(0x0080) & 0x0080, 0);
    for (int tick = 0; tick < 1999; ++tick) {
        model.Apply(0x8000);  // M8 right
    }
    EXPECT_EQ(std::tuple(model.carriage(7).position, model.Inputs() & 0x8000),
              std::tuple(2000, 0x8000));
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
            if (Frame f; parser.Feed(b, us, &f)) {
                frames.emplace_back(f.command, f.outputs, f.startUs);
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

// Every byte of random input is part of a frame or skipped; at most one
// partial frame (two bytes) can still be waiting at the end. Every 997th
// byte arrives after a long pause, which drops a partial frame.
TEST(FrameParser, RandomBytesAreEitherFramesOrSkipped) {
    std::mt19937 random(20261207);
    FrameParser parser;
    std::uint64_t framed = 0, bytes = 200'000;
    for (std::uint64_t i = 0; i < bytes; ++i) {
        const auto us = static_cast<std::int64_t>(i * 10 + (i / 997) * kFrameGapUs * 2);
        if (Frame f; parser.Feed(static_cast<std::uint8_t>(random()), us, &f)) {
            ASSERT_TRUE(f.command == kCommandBoxAndModule ||
                        (f.command == kCommandBox && f.outputs <= 0xFF));
            framed += static_cast<std::uint64_t>(f.RequestBytes());
        }
    }
    EXPECT_GT(framed, 0u);
    EXPECT_LE(bytes - framed - parser.skippedBytes(), 2u);
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
        std::vector<long> percents;  // in hundredths: tick rate, M1, M2, M9 (none)
        for (const double x : {meter.TickRate(), meter.MotorSpeedPercent(0),
                               meter.MotorSpeedPercent(1), meter.MotorSpeedPercent(8)}) {
            percents.push_back(std::lround(x * 100));
        }
        return percents;
    };
    EXPECT_EQ(add(0, 0, 0), (std::vector<long>{0, 0, 0, 0}));
    for (std::uint64_t i = 1; i < 25; ++i) {  // 100 ticks per second, M1 always on
        add(4 * i, 4 * i, static_cast<std::int64_t>(i) * 40'000);
    }
    EXPECT_EQ(add(100, 100, 1'000'000), (std::vector<long>{10000, 10000, 0, 0}));
    std::uint64_t ticks = 100, on = 100;
    for (int i = 26; i <= 50; ++i) {  // 320 per second, M1 on in a quarter
        add(ticks, on, i * 40'000);
        if (i % 5 == 0) {
            ticks += 64;
            on += 16;
        }
    }
    EXPECT_EQ(add(ticks, on, 51 * 40'000), (std::vector<long>{32000, 2500, 0, 0}));
    EXPECT_EQ(add(ticks + 100, on + 100, 51 * 40'000 + 5'000'000),
              (std::vector<long>{2000, 10000, 0, 0}));
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
    EXPECT_EQ(
        std::tuple(o.headless, o.fast, o.help, o.linkPath, o.tracePath, o.usbLatencyMs, o.launch),
        std::tuple(true, true, false, "/tmp/box", "t.csv", 255,
                   std::vector<std::string>{"prog", "--fast", "-x"}));
    ASSERT_TRUE(Parse({"--usb-latency", "0", "--help"}, &o, &error));
    EXPECT_EQ(std::pair(o.usbLatencyMs, o.help), std::pair(0, true));

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
