// KinemoSpeech's windows driven by control id: the main window without a box
// (the key editor, the enable rules and the settings), the about box, and the
// connect dialog with the chosen radio button reaching a real InterfacePort.
#include "keyboard/ui/main_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest/QTest>
#include <random>
#include <string>
#include <tuple>

#include "keyboard/ui/about_dialog.h"
#include "keyboard/ui/connect_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"
#include "tests/platform/dialog_test_support.h"

namespace kinemo::keyboard::ui {
namespace {

// The key editor as the user sees it: the entries with the selected one in
// brackets, the action shown, per row the include box ('-' hidden, 'i' or
// 'x' when checked), the state list ('-' hidden, else S or s when disabled,
// and the state) and the speed slider ('-' hidden, else V or v when
// disabled, and its label), then which of "&Neu:" and remove are enabled.
std::string Editor(const MainDialog& d) {
    const QComboBox* keys = d.Control<QComboBox>(kIdKeyList);
    std::string shown;
    for (int i = 0; i < keys->count(); ++i) {
        const std::string text = keys->itemText(i).toStdString();
        shown += (i == keys->currentIndex() ? "[" + text + "]" : text) + " ";
    }
    shown += "| " + d.Text(kIdAction).toStdString() + " |";
    const auto hidden = [&d](int id) { return d.ControlWidget(id)->isHidden(); };
    for (int j = 0; j < kMotorCount; ++j) {
        shown += ' ';
        shown += hidden(kIdInclude + j) ? '-' : d.IsChecked(kIdInclude + j) ? 'x' : 'i';
        shown += hidden(kIdValueState + j)
                     ? "-"
                     : (d.IsEnabled(kIdValueState + j) ? "S" : "s") +
                           std::to_string(d.ComboSelection(kIdValueState + j));
        const std::string label = d.Text(kIdValueSpeedLabel + j).toStdString();
        EXPECT_EQ(label, std::to_string(d.SliderValue(kIdValueSpeed + j)) + "%");
        shown +=
            hidden(kIdValueSpeed + j) ? "-" : (d.IsEnabled(kIdValueSpeed + j) ? "V" : "v") + label;
    }
    return shown + (d.IsEnabled(kIdAddKey) ? " neu" : "") +
           (d.IsEnabled(kIdRemoveKey) ? " entfernen" : "");
}

struct Fixture : testing::DialogFixture {
    MainDialog& d = Main();
};

// Ids, kinds, texts, tab order and what is disabled, checked or selected, as
// stored (the default word list's place depends on where the program runs
// from); title and icon; every text fits, also each connect status. The
// credit button and the context menu's entry open the about box.
TEST(SpeechWindows, StoredControlsTitleIconTextsThatFitAndTheWaysToTheAboutBox) {
    Fixture f;
    ConnectDialog connect({});
    AboutDialog about;
    const std::tuple<QWidget*, const char*, const char*> windows[] = {
        {&f.d, "main_dialog", "KinemoSpeech - Baukasten-Echtzeit-Sprachsteuerung"},
        {&connect, "connect_dialog", "KinemoSpeech"},
        {&about, "about_dialog", "Info über KinemoSpeech"}};
    for (const auto& [window, name, title] : windows) {
        std::string controls = platform::testing::ControlInventory(*window);
        const std::string wordList = f.d.Text(kIdWordList).toStdString();
        if (window == &f.d) {
            ASSERT_TRUE(wordList.ends_with("/befehle.txt")) << wordList;
            controls.replace(controls.find(wordList), wordList.size(), "<default word list>");
        }
        platform::testing::ExpectSameAsStored(
            controls, QStringLiteral(KINEMO_EXPECTED_DIR "/%1_controls.txt").arg(name));
        EXPECT_EQ(std::pair(window->windowTitle(), window->windowIcon().isNull()),
                  std::pair(QString::fromUtf8(title), false));
        platform::testing::ExpectTextsFit(*window);
    }
    EXPECT_TRUE(connect.Control<QPushButton>(platform::kIdOk)->isDefault());
    for (const char* text :
         {kStatusNotConnected, kStatusConnecting, kStatusConnected, kStatusNoConnection}) {
        connect.SetText(kConnectStatusId, QString::fromUtf8(text));
        platform::testing::ExpectTextsFit(connect);
    }
    int opened = 0;
    f.d.SetAboutHandler([&](QWidget* parent) { opened += parent == &f.d; });
    f.Click(kIdCredit);
    auto* entry = f.d.ContextMenu()->findChild<QAction*>(QString::number(kCommandAbout));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), QStringLiteral("Inf&o über KinemoSpeech..."));
    entry->trigger();
    EXPECT_EQ(opened, 2);
}

