// KinemoSpeech's main window when the box's line goes away mid-run (the
// pseudo-terminal's far end closed, as when the USB adapter is pulled) and
// when the box only stops answering: the box told once, the settings kept,
// the same port opened again by the next "LOS!", and a stop that takes
// effect after the exchange in flight while the window goes on serving events.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>
#include <string>
#include <vector>

#include "keyboard/settings_file.h"
#include "keyboard/status_texts.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"
#include "tests/platform/pluggable_box.h"
#include "tests/platform/pty_peer.h"
#include "tests/sequencer/ui/wait_until.h"
#include "tests/tools/cli_process.h"

namespace kinemo::keyboard::ui {
namespace {

using kinemo::cli::test::ReadFileBytes;
using kinemo::testing::Bytes;
using kinemo::testing::PluggableBox;
using kinemo::testing::PtyPeer;
using kinemo::ui::testing::WaitUntil;
using testing::DialogFixture;

const Bytes kAllOff = {0xC1, 0x00};
const Bytes kM1Left = {0xC1, 0x01};

struct LostLineRig {
    explicit LostLineRig(const Bytes& answer) {
        plugged.PlugIn(2, answer);
        connected = f.port.connect(1);
        KeyboardSettings settings;
        settings.start.motors[0].startState = kMotorLeft;  // M1 "L" at 100 %
        settings.keys.SetAction(settings.keys.Append('x'), kEmergencyStop);
        EXPECT_TRUE(SaveSettingsFile(plugged.File("settings.kms"), settings).ok);
        saved = ReadFileBytes(plugged.File("settings.kms"));
        f.Main().ApplySettings(settings);
    }
    MainDialog& Main() { return f.Main(); }
    void Click(int id) { Main().Control<QPushButton>(id)->click(); }
    QString Status() { return Main().Text(kIdStatus); }
    // Waits until the box has seen `word` as the newest of at least `more`
    // requests beyond those it had.
    bool WaitForWord(const Bytes& word, std::size_t more = 5) {
        const std::size_t before = plugged.Box().Requests().size();
        return WaitUntil([&] {
            const std::vector<Bytes> requests = plugged.Box().Requests();
            return requests.size() >= before + more && requests.back() == word;
        });
    }
    bool WaitForRunHandled() {
        return WaitUntil([&] { return !Main().Run().Running() && Main().IsEnabled(kIdStart); });
    }

    PluggableBox plugged;
    DialogFixture f;
    bool connected = false;
    std::vector<std::uint8_t> saved;
};

TEST(SpeechLostLineWindow, OneBoxTheSettingsKeptAndTheRepluggedBoxRunsAgain) {
    LostLineRig r({0x00});
    ASSERT_TRUE(r.connected);
    r.Click(kIdStart);
    ASSERT_TRUE(r.WaitForWord(kM1Left));

    r.plugged.Pull();
    ASSERT_TRUE(r.WaitForRunHandled());
    EXPECT_EQ(r.Status(), QString::fromUtf8(kStatusStopped));
    ASSERT_EQ(r.f.messages.Requests().size(), 1U);
    EXPECT_EQ(r.f.messages.Requests()[0].text.toStdString(), kLinkLostText);
    EXPECT_EQ(r.f.messages.Requests()[0].caption.toStdString(), kProgramName);
    // What the program saves at its end is what the file held.
    ASSERT_TRUE(SaveSettingsFile(r.plugged.File("settings.kms"), r.Main().CurrentSettings()).ok);
    EXPECT_EQ(ReadFileBytes(r.plugged.File("settings.kms")), r.saved);

    // Not back yet: "LOS!" tries the port, finds nothing and starts no run.
    r.Click(kIdStart);
    EXPECT_FALSE(r.Main().Run().Running());
    ASSERT_EQ(r.f.messages.Requests().size(), 2U);
    EXPECT_EQ(r.f.messages.Requests()[1].text.toStdString(), kNoConnectionText);

    // Plugged in again at the same path: the next "LOS!" connects (its test
    // word is all-off) and runs.
    PtyPeer& again = r.plugged.PlugIn(2, {0x00});
    r.Click(kIdStart);
    ASSERT_TRUE(r.Main().Run().Running());
    EXPECT_EQ(r.Status(), QString::fromUtf8(kStatusRun));
    ASSERT_TRUE(r.WaitForWord(kM1Left));
    EXPECT_EQ(again.Requests().front(), kAllOff);
    r.Click(kIdEmergencyStop);
    ASSERT_TRUE(r.WaitForRunHandled());
    EXPECT_EQ(again.Requests().back(), kAllOff);
    EXPECT_EQ(r.f.messages.Requests().size(), 2U);
}

// A box that only stops answering: every exchange waits for the read
// timeout. "NOT-AUS" and "Ende" take effect after the exchange in flight:
// the box sees at most that one and the final all-off after the stop, and
// events queued meanwhile are served while the control thread waits.
TEST(SpeechLostLineWindow, SilentBoxStopsAfterTheExchangeInFlightAndTheWindowServesEvents) {
    for (const int stop : {kIdEmergencyStop, kIdEnd}) {
        SCOPED_TRACE(stop);
        LostLineRig r({0x00});
        ASSERT_TRUE(r.connected);
        r.Click(kIdStart);
        ASSERT_TRUE(r.WaitForWord(kM1Left));
        r.plugged.Box().SetAnswer({});
        const std::size_t silentFrom = r.plugged.Box().Requests().size();
        ASSERT_TRUE(r.plugged.Box().WaitForRequests(silentFrom + 1));

        bool served = false;
        std::size_t requestsWhenServed = 0;
        QTimer::singleShot(0, &r.Main(), [&] {
            served = true;
            requestsWhenServed = r.plugged.Box().Requests().size();
        });
        ASSERT_TRUE(WaitUntil([&] { return served; }));
        EXPECT_TRUE(r.Main().Run().Running());
        // Served within the wait of one unanswered exchange.
        EXPECT_LE(requestsWhenServed, silentFrom + 2);

        const std::size_t atStop = r.plugged.Box().Requests().size();
        r.Click(stop);
        ASSERT_TRUE(r.Main().Run().WaitUntilIdle(30000));
        ASSERT_TRUE(WaitUntil([&] { return !r.Main().Run().Running(); }));
        const std::vector<Bytes> requests = r.plugged.Box().Requests();
        EXPECT_LE(requests.size(), atStop + 2);
        EXPECT_EQ(requests.back(), kAllOff);
        EXPECT_TRUE(r.f.messages.Requests().empty());  // a silent box is no lost line
    }
}

}  // namespace
}  // namespace kinemo::keyboard::ui
