// The application frame: the about box, from the main window too, and the
// connect dialog with the real driver binding behind it, opened beside the
// main window, whose cancel ends the event loop; and the program as a process.
#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <atomic>

#include "platform/dialog_scripted.h"
#include "sequencer/ui/about_dialog.h"
#include "sequencer/ui/main_dialog.h"
#include "sequencer/ui/main_dialog_ids.h"
#include "sequencer/ui/sequencer_app.h"
#include "simulator/pseudo_terminal.h"
#include "simulator/simulated_box.h"
#include "tests/platform/dialog_test_support.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/wait_until.h"
#include "tests/tools/cli_process.h"

namespace kinemo::ui {
namespace {

using kinemo::testing::ScopedPortOverride;
using platform::testing::ControlInventory;
using platform::testing::ExpectSameAsStored;
using platform::testing::ExpectTextsFit;

// The connect dialog wired to the real driver binding, as the program wires it.
struct Fixture {
    Fixture() {
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
    ExpectSameAsStored(ControlInventory(*f.dialog),
                       QStringLiteral(KINEMO_EXPECTED_DIR "/connect_dialog_controls.txt"));
    EXPECT_EQ(about.windowTitle() + f.dialog->windowTitle(),
              QStringLiteral("Info über KinemoKinemo"));
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

// A line without a box (the open gives up after its time-out; a missing
// device: interface_binding_test): refused, reported, dialog open,
// "Verbinden" usable again; then the simulated box: connected, the dialog
// closes.
TEST(ConnectDialog, FailedPortReportsStaysOpenAndRetriesOnTheRightPort) {
    simulator::PseudoTerminal silent;
    std::string error;
    ASSERT_TRUE(silent.Open(&error)) << error;
    simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
    ScopedPortOverride com2("COM2", silent.slavePath());
    ScopedPortOverride com4("COM4", box.Start());
    Fixture f;
    ASSERT_TRUE(f.Connect(1));
    ASSERT_EQ(f.messages.Requests().size(), 1u);
    const platform::MessageRequest& shown = f.messages.Requests()[0];
    EXPECT_EQ(QString::fromStdString(f.lastPort) + " " + f.Status() + shown.text +
                  platform::EffectiveCaption(shown) +
                  (shown.buttons == platform::MessageButtons::kOk ? " OK" : ""),
              "COM2 Keine Verbindung zum Interface!\nVerbindung fehlgeschlagen!\nKinemo OK");
    EXPECT_TRUE(f.dialog->isVisible() && f.dialog->IsEnabled(platform::kIdOk) &&
                !f.dialog->Connected());
    ASSERT_TRUE(f.Connect(3));
    EXPECT_EQ(QString::fromStdString(f.lastPort) + " " + f.Status(),
              QStringLiteral("COM4 Verbindung zum Interface erfolgreich\n"));
    EXPECT_TRUE(f.dialog->Connected() && !f.dialog->isVisible());
    EXPECT_TRUE(testing::WaitUntil([&f] { return f.workerEnds == 2; }));
    EXPECT_EQ(std::tuple(f.messages.Requests().size(), f.workerStarts.load(), f.cancels),
              std::tuple(1u, 2, 0));
}

TEST(ConnectDialog, CancelEscapeAndCloseBoxEndTheProgram) {
    Fixture f;
    f.dialog->Control<QPushButton>(platform::kIdCancel)->click();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(f.dialog.get(), &escape);
    f.dialog->close();
    EXPECT_EQ(f.cancels, 3);
    EXPECT_TRUE(f.lastPort.empty());
}

// How many modal about boxes `open` showed, each closed with its OK button.
int OpenAndCloseAbout(const std::function<void()>& open) {
    int seen = 0;
    QTimer::singleShot(0, [&seen] {
        if (auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget())) {
            ++seen;
            about->Control<QPushButton>(platform::kIdOk)->click();
        }
    });
    open();
    return seen;
}

// The sequencer's frame with a link never opened (exchanges do nothing) and a
// connect that always fails: both windows side by side, the about box from
// the credit button and from the context menu, and "Abbrechen" ends the loop.
TEST(SequencerApp, ConnectDialogBesideTheMainWindowAboutBoxAndCancelEndsTheLoop) {
    engine::DriverLink link;
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
    SequencerApp app({.link = &link,
                      .connect = [](const std::string&, const ConnectStatusSink&) { return false; },
                      .messages = &messages,
                      .files = &files});
    bool bothShown = false;
    int abouts = 0;
    // Queued to run in the loop Exec starts; should it miss, the guard ends
    // whatever modal loop is left.
    QTimer::singleShot(0, [&] {
        MainDialog& main = app.Main();
        ConnectDialog& connect = app.Connect();
        bothShown = main.isVisible() && connect.isVisible() && !main.isModal() &&
                    !connect.isModal() && connect.parentWidget() == nullptr &&
                    connect.x() >= main.frameGeometry().right();
        abouts += OpenAndCloseAbout([&main] { main.Control<QPushButton>(kIdCredit)->click(); });
        auto* entry = main.ContextMenu()->findChild<QAction*>(QString::number(kCommandAbout));
        EXPECT_EQ(entry->text(), QStringLiteral("Inf&o über Kinemo..."));
        abouts += OpenAndCloseAbout([entry] { entry->trigger(); });
        connect.Control<QPushButton>(platform::kIdCancel)->click();
    });
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
        QCoreApplication::exit(1);
    });
    guard.start(20000);
    const int result = app.Exec();
    EXPECT_EQ(std::tuple(result, bothShown, abouts, app.Main().windowIcon().isNull()),
              std::tuple(0, true, 2, false));
}

// The program with a scripted user (shell_probe_main.cpp), ended mid-run by
// the user and by the system: exit code 0 and every motor off. (Escape, which
// closes the main window as "Ende" does: main_dialog_test.)
TEST(SequencerProgram, EveryWayOutEndsWithZeroAndTheMotorsOff) {
    for (const char* action : {"end-run", "signal-run"}) {
        SCOPED_TRACE(action);
        simulator::SimulatedBox box;
        const std::string device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
        const auto ended = cli::test::RunProcess({KINEMO_SHELL_PROBE}, ::testing::TempDir(),
                                                 {{"KINEMO_PROBE_ACTION", action},
                                                  {"KINEMO_PORT_COM1", device},
                                                  {"QT_QPA_PLATFORM", "offscreen"}});
        EXPECT_EQ(ended.exitCode, 0) << ended;
        EXPECT_EQ(std::pair(box.Snapshot().motors[0].onTicks > 0, box.Snapshot().outputs),
                  std::pair(true, std::uint16_t{0}));  // M1 did turn, and is off
    }
}

}  // namespace
}  // namespace kinemo::ui
