// The joystick layer through SDL's virtual joystick, the same public path a
// real device takes: capabilities, positions, hat directions and unplugging.
#include "platform/joystick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <thread>
#include <vector>

namespace kinemo::platform {
namespace {

// A description of what the layer reports for a device.
std::string Describe(const JoystickCaps& caps) {
    return caps.name + " " + std::to_string(caps.axes) + " " + std::to_string(caps.buttons) +
           (caps.hasHat ? " hat " : " ") + std::to_string(caps.mask);
}

class JoystickLayerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(system_.Ok()) << system_.Error(); }
    JoystickSystem system_;
};

// Capabilities follow the counts, capped at six axes and 32 buttons, and
// the joystick is listed.
TEST_F(JoystickLayerTest, CapabilitiesFollowTheCounts) {
    const std::pair<std::array<int, 3>, std::string> cases[] = {
        {{2, 4, 0}, "Testknüppel 2 4 0"},
        {{3, 0, 1}, "Testknüppel 3 0 hat " + std::to_string(kJoystickHasZ | kJoystickHasPov)},
        {{4, 12, 0}, "Testknüppel 4 12 " + std::to_string(kJoystickHasZ | kJoystickHasR)},
        {{6, 32, 1}, "Testknüppel 6 32 hat 31"},
    };
    for (const auto& [counts, expected] : cases) {
        VirtualJoystick stick;
        ASSERT_TRUE(stick.Attach("Testknüppel", counts[0], counts[1], counts[2]));
        JoystickDevice device;
        ASSERT_TRUE(device.Open(stick.Index()));
        EXPECT_EQ(Describe(device.Caps()), expected);
        std::vector<std::string> listed;
        for (const JoystickCaps& entry : ListJoysticks()) {
            listed.push_back(Describe(entry));
        }
        EXPECT_NE(std::find(listed.begin(), listed.end(), expected), listed.end());
    }
}

// Every axis, button and hat direction reads back as set, also on another
// thread; axes, buttons and a hat that a joystick lacks read centred or
// open. Once unplugged a read fails and keeps the last position.
TEST_F(JoystickLayerTest, PositionsReadBackAsSetUntilUnplugged) {
    VirtualJoystick stick;
    ASSERT_TRUE(stick.Attach("Sechsachser", 6, 32, 1));
    JoystickDevice device;
    ASSERT_TRUE(device.Open(stick.Index()));
    std::uint32_t n = 0;
    for (const std::uint32_t pov : {0, 4500, 9000, 13500, 18000, 22500, 27000, 31500, 65535}) {
        JoystickPosition set;
        set.axes = {0, 65535, 32768, 13000, 25999 + n, 39001};
        set.buttons = (0x80000001U >> (n % 2)) | (1U << n);
        set.pov = pov;
        stick.Set(set);
        JoystickPosition read;
        bool ok = false;
        std::thread([&] { ok = device.Read(read); }).join();
        EXPECT_EQ(std::pair(ok, read), std::pair(true, set)) << "pov " << pov;
        ++n;
    }

    VirtualJoystick small;
    ASSERT_TRUE(small.Attach("Zweiachser", 2, 2, 0));
    ASSERT_TRUE(device.Open(small.Index()));
    JoystickPosition set{{100, 200, 300, 400, 500, 600}, 0xFF, 9000};
    small.Set(set);
    JoystickPosition read;
    ASSERT_TRUE(device.Read(read));
    const auto c = kJoystickAxisCentre;
    const JoystickPosition expected{{100, 200, c, c, c, c}, 3, kJoystickHatCentred};
    EXPECT_EQ(read, expected);
    small.Detach();
    const bool readUnplugged = device.Read(read);
    EXPECT_EQ(std::pair(readUnplugged, read), std::pair(false, expected));
    EXPECT_FALSE(JoystickDevice().Read(read) || device.Open(-1) || device.Open(JoystickCount()));
}

// The eight directions go both ways in the position test; anything else
// and up with down at once have no direction.
TEST(JoystickHat, OnlyTheEightDirectionsAndCentredAreDirections) {
    EXPECT_TRUE(IsPovDirection(kJoystickHatCentred));
    EXPECT_EQ(SdlHatFromPov(kJoystickHatCentred), 0);
    for (const std::uint32_t bad : {1U, 4499U, 36000U, 65534U}) {
        EXPECT_EQ(std::pair(IsPovDirection(bad), SdlHatFromPov(bad)),
                  std::pair(false, std::uint8_t{0}))
            << bad;
    }
    EXPECT_EQ(PovFromSdlHat(0x05), kJoystickHatCentred);
}

}  // namespace
}  // namespace kinemo::platform
