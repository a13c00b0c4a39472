// The connect dialog with a virtual joystick, scripted boxes and the real
// driver against the simulated box: the joystick check, every kind of
// settings file it meets, the automatic connection and the user's choice.
#include "joystick/ui/connect_dialog.h"

#include <QLabel>
#include <QTimer>
#include <functional>
#include <map>
#include <optional>
#include <tuple>

#include "joystick/joy_connect.h"
#include "joystick/joy_texts.h"
#include "joystick/settings_file.h"
#include "joystick/ui/main_dialog_ids.h"
#include "simulator/simulated_box.h"
#include "tests/joystick/joy_test_support.h"
#include "tests/joystick/ui/joy_window_test_support.h"
#include "tests/platform/scoped_port_override.h"

namespace kinemo::joy::ui::testing {
namespace {

using platform::MessageButtons;
using User = std::function<void(ConnectDialog&)>;

// The connect dialog as the program wires it, on a fresh settings folder,
// with the simulated box on COM1 and nothing on COM3.
class ConnectRig {
  public:
    ConnectRig() : device_(box_.Start()), com1_("COM1", device_) {
        EXPECT_FALSE(device_.empty()) << box_.error();
    }

    std::string SettingsPath() const { return folder_.File("settings.kmj"); }
    platform::JoystickCaps Caps() const { return stick_.Caps(); }

    // Runs the dialog; once it shows (never, when it connects by itself) the
    // port list names each port's device in its tooltip, every status text
    // fits its field, and `user` acts.
    ConnectOutcome Run(User user = {}) {
        ConnectDialogServices services;
        services.probeJoystick = [this]() -> std::optional<platform::JoystickCaps> {
            platform::JoystickPosition position;
            const bool missing = joystickMissing-- > 0;
            if (missing || stick_.Source().Read(position) != ReadResult::kOk) {
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
            const QVariant tip =
                dialog->Control<QComboBox>(kIdPortList)->itemData(0, Qt::ToolTipRole);
            EXPECT_TRUE(tip.toString().contains(QStringLiteral("/")));
            auto* status = dialog->Control<QLabel>(kIdConnectStatus);
            for (const char* text :
                 {kNotConnectedText, kConnectingText, kConnectedText, kNoConnectionText}) {
                EXPECT_LE(
                    status->fontMetrics().horizontalAdvance(QString::fromUtf8(text).trimmed()),
                    status->width())
                    << text;
            }
            if (user) {
                user(*dialog);
            }
        });
        return dialog->Run();
    }

