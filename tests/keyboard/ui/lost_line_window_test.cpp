// KinemoSpeech's main window when the box's line goes away mid-run (the
// pseudo-terminal's far end closed, as when the USB adapter is pulled) and
// when the box only stops answering: the box told once, the settings kept,
// the same port opened again by the next "LOS!", and a stop that takes
// effect after the exchange in flight while the window goes on serving events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keyboard/settings_file.h"
#include "keyboard/status_texts.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"

namespace kinemo::keyboard::ui {
namespace {

using kinemo::cli::test::ReadFileBytes;
using kinemo::testing::Bytes;
using kinemo::ui::testing::WaitUntil;

const Bytes kAllOff = {0xC1, 0x00};
const Bytes kM1Left = {0xC1, 0x01};

// A run with M1 "L" at 100 % from the start, "x" stops; the settings saved.
struct LostLineRig : testing::ConnectedFixture {
    LostLineRig() {
        KeyboardSettings settings;
        settings.start.motors[0].startState = kMotorLeft;
        settings.keys.SetAction(settings.keys.Append('x'), kEmergencyStop);
        EXPECT_TRUE(SaveSettingsFile(plugged.File("settings.kms"), settings).ok);
        saved = ReadFileBytes(plugged.File("settings.kms"));
        f.Main().ApplySettings(settings);
        f.Click(kIdStart);
        EXPECT_TRUE(plugged.WaitForWord(kM1Left));
    }
    std::vector<std::uint8_t> saved;
};

TEST(SpeechLostLineWindow, OneBoxTheSettingsKeptAndTheRepluggedBoxRunsAgain) {
    LostLineRig r;
    r.plugged.Pull();
    ASSERT_TRUE(r.f.WaitForRunHandled());
    EXPECT_EQ(r.f.Main().Text(kIdStatus), QString::fromUtf8(kStatusStopped));
    const std::string caption = std::string(kProgramName) + ": ";
    EXPECT_EQ(testing::Told(r.f.messages), std::vector<std::string>{caption + kLinkLostText});
    // What the program saves at its end is what the file held.
    ASSERT_TRUE(SaveSettingsFile(r.plugged.File("settings.kms"), r.f.Main().CurrentSettings()).ok);
    EXPECT_EQ(ReadFileBytes(r.plugged.File("settings.kms")), r.saved);

    // Not back yet: "LOS!" tries the port, finds nothing and starts no run.
    r.f.Click(kIdStart);
    EXPECT_FALSE(r.f.Main().Run().Running());
    // Plugged in again at the same path: the next "LOS!" connects (its test
    // word is all-off) and runs.
    kinemo::testing::PtyPeer& again = r.plugged.PlugIn(2, {0x00});
    r.f.Click(kIdStart);
    EXPECT_EQ(r.f.Main().Text(kIdStatus), QString::fromUtf8(kStatusRun));
    ASSERT_TRUE(r.plugged.WaitForWord(kM1Left));
    EXPECT_EQ(again.Requests().front(), kAllOff);
    r.f.Click(kIdEmergencyStop);
    ASSERT_TRUE(r.f.WaitForRunHandled());
    EXPECT_EQ(again.Requests().back(), kAllOff);
    EXPECT_EQ(testing::Told(r.f.messages),
              (std::vector<std::string>{caption + kLinkLostText, caption + kNoConnectionText}));
}

// "NOT-AUS" and "Ende" on a box that stopped answering.
TEST(SpeechLostLineWindow, SilentBoxStopsAfterTheExchangeInFlightAndTheWindowServesEvents) {
    for (const int stop : {kIdEmergencyStop, kIdEnd}) {
        SCOPED_TRACE(stop);
        LostLineRig r;
        const std::size_t atStop = r.plugged.GoSilentAndExpectEventsServed(r.f.Main());
        EXPECT_TRUE(r.f.Main().Run().Running());
        r.f.Click(stop);
        ASSERT_TRUE(r.f.Main().Run().WaitUntilIdle(30000));
        ASSERT_TRUE(WaitUntil([&] { return !r.f.Main().Run().Running(); }));
        r.plugged.ExpectStoppedAfterTheExchangeInFlight(atStop);
        EXPECT_TRUE(r.f.messages.Requests().empty());  // a silent box is no lost line
    }
}

}  // namespace
}  // namespace kinemo::keyboard::ui
