// The simulated box acting like a USB serial adapter: answers leave only at
// the expiries of its latency timer, and the option that asks for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "simulator/line_latency.h"
#include "simulator/sim_options.h"
#include "simulator/simulated_box.h"
#include "tests/simulator/line_client.h"

namespace kinemo::simulator {
namespace {

TEST(UsbLatencySim, NextExpiryOfTheTimer) {
    struct Case {
        std::int64_t due, epoch;
        int ms;
        std::int64_t expiry;
    };
    const Case cases[] = {
        {3125, 0, 16, 16000},   // answer complete inside the first period
        {16000, 0, 16, 32000},  // exactly at an expiry: that one has passed
        {16001, 0, 16, 32000}, {100, 50, 1, 1050},
        {-5, 0, 16, 0},        {4242, 0, 0, 4242},  // no adapter
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UsbTimerExpiryUs(c.due, c.epoch, c.ms), c.expiry) << c.due << " " << c.ms;
    }
}

TEST(UsbLatencySim, OptionTakesMilliseconds) {
    struct Case {
        std::vector<const char*> args;
        bool ok;
        int ms;
    };
    const Case cases[] = {
        {{"kinemo-sim", "--usb-latency", "16"}, true, 16},
        {{"kinemo-sim", "--usb-latency", "0", "--headless"}, true, 0},
        {{"kinemo-sim", "--usb-latency", "255"}, true, 255},
        {{"kinemo-sim"}, true, 0},
        {{"kinemo-sim", "--usb-latency", "256"}, false, 0},
        {{"kinemo-sim", "--usb-latency", "-1"}, false, 0},
        {{"kinemo-sim", "--usb-latency", "16ms"}, false, 0},
        {{"kinemo-sim", "--usb-latency"}, false, 0},
    };
    for (const Case& c : cases) {
        SimOptions options;
        std::string error;
        const bool ok =
            ParseSimOptions(static_cast<int>(c.args.size()), c.args.data(), &options, &error);
        EXPECT_EQ(ok, c.ok) << c.args.back();
        if (ok) {
            EXPECT_EQ(options.usbLatencyMs, c.ms);
        } else {
            EXPECT_EQ(error, "--usb-latency needs milliseconds from 0 to 255");
        }
    }
}

// A program that sends its next request as soon as it has an answer: with a
// timer of 8 ms every exchange falls into a period of its own.
TEST(UsbLatencySim, OneExchangePerTimerPeriod) {
    const std::string trace = ::testing::TempDir() + "/usb_latency_trace.csv";
    SimulatedBoxOptions options = SimulatedBoxOptions::FastLine();
    options.tracePath = trace;
    options.usbLatencyMs = 8;
    SimulatedBox box(options);
    const std::string path = box.Start();
    ASSERT_FALSE(path.empty()) << box.error();
    {
        testing::LineClient client(path);
        ASSERT_TRUE(client.ok());
        for (int i = 0; i < 6; ++i) {
            ASSERT_EQ(client.Exchange({0xC1, 0x00}, 1).size(), 1u);
        }
    }
    box.Stop();
    std::ifstream in(trace);
    std::string line;
    std::getline(in, line);  // the header
    std::vector<long long> periods;
    while (std::getline(in, line)) {
        unsigned long long tick = 0;
        unsigned long long us = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%llu,%llu,", &tick, &us), 2) << line;
        periods.push_back(static_cast<long long>(us / 8000));
    }
    ASSERT_EQ(periods.size(), 6u);
    for (std::size_t k = 1; k < periods.size(); ++k) {
        EXPECT_GT(periods[k], periods[k - 1]) << "exchange " << k;
    }
}

}  // namespace
}  // namespace kinemo::simulator
