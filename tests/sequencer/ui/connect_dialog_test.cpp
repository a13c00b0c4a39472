#include "sequencer/ui/connect_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <memory>
#include <string>

#include "platform/dialog_message.h"
#include "platform/dialog_scripted.h"
#include "sequencer/engine/interface_binding.h"
#include "simulator/pseudo_terminal.h"
#include "simulator/simulated_box.h"
#include "tests/platform/dialog_test_support.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/shell_test_support.h"

namespace kinemo::ui {
namespace {

using testing::TestApplication;
using testing::WaitUntil;

// The real driver binding behind the dialog, as the program wires it.
class DriverConnection {
  public:
    ConnectFunction Function() {
        return [this](const std::string& port, const ConnectStatusSink& status) {
            ++attempts_;
            lastPort_ = port;
            return engine::ConnectInterface(link_, port, status);
        };
    }
    std::atomic<int> attempts_{0};
    std::string lastPort_;

  private:
    engine::DriverLink link_;
};

struct Fixture {
    Fixture() {
        TestApplication();
        ConnectDialogServices services;
        services.connect = driver.Function();
        services.messages = &messages;
        services.cancel = [this] { ++cancels; };
        services.workerChanged = [this](const platform::ThreadId* worker) {
            (worker != nullptr ? workerStarts : workerEnds)++;
        };
        dialog = std::make_unique<ConnectDialog>(std::move(services));
        dialog->show();
    }
    void Choose(int index) { dialog->ComboSetSelection(kPortChoiceId, index); }
    void PressConnect() { dialog->Control<QPushButton>(platform::kIdOk)->click(); }
    bool WaitForResult() {
        return WaitUntil([this] { return !dialog->Connecting(); });
    }
    QString Status() const { return dialog->Text(kConnectStatusId); }

    DriverConnection driver;
    platform::ScriptedMessageService messages;
    std::atomic<int> workerStarts{0};
    std::atomic<int> workerEnds{0};
    int cancels = 0;
    std::unique_ptr<ConnectDialog> dialog;
};

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

// Every status text fits its one-line field at every font, and showing one
// never resizes the window.
TEST(ConnectDialog, TextsFitEveryStatusAtEveryFont) {
    Fixture f;
    ConnectDialog& d = *f.dialog;
    for (const char* family : {"", "DejaVu Sans Mono", "DejaVu Serif"}) {
        QFont font = QApplication::font();
        if (*family != 0) {
            font = QFont(QString::fromLatin1(family), font.pointSize() * 2, QFont::Bold);
        }
        d.setFont(font);
        SCOPED_TRACE(font.toString().toStdString());
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

    // A missing device: refused, reported, dialog open, "Verbinden" usable again.
    f.PressConnect();
    EXPECT_FALSE(f.dialog->IsEnabled(platform::kIdOk));
    ASSERT_TRUE(f.WaitForResult());
    EXPECT_EQ(f.driver.lastPort_, "COM1");
    EXPECT_EQ(f.Status(), QStringLiteral("Keine Verbindung zum Interface!\n"));
    ASSERT_EQ(f.messages.Requests().size(), 1U);
    const platform::MessageRequest& box1 = f.messages.Requests()[0];
    EXPECT_EQ(box1.text, QStringLiteral("Verbindung fehlgeschlagen!\n"));
    EXPECT_EQ(platform::EffectiveCaption(box1), QStringLiteral("Kinemo"));
    EXPECT_EQ(box1.buttons, platform::MessageButtons::kOk);
    EXPECT_TRUE(f.dialog->isVisible());
    EXPECT_TRUE(f.dialog->IsEnabled(platform::kIdOk));
    EXPECT_FALSE(f.dialog->Connected());

    // A line without a box: the open gives up after its time-out.
    f.Choose(1);
    f.PressConnect();
    ASSERT_TRUE(f.WaitForResult());
    EXPECT_EQ(f.driver.lastPort_, "COM2");
    EXPECT_EQ(f.Status(), QStringLiteral("Keine Verbindung zum Interface!\n"));
    EXPECT_EQ(f.messages.Requests().size(), 2U);
    EXPECT_TRUE(f.dialog->isVisible());

    // The simulated box: connected, the dialog closes.
    f.Choose(3);
    f.PressConnect();
    ASSERT_TRUE(f.WaitForResult());
    EXPECT_EQ(f.driver.lastPort_, "COM4");
    EXPECT_EQ(f.Status(), QStringLiteral("Verbindung zum Interface erfolgreich\n"));
    EXPECT_TRUE(f.dialog->Connected());
    EXPECT_FALSE(f.dialog->isVisible());
    EXPECT_EQ(f.messages.Requests().size(), 2U);
    EXPECT_EQ(f.messages.UnscriptedCount(), 2);  // the two OK-only boxes, answered as closed
    EXPECT_EQ(f.driver.attempts_, 3);
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
    EXPECT_EQ(f.driver.attempts_, 0);
}

TEST(ConnectDialog, StatusTextsOfTheWorkerArriveOnTheDialogThread) {
    TestApplication();
    platform::ScriptedMessageService messages;
    std::atomic<bool> release{false};
    ConnectDialogServices services;
    services.messages = &messages;
    services.connect = [&release](const std::string&, const ConnectStatusSink& status) {
        status(kStatusConnecting);
        while (!release) {
            std::this_thread::yield();
        }
        return true;
    };
    ConnectDialog dialog(std::move(services));
    dialog.show();
    bool connectedSignal = false;
    QObject::connect(&dialog, &ConnectDialog::connectedToInterface,
                     [&connectedSignal] { connectedSignal = true; });
    dialog.Control<QPushButton>(platform::kIdOk)->click();
    EXPECT_TRUE(WaitUntil([&dialog] {
        return dialog.Text(kConnectStatusId) == QString::fromUtf8(kStatusConnecting);
    }));
    EXPECT_TRUE(dialog.Connecting());
    // A second press while the attempt runs starts nothing.
    dialog.Control<QPushButton>(platform::kIdOk)->click();
    release = true;
    ASSERT_TRUE(WaitUntil([&dialog] { return dialog.Connected(); }));
    EXPECT_TRUE(connectedSignal);
    EXPECT_TRUE(messages.Requests().empty());
}

}  // namespace
}  // namespace kinemo::ui
