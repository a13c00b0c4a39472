// KinemoJoy's main window when the box's line goes away mid-run (the
// pseudo-terminal's far end closed, as when the USB adapter is pulled) and
// when the box only stops answering: the box told once, the settings kept,
// the same port opened again by the next "LOS!", and a stop that takes
// effect after the exchange in flight while the window goes on serving events.
#include <memory>
#include <string>
#include <vector>

#include "joystick/joy_connect.h"
#include "joystick/joy_texts.h"
#include "joystick/ui/main_dialog.h"
#include "joystick/ui/main_dialog_ids.h"
#include "tests/joystick/ui/joy_window_test_support.h"
#include "tests/platform/pluggable_box.h"

namespace kinemo::joy::ui::testing {
namespace {

using kinemo::testing::Bytes;
using kinemo::testing::PluggableBox;
using kinemo::testing::PtyPeer;

const Bytes kAllOff = {0xC1, 0x00};
const Bytes kM1Left = {0xC1, 0x01};
const Box kLost{kLinkLostText, kProgramTitle, platform::MessageButtons::kOk};

// The window as the program opens it after connecting to a box on COM1, in a
// run with the stick held full left, so M1 turns "L" at full speed.
class LostLineRig {
  public:
    LostLineRig() {
        plugged.PlugIn(2, {0x00});
        settings = ConnectedSettings(stick.Caps(), false);
        EXPECT_TRUE(ConnectInterface(link, settings, nullptr));
        dialog = std::make_unique<MainDialog>(
            settings, MainDialogServices{.link = &link,
                                         .source = &stick.Source(),
                                         .messages = &messages,
                                         .files = &files,
                                         .endProgram =
                                             [this](int, bool) {
                                                 ++ends;  // stops as the program frame does
                                                 dialog->Controller().StopAndWait();
                                             },
                                         .showAbout = {},
                                         .settingsPath = plugged.File("settings.kmj"),
                                         .caps = stick.Caps()});
        dialog->show();
        dialog->SaveSettings();
        saved = ReadFileBytes(plugged.File("settings.kmj"));
        Click(*dialog, kIdStart);
        EXPECT_TRUE(plugged.WaitForWord(kM1Left));
    }
    ~LostLineRig() {
        dialog.reset();  // stops a run and waits for its all-off exchange
        link.Close();
    }

    MainDialog& D() { return *dialog; }
    bool WaitForRunHandled() {
        return WaitUntil([&] { return !D().Running() && D().IsEnabled(kIdStart); });
    }
    PluggableBox plugged;
    TestStick stick;
    DriverLink link;
    JoySettings settings;
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
    std::unique_ptr<MainDialog> dialog;
    std::vector<std::uint8_t> saved;
    int ends = 0;
};

TEST(JoyLostLineWindow, OneBoxTheSettingsKeptAndTheRepluggedBoxRunsAgain) {
    LostLineRig r;
    r.plugged.Pull();
    ASSERT_TRUE(r.WaitForRunHandled());
    EXPECT_EQ(Text(r.D(), kIdStatus), kStatusReady);
    EXPECT_EQ(Boxes(r.messages), std::vector{kLost});
    r.D().SaveSettings();
    EXPECT_EQ(ReadFileBytes(r.plugged.File("settings.kmj")), r.saved);

    // Not back yet: the run tries the port, finds nothing and ends at once
    // as lost again, told once more.
    Click(r.D(), kIdStart);
    ASSERT_TRUE(r.WaitForRunHandled());
    EXPECT_EQ(Boxes(r.messages), std::vector(2, kLost));

    // Plugged in again at the same path: the next "LOS!" connects (its test
    // word is all-off) and runs.
    PtyPeer& again = r.plugged.PlugIn(2, {0x00});
    Click(r.D(), kIdStart);
    ASSERT_TRUE(r.plugged.WaitForWord(kM1Left));
    EXPECT_EQ(again.Requests().front(), kAllOff);
    EXPECT_EQ(Text(r.D(), kIdStatus), kStatusRun);
    Click(r.D(), kIdEmergencyStop);
    ASSERT_TRUE(r.WaitForRunHandled());
    EXPECT_EQ(again.Requests().back(), kAllOff);
    EXPECT_EQ(Boxes(r.messages), std::vector(2, kLost));
}

// "NOT-AUS" and "Ende" (whose program frame stops the run and waits for it)
// on a box that stopped answering.
TEST(JoyLostLineWindow, SilentBoxStopsAfterTheExchangeInFlightAndTheWindowServesEvents) {
    for (const int stop : {kIdEmergencyStop, kIdEnd}) {
        SCOPED_TRACE(stop);
        LostLineRig r;
        const std::size_t atStop = r.plugged.GoSilentAndExpectEventsServed(r.D());
        EXPECT_TRUE(r.D().Running());
        Click(r.D(), stop);
        ASSERT_TRUE(r.D().Controller().WaitUntilIdle(30000));
        if (stop == kIdEmergencyStop) {
            ASSERT_TRUE(r.WaitForRunHandled());
        } else {
            EXPECT_EQ(r.ends, 1);
        }
        r.plugged.ExpectStoppedAfterTheExchangeInFlight(atStop);
        EXPECT_TRUE(r.messages.Requests().empty());  // a silent box is no lost line
    }
}

}  // namespace
}  // namespace kinemo::joy::ui::testing
