// Runs from KinemoSpeech's main window against a pseudo-terminal box: typed
// keys in order, the statuses, the wire at the start and end of every run.
#include <gtest/gtest.h>

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "keyboard/ui/main_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"
#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/wait_until.h"

namespace kinemo::keyboard::ui {
namespace {

using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;
using kinemo::testing::ScopedPortOverride;
using kinemo::ui::testing::WaitUntil;
using testing::DialogFixture;
using testing::TypeText;

const Bytes kAllOff = {0xC1, 0x00};

// The window connected to a box on a pseudo-terminal that answers every
// request with no input active.
struct RunFixture {
    RunFixture() : com1("COM1", box.DevicePath()) {
        box.StartBox(2, {0x00});
        connected = f.port.connect(1);
        f.Main().SetKeyObserver([this](std::uint8_t c, int) { typed.push_back(c); });
    }
    MainDialog& Main() { return f.Main(); }
    QLineEdit* Field() { return Main().Control<QLineEdit>(kIdInputField); }
    void Click(int id) { Main().Control<QPushButton>(id)->click(); }
    QString Status() { return Main().Text(kIdStatus); }
    bool WaitForStatus(const char* status) {
        return WaitUntil([this, status] { return Status() == QString::fromUtf8(status); });
    }

    PtyPeer box;
    ScopedPortOverride com1;
    DialogFixture f;
    bool connected = false;
    std::vector<std::uint8_t> typed;
};

// a/b: M1 "L"/"R"; c/d: M2 "L"/"R"; ü: M3 "R"; e twice: M4 "L", then "R"
// (the later entry wins); x: "Notaus".
struct StateKey {
    std::uint8_t character;
    int motor;
    std::uint8_t state;
};
constexpr StateKey kStateKeys[] = {
    {'a', 0, kMotorLeft},   {'b', 0, kMotorRight}, {'c', 1, kMotorLeft}, {'d', 1, kMotorRight},
    {0xFC, 2, kMotorRight}, {'e', 3, kMotorLeft},  {'e', 3, kMotorRight}};

KeyboardSettings BurstKeys() {
    KeyboardSettings s;
    for (const StateKey& key : kStateKeys) {
        const int index = s.keys.Append(key.character);
        s.keys.SetAction(index, kSetStates);
        s.keys.SetIncluded(index, key.motor, true);
        s.keys.SetValue(index, key.motor, key.state);
    }
    s.keys.SetAction(s.keys.Append('x'), kEmergencyStop);
    return s;
}

// Random characters, also DEL, C1 controls and characters beyond Latin-1,
// one key event each, a whole word in one key event and a committed
// input-method string: exactly the printable Latin-1 ones reach the key
// handler, once each and in order, the field stays empty and the motors end
// as the last keys set them.
TEST(SpeechMainDialogRun, TypedTextReachesTheHandlerOnceInOrderAndDrivesTheMotors) {
    RunFixture r;
    ASSERT_TRUE(r.connected);
    r.Main().ApplySettings(BurstKeys());
    r.Click(kIdStart);
    EXPECT_EQ(r.Status(), QStringLiteral("Run"));
    EXPECT_FALSE(r.Main().IsEnabled(kIdStart));
    EXPECT_TRUE(r.Field()->isEnabled());
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
    std::array<std::uint8_t, kMotorCount> states{};
    for (const QChar c : keys + word + committed) {
        const char16_t code = c.unicode();
        if ((code >= 0x20 && code < 0x7F) || (code >= 0xA0 && code <= 0xFF)) {
            expected.push_back(static_cast<std::uint8_t>(code));
        }
        for (const StateKey& key : kStateKeys) {
            if (key.character == code) {
                states[key.motor] = key.state;
            }
        }
    }
    EXPECT_EQ(r.typed, expected);
    EXPECT_EQ(r.Field()->text(), QString());
    std::uint8_t outputs = 0;
    for (int j = 0; j < kMotorCount; ++j) {
        EXPECT_EQ(r.Main().Run().Variables().state[j].load(), states[j]) << j;
        outputs = static_cast<std::uint8_t>(outputs | (states[j] << (2 * j)));
    }
    // At 100 % the motors are on in (almost) every tick: the word appears.
    const std::size_t before = r.box.Requests().size();
    EXPECT_TRUE(WaitUntil([&r, before, outputs] {
        const std::vector<Bytes> requests = r.box.Requests();
        return std::find(requests.begin() + static_cast<std::ptrdiff_t>(before), requests.end(),
                         Bytes{0xC1, outputs}) != requests.end();
    }));

    r.Click(kIdEmergencyStop);
    EXPECT_EQ(r.Status(), QStringLiteral("Abgebrochen"));
    EXPECT_TRUE(r.Main().IsEnabled(kIdStart));
    EXPECT_FALSE(r.Field()->isEnabled());
    ASSERT_TRUE(r.WaitForStatus(kStatusEnded));
    EXPECT_FALSE(r.Main().Run().Running());
    r.box.StopBox();
    const std::vector<Bytes> requests = r.box.Requests();
    ASSERT_GE(requests.size(), 3U);
    EXPECT_EQ(requests[0], kAllOff);  // the connection test
    EXPECT_EQ(requests[1], kAllOff);  // the first tick of the run
    EXPECT_EQ(requests.back(), kAllOff);
}

// A "Notaus" key, the Return key (NOT-AUS is the default button) and the
// button itself each end the run with all-off.
TEST(SpeechMainDialogRun, EveryWayToStopARunEndsWithAllOff) {
    RunFixture r;
    ASSERT_TRUE(r.connected);
    KeyboardSettings s = BurstKeys();
    s.start.motors[1].startState = kMotorLeft;  // M2 turns from the start
    r.Main().ApplySettings(s);
    const std::function<void()> stops[] = {
        [&r] { TypeText(r.Field(), QStringLiteral("x")); },
        [&r] {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
            QApplication::sendEvent(r.Field(), &enter);
        },
        [&r] { r.Click(kIdEmergencyStop); },
    };
    for (std::size_t way = 0; way < std::size(stops); ++way) {
        SCOPED_TRACE(way);
        r.Click(kIdStart);
        ASSERT_TRUE(r.Main().Run().Running());
        const std::size_t before = r.box.Requests().size();
        ASSERT_TRUE(WaitUntil([&r, before] {
            const std::vector<Bytes> requests = r.box.Requests();
            return requests.size() > before + 1 && requests.back() == Bytes{0xC1, 0x04};
        }));
        stops[way]();
        ASSERT_TRUE(r.WaitForStatus(kStatusEnded));
        EXPECT_TRUE(r.Main().IsEnabled(kIdStart));
        EXPECT_FALSE(r.Field()->isEnabled());
        EXPECT_EQ(r.box.Requests().back(), kAllOff);
        EXPECT_EQ(r.Main().Run().Variables().Stopped(), way == 0 ? kStopKey : kStopButton);
    }
    EXPECT_EQ(r.Main().Run().RunNumber(), 3U);
}

// "LOS!" pressed while a stopped run still waits for its last answer: the
// new run follows once the old one has sent all-off, and the old run's end
// does not end the new one.
TEST(SpeechMainDialogRun, StartDuringTheLastTickOfAStoppedRunFollowsIt) {
    RunFixture r;
    ASSERT_TRUE(r.connected);
    r.Click(kIdStart);
    ASSERT_TRUE(r.box.WaitForRequests(3));
    r.box.SetAnswerDelayMs(200);
    ASSERT_TRUE(r.box.WaitForRequests(r.box.Requests().size() + 1));
    r.Click(kIdEmergencyStop);
    r.Click(kIdStart);  // the tick in progress waits for its answer
    EXPECT_EQ(r.Status(), QStringLiteral("Run"));
    EXPECT_FALSE(r.Main().IsEnabled(kIdStart));
    ASSERT_TRUE(WaitUntil([&r] { return r.Main().Run().RunNumber() == 2U; }));
    r.box.SetAnswerDelayMs(0);
    EXPECT_TRUE(r.Field()->isEnabled());
    EXPECT_EQ(r.Status(), QStringLiteral("Run"));
    EXPECT_TRUE(r.Main().Run().Running());
    r.Click(kIdEmergencyStop);
    ASSERT_TRUE(r.WaitForStatus(kStatusEnded));
    EXPECT_EQ(r.box.Requests().back(), kAllOff);
}

}  // namespace
}  // namespace kinemo::keyboard::ui
