// kinemo-cli ports: every name with its device, how it is mapped, and each
// device's kind and an adapter's latency timer, read from a fake sysfs tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/platform/fake_sysfs.h"
#include "tests/platform/pty_peer.h"
#include "tests/tools/cli_process.h"

namespace kinemo::cli::test {
namespace {

TEST(CliPorts, EveryNameWithItsDeviceKindAndTimer) {
    platform::testing::FakeTree tree;
    tree.Usb("ttyUSB0", "16\n");
    tree.Usb("ttyACM0", "");
    tree.Tty("ttyS0", "pnp0/00:01/00:01:0/00:01:0.0");
    kinemo::testing::PtyPeer peer;
    TempFolder work;
    const std::string defaultCom4 = std::filesystem::exists("/dev/ttyS3") ? "vorhanden" : "fehlt";
    const ProcessResult result = RunCliProcess({"ports"}, work.Path(),
                                               {{"KINEMO_SYSFS_ROOT", tree.Root()},
                                                {"KINEMO_PORT_COM1", tree.Node("ttyUSB0")},
                                                {"KINEMO_PORT_COM2", tree.Dev("fehlt")},
                                                {"KINEMO_PORT_COM3", ""},
                                                {"KINEMO_PORT_LPT1", peer.DevicePath()},
                                                {"KINEMO_PORT_LPT2", tree.Node("ttyACM0")},
                                                {"KINEMO_PORT_LPT3", tree.Node("ttyS0")},
                                                {"KINEMO_PORT_LPT", tree.Node("ttyZ")}});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "COM1 " + tree.Dev("ttyUSB0") +
                  " vorhanden USB-Seriell, Latenz-Timer 16 ms (KINEMO_PORT_COM1)\n"
                  "COM2 " +
                  tree.Dev("fehlt") + " fehlt (KINEMO_PORT_COM2)\n" +
                  "COM3 - nicht zugeordnet (KINEMO_PORT_COM3)\n" + "COM4 /dev/ttyS3 " +
                  defaultCom4 + "\n" + "LPT1 " + peer.DevicePath() +
                  " vorhanden Pseudo-Terminal (KINEMO_PORT_LPT1)\n" + "LPT2 " +
                  tree.Dev("ttyACM0") + " vorhanden USB-Seriell (KINEMO_PORT_LPT2)\n" + "LPT3 " +
                  tree.Dev("ttyS0") + " vorhanden eingebaut (KINEMO_PORT_LPT3)\n" + "LPT " +
                  tree.Dev("ttyZ") + " vorhanden (KINEMO_PORT_LPT)\n");
}

}  // namespace
}  // namespace kinemo::cli::test
