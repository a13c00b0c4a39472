#include "simulator/sim_options.h"

#include <gtest/gtest.h>

namespace kinemo::simulator {
namespace {

bool Parse(std::vector<const char*> args, SimOptions* options, std::string* error) {
    args.insert(args.begin(), "kinemo-sim");
    return ParseSimOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(SimOptions, TakesEveryOptionAndLeavesLaunchArgumentsAlone) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--headless", "--fast", "--link", "/tmp/box", "--trace", "t.csv",
                       "--usb-latency", "255", "--launch", "prog", "--fast", "-x"},
                      &o, &error));
    EXPECT_TRUE(o.headless);
    EXPECT_TRUE(o.fast);
    EXPECT_EQ(o.linkPath, "/tmp/box");
    EXPECT_EQ(o.tracePath, "t.csv");
    EXPECT_EQ(o.usbLatencyMs, 255);
    EXPECT_EQ(o.launch, (std::vector<std::string>{"prog", "--fast", "-x"}));
    ASSERT_TRUE(Parse({"--usb-latency", "0", "--help"}, &o, &error));
    EXPECT_EQ(o.usbLatencyMs, 0);
    EXPECT_TRUE(o.help);
}

TEST(SimOptions, RefusesMistakesWithAMessage) {
    const std::string latency = "--usb-latency needs milliseconds from 0 to 255";
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{"--link"}, "--link needs a path"},
        {{"--trace", ""}, "--trace needs a path"},
        {{"--launch"}, "--launch needs a program"},
        {{"--slow"}, "unknown option --slow"},
        {{"--usb-latency", "256"}, latency},
        {{"--usb-latency", "-1"}, latency},
        {{"--usb-latency", "16ms"}, latency},
        {{"--usb-latency"}, latency},
    };
    for (const auto& [args, message] : cases) {
        SimOptions o;
        std::string error;
        EXPECT_FALSE(Parse(args, &o, &error)) << message;
        EXPECT_EQ(error, message);
    }
}

}  // namespace
}  // namespace kinemo::simulator
