#include "keyboard/ui/connect_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <atomic>
#include <memory>
#include <string>

#include "keyboard/interface_port.h"
#include "platform/dialog_message.h"
#include "platform/dialog_scripted.h"
#include "platform/serial_port.h"
#include "simulator/pseudo_terminal.h"
#include "simulator/simulated_box.h"
#include "tests/platform/dialog_test_support.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/wait_until.h"

namespace kinemo::keyboard::ui {
namespace {

using kinemo::testing::ScopedPortOverride;
using kinemo::ui::testing::WaitUntil;

// The dialog wired to a real InterfacePort, as the program wires it.
struct Fixture {
    // Short read time-outs keep the silent-line case quick; the rule is the
    // same as with the 400 ms of the box protocol.
    static platform::SerialTimeouts QuickTimeouts() {
        platform::SerialTimeouts t;
        t.readIntervalMs = t.readTotalMultiplierMs = t.readTotalConstantMs = 50;
        return t;
    }

    Fixture() : port(QuickTimeouts()) {
        ConnectDialogServices services;
        services.connect = [this](int number) {
            lastPort = number;
            ++attempts;
            return port.connect(number);
        };
        services.messages = &messages;
        services.cancel = [this] { ++cancels; };
        dialog = std::make_unique<ConnectDialog>(std::move(services));
        dialog->show();
    }
    void Choose(int index) { dialog->Control<QRadioButton>(kPortRadioFirstId + index)->click(); }
    void PressConnect() { dialog->Control<QPushButton>(platform::kIdOk)->click(); }
    bool WaitForResult() {
        return WaitUntil([this] { return !dialog->Connecting(); });
    }
    QString Status() const { return dialog->Text(kConnectStatusId); }

    InterfacePort port;
    platform::ScriptedMessageService messages;
    std::atomic<int> lastPort{0};
    std::atomic<int> attempts{0};
    int cancels = 0;
    std::unique_ptr<ConnectDialog> dialog;
};

// The dialog's own texts; the port tooltips and the result display are the
// dialog layer's, tested with the sequencer's connect dialog.
TEST(SpeechConnectDialog, StartsWithItsControlsAndEveryStatusFits) {
    ScopedPortOverride com3("COM3", "/dev/kinemo-speech-test-box");
    Fixture f;
    ConnectDialog& d = *f.dialog;
    platform::testing::ExpectSameAsStored(
        platform::testing::ControlInventory(d),
        QStringLiteral(KINEMO_EXPECTED_DIR "/connect_dialog_controls.txt"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("KinemoSpeech"));
    EXPECT_EQ(d.objectName(), QStringLiteral("129"));
    EXPECT_EQ(d.parentWidget(), nullptr);
    EXPECT_FALSE(d.windowIcon().isNull());
    EXPECT_TRUE(d.Control<QPushButton>(platform::kIdOk)->isDefault());
    EXPECT_TRUE(d.Control<QRadioButton>(kPortRadioFirstId + 2)
                    ->toolTip()
                    .startsWith("/dev/kinemo-speech-test-box"));
    for (const char* text :
         {kStatusNotConnected, kStatusConnecting, kStatusConnected, kStatusNoConnection}) {
        d.SetText(kConnectStatusId, QString::fromUtf8(text));
        platform::testing::ExpectTextsFit(d);
    }
}

TEST(SpeechConnectDialog, FailuresReportAndKeepTheDialogOpenUntilTheBoxAnswers) {
    simulator::PseudoTerminal silent;  // a line on which nothing answers
    std::string error;
    ASSERT_TRUE(silent.Open(&error)) << error;
    simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
    const std::string boxDevice = box.Start();
    ASSERT_FALSE(boxDevice.empty()) << box.error();
    ScopedPortOverride com1("COM1", "/nonexistent/kinemo-no-such-port");
    ScopedPortOverride com2("COM2", silent.slavePath());
    ScopedPortOverride com3("COM3", boxDevice);
    Fixture f;

    struct Step {
        int radio;
        bool connects;
    };
    // A missing device, a line without a box, then the simulated box.
    const Step steps[] = {{0, false}, {1, false}, {2, true}};
    std::size_t boxes = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.radio);
        f.Choose(step.radio);
        f.PressConnect();
        EXPECT_EQ(f.Status(), QString::fromUtf8(kStatusConnecting));
        EXPECT_FALSE(f.dialog->IsEnabled(platform::kIdOk));
        ASSERT_TRUE(f.WaitForResult());
        EXPECT_EQ(f.lastPort, step.radio + 1);
        EXPECT_EQ(f.dialog->Connected(), step.connects);
        EXPECT_EQ(f.dialog->isVisible(), !step.connects);
        if (step.connects) {
            EXPECT_EQ(f.Status(), QString::fromUtf8(kStatusConnected));
            break;
        }
        EXPECT_EQ(f.Status(), QString::fromUtf8(kStatusNoConnection));
        EXPECT_TRUE(f.dialog->IsEnabled(platform::kIdOk));
        ASSERT_EQ(f.messages.Requests().size(), ++boxes);
        const platform::MessageRequest& request = f.messages.Requests().back();
        EXPECT_EQ(request.text, QStringLiteral("Verbindung zum Interface fehlgeschlagen!\n"));
        EXPECT_EQ(platform::EffectiveCaption(request), QStringLiteral("KinemoSpeech"));
        EXPECT_EQ(request.buttons, platform::MessageButtons::kOk);
    }
    EXPECT_EQ(f.messages.Requests().size(), 2U);
    EXPECT_EQ(f.attempts, 3);
    EXPECT_TRUE(f.port.isOpen());
    EXPECT_TRUE(box.WaitForTicks(1, std::chrono::seconds(5)));
    EXPECT_EQ(box.Snapshot().outputs, 0);  // the test exchange sends all-off
    EXPECT_EQ(f.cancels, 0);
}

TEST(SpeechConnectDialog, CancelEscapeAndCloseBoxEndTheProgram) {
    Fixture f;
    f.dialog->Control<QPushButton>(platform::kIdCancel)->click();
    EXPECT_EQ(f.cancels, 1);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(f.dialog.get(), &escape);
    EXPECT_EQ(f.cancels, 2);
    f.dialog->close();
    EXPECT_EQ(f.cancels, 3);
    EXPECT_EQ(f.attempts, 0);
}

}  // namespace
}  // namespace kinemo::keyboard::ui
