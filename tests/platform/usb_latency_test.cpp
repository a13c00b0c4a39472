// Device kinds and the latency timer of USB serial adapters, against a fake
// sysfs tree; the serial layer's open and close through a pseudo-terminal that
// the fake tree describes as an adapter.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>

#include "platform/serial_port.h"
#include "platform/usb_latency.h"
#include "tests/platform/fake_sysfs.h"
#include "tests/platform/pty_peer.h"

namespace kinemo::platform {
namespace {

namespace fs = std::filesystem;

using testing::FakeTree;
using testing::ReadAll;

// Kind, tty name, latency and whether a timer was found (and is writable).
std::string Describe(const SerialDeviceInfo& info) {
    return std::string(SerialDeviceKindText(info.kind)) + " " + info.ttyName + " " +
           std::to_string(info.latencyMs) + " " + (info.latencyPath.empty() ? "-" : "timer") +
           (info.latencyWritable ? " writable" : "");
}

TEST(UsbLatency, KindsAndTimersFromTheTreeAndTickRates) {
    const auto usb = [](const char* name, const char* timer) {
        return [=](FakeTree& t) {
            t.Usb(name, timer);
            return t.Node(name);
        };
    };
    const std::pair<std::function<std::string(FakeTree&)>, std::string> cases[] = {
        {usb("ttyUSB0", "16\n"), "USB-Seriell ttyUSB0 16 timer writable"},
        {[](FakeTree& t) {  // through a by-id link
             t.Usb("ttyUSB1", "2");
             fs::create_symlink(t.Node("ttyUSB1"), t.Dev("usb-Adapter_A1-if00-port0"));
             return t.Dev("usb-Adapter_A1-if00-port0");
         },
         "USB-Seriell ttyUSB1 2 timer writable"},
        {usb("ttyACM0", ""), "USB-Seriell ttyACM0 -1 -"},
        {usb("ttyUSB2", "16 ms\n"), "USB-Seriell ttyUSB2 -1 timer writable"},
        {[](FakeTree& t) {
             t.Tty("ttyS0", "pnp0/00:01/00:01:0/00:01:0.0", "16");
             return t.Node("ttyS0");
         },
         "eingebaut ttyS0 -1 -"},
        {[](FakeTree& t) { return t.Node("ttyX9"); }, "unbekannt ttyX9 -1 -"},
        {[](FakeTree& t) { return t.Dev("fehlt"); }, "unbekannt  -1 -"},
    };
    for (const auto& [build, expected] : cases) {
        FakeTree tree;
        EXPECT_EQ(Describe(InspectSerialDevice(build(tree), tree.Root())), expected);
    }
    // A pseudo-terminal is not in sysfs at all.
    kinemo::testing::PtyPeer peer;
    EXPECT_EQ(InspectSerialDevice(peer.DevicePath(), FakeTree().Root()).kind,
              SerialDeviceKind::kPseudoTerminal);
    const std::pair<int, int> rates[] = {{16, 62}, {8, 125}, {4, 250},  {2, 320},
                                         {1, 320}, {0, 320}, {-1, 320}, {255, 3}};
    for (const auto& [latency, rate] : rates) {
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
    EXPECT_EQ(std::tuple(report.device.kind, report.device.latencyMs, report.device.latencyWritable,
                         report.timerLowered, report.timerStaysHigh),
              std::tuple(SerialDeviceKind::kUsbSerial, expected, false, false, true));
    hold.Release(-1);
    EXPECT_EQ(std::atoi(ReadAll(timer).c_str()), expected);
}

TEST(UsbLatency, NoticeNamesTheCommand) {
    SerialDeviceInfo info;
    std::tie(info.kind, info.latencyMs, info.latencyPath) =
        std::tuple(SerialDeviceKind::kUsbSerial, 16, "/sys/class/tty/ttyUSB0/device/latency_timer");
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
