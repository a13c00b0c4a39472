// Device kinds and the latency timer of USB serial adapters, against a fake
// sysfs tree; the serial layer's open and close through a pseudo-terminal that
// the fake tree describes as an adapter.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "platform/serial_port.h"
#include "platform/usb_latency.h"
#include "tests/platform/fake_sysfs.h"
#include "tests/platform/pty_peer.h"

namespace kinemo::platform {
namespace {

namespace fs = std::filesystem;

using testing::FakeTree;
using testing::ReadAll;

TEST(UsbLatency, KindsAndTimersFromTheTree) {
    struct Case {
        const char* name;
        std::function<std::string(FakeTree&)> build;  // returns the device path
        SerialDeviceKind kind;
        const char* ttyName;
        int latencyMs;
        bool hasTimer;
    };
    auto usb = [](const char* name, const char* timer) {
        return [=](FakeTree& t) {
            t.Usb(name, timer);
            return t.Node(name);
        };
    };
    const Case cases[] = {
        {"adapter with a timer", usb("ttyUSB0", "16\n"), SerialDeviceKind::kUsbSerial, "ttyUSB0", 16,
         true},
        {"adapter through a by-id link",
         [](FakeTree& t) {
             t.Usb("ttyUSB1", "2");
             fs::create_symlink(t.Node("ttyUSB1"), t.Dev("usb-Adapter_A1-if00-port0"));
             return t.Dev("usb-Adapter_A1-if00-port0");
         },
         SerialDeviceKind::kUsbSerial, "ttyUSB1", 2, true},
        {"adapter without a timer", usb("ttyACM0", ""), SerialDeviceKind::kUsbSerial, "ttyACM0", -1,
         false},
        {"timer that is not a number", usb("ttyUSB2", "16 ms\n"), SerialDeviceKind::kUsbSerial,
         "ttyUSB2", -1, true},
        {"built-in port",
         [](FakeTree& t) {
             t.Tty("ttyS0", "pnp0/00:01/00:01:0/00:01:0.0", "16");
             return t.Node("ttyS0");
         },
         SerialDeviceKind::kBuiltIn, "ttyS0", -1, false},
        {"node that sysfs does not know", [](FakeTree& t) { return t.Node("ttyX9"); },
         SerialDeviceKind::kUnknown, "ttyX9", -1, false},
        {"missing node", [](FakeTree& t) { return t.Dev("fehlt"); }, SerialDeviceKind::kUnknown, "",
         -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeTree tree;
        const SerialDeviceInfo info = InspectSerialDevice(c.build(tree), tree.Root());
        EXPECT_EQ(info.kind, c.kind);
        EXPECT_EQ(info.ttyName, c.ttyName);
        EXPECT_EQ(info.latencyMs, c.latencyMs);
        EXPECT_EQ(!info.latencyPath.empty(), c.hasTimer);
        EXPECT_EQ(info.latencyWritable, c.hasTimer);
    }
    // A pseudo-terminal is not in sysfs at all.
    kinemo::testing::PtyPeer peer;
    FakeTree empty;
    EXPECT_EQ(InspectSerialDevice(peer.DevicePath(), empty.Root()).kind,
              SerialDeviceKind::kPseudoTerminal);
}

TEST(UsbLatency, TickRates) {
    const std::pair<int, int> cases[] = {{16, 62}, {8, 125}, {4, 250},  {2, 320},
                                         {1, 320}, {0, 320}, {-1, 320}, {255, 3}};
    for (const auto& [latency, rate] : cases) {
        EXPECT_EQ(TickRateWithLatency(latency), rate) << latency;
    }
}

// The serial layer lowers the timer while the device is open and puts the old
// value back on close; a timer already at 1 ms is left alone.
TEST(UsbLatency, SerialPortLowersAndRestoresTheTimer) {
    kinemo::testing::PtyPeer peer;
    const std::string name = fs::path(peer.DevicePath()).filename();
    for (const char* before : {"16\n", "1\n"}) {
        FakeTree tree;
        const std::string timer = tree.Usb(name, before);
        ASSERT_EQ(::setenv("KINEMO_SYSFS_ROOT", tree.Root().c_str(), 1), 0);
        {
            SerialPort port;
            ASSERT_TRUE(port.Open(peer.DevicePath().c_str()));
            EXPECT_EQ(ReadAll(timer), "1\n") << before;
            port.Close();
            EXPECT_EQ(ReadAll(timer), before);
            ASSERT_TRUE(port.Open(peer.DevicePath().c_str()));
        }  // closing by destruction restores too
        EXPECT_EQ(ReadAll(timer), before);
        ::unsetenv("KINEMO_SYSFS_ROOT");
    }
}

TEST(UsbLatency, TimerThatCannotBeWrittenIsReported) {
    kinemo::testing::PtyPeer peer;
    const std::string name = fs::path(peer.DevicePath()).filename();
    FakeTree tree;
    const std::string timer = tree.Usb(name, "16\n");
    int expected = 16;
    if (::geteuid() == 0) {
        // Root may write any plain file; a read-only kernel value stands in.
        fs::remove(timer);
        fs::create_symlink("/proc/sys/kernel/ngroups_max", timer);
        expected = std::atoi(ReadAll(timer).c_str());
    } else {
        ::chmod(timer.c_str(), 0444);
    }
    UsbLatencyHold hold;
    const LatencyReport& report = hold.Acquire(-1, peer.DevicePath().c_str(), tree.Root());
    EXPECT_EQ(report.device.kind, SerialDeviceKind::kUsbSerial);
    EXPECT_EQ(report.device.latencyMs, expected);
    EXPECT_FALSE(report.device.latencyWritable);
    EXPECT_FALSE(report.timerLowered);
    EXPECT_TRUE(report.timerStaysHigh);
    hold.Release(-1);
    EXPECT_EQ(std::atoi(ReadAll(timer).c_str()), expected);
}

TEST(UsbLatency, NoticeNamesTheCommand) {
    SerialDeviceInfo info;
    info.kind = SerialDeviceKind::kUsbSerial;
    info.latencyMs = 16;
    info.latencyPath = "/sys/class/tty/ttyUSB0/device/latency_timer";
    EXPECT_EQ(LatencyNotice("/dev/ttyUSB0", info),
              "Hinweis: Der USB-Seriell-Adapter /dev/ttyUSB0 hält jede Antwort bis zu 16 ms "
              "zurück (Latenz-Timer); so schafft das Interface nur etwa 62 statt 320 Ticks pro "
              "Sekunde, und Zeiten in Ticks dauern länger.\n"
              "Senken (bis zum Abziehen) mit:\n"
              "  echo 1 | sudo tee /sys/class/tty/ttyUSB0/device/latency_timer\n"
              "Dauerhaft mit der udev-Regel 60-kinemo-usb-latency.rules in /etc/udev/rules.d "
              "(das Kinemo-Paket bringt sie mit).\n");
}

}  // namespace
}  // namespace kinemo::platform
