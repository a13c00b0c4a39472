// kinemo-cli ports shows each device's kind and an adapter's latency timer,
// read from a fake sysfs tree.
#include <gtest/gtest.h>

#include <string>

#include "tests/platform/fake_sysfs.h"
#include "tests/platform/pty_peer.h"
#include "tests/tools/cli_process.h"

namespace kinemo::cli::test {
namespace {

TEST(CliPortsLatency, KindAndTimerPerDevice) {
    platform::testing::FakeTree tree;
    tree.Usb("ttyUSB0", "16\n");
    tree.Usb("ttyUSB1", "1\n");
    tree.Usb("ttyACM0", "");
    tree.Tty("ttyS0", "pnp0/00:01/00:01:0/00:01:0.0");
    kinemo::testing::PtyPeer peer;
    TempFolder work;
    const ProcessResult result = RunCliProcess({"ports"}, work.Path(),
                                               {{"KINEMO_SYSFS_ROOT", tree.Root()},
                                                {"KINEMO_PORT_COM1", tree.Node("ttyUSB0")},
                                                {"KINEMO_PORT_COM2", tree.Node("ttyUSB1")},
                                                {"KINEMO_PORT_COM3", tree.Node("ttyACM0")},
                                                {"KINEMO_PORT_COM4", tree.Node("ttyS0")},
                                                {"KINEMO_PORT_LPT1", peer.DevicePath()},
                                                {"KINEMO_PORT_LPT2", tree.Node("ttyZ")}});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "COM1 " + tree.Dev("ttyUSB0") +
                  " vorhanden USB-Seriell, Latenz-Timer 16 ms (KINEMO_PORT_COM1)\n"
                  "COM2 " +
                  tree.Dev("ttyUSB1") +
                  " vorhanden USB-Seriell, Latenz-Timer 1 ms (KINEMO_PORT_COM2)\n"
                  "COM3 " +
                  tree.Dev("ttyACM0") + " vorhanden USB-Seriell (KINEMO_PORT_COM3)\n" + "COM4 " +
                  tree.Dev("ttyS0") + " vorhanden eingebaut (KINEMO_PORT_COM4)\n" + "LPT1 " +
                  peer.DevicePath() + " vorhanden Pseudo-Terminal (KINEMO_PORT_LPT1)\n" + "LPT2 " +
                  tree.Dev("ttyZ") + " vorhanden (KINEMO_PORT_LPT2)\n" +
                  "LPT3 - nicht zugeordnet\nLPT - nicht zugeordnet\n");
}

}  // namespace
}  // namespace kinemo::cli::test
