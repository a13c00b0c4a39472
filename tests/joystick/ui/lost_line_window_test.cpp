// KinemoJoy's main window when the box's line goes away mid-run (the
// pseudo-terminal's far end closed, as when the USB adapter is pulled) and
// when the box only stops answering.
#include <string>
#include <tuple>
#include <vector>

#include "joystick/joy_texts.h"
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

// The window on a box that can be pulled, in a run with the stick held full
// left, so M1 turns "L" at full speed.
class LostLineRig : public MainWindowRig {
  public:
    LostLineRig() {
        plugged.PlugIn(2, {0x00});
        Open(plugged.File("settings.kmj"));
        dialog->SaveSettings();
        saved = ReadFileBytes(plugged.File("settings.kmj"));
        Click(*dialog, kIdStart);
        EXPECT_TRUE(plugged.WaitForWord(kM1Left));
    }
    ~LostLineRig() { Close(); }

    PluggableBox plugged;
    std::vector<std::uint8_t> saved;
};

TEST(JoyLostLineWindow, OneBoxTheSettingsKeptAndTheRepluggedBoxRunsAgain) {
    LostLineRig r;
    r.plugged.Pull();
    ASSERT_TRUE(r.WaitForRunHandled());
    r.D().SaveSettings();
    EXPECT_EQ(std::tuple(Text(r.D(), kIdStatus), Boxes(r.messages),
                         ReadFileBytes(r.plugged.File("settings.kmj"))),
              std::tuple(kStatusReady, std::vector{kLost}, r.saved));

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
    EXPECT_EQ(std::pair(again.Requests().front(), Text(r.D(), kIdStatus)),
              std::pair(kAllOff, std::string(kStatusRun)));
    Click(r.D(), kIdEmergencyStop);
    ASSERT_TRUE(r.WaitForRunHandled());
    EXPECT_EQ(std::pair(again.Requests().back(), Boxes(r.messages)),
              std::pair(kAllOff, std::vector(2, kLost)));
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
        ASSERT_TRUE(stop == kIdEnd ? r.ends.size() == 1 : r.WaitForRunHandled());
        r.plugged.ExpectStoppedAfterTheExchangeInFlight(atStop);
        EXPECT_TRUE(r.messages.Requests().empty());  // a silent box is no lost line
    }
}

}  // namespace
}  // namespace kinemo::joy::ui::testing