// "&Neu:" takes one Latin-1 key while there is room and selects it; a value
// stays disabled until its row is included, and what the rows store is shown
// again, from the table, when the entry is selected again; the placeholder
// always shows no action and is never removed; a removal shows the entry
// that moved into the place, or the one before the last.
TEST(SpeechMainDialog, KeyEditor) {
    Fixture f;
    // Empty, "x", " ", the last Latin-1 character; a control character, the
    // euro sign and Cyrillic are no keys.
    for (const char16_t c : {u'\0', u'x', u' ', u'\u00FF', u'\u0085', u'\u20AC', u'\u0416'}) {
        f.d.Control<QLineEdit>(kIdNewKey)->setText(c == 0 ? QString() : QString(QChar(c)));
        EXPECT_EQ(f.d.IsEnabled(kIdAddKey), c != 0 && c <= 0xFF && c != 0x85) << int(c);
    }
    f.d.Control<QLineEdit>(kIdNewKey)->clear();
    f.Click(kIdAddKey);  // disabled: adds nothing
    EXPECT_EQ(Editor(f.d), "[--neu--] | --keine Aktion-- | --- --- --- ---");

    f.AddKey(QStringLiteral("ü"));
    EXPECT_EQ(Editor(f.d), "--neu-- [ü] | --keine Aktion-- | --- --- --- --- entfernen");
    EXPECT_EQ(std::tuple(f.d.Keys().Character(1), f.d.Text(kIdNewKey)),
              std::tuple(0xFC, QString()));
    const std::pair<int, const char*> rows[] = {{kSetSpeeds, "i-v100% i-v100% i-v100% i-v100%"},
                                                {kEmergencyStop, "--- --- --- ---"},
                                                {kSetStates, "is0- is0- is0- is0-"}};
    for (const auto& [action, shown] : rows) {
        f.Choose(kIdAction, action);
        EXPECT_EQ(Editor(f.d), std::string("--neu-- [ü] | ") + f.d.Text(kIdAction).toStdString() +
                                   " | " + shown + " entfernen");
    }
    f.Click(kIdInclude + 1);  // "ü": M2 "R"
    f.Choose(kIdValueState + 1, kMotorRight);
    f.AddKey(QStringLiteral("b"));
    f.AddKey(QStringLiteral("c"));
    f.Choose(kIdAction, kSetSpeeds);  // "c": M4 at 7 %
    f.Click(kIdInclude + 3);
    f.d.SetSliderValue(kIdValueSpeed + 3, 7);

    f.Choose(kIdKeyList, 0);
    for (const int action : {kSetStates, kSetSpeeds, kEmergencyStop}) {
        f.Choose(kIdAction, action);
        EXPECT_EQ(Editor(f.d), "[--neu--] ü b c | --keine Aktion-- | --- --- --- ---");
    }
    const std::string u = "| Motorstatus ändern | is0- xS2- is0- is0- entfernen";
    f.Choose(kIdKeyList, 1);
    EXPECT_EQ(Editor(f.d), "--neu-- [ü] b c " + u);
    f.Choose(kIdKeyList, 2);
    f.Click(kIdRemoveKey);
    EXPECT_EQ(Editor(f.d),
              "--neu-- ü [c] | Geschwindigkeiten ändern | "
              "i-v100% i-v100% i-v100% x-V7% entfernen");
    f.Click(kIdRemoveKey);
    EXPECT_EQ(Editor(f.d), "--neu-- [ü] " + u);

    while (f.d.Keys().Count() < kMaxKeys)
        f.AddKey(QStringLiteral("k"));
    f.d.Control<QLineEdit>(kIdNewKey)->setText(QStringLiteral("z"));
    EXPECT_FALSE(f.d.IsEnabled(kIdAddKey));
    f.Click(kIdRemoveKey);  // a removal makes room again
    EXPECT_TRUE(f.d.IsEnabled(kIdAddKey));
}

