// Runs from KinemoSpeech's main window against a pseudo-terminal box: typed
// keys, statuses, the wire; the line going away mid-run (as when the USB
// adapter is pulled: told once, settings kept, the port opened again by the
// next "LOS!") and a box that stops answering (a stop takes effect after the
// exchange in flight while the window goes on serving events).
#include <gtest/gtest.h>

#include <QInputMethodEvent>
#include <QLineEdit>
#include <string>
#include <vector>

#include "keyboard/settings_file.h"
#include "keyboard/status_texts.h"
#include "keyboard/ui/main_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "tests/keyboard/box_wire.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"

namespace kinemo::keyboard::ui {
namespace {

using keyboard::testing::AddKey;
using kinemo::testing::Bytes;
using kinemo::ui::testing::WaitUntil;
using testing::TypeText;

const Bytes kAllOff = {0xC1, 0x00};
const Bytes kM1Left = {0xC1, 0x01};

// a/b: M1 "L"/"R"; c/d: M2 "L"/"R"; ü: M3 "R"; e twice: M4 "L", then "R"
// (the later entry wins).
struct RunFixture : testing::ConnectedFixture {
    RunFixture() {
        Main().SetKeyObserver([this](std::uint8_t c, int) { typed.push_back(c); });
        const std::tuple<std::uint8_t, int, int> keys[] = {
            {'a', 0, kMotorLeft},  {'b', 0, kMotorRight},  {'c', 1, kMotorLeft},
            {'d', 1, kMotorRight}, {0xFC, 2, kMotorRight}, {'e', 3, kMotorLeft},
            {'e', 3, kMotorRight}};
        for (const auto& [c, motor, state] : keys)
            AddKey(settings.keys, c, kSetStates, {{motor, state}});
        Main().ApplySettings(settings);
    }
    MainDialog& Main() { return f.Main(); }
    QLineEdit* Field() { return Main().Control<QLineEdit>(kIdInputField); }
    // The window as the user sees the run: status, "LOS!" and the field.
    std::string Shown() {
        return Main().Text(kIdStatus).toStdString() + (Main().IsEnabled(kIdStart) ? " start" : "") +
               (Field()->isEnabled() ? " field" : "");
    }
    // A run with M1 "L" at 100 % from the start.
    void StartM1Left() {
        settings.start.motors[0].startState = kMotorLeft;
        Main().ApplySettings(settings);
        f.Click(kIdStart);
        EXPECT_TRUE(plugged.WaitForWord(kM1Left));
    }

    KeyboardSettings settings;
    std::vector<std::uint8_t> typed;
};

// Characters at the edges of the printable Latin-1 ranges and beyond them
// (DEL, C1 controls, U+0100, the euro sign), one key event each and many
// times over, a word in one event and an input-method string: exactly the
// printable Latin-1 ones reach the handler, once and in order, the field
// stays empty, and the motors run as the last keys say.
TEST(SpeechMainDialogRun, TypedTextReachesTheHandlerOnceInOrderAndDrivesTheMotors) {
    RunFixture r;
    r.f.Click(kIdStart);
    EXPECT_EQ(r.Shown(), "Run field");
    EXPECT_EQ(r.Main().focusWidget(), r.Field());
    TypeText(r.Field(),
             QStringLiteral("ab~\u007Fc \u009Fd\u0085ü\u00A0e\u20ACq\u0100z-A\u00FF").repeated(30));
    TypeText(r.Field(), QStringLiteral("dcbaé"), true);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("üa€b\u007F\u0085"));
    QApplication::sendEvent(r.Field(), &commit);

