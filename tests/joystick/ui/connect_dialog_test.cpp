// The connect dialog with a virtual joystick, scripted boxes and the real
// driver against the simulated box: the joystick check, every kind of
// settings file it meets, the automatic connection and the user's choice.
#include "joystick/ui/connect_dialog.h"

#include <QLabel>
#include <QTimer>
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
        char user;            // once the dialog shows: c "Abbrechen", e Escape, x the close box, v
                              // "Verbinden", m with the module, s the stored choice shown after a
                              // failed automatic connection, then m; - nothing
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
        // The simulated box on COM1, nothing on COM3.
        TestStick stick;
        simulator::SimulatedBox box{simulator::SimulatedBoxOptions::FastLine()};
        const kinemo::testing::ScopedPortOverride com1("COM1", box.Start());
        const kinemo::testing::ScopedPortOverride com3("COM3", "/nonexistent/kinemo-no-port");
        const TempFolder folder;
        const platform::JoystickCaps caps = stick.Caps();
        platform::JoystickCaps more = caps;
        more.buttons = 12;
        const std::map<char, std::vector<std::uint8_t>> files = {
            {'D', Bytes(kDeletedFileText)}, {'F', Bytes("KMJ13 older")}, {'S', UsableFile(caps, 1)},
            {'O', UsableFile(more, 1)},     {'C', UsableFile(caps, 3)},
        };
        if (files.contains(c.file)) {
            WriteFileBytes(folder.File("settings.kmj"), files.at(c.file));
        }
        DriverLink link;
        JoySettings settings;
        platform::ScriptedMessageService messages;
        Answer(messages, c.answers);
        int missing = c.file == 'N' ? 5 : c.file == 'n' ? 1 : 0;
        int attempts = 0;
        ConnectDialog dialog(
            settings, {.probeJoystick = [&]() -> std::optional<platform::JoystickCaps> {
                           platform::JoystickPosition position;
                           if (missing-- > 0 || stick.Source().Read(position) != ReadResult::kOk) {
                               return std::nullopt;
                           }
                           return caps;
                       },
                       .open =
                           [&](const JoySettings& chosen) {
                               ++attempts;
                               return ConnectInterface(link, chosen, nullptr);
                           },
                       .messages = &messages,
                       .settingsPath = folder.File("settings.kmj")});
        // Once the dialog shows (never, when it connects by itself) the port
        // list names each port's device in its tooltip, every status text
        // fits its field, and the user acts.
        bool shown = false;
        QTimer::singleShot(0, &dialog, [&] {
            ConnectDialog& d = dialog;
            shown = d.isVisible();
            const QVariant tip = d.Control<QComboBox>(kIdPortList)->itemData(0, Qt::ToolTipRole);
            EXPECT_TRUE(tip.toString().contains(QStringLiteral("/")));
            auto* status = d.Control<QLabel>(kIdConnectStatus);
            for (const char* text :
                 {kNotConnectedText, kConnectingText, kConnectedText, kNoConnectionText}) {
                EXPECT_LE(
                    status->fontMetrics().horizontalAdvance(QString::fromUtf8(text).trimmed()),
                    status->width())
                    << text;
            }
            if (c.user == 's') {
                EXPECT_EQ(
                    std::tuple(Text(d, kIdConnectStatus), d.IsChecked(kIdExtension),
                               d.Control<QComboBox>(kIdPortList)->currentText().toStdString()),
                    std::tuple(kNoConnectionText, true, "COM3"));
            }
            if (c.user == 'c') {
                Click(d, kIdCancel);
            } else if (c.user == 'e') {
                QTest::keyClick(&d, Qt::Key_Escape);
            } else if (c.user == 'x') {
                d.close();
            } else if (c.user != '-') {
                Choose(d, kIdPortList, 0);
                if (d.IsChecked(kIdExtension) != (c.user != 'v')) {
                    Click(d, kIdExtension);
                }
                Click(d, kIdConnect);
            }
        });
        const ConnectOutcome outcome = dialog.Run();
        const int failed = std::string(c.boxes).find('X') != std::string::npos ? 1 : 0;
        EXPECT_EQ(
            std::tuple(outcome, shown, attempts, messages.PendingAnswers(),
                       dialog.windowTitle().toStdString()),
            std::tuple(c.outcome, c.user != '-', (c.kind != 0 ? 1 : 0) + failed, 0U, "KinemoJoy"));
        const std::map<char, Box> boxes = {
            {'F', {kForeignFileText, kForeignFileCaption, MessageButtons::kOkCancel}},
            {'J', {JoystickFoundText(caps), kJoystickFoundCaption, MessageButtons::kOk}},
            {'O', {OtherJoystickText(caps), kOtherJoystickCaption, MessageButtons::kOk}},
            {'N', {kNoJoystickText, kNoJoystickCaption, MessageButtons::kRetryCancel}},
            {'X', {kConnectFailedBoxText, "KinemoJoy", MessageButtons::kOk}},
        };
        std::vector<Box> expected;
        for (const char b : std::string_view(c.boxes)) {
            expected.push_back(boxes.at(b));
        }
        EXPECT_EQ(std::pair(Boxes(messages), GetInterfaceKind(&link.Record())),
                  std::pair(expected, c.kind));
        if (outcome == kConnected) {
            EXPECT_EQ(std::tuple(Text(dialog, kIdConnectStatus), settings.portNumber,
                                 settings.motorCount, unsigned{settings.joystickButtons}),
                      std::tuple(kConnectedText, 1, c.kind == 2 ? 8U : 4U, caps.buttons));
            link.Close();
        }
    }
    EXPECT_EQ(
        std::tuple(ExitCodeOf(kSettingsRefused), ExitCodeOf(kNoJoystick), ExitCodeOf(kCancelled)),
        std::tuple(2, 1, 0));
}

}  // namespace
}  // namespace kinemo::joy::ui::testing