// Sliders, switches and lists reach the loop at once; "Reset" brings every
// default back.
TEST(SpeechMainDialog, StartControlsReachTheLoopAtOnceAndResetRestoresTheDefaults) {
    Fixture f;
    f.AddKey(QStringLiteral("v"));
    f.Choose(kIdAction, kSetSpeeds);
    // Per motor whether its end-switch lists are enabled and its speed label,
    // then whether the off-switch list is enabled.
    const auto starts = [&f] {
        std::string shown;
        for (int j = 0; j < kMotorCount; ++j)
            shown += std::to_string(f.d.IsEnabled(kIdEndSwitchInputLeft + j)) +
                     std::to_string(f.d.IsEnabled(kIdEndSwitchInputRight + j)) +
                     f.d.Text(kIdStartSpeedLabel + j).toStdString() + " ";
        return shown + std::to_string(f.d.IsEnabled(kIdOffSwitchInput));
    };
    StartSettings expected = DefaultStartSettings();
    for (int j = 0; j < kMotorCount; ++j) {
        f.d.SetSliderValue(kIdStartSpeed + j, 37 + j);
        f.Click(kIdEndSwitches + j);
        f.Choose(kIdEndSwitchInputLeft + j, 2 + j);
        f.Choose(kIdEndSwitchInputRight + j, 6 - j);
        f.Choose(kIdStartState + j, kMotorLeft);
        expected.motors[j] = {kMotorLeft, std::uint8_t(37 + j), j != 1, std::uint8_t(2 + j),
                              std::uint8_t(6 - j)};
    }
    f.Click(kIdEndSwitches + 1);
    f.Click(kIdOffSwitch);
    EXPECT_EQ(starts(), "1137% 0038% 1139% 1140% 1");
    f.Choose(kIdOffSwitchInput, 2);
    expected.offSwitch = true;
    expected.offSwitchInput = 2;
    EXPECT_EQ(f.d.Live().Load(), expected);
    // Keys on a focused slider move it as the mouse does.
    f.d.SetSliderValue(kIdStartSpeed, 50);
    QTest::keyClick(f.d.Control<QSlider>(kIdStartSpeed), Qt::Key_Right);
    EXPECT_EQ(f.d.Text(kIdStartSpeedLabel), QStringLiteral("51%"));

    // What CurrentSettings() does not see is checked on the controls.
    f.Click(kIdReset);
    EXPECT_EQ(std::pair(f.d.CurrentSettings(), f.d.Live().Load()),
              std::pair(KeyboardSettings(), DefaultStartSettings()));
    EXPECT_EQ(starts(), "00100% 00100% 00100% 00100% 0");
    EXPECT_EQ(Editor(f.d), "[--neu--] | --keine Aktion-- | --- --- --- ---");
}

// Random settings through the controls and back: nothing is lost, and the
// last key is selected and shown.
TEST(SpeechMainDialog, SettingsSurviveTheControls) {
    Fixture f;
    std::mt19937 random(7);
    auto below = [&random](int n) { return static_cast<std::uint8_t>(random() % n); };
    for (int round = 0; round < 20; ++round) {
        KeyboardSettings s;
        for (MotorStartSettings& m : s.start.motors)
            m = {below(3), below(101), below(2) == 1, below(8), below(8)};
        s.start.offSwitch = below(2) == 1;
        s.start.offSwitchInput = below(8);
        for (int k = round == 0 ? 254 : below(12); k > 0; --k) {
            const int index = s.keys.Append(static_cast<std::uint8_t>(0x20 + below(0xE0)));
            const auto action = static_cast<KeyAction>(below(4));
            s.keys.SetAction(index, action);
            for (int j = 0; j < kMotorCount; ++j) {
                s.keys.SetIncluded(index, j, below(2) == 1);
                s.keys.SetValue(index, j, action == kSetSpeeds ? below(101) : below(3));
            }
        }
        f.d.ApplySettings(s);
        ASSERT_EQ(f.d.CurrentSettings(), s) << round;
        const int last = s.keys.Count() - 1;
        EXPECT_EQ(std::tuple(f.d.Live().Load(), f.d.ComboSelection(kIdKeyList),
                             f.d.ComboSelection(kIdAction), f.d.IsEnabled(kIdOffSwitchInput)),
                  std::tuple(s.start, last, last == 0 ? kNoAction : s.keys.Action(last),
                             s.start.offSwitch));
    }
}

// The connect dialog wired to a real InterfacePort, as the program wires it:
// "Com 1" names no device, "Com 3" the box (what the connection test sends
// is the port's test).
TEST(SpeechConnectDialog, AFailedPortIsReportedAndTheChosenPortConnects) {
    kinemo::testing::PtyPeer box;
    box.StartBox(2, {0x00});
    kinemo::testing::ScopedPortOverride com1("COM1", "/nonexistent/kinemo-no-such-port"),
        com3("COM3", box.DevicePath());
    InterfacePort port;
    platform::ScriptedMessageService messages;
    ConnectDialog d({[&port](int number) { return port.connect(number); }, &messages, [] {}});
    d.show();
    std::vector<std::tuple<std::string, bool, bool>> shown;
    for (const int radio : {0, 2}) {
        d.Control<QRadioButton>(kPortRadioFirstId + radio)->click();
        d.Control<QPushButton>(platform::kIdOk)->click();
        ASSERT_TRUE(kinemo::ui::testing::WaitUntil([&d] { return !d.Connecting(); }));
        shown.emplace_back(d.Text(kConnectStatusId).toStdString(), d.isVisible(), port.isOpen());
    }
    EXPECT_EQ(shown, (std::vector<std::tuple<std::string, bool, bool>>{
                         {"Keine Verbindung zum Interface!\n", true, false},
                         {"Verbindung zum Interface erfolgreich\n", false, true}}));
    EXPECT_TRUE(d.Connected());
    EXPECT_EQ(testing::Told(messages),
              std::vector<std::string>{"KinemoSpeech: Verbindung zum Interface fehlgeschlagen!\n"});
}

}  // namespace
}  // namespace kinemo::keyboard::ui
