// The joystick layer through SDL's virtual joystick, the same public path a
// real device takes: capabilities, positions, hat directions and unplugging.
#include "platform/joystick.h"

#include <gtest/gtest.h>

#include <thread>

namespace kinemo::platform {
namespace {

class JoystickLayerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(system_.Ok()) << system_.Error(); }
    JoystickSystem system_;
};

TEST_F(JoystickLayerTest, CapabilitiesFollowTheCountsAndAreCappedAtSixAxesAnd32Buttons) {
    struct Case {
        int axes, buttons, hats;
        unsigned wantAxes, wantButtons;
        std::uint32_t wantMask;
    };
    const Case cases[] = {
        {2, 4, 0, 2, 4, 0},
        {3, 0, 1, 3, 0, kJoystickHasZ | kJoystickHasPov},
        {4, 12, 0, 4, 12, kJoystickHasZ | kJoystickHasR},
        {6, 32, 1, 6, 32, 0x1F},
    };
    for (const Case& c : cases) {
        VirtualJoystick stick;
        ASSERT_TRUE(stick.Attach("Testknüppel", c.axes, c.buttons, c.hats));
        JoystickDevice device;
        ASSERT_TRUE(device.Open(stick.Index()));
        const JoystickCaps caps = device.Caps();
        EXPECT_EQ(caps.name, "Testknüppel");
        EXPECT_EQ(caps.axes, c.wantAxes);
        EXPECT_EQ(caps.buttons, c.wantButtons);
        EXPECT_EQ(caps.hasHat, c.hats > 0);
        EXPECT_EQ(caps.mask, c.wantMask) << c.axes << " axes";
        bool listed = false;
        for (const JoystickCaps& entry : ListJoysticks()) {
            listed = listed || entry.name == "Testknüppel";
        }
        EXPECT_TRUE(listed);
    }
}

// Every axis, button and hat direction reads back as set, also on another
// thread; axes, buttons and a hat that a joystick lacks read centred or open.
TEST_F(JoystickLayerTest, PositionsReadBackAsSetAndMissingPartsReadCentred) {
    VirtualJoystick stick;
    ASSERT_TRUE(stick.Attach("Sechsachser", 6, 32, 1));
    JoystickDevice device;
    ASSERT_TRUE(device.Open(stick.Index()));
    const std::uint32_t povs[] = {0, 4500, 9000, 13500, 18000, 22500, 27000, 31500, 65535};
    std::uint32_t n = 0;
    for (const std::uint32_t pov : povs) {
        JoystickPosition set;
        set.axes = {0, 65535, 32768, 13000, 25999 + n, 39001};
        set.buttons = (0x80000001U >> (n % 2)) | (1U << n);
        set.pov = pov;
        stick.Set(set);
        JoystickPosition read;
        bool ok = false;
        std::thread reader([&] { ok = device.Read(read); });
        reader.join();
        ASSERT_TRUE(ok);
        EXPECT_EQ(read, set) << "pov " << pov;
        ++n;
    }

    VirtualJoystick small;
    ASSERT_TRUE(small.Attach("Zweiachser", 2, 2, 0));
    ASSERT_TRUE(device.Open(small.Index()));
    JoystickPosition set;
    set.axes = {100, 200, 300, 400, 500, 600};
    set.buttons = 0xFF;
    set.pov = 9000;
    small.Set(set);
    JoystickPosition read;
    ASSERT_TRUE(device.Read(read));
    JoystickPosition centred;
    centred.axes[0] = 100;
    centred.axes[1] = 200;
    EXPECT_EQ(read.axes, centred.axes);
    EXPECT_EQ(read.buttons, 3U);
    EXPECT_EQ(read.pov, kJoystickHatCentred);
}

TEST_F(JoystickLayerTest, AReadFailsOnceTheJoystickIsUnpluggedAndKeepsTheLastPosition) {
    VirtualJoystick stick;
    ASSERT_TRUE(stick.Attach("Steckbar", 2, 1, 0));
    JoystickDevice device;
    ASSERT_TRUE(device.Open(stick.Index()));
    JoystickPosition set;
    set.axes[1] = 7;
    stick.Set(set);
    JoystickPosition read;
    ASSERT_TRUE(device.Read(read));
    stick.Detach();
    const JoystickPosition before = read;
    EXPECT_FALSE(device.Read(read));
    EXPECT_EQ(read, before);
    EXPECT_FALSE(JoystickDevice().Read(read));
    EXPECT_FALSE(device.Open(-1));
    EXPECT_FALSE(device.Open(JoystickCount()));
}

TEST(JoystickHat, SdlHatBitsAndHundredthsOfADegreeMapBothWays) {
    for (std::uint32_t pov = 0; pov <= 31500; pov += 4500) {
        EXPECT_TRUE(IsPovDirection(pov));
        EXPECT_EQ(PovFromSdlHat(SdlHatFromPov(pov)), pov);
    }
    EXPECT_TRUE(IsPovDirection(kJoystickHatCentred));
    EXPECT_EQ(SdlHatFromPov(kJoystickHatCentred), 0);
    for (const std::uint32_t bad : {1U, 4499U, 36000U, 65534U}) {
        EXPECT_FALSE(IsPovDirection(bad)) << bad;
        EXPECT_EQ(SdlHatFromPov(bad), 0) << bad;
    }
    // Up and down at once has no direction.
    EXPECT_EQ(PovFromSdlHat(0x05), kJoystickHatCentred);
}

}  // namespace
}  // namespace kinemo::platform
