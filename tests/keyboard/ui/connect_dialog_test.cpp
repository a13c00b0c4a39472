// KinemoSpeech's about box, and its connect dialog: its own controls and
// texts, and the chosen radio button reaching a real InterfacePort (the rest
// is the dialog layer's).
#include "keyboard/ui/connect_dialog.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>
#include <atomic>
#include <string>
#include <tuple>

#include "keyboard/interface_port.h"
#include "keyboard/ui/about_dialog.h"
#include "platform/dialog_message.h"
#include "platform/dialog_scripted.h"
#include "simulator/simulated_box.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"
#include "tests/platform/dialog_test_support.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/wait_until.h"

namespace kinemo::keyboard::ui {
namespace {

using kinemo::testing::ScopedPortOverride;
using kinemo::ui::testing::WaitUntil;

// The dialog wired to a real InterfacePort, as the program wires it.
struct Fixture {
    Fixture()
        : dialog({[this](int number) {
                      lastPort = number;
                      return port.connect(number);
                  },
                  &messages, [] {}}) {
        dialog.show();
    }
    void Connect(int radio) {
        dialog.Control<QRadioButton>(kPortRadioFirstId + radio)->click();
        dialog.Control<QPushButton>(platform::kIdOk)->click();
        ASSERT_TRUE(WaitUntil([this] { return !dialog.Connecting(); }));
    }

    InterfacePort port;
    platform::ScriptedMessageService messages;
    std::atomic<int> lastPort{0};
    ConnectDialog dialog;
};

TEST(SpeechConnectDialog, StartsWithItsControlsAndEveryStatusFits) {
    ScopedPortOverride com3("COM3", "/dev/kinemo-speech-test-box");
    Fixture f;
    ConnectDialog& d = f.dialog;  // ids, kinds, texts and tab order as stored
    platform::testing::ExpectSameAsStored(
        platform::testing::ControlInventory(d),
        QStringLiteral(KINEMO_EXPECTED_DIR "/connect_dialog_controls.txt"));
    EXPECT_EQ((std::tuple(d.windowTitle(), d.windowIcon().isNull(),
                          d.Control<QPushButton>(platform::kIdOk)->isDefault())),
              (std::tuple(QStringLiteral("KinemoSpeech"), false, true)));
    EXPECT_TRUE(d.Control<QRadioButton>(kPortRadioFirstId + 2)
                    ->toolTip()
                    .startsWith("/dev/kinemo-speech-test-box"));
    for (const char* text :
         {kStatusNotConnected, kStatusConnecting, kStatusConnected, kStatusNoConnection}) {
        d.SetText(kConnectStatusId, QString::fromUtf8(text));
        platform::testing::ExpectTextsFit(d);
    }
}

TEST(SpeechConnectDialog, AFailedPortIsReportedAndTheChosenPortConnects) {
    simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
    const std::string boxDevice = box.Start();
    ASSERT_FALSE(boxDevice.empty()) << box.error();
    ScopedPortOverride com1("COM1", "/nonexistent/kinemo-no-such-port");
    ScopedPortOverride com3("COM3", boxDevice);
    Fixture f;

    f.Connect(0);
    EXPECT_EQ(f.lastPort, 1);
    EXPECT_EQ(f.dialog.Text(kConnectStatusId), QStringLiteral("Keine Verbindung zum Interface!\n"));
    EXPECT_EQ(testing::Told(f.messages),
              std::vector<std::string>{"KinemoSpeech: Verbindung zum Interface fehlgeschlagen!\n"});
    EXPECT_TRUE(f.dialog.isVisible());

    f.Connect(2);
    EXPECT_EQ(f.lastPort, 3);
    EXPECT_EQ(f.dialog.Text(kConnectStatusId),
              QStringLiteral("Verbindung zum Interface erfolgreich\n"));
    EXPECT_TRUE(f.dialog.Connected() && !f.dialog.isVisible() && f.port.isOpen());
    EXPECT_TRUE(box.WaitForTicks(1, std::chrono::seconds(5)));
    EXPECT_EQ(box.Snapshot().outputs, 0);  // the test exchange sends all-off
    EXPECT_EQ(f.messages.Requests().size(), 1U);
}

TEST(SpeechAboutDialog, TextsIconAndFit) {
    AboutDialog dialog;
    platform::testing::ExpectSameAsStored(
        platform::testing::ControlInventory(dialog),
        QStringLiteral(KINEMO_EXPECTED_DIR "/about_dialog_controls.txt"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Info über KinemoSpeech"));
    EXPECT_FALSE(dialog.windowIcon().isNull());
    platform::testing::ExpectTextsFit(dialog);
}

}  // namespace
}  // namespace kinemo::keyboard::ui
