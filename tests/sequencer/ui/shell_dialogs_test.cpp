// The application frame's dialogs: the about box and the connect dialog with
// the real driver binding behind it. (The about box opened from the main
// window: SequencerApp tests.)
#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <atomic>
#include <memory>
#include <string>

#include "platform/dialog_message.h"
#include "platform/dialog_scripted.h"
#include "sequencer/engine/interface_binding.h"
#include "sequencer/ui/about_dialog.h"
#include "sequencer/ui/connect_dialog.h"
#include "simulator/pseudo_terminal.h"
#include "simulator/simulated_box.h"
#include "tests/platform/dialog_test_support.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/wait_until.h"

namespace kinemo::ui {
namespace {

using kinemo::testing::ScopedPortOverride;
using platform::testing::ControlInventory;
using platform::testing::ExpectSameAsStored;
using platform::testing::ExpectTextsFit;

// The connect dialog wired to the real driver binding, as the program wires it.
struct Fixture {
    Fixture() {
        platform::testing::DialogTestApplication();
        ConnectDialogServices services;
        services.connect = [this](const std::string& port, const ConnectStatusSink& status) {
            lastPort = port;
            return engine::ConnectInterface(link, port, status);
        };
        services.messages = &messages;
        services.cancel = [this] { ++cancels; };
        services.workerChanged = [this](const platform::ThreadId* worker) {
            (worker != nullptr ? workerStarts : workerEnds)++;
        };
        dialog = std::make_unique<ConnectDialog>(std::move(services));
        dialog->show();
    }
    // Presses "Verbinden" on port `index` and waits for the attempt's end.
    bool Connect(int index) {
        dialog->ComboSetSelection(kPortChoiceId, index);
        dialog->Control<QPushButton>(platform::kIdOk)->click();
        EXPECT_FALSE(dialog->IsEnabled(platform::kIdOk));
        EXPECT_EQ(Status(), QStringLiteral("Baue Verbindung zum Interface auf...\n"));
        return testing::WaitUntil([this] { return !dialog->Connecting(); });
    }
    QString Status() const { return dialog->Text(kConnectStatusId); }

    engine::DriverLink link;
    std::string lastPort;
    platform::ScriptedMessageService messages;
    std::atomic<int> workerStarts{0};
    std::atomic<int> workerEnds{0};
    int cancels = 0;
    std::unique_ptr<ConnectDialog> dialog;
};

TEST(ShellDialogs, StartWithTheirControlsAndEveryPortItsDevice) {
    ScopedPortOverride com3("COM3", "/dev/kinemo-test-box");
    ScopedPortOverride lpt1("LPT1", "");
    Fixture f;
    AboutDialog about;
    ExpectSameAsStored(ControlInventory(about),
                       QStringLiteral(KINEMO_EXPECTED_DIR "/about_dialog_controls.txt"));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Info über Kinemo"));
    ExpectSameAsStored(ControlInventory(*f.dialog),
                       QStringLiteral(KINEMO_EXPECTED_DIR "/connect_dialog_controls.txt"));
    EXPECT_EQ(f.dialog->windowTitle(), QStringLiteral("Kinemo"));
    const QComboBox* ports = f.dialog->Control<QComboBox>(kPortChoiceId);
    EXPECT_TRUE(ports->itemData(2, Qt::ToolTipRole).toString().startsWith("/dev/kinemo-test-box"));
    EXPECT_TRUE(ports->itemData(4, Qt::ToolTipRole).toString().contains("KINEMO_PORT_LPT1"));
}

// Both dialogs at the system font and at fonts twice the size whose letters
// are wider or bolder; every status text of the connect dialog fits its
// one-line field, and showing one never resizes the window.
TEST(ShellDialogs, TextsFitAtTheSystemFontAndAtOthers) {
    Fixture f;
    AboutDialog about;
    for (const char* family : {"", "DejaVu Sans Mono", "DejaVu Serif"}) {
        QFont font = QApplication::font();
        if (*family != 0) {
            font = QFont(QString::fromLatin1(family), font.pointSize() * 2, QFont::Bold);
        }
        SCOPED_TRACE(font.toString().toStdString());
        about.setFont(font);
        ExpectTextsFit(about);
        f.dialog->setFont(font);
        ExpectTextsFit(*f.dialog);  // lays the window out at the new font
        const QSize size = f.dialog->size();
        for (const char* text :
             {kStatusConnecting, kStatusConnected, kStatusNoConnection, kStatusNotConnected}) {
            f.dialog->SetText(kConnectStatusId, QString::fromUtf8(text));
            ExpectTextsFit(*f.dialog);
            EXPECT_EQ(f.dialog->size(), size) << text;
        }
    }
}

// A missing device, then a line without a box (the open gives up after its
// time-out): refused, reported, dialog open, "Verbinden" usable again; then
// the simulated box: connected, the dialog closes.
TEST(ConnectDialog, FailedPortReportsStaysOpenAndRetriesOnTheRightPort) {
    simulator::PseudoTerminal silent;
    std::string error;
    ASSERT_TRUE(silent.Open(&error)) << error;
    simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
    const std::string boxDevice = box.Start();
    ASSERT_FALSE(boxDevice.empty());
    ScopedPortOverride com1("COM1", "/nonexistent/kinemo-no-such-port");
    ScopedPortOverride com2("COM2", silent.slavePath());
    ScopedPortOverride com4("COM4", boxDevice);
    Fixture f;
    for (const auto& [index, port] : {std::pair{0, "COM1"}, {1, "COM2"}}) {
        SCOPED_TRACE(port);
        ASSERT_TRUE(f.Connect(index));
        EXPECT_EQ(f.lastPort, port);
        EXPECT_EQ(f.Status(), QStringLiteral("Keine Verbindung zum Interface!\n"));
        ASSERT_EQ(f.messages.Requests().size(), static_cast<std::size_t>(index + 1));
        const platform::MessageRequest& shown = f.messages.Requests().back();
        EXPECT_EQ(shown.text, QStringLiteral("Verbindung fehlgeschlagen!\n"));
        EXPECT_EQ(platform::EffectiveCaption(shown), QStringLiteral("Kinemo"));
        EXPECT_EQ(shown.buttons, platform::MessageButtons::kOk);
        EXPECT_TRUE(f.dialog->isVisible() && f.dialog->IsEnabled(platform::kIdOk));
        EXPECT_FALSE(f.dialog->Connected());
    }
    ASSERT_TRUE(f.Connect(3));
    EXPECT_EQ(f.lastPort, "COM4");
    EXPECT_EQ(f.Status(), QStringLiteral("Verbindung zum Interface erfolgreich\n"));
    EXPECT_TRUE(f.dialog->Connected() && !f.dialog->isVisible());
    EXPECT_EQ(f.messages.Requests().size(), 2U);
    EXPECT_TRUE(testing::WaitUntil([&f] { return f.workerEnds == 3; }));
    EXPECT_EQ(f.workerStarts * 10 + f.cancels, 30);
}

TEST(ConnectDialog, CancelEscapeAndCloseBoxEndTheProgram) {
    Fixture f;
    f.dialog->Control<QPushButton>(platform::kIdCancel)->click();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(f.dialog.get(), &escape);
    EXPECT_EQ(f.cancels, 2);
    f.dialog->close();
    EXPECT_EQ(f.cancels, 3);
    EXPECT_TRUE(f.lastPort.empty());
}

}  // namespace
}  // namespace kinemo::ui
