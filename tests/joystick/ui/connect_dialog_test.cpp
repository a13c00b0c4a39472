// The connect dialog with a virtual joystick, scripted boxes and the real
// driver against the simulated box: the joystick check, every kind of
// settings file it meets, the automatic connection and the user's choice.
#include "joystick/ui/connect_dialog.h"

#include <QLabel>
#include <QTimer>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <tuple>

#include "joystick/joy_connect.h"
#include "joystick/joy_texts.h"
#include "joystick/settings_file.h"
#include "joystick/ui/main_dialog_ids.h"
#include "simulator/simulated_box.h"
#include "tests/joystick/ui/joy_window_test_support.h"
#include "tests/platform/scoped_port_override.h"

namespace kinemo::joy::ui::testing {
namespace {

using platform::MessageButtons;
using platform::MessageResult;

// The connect dialog as the program wires it, on a fresh settings folder,
// with the simulated box on COM1 and nothing on COM3.
class ConnectRig {
  public:
    ConnectRig() {
        device_ = box_.Start();
        EXPECT_FALSE(device_.empty()) << box_.error();
        com1_ = std::make_unique<kinemo::testing::ScopedPortOverride>("COM1", device_);
    }
    ~ConnectRig() { box_.Stop(); }

    std::string SettingsPath() const { return folder_.File("settings.kmj"); }
    platform::JoystickCaps Caps() const { return stick_.Caps(); }

    // Runs the dialog; `user` acts once the dialog shows (never, when it
    // connects by itself).
    ConnectOutcome Run(std::function<void(ConnectDialog&)> user = {}) {
        ConnectDialogServices services;
        services.probeJoystick = [this]() -> std::optional<platform::JoystickCaps> {
            platform::JoystickPosition position;
            if (joystickMissing > 0) {
                --joystickMissing;
                return std::nullopt;
            }
            if (stick_.Source().Read(position) != ReadResult::kOk) {
                return std::nullopt;
            }
            return stick_.Caps();
        };
        services.open = [this](const JoySettings& chosen) {
            ++attempts;
            return ConnectInterface(link, chosen, nullptr);
        };
        services.messages = &messages;
        services.settingsPath = SettingsPath();
        dialog = std::make_unique<ConnectDialog>(settings, std::move(services));
        QTimer::singleShot(0, dialog.get(), [this, user] {
            shown = dialog->isVisible();
            if (user) {
                user(*dialog);
            }
        });
        return dialog->Run();
    }

