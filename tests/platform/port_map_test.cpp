#include "platform/port_map.h"

#include <gtest/gtest.h>

#include "tests/platform/scoped_port_override.h"

namespace kinemo::platform {
namespace {

using kinemo::testing::ScopedPortOverride;

TEST(PortMap, OffersTheEightNamesInOrder) {
    ASSERT_EQ(kPortNames.size(), 8u);
    EXPECT_EQ(kPortNames.front(), "COM1");
    EXPECT_EQ(kPortNames[3], "COM4");
    EXPECT_EQ(kPortNames[4], "LPT1");
    EXPECT_EQ(kPortNames.back(), "LPT");
    EXPECT_EQ(PortEnvironmentVariable("COM1"), "KINEMO_PORT_COM1");
}

TEST(PortMap, ComPortsDefaultToTheOnboardSerialDevices) {
    ScopedPortOverride com1("COM1", nullptr);
    ScopedPortOverride com2("COM2", nullptr);
    ScopedPortOverride com3("COM3", nullptr);
    ScopedPortOverride com4("COM4", nullptr);
    EXPECT_EQ(PortDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(PortDevicePath("COM2"), "/dev/ttyS1");
    EXPECT_EQ(PortDevicePath("COM3"), "/dev/ttyS2");
    EXPECT_EQ(PortDevicePath("COM4"), "/dev/ttyS3");
}

TEST(PortMap, EnvironmentOverridesAndMapsParallelNames) {
    ScopedPortOverride com1("COM1", "/dev/ttyUSB0");
    ScopedPortOverride lpt("LPT", "/dev/ttyACM1");
    EXPECT_EQ(PortDevicePath("COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath("LPT"), "/dev/ttyACM1");
    EXPECT_EQ(PortDevicePath("LPT1"), std::nullopt);
}

TEST(PortMap, UnmappedAndUnknownNamesHaveNoDevice) {
    ScopedPortOverride lpt1("LPT1", nullptr);
    ScopedPortOverride emptied("COM2", "");
    EXPECT_EQ(PortDevicePath("LPT1"), std::nullopt);
    EXPECT_EQ(PortDevicePath("LPT3"), std::nullopt);
    EXPECT_EQ(PortDevicePath("COM2"), std::nullopt);
    for (const char* name : {"COM0", "COM5", "com1", "COM", "COM12", "", "LPT4", "/dev/ttyS0"}) {
        EXPECT_EQ(PortDevicePath(name), std::nullopt) << name;
        EXPECT_FALSE(PortDeviceExists(name)) << name;
    }
}

TEST(PortMap, DeviceExistsFollowsTheMappedPath) {
    ScopedPortOverride present("COM4", "/dev/null");
    ScopedPortOverride missing("LPT2", "/dev/kinemo-no-such-port");
    EXPECT_TRUE(PortDeviceExists("COM4"));
    EXPECT_FALSE(PortDeviceExists("LPT2"));
}

}  // namespace
}  // namespace kinemo::platform
