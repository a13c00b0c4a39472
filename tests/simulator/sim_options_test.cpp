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
    ASSERT_TRUE(Parse({"--headless", "--fast", "--link", "/tmp/box", "--trace", "t.csv", "--launch",
                       "prog", "--fast", "-x"},
                      &o, &error));
    EXPECT_TRUE(o.headless);
    EXPECT_TRUE(o.fast);
    EXPECT_EQ(o.linkPath, "/tmp/box");
    EXPECT_EQ(o.tracePath, "t.csv");
    EXPECT_EQ(o.launch, (std::vector<std::string>{"prog", "--fast", "-x"}));
}

TEST(SimOptions, RefusesMistakes) {
    SimOptions o;
    std::string error;
    EXPECT_FALSE(Parse({"--link"}, &o, &error));
    EXPECT_EQ(error, "--link needs a path");
    EXPECT_FALSE(Parse({"--trace", ""}, &o, &error));
    EXPECT_FALSE(Parse({"--launch"}, &o, &error));
    EXPECT_EQ(error, "--launch needs a program");
    EXPECT_FALSE(Parse({"--slow"}, &o, &error));
    EXPECT_EQ(error, "unknown option --slow");
    ASSERT_TRUE(Parse({"--help"}, &o, &error));
    EXPECT_TRUE(o.help);
}

}  // namespace
}  // namespace kinemo::simulator
