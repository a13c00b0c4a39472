// The application frame's dialogs: the about box and the connect dialog with
// the real driver binding behind it. Opening the about box from the main
// window and closing it with OK: SequencerApp tests.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
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
#include "tests/sequencer/ui/shell_test_support.h"

namespace kinemo::ui {
namespace {

using testing::TestApplication;
using testing::WaitUntil;

// The connect dialog wired to the real driver binding, as the program wires it.
struct Fixture {
    Fixture() {
        TestApplication();
        ConnectDialogServices services;
        services.connect = [this](const std::string& port, const ConnectStatusSink& status) {
            ++attempts;
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
        return WaitUntil([this] { return !dialog->Connecting(); });
    }
    QString Status() const { return dialog->Text(kConnectStatusId); }

    engine::DriverLink link;
    std::atomic<int> attempts{0};
    std::string lastPort;
    platform::ScriptedMessageService messages;
    std::atomic<int> workerStarts{0};
    std::atomic<int> workerEnds{0};
    int cancels = 0;
    std::unique_ptr<ConnectDialog> dialog;
};

TEST(AboutDialog, ShowsItsTextsAndTheProgramIcon) {
    TestApplication();
    AboutDialog dialog;
    platform::testing::ExpectSameAsStored(
        platform::testing::ControlInventory(dialog),
        QStringLiteral(KINEMO_EXPECTED_DIR "/about_dialog_controls.txt"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Info über Kinemo"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("100"));
    EXPECT_EQ(dialog.Control<QLabel>(kAboutIconId)->pixmap().size(), QSize(32, 32));
    EXPECT_FALSE(dialog.windowIcon().isNull());
}

TEST(ConnectDialog, StartsWithItsControlsAndEveryPortItsDevice) {
    kinemo::testing::ScopedPortOverride com3("COM3", "/dev/kinemo-test-box");
    kinemo::testing::ScopedPortOverride lpt1("LPT1", "");
    Fixture f;
    ConnectDialog& d = *f.dialog;
    platform::testing::ExpectSameAsStored(
        platform::testing::ControlInventory(d),
        QStringLiteral(KINEMO_EXPECTED_DIR "/connect_dialog_controls.txt"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Kinemo"));
    EXPECT_EQ(d.objectName(), QStringLiteral("129"));
    EXPECT_EQ(d.parentWidget(), nullptr);
    const QComboBox* ports = d.Control<QComboBox>(kPortChoiceId);
    EXPECT_TRUE(ports->itemData(2, Qt::ToolTipRole).toString().startsWith("/dev/kinemo-test-box"));
    EXPECT_TRUE(ports->itemData(4, Qt::ToolTipRole).toString().contains("KINEMO_PORT_LPT1"));
    EXPECT_TRUE(d.Control<QPushButton>(platform::kIdOk)->isDefault());
    EXPECT_TRUE(d.Control<QLabel>(kConnectStatusId)->alignment() & Qt::AlignRight);
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
        platform::testing::ExpectTextsFit(about);
        ConnectDialog& d = *f.dialog;
        d.setFont(font);
        platform::testing::ExpectTextsFit(d);
        const QSize size = d.size();
        for (const char* text :
             {kStatusConnecting, kStatusConnected, kStatusNoConnection, kStatusNotConnected}) {
            d.SetText(kConnectStatusId, QString::fromUtf8(text));
            platform::testing::ExpectTextsFit(d);
            EXPECT_EQ(d.size(), size) << text;
        }
    }
}

TEST(ConnectDialog, FailedPortReportsStaysOpenAndRetriesOnTheRightPort) {
    simulator::PseudoTerminal silent;  // a line on which nothing answers
    std::string error;
    ASSERT_TRUE(silent.Open(&error)) << error;
    simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
    const std::string boxDevice = box.Start();
    ASSERT_FALSE(boxDevice.empty());
    kinemo::testing::ScopedPortOverride com1("COM1", "/nonexistent/kinemo-no-such-port");
    kinemo::testing::ScopedPortOverride com2("COM2", silent.slavePath());
    kinemo::testing::ScopedPortOverride com4("COM4", boxDevice);
    Fixture f;

    // A missing device, then a line without a box (the open gives up after
    // its time-out): refused, reported, dialog open, "Verbinden" usable again.
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
        EXPECT_TRUE(f.dialog->isVisible());
        EXPECT_TRUE(f.dialog->IsEnabled(platform::kIdOk));
        EXPECT_FALSE(f.dialog->Connected());
    }
    // The simulated box: connected, the dialog closes.
    ASSERT_TRUE(f.Connect(3));
    EXPECT_EQ(f.lastPort, "COM4");
    EXPECT_EQ(f.Status(), QStringLiteral("Verbindung zum Interface erfolgreich\n"));
    EXPECT_TRUE(f.dialog->Connected());
    EXPECT_FALSE(f.dialog->isVisible());
    EXPECT_EQ(f.messages.Requests().size(), 2U);
    EXPECT_EQ(f.messages.UnscriptedCount(), 2);  // the two OK-only boxes, answered as closed
    EXPECT_EQ(f.attempts, 3);
    EXPECT_TRUE(WaitUntil([&f] { return f.workerEnds == 3; }));
    EXPECT_EQ(f.workerStarts, 3);
    EXPECT_EQ(f.cancels, 0);
}

TEST(ConnectDialog, CancelEscapeAndCloseBoxEndTheProgram) {
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
}  // namespace kinemo::ui