    const std::vector<std::uint8_t> once = {'a',  'b', '~', 'c', ' ', 'd', 0xFC,
                                            0xA0, 'e', 'q', 'z', '-', 'A', 0xFF};
    std::vector<std::uint8_t> expected;
    for (int i = 0; i < 30; ++i)
        expected.insert(expected.end(), once.begin(), once.end());
    expected.insert(expected.end(), {'d', 'c', 'b', 'a', 0xE9, 0xFC, 'a', 'b'});
    EXPECT_EQ(r.typed, expected);
    EXPECT_EQ(r.Field()->text(), QString());
    // M1 "R" (b), M2 "L" (c), M3 "R" (ü), M4 "R" (the later e): at 100 % in
    // every tick but the first.
    EXPECT_TRUE(r.plugged.WaitForWord({0xC1, 0xA6}));
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
    EXPECT_EQ(std::pair(r.Main().Text(kIdStatus), r.Main().IsEnabled(kIdStart)),
              std::pair(QStringLiteral("Run"), false));
    ASSERT_TRUE(WaitUntil([&r] { return r.Main().Run().RunNumber() == 2U; }));
    r.Box().SetAnswerDelayMs(0);
    EXPECT_EQ(r.Shown(), "Run field");
    EXPECT_TRUE(r.Main().Run().Running());
    r.f.Click(kIdEmergencyStop);
    ASSERT_TRUE(WaitUntil([&r] { return r.Shown() == std::string(kStatusEnded) + " start"; }));
    EXPECT_EQ(r.Box().Requests().back(), kAllOff);
}

TEST(SpeechLostLineWindow, OneBoxTheSettingsKeptAndTheRepluggedBoxRunsAgain) {
    RunFixture r;
    r.StartM1Left();
    r.plugged.Pull();
    ASSERT_TRUE(r.f.WaitForRunHandled());
    EXPECT_EQ(r.Main().Text(kIdStatus), QString::fromUtf8(kStatusStopped));
    const std::string caption = std::string(kProgramName) + ": ";
    EXPECT_EQ(testing::Told(r.f.messages), std::vector<std::string>{caption + kLinkLostText});
    EXPECT_EQ(r.Main().CurrentSettings(), r.settings);  // what the program saves at its end

    // Not back yet: "LOS!" tries the port, finds nothing and starts no run.
    r.f.Click(kIdStart);
    EXPECT_FALSE(r.Main().Run().Running());
    // Plugged in again at the same path: the next "LOS!" connects (its test
    // word is all-off) and runs.
    kinemo::testing::PtyPeer& again = r.plugged.PlugIn(2, {0x00});
    r.f.Click(kIdStart);
    EXPECT_EQ(r.Main().Text(kIdStatus), QString::fromUtf8(kStatusRun));
    ASSERT_TRUE(r.plugged.WaitForWord(kM1Left));
    EXPECT_EQ(again.Requests().front(), kAllOff);
    r.f.Click(kIdEmergencyStop);
    ASSERT_TRUE(r.f.WaitForRunHandled());
    EXPECT_EQ(again.Requests().back(), kAllOff);
    EXPECT_EQ(testing::Told(r.f.messages),
              (std::vector<std::string>{caption + kLinkLostText, caption + kNoConnectionText}));
}

// "NOT-AUS", also by the Return key (it is the default button), and "Ende" on
// a box that stopped answering.
TEST(SpeechLostLineWindow, SilentBoxStopsAfterTheExchangeInFlightAndTheWindowServesEvents) {
    for (const int stop : {0, kIdEmergencyStop, kIdEnd}) {  // 0: Return in the input field
        SCOPED_TRACE(stop);
        RunFixture r;
        r.StartM1Left();
        const std::size_t atStop = r.plugged.GoSilentAndExpectEventsServed(r.Main());
        EXPECT_TRUE(r.Main().Run().Running());
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        stop == 0 ? void(QApplication::sendEvent(r.Field(), &enter)) : r.f.Click(stop);
        EXPECT_EQ(r.Main().Text(kIdStatus).toStdString(), stop == kIdEnd ? "Run" : kStatusStopped);
        ASSERT_TRUE(r.Main().Run().WaitUntilIdle(30000));
        ASSERT_TRUE(WaitUntil([&] { return !r.Main().Run().Running(); }));
        r.plugged.ExpectStoppedAfterTheExchangeInFlight(atStop);
        EXPECT_EQ(r.Main().Run().Variables().Stopped(), kStopButton);
        EXPECT_TRUE(r.f.messages.Requests().empty());  // a silent box is no lost line
    }
}

}  // namespace
}  // namespace kinemo::keyboard::ui
