// Runs from KinemoSpeech's main window against a pseudo-terminal box: typed
// keys in order, the statuses, the wire at the end of every run.
#include <gtest/gtest.h>

#include <QInputMethodEvent>
#include <QLineEdit>
#include <random>
#include <string>
#include <vector>

#include "keyboard/ui/main_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"

namespace kinemo::keyboard::ui {
namespace {

using kinemo::testing::Bytes;
using kinemo::ui::testing::WaitUntil;
using testing::TypeText;

const Bytes kAllOff = {0xC1, 0x00};

// a/b: M1 "L"/"R"; c/d: M2 "L"/"R"; ü: M3 "R"; e twice: M4 "L", then "R"
// (the later entry wins); x: "Notaus".
constexpr struct {
    std::uint8_t character;
    int motor;
    std::uint8_t state;
} kStateKeys[] = {{'a', 0, kMotorLeft},  {'b', 0, kMotorRight},  {'c', 1, kMotorLeft},
                  {'d', 1, kMotorRight}, {0xFC, 2, kMotorRight}, {'e', 3, kMotorLeft},
                  {'e', 3, kMotorRight}};

struct RunFixture : testing::ConnectedFixture {
    RunFixture() {
        Main().SetKeyObserver([this](std::uint8_t c, int) { typed.push_back(c); });
        for (const auto& key : kStateKeys) {
            const int index = settings.keys.Append(key.character);
            settings.keys.SetAction(index, kSetStates);
            settings.keys.SetIncluded(index, key.motor, true);
            settings.keys.SetValue(index, key.motor, key.state);
        }
        settings.keys.SetAction(settings.keys.Append('x'), kEmergencyStop);
        Main().ApplySettings(settings);
    }
    MainDialog& Main() { return f.Main(); }
    QLineEdit* Field() { return Main().Control<QLineEdit>(kIdInputField); }
    // The window as the user sees the run: status, "LOS!" and the field.
    std::string Shown() {
        return Main().Text(kIdStatus).toStdString() + (Main().IsEnabled(kIdStart) ? " start" : "") +
               (Field()->isEnabled() ? " field" : "");
    }
    bool WaitForEnded() {
        return WaitUntil([this] { return Shown() == std::string(kStatusEnded) + " start"; });
    }

    KeyboardSettings settings;
    std::vector<std::uint8_t> typed;
};

// Random characters (also DEL, C1 controls, beyond Latin-1) one key event
// each, a word in one event and an input-method string: exactly the printable
// Latin-1 ones reach the handler, once and in order, the field stays empty.
TEST(SpeechMainDialogRun, TypedTextReachesTheHandlerOnceInOrderAndDrivesTheMotors) {
    RunFixture r;
    r.f.Click(kIdStart);
    EXPECT_EQ(r.Shown(), "Run field");
    EXPECT_EQ(r.Main().focusWidget(), r.Field());

    std::mt19937 random(12);
    const QString alphabet = QStringLiteral("abcdeüqz-A");
    QString keys;
    for (int i = 0; i < 600; ++i) {
        const auto code = static_cast<char16_t>(random() % 0x0300);
        if (i % 3 != 0) {
            keys += alphabet[static_cast<int>(random() % alphabet.size())];
        } else if (code >= 0x20) {  // control keys keep their meaning in the dialog
            keys += QChar(code);
        }
    }
    const QString word = QStringLiteral("dcbaé");
    const QString committed = QStringLiteral("üa€b\u007F\u0085");
    TypeText(r.Field(), keys);
    TypeText(r.Field(), word, true);
    QInputMethodEvent commit;
    commit.setCommitString(committed);
    QApplication::sendEvent(r.Field(), &commit);

    std::vector<std::uint8_t> expected;
    std::uint8_t states[kMotorCount] = {};
    for (const QChar c : keys + word + committed) {
        const char16_t code = c.unicode();
        if ((code >= 0x20 && code < 0x7F) || (code >= 0xA0 && code <= 0xFF)) {
            expected.push_back(static_cast<std::uint8_t>(code));
        }
        for (const auto& key : kStateKeys) {
            states[key.motor] = key.character == code ? key.state : states[key.motor];
        }
    }
    EXPECT_EQ(r.typed, expected);
    EXPECT_EQ(r.Field()->text(), QString());
    // At 100 % the motors are on in every tick but the first.
    EXPECT_TRUE(r.plugged.WaitForWord(
        {0xC1, std::uint8_t(states[0] | states[1] << 2 | states[2] << 4 | states[3] << 6)}));
}

// A "Notaus" key, the Return key (NOT-AUS is the default button) and the
// button itself each end the run with all-off.
TEST(SpeechMainDialogRun, EveryWayToStopARunEndsWithAllOff) {
    RunFixture r;
    r.settings.start.motors[1].startState = kMotorLeft;  // M2 turns from the start
    r.Main().ApplySettings(r.settings);
    const std::function<void()> stops[] = {
        [&r] { TypeText(r.Field(), QStringLiteral("x")); },
        [&r] {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
            QApplication::sendEvent(r.Field(), &enter);
        },
        [&r] { r.f.Click(kIdEmergencyStop); },
    };
    for (std::size_t way = 0; way < std::size(stops); ++way) {
        SCOPED_TRACE(way);
        r.f.Click(kIdStart);
        ASSERT_TRUE(r.plugged.WaitForWord({0xC1, 0x04}));
        stops[way]();
        EXPECT_TRUE(way == 0 || r.Shown() == "Abgebrochen start");
        ASSERT_TRUE(r.WaitForEnded());
        EXPECT_EQ(r.Box().Requests().back(), kAllOff);
        EXPECT_EQ(r.Main().Run().Variables().Stopped(), way == 0 ? kStopKey : kStopButton);
    }
    EXPECT_EQ(r.Main().Run().RunNumber(), 3U);
}

// "LOS!" while a stopped run waits for its last answer: the new run follows
// the old one's all-off and is not ended by it.
TEST(SpeechMainDialogRun, StartDuringTheLastTickOfAStoppedRunFollowsIt) {
    RunFixture r;
    r.f.Click(kIdStart);
    ASSERT_TRUE(r.Box().WaitForRequests(3));
    r.Box().SetAnswerDelayMs(200);
    ASSERT_TRUE(r.Box().WaitForRequests(r.Box().Requests().size() + 1));
    r.f.Click(kIdEmergencyStop);
    r.f.Click(kIdStart);  // the tick in progress waits for its answer
    EXPECT_EQ(r.Main().Text(kIdStatus), QStringLiteral("Run"));
    EXPECT_FALSE(r.Main().IsEnabled(kIdStart));
    ASSERT_TRUE(WaitUntil([&r] { return r.Main().Run().RunNumber() == 2U; }));
    r.Box().SetAnswerDelayMs(0);
    EXPECT_EQ(r.Shown(), "Run field");
    EXPECT_TRUE(r.Main().Run().Running());
    r.f.Click(kIdEmergencyStop);
    ASSERT_TRUE(r.WaitForEnded());
    EXPECT_EQ(r.Box().Requests().back(), kAllOff);
}

}  // namespace
}  // namespace kinemo::keyboard::ui