    TestStick stick_{{4, 6, 1}};
    simulator::SimulatedBox box_{simulator::SimulatedBoxOptions::FastLine()};
    std::string device_;
    std::unique_ptr<kinemo::testing::ScopedPortOverride> com1_;
    kinemo::testing::ScopedPortOverride com3_{"COM3", "/nonexistent/kinemo-no-such-port"};
    TempFolder folder_;
    DriverLink link;
    JoySettings settings;
    platform::ScriptedMessageService messages;
    std::unique_ptr<ConnectDialog> dialog;
    int joystickMissing = 0;
    int attempts = 0;
    bool shown = false;
};

// Chooses a port and the module, then presses "Verbinden".
std::function<void(ConnectDialog&)> ConnectOn(int portPosition, bool extension) {
    return [portPosition, extension](ConnectDialog& d) {
        Choose(d, kIdPortList, portPosition);
        if (d.IsChecked(kIdExtension) != extension) {
            Click(d, kIdExtension);
        }
        Click(d, kIdConnect);
    };
}

std::function<void(ConnectDialog&)> Cancel() {
    return [](ConnectDialog& d) { Click(d, kIdCancel); };
}

std::vector<std::uint8_t> UsableFile(const platform::JoystickCaps& caps, int port, bool extension,
                                     int storedButtons) {
    JoySettings stored;
    TakeJoystickCaps(stored, caps);
    stored.joystickButtons = static_cast<std::uint8_t>(storedButtons);
    stored.portNumber = port;
    SetExtensionModule(stored, extension);
    ResetSettings(stored);
    const SettingsBytes bytes = EncodeSettings(stored);
    return {bytes.begin(), bytes.end()};
}

TEST(JoyConnectDialog, FillsThePortListWithDeviceTooltipsAndStartsUnconnected) {
    ConnectRig rig;
    const ConnectOutcome outcome = rig.Run([](ConnectDialog& d) {
        EXPECT_EQ(ComboTexts(d, kIdPortList), PortListTexts());
        EXPECT_EQ(d.ComboSelection(kIdPortList), 0);
        EXPECT_FALSE(d.IsChecked(kIdExtension));
        EXPECT_EQ(Text(d, kIdConnectStatus), kNotConnectedText);
        auto* ports = d.Control<QComboBox>(kIdPortList);
        EXPECT_TRUE(ports->itemData(0, Qt::ToolTipRole).toString().contains(QStringLiteral("/")));
        // Every status text fits its field.
        auto* status = d.Control<QLabel>(kIdConnectStatus);
        for (const char* text :
             {kNotConnectedText, kConnectingText, kConnectedText, kNoConnectionText}) {
            EXPECT_LE(status->fontMetrics().horizontalAdvance(QString::fromUtf8(text).trimmed()),
                      status->width())
                << text;
        }
        Click(d, kIdCancel);
    });
    EXPECT_EQ(outcome, ConnectOutcome::kCancelled);
    EXPECT_EQ(rig.dialog->windowTitle().toStdString(), "KinemoJoy");
}

// What the dialog does with each kind of settings file the header read
// tells apart: which boxes it shows, whether it waits for the user, and the
// interface kind it connects with (0: none).
TEST(JoyConnectDialog, SettingsFileCases) {
    enum class File { kNone, kDeleted, kForeign, kSameJoystick, kOtherJoystick };
    enum class User { kNothing, kCancel, kEscape, kCloseBox, kConnect, kConnectWithModule };
    struct Case {
        const char* name;
        File file;
        std::vector<MessageResult> answers;
        User user;
        ConnectOutcome outcome;
        const char* boxes;  // F the foreign-file warning, J joystick found, O another joystick
        std::int32_t kind;
    };
    const Case cases[] = {
        {"first start",
         File::kNone,
         {},
         User::kConnectWithModule,
         ConnectOutcome::kConnected,
         "J",
         2},
        {"first start, Escape", File::kNone, {}, User::kEscape, ConnectOutcome::kCancelled, "J", 0},
        {"first start, close box",
         File::kNone,
         {},
         User::kCloseBox,
         ConnectOutcome::kCancelled,
         "J",
         0},
        {"deleted", File::kDeleted, {}, User::kConnect, ConnectOutcome::kConnected, "J", 1},
        {"foreign, OK",
         File::kForeign,
         {MessageResult::kOk},
         User::kCancel,
         ConnectOutcome::kCancelled,
         "FJ",
         0},
        {"foreign, Cancel",
         File::kForeign,
         {MessageResult::kCancel},
         User::kNothing,
         ConnectOutcome::kSettingsRefused,
         "F",
         0},
        {"same joystick",
         File::kSameJoystick,
         {},
         User::kNothing,
         ConnectOutcome::kConnected,
         "",
         2},
        {"another joystick",
         File::kOtherJoystick,
         {},
         User::kNothing,
         ConnectOutcome::kConnected,
         "O",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectRig rig;
        const platform::JoystickCaps caps = rig.Caps();
        const std::map<File, std::vector<std::uint8_t>> files = {
            {File::kDeleted, Bytes(kDeletedFileText)},
            {File::kForeign, Bytes("KMJ13 older")},
            {File::kSameJoystick, UsableFile(caps, 1, true, static_cast<int>(caps.buttons))},
            {File::kOtherJoystick, UsableFile(caps, 1, false, 12)},
        };
        if (c.file != File::kNone) {
            WriteFileBytes(rig.SettingsPath(), files.at(c.file));
        }
        for (const MessageResult answer : c.answers) {
            rig.messages.Answer(answer);
        }
        std::function<void(ConnectDialog&)> user;
        if (c.user == User::kCancel) {
            user = Cancel();
        } else if (c.user == User::kEscape) {
            user = [](ConnectDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); };
        } else if (c.user == User::kCloseBox) {
            user = [](ConnectDialog& d) { d.close(); };
        } else if (c.user != User::kNothing) {
            user = ConnectOn(0, c.user == User::kConnectWithModule);
        }
        const ConnectOutcome outcome = rig.Run(user);
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(rig.shown, c.user != User::kNothing);
        EXPECT_EQ(rig.attempts, c.kind != 0 ? 1 : 0);
        EXPECT_EQ(rig.messages.PendingAnswers(), 0U);
        const std::map<char, std::tuple<std::string, std::string, MessageButtons>> boxes = {
            {'F', {kForeignFileText, kForeignFileCaption, MessageButtons::kOkCancel}},
            {'J', {JoystickFoundText(caps), kJoystickFoundCaption, MessageButtons::kOk}},
            {'O', {OtherJoystickText(caps), kOtherJoystickCaption, MessageButtons::kOk}},
        };
        ASSERT_EQ(rig.messages.Requests().size(), std::strlen(c.boxes));
        for (std::size_t i = 0; c.boxes[i] != 0; ++i) {
            const platform::MessageRequest& r = rig.messages.Requests()[i];
            const auto& [text, caption, buttons] = boxes.at(c.boxes[i]);
            EXPECT_EQ(r.text.toStdString(), text);
            EXPECT_EQ(r.caption.toStdString(), caption);
            EXPECT_EQ(r.buttons, buttons);
        }
        EXPECT_EQ(GetInterfaceKind(&rig.link.Record()), c.kind);
        if (outcome == ConnectOutcome::kConnected) {
            EXPECT_EQ(Text(*rig.dialog, kIdConnectStatus), kConnectedText);
            EXPECT_EQ(rig.settings.motorCount, c.kind == 2 ? 8U : 4U);
            EXPECT_EQ(rig.settings.joystickButtons, caps.buttons);
            rig.link.Close();
        }
    }
    EXPECT_EQ(ExitCodeOf(ConnectOutcome::kSettingsRefused), 2);
}

TEST(JoyConnectDialog, AFailedAutomaticConnectionShowsTheStoredChoiceAndWaits) {
    ConnectRig rig;
    WriteFileBytes(rig.SettingsPath(),
                   UsableFile(rig.Caps(), 3, true, static_cast<int>(rig.Caps().buttons)));
    const ConnectOutcome outcome = rig.Run([&rig](ConnectDialog& d) {
        EXPECT_EQ(rig.attempts, 1);
        EXPECT_EQ(Text(d, kIdConnectStatus), kNoConnectionText);
        EXPECT_EQ(d.Control<QComboBox>(kIdPortList)->currentText().toStdString(), "COM3");
        EXPECT_TRUE(d.IsChecked(kIdExtension));
        ConnectOn(0, true)(d);
    });
    EXPECT_EQ(outcome, ConnectOutcome::kConnected);
    EXPECT_EQ(rig.attempts, 2);
    ASSERT_EQ(rig.messages.Requests().size(), 1U);
    EXPECT_EQ(rig.messages.Requests()[0].text.toStdString(), kConnectFailedBoxText);
    EXPECT_EQ(rig.messages.Requests()[0].caption.toStdString(), "KinemoJoy");
    EXPECT_EQ(rig.settings.portNumber, 1);
    EXPECT_EQ(GetInterfaceKind(&rig.link.Record()), 2);
    rig.link.Close();
}

TEST(JoyConnectDialog, NoJoystickAsksRetryOrCancel) {
    struct Case {
        std::vector<MessageResult> answers;
        int missingReads;
        ConnectOutcome outcome;
        int boxes;
    };
    const Case cases[] = {
        {{MessageResult::kCancel}, 5, ConnectOutcome::kNoJoystick, 1},
        {{MessageResult::kRetry, MessageResult::kRetry, MessageResult::kCancel},
         5,
         ConnectOutcome::kNoJoystick,
         3},
        // Plugged in while the box was open: Retry finds it and goes on.
        {{MessageResult::kRetry}, 1, ConnectOutcome::kCancelled, 2},
    };
    for (const Case& c : cases) {
        ConnectRig rig;
        rig.joystickMissing = c.missingReads;
        for (const MessageResult answer : c.answers) {
            rig.messages.Answer(answer);
        }
        const ConnectOutcome outcome = rig.Run(Cancel());
        EXPECT_EQ(outcome, c.outcome);
        ASSERT_EQ(rig.messages.Requests().size(), static_cast<std::size_t>(c.boxes));
        const platform::MessageRequest& box = rig.messages.Requests()[0];
        EXPECT_EQ(box.text.toStdString(), kNoJoystickText);
        EXPECT_EQ(box.caption.toStdString(), kNoJoystickCaption);
        EXPECT_EQ(box.buttons, MessageButtons::kRetryCancel);
        EXPECT_EQ(rig.attempts, 0);
    }
    EXPECT_EQ(ExitCodeOf(ConnectOutcome::kNoJoystick), 1);
}

}  // namespace
}  // namespace kinemo::joy::ui::testing
