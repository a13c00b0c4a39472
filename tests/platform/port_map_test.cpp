#include "platform/port_map.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/platform/scoped_port_override.h"

namespace kinemo::platform {
namespace {

using kinemo::testing::ScopedPortOverride;

// How kinemo-cli shows the whole map: cli_test's "ports".
TEST(PortMap, NamesMapToDefaultsOrToTheirVariableAndUnknownNamesToNothing) {
    EXPECT_EQ(std::vector<std::string_view>(kPortNames.begin(), kPortNames.end()),
              (std::vector<std::string_view>{"COM1", "COM2", "COM3", "COM4", "LPT1", "LPT2", "LPT3",
                                             "LPT"}));
    EXPECT_EQ(PortEnvironmentVariable("COM1"), "KINEMO_PORT_COM1");
    const ScopedPortOverride overrides[] = {
        {"COM1", "/dev/ttyUSB0"}, {"COM2", ""},      {"COM3", nullptr},
        {"COM4", "/dev/null"},    {"LPT1", nullptr}, {"LPT2", "/dev/kinemo-no-such-port"},
        {"LPT", "/dev/ttyACM1"}};
    struct Case {
        const char* name;
        std::optional<std::string> device;
    };
    for (const Case& c :
         {Case{"COM1", "/dev/ttyUSB0"}, Case{"COM2", std::nullopt}, Case{"COM3", "/dev/ttyS2"},
          Case{"COM4", "/dev/null"}, Case{"LPT1", std::nullopt}, Case{"LPT3", std::nullopt},
          Case{"LPT", "/dev/ttyACM1"}, Case{"COM0", std::nullopt}, Case{"COM5", std::nullopt},
          Case{"com1", std::nullopt}, Case{"COM12", std::nullopt}, Case{"", std::nullopt},
          Case{"/dev/ttyS0", std::nullopt}}) {
        EXPECT_EQ(PortDevicePath(c.name), c.device) << c.name;
    }
    EXPECT_TRUE(PortDeviceExists("COM4"));
    EXPECT_FALSE(PortDeviceExists("LPT2"));
    EXPECT_FALSE(PortDeviceExists("COM5"));
}

}  // namespace
}  // namespace kinemo::platform