    TestStick stick_;
    simulator::SimulatedBox box_{simulator::SimulatedBoxOptions::FastLine()};
    std::string device_;
    kinemo::testing::ScopedPortOverride com1_;
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

// Chooses COM1 and the module, then presses "Verbinden".
User ConnectOn(bool extension) {
    return [extension](ConnectDialog& d) {
        Choose(d, kIdPortList, 0);
        if (d.IsChecked(kIdExtension) != extension) {
            Click(d, kIdExtension);
        }
        Click(d, kIdConnect);
    };
}

// c "Abbrechen", e Escape, x the close box, v "Verbinden", m with the module,
// s the stored choice shown after a failed automatic connection and then m,
// - nothing.
User Act(char user) {
    const std::map<char, User> users = {
        {'c', [](ConnectDialog& d) { Click(d, kIdCancel); }},
        {'e', [](ConnectDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {'x', [](ConnectDialog& d) { d.close(); }},
        {'v', ConnectOn(false)},
        {'m', ConnectOn(true)},
        {'s',
         [](ConnectDialog& d) {
             EXPECT_EQ(std::tuple(Text(d, kIdConnectStatus), d.IsChecked(kIdExtension),
                                  d.Control<QComboBox>(kIdPortList)->currentText().toStdString()),
                       std::tuple(kNoConnectionText, true, "COM3"));
             ConnectOn(true)(d);
         }},
        {'-', {}}};
    return users.at(user);
}

// The settings of a first start with `caps` and the module, stored on `port`.
std::vector<std::uint8_t> UsableFile(const platform::JoystickCaps& caps, int port) {
    JoySettings stored = joy::test::FreshSettings(caps, true);
    stored.portNumber = port;
    const SettingsBytes bytes = EncodeSettings(stored);
    return {bytes.begin(), bytes.end()};
}

// What the dialog does with each kind of settings file the header read
// tells apart, and without a joystick (N: missing for the first five reads,
// n: for one, plugged in while the box was open, so Retry finds it): which
// boxes it shows, whether it waits for the user, and the interface kind it
// connects with (0: none).
TEST(JoyConnectDialog, SettingsFileAndJoystickCases) {
    using enum ConnectOutcome;
    struct Case {
        char file;  // - none, D deleted, F foreign, S same joystick, O another joystick (more
                    // buttons), C same joystick on COM3 (nothing there), N n
        const char* answers;  // to the boxes in turn
        char user;            // what the user does once the dialog shows (- nothing)
        ConnectOutcome outcome;
        const char* boxes;  // F the foreign-file warning, J joystick found, O another
                            // joystick, N no joystick, X no connection
        std::int32_t kind;
    };
    const Case cases[] = {
        {'-', "", 'm', kConnected, "J", 2},   {'-', "", 'e', kCancelled, "J", 0},
        {'-', "", 'x', kCancelled, "J", 0},   {'D', "", 'v', kConnected, "J", 1},
        {'F', "o", 'c', kCancelled, "FJ", 0}, {'F', "c", '-', kSettingsRefused, "F", 0},
        {'S', "", '-', kConnected, "", 2},    {'O', "", '-', kConnected, "O", 2},
        {'C', "", 's', kConnected, "X", 2},   {'N', "rrc", '-', kNoJoystick, "NNN", 0},
        {'n', "r", 'c', kCancelled, "NJ", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.file) + c.answers + c.user);
        ConnectRig rig;
        const platform::JoystickCaps caps = rig.Caps();
        platform::JoystickCaps more = caps;
        more.buttons = 12;
        const std::map<char, std::vector<std::uint8_t>> files = {
            {'D', Bytes(kDeletedFileText)}, {'F', Bytes("KMJ13 older")}, {'S', UsableFile(caps, 1)},
            {'O', UsableFile(more, 1)},     {'C', UsableFile(caps, 3)},
        };
        rig.joystickMissing = c.file == 'N' ? 5 : c.file == 'n' ? 1 : 0;
        if (files.contains(c.file)) {
            WriteFileBytes(rig.SettingsPath(), files.at(c.file));
        }
        Answer(rig.messages, c.answers);
        const ConnectOutcome outcome = rig.Run(Act(c.user));
        const int failed = std::string(c.boxes).find('X') != std::string::npos ? 1 : 0;
        EXPECT_EQ(
            std::tuple(outcome, rig.shown, rig.attempts, rig.messages.PendingAnswers(),
                       rig.dialog->windowTitle().toStdString()),
            std::tuple(c.outcome, c.user != '-', (c.kind != 0 ? 1 : 0) + failed, 0U, "KinemoJoy"));
        const std::map<char, Box> boxes = {
            {'F', {kForeignFileText, kForeignFileCaption, MessageButtons::kOkCancel}},
            {'J', {JoystickFoundText(caps), kJoystickFoundCaption, MessageButtons::kOk}},
            {'O', {OtherJoystickText(caps), kOtherJoystickCaption, MessageButtons::kOk}},
            {'N', {kNoJoystickText, kNoJoystickCaption, MessageButtons::kRetryCancel}},
            {'X', {kConnectFailedBoxText, "KinemoJoy", MessageButtons::kOk}},
        };
        std::vector<Box> shown;
        for (const char* b = c.boxes; *b != 0; ++b) {
            shown.push_back(boxes.at(*b));
        }
        EXPECT_EQ(Boxes(rig.messages), shown);
        EXPECT_EQ(GetInterfaceKind(&rig.link.Record()), c.kind);
        if (outcome == kConnected) {
            EXPECT_EQ(std::tuple(Text(*rig.dialog, kIdConnectStatus), rig.settings.portNumber,
                                 rig.settings.motorCount, unsigned{rig.settings.joystickButtons}),
                      std::tuple(kConnectedText, 1, c.kind == 2 ? 8U : 4U, caps.buttons));
            rig.link.Close();
        }
    }
    EXPECT_EQ(
        std::tuple(ExitCodeOf(kSettingsRefused), ExitCodeOf(kNoJoystick), ExitCodeOf(kCancelled)),
        std::tuple(2, 1, 0));
}

}  // namespace
}  // namespace kinemo::joy::ui::testing
