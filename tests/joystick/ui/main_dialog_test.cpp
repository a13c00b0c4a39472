// The main window by control id, with a virtual joystick read through the
// joystick layer, scripted boxes and file dialogs, and the real driver
// against the simulated box for everything that runs.
#include "joystick/ui/main_dialog.h"

#include <QAction>
#include <QMenu>
#include <QSlider>
#include <tuple>

#include "joystick/joy_texts.h"
#include "joystick/settings_file.h"
#include "simulator/simulated_box.h"
#include "tests/joystick/ui/joy_window_test_support.h"
#include "tests/platform/scoped_port_override.h"

namespace kinemo::joy::ui::testing {
namespace {

using platform::MessageButtons;
using Ends = std::vector<std::pair<int, bool>>;

// The main window on the simulated box, on a fresh settings folder (or
// `folder`).
class MainRig : public MainWindowRig {
  public:
    explicit MainRig(bool extension = false, const std::string& folder = {})
        : device(box.Start()),
          com1("COM1", device),
          path((folder.empty() ? temp.Path() : folder) + "/settings.kmj") {
        Open(path, extension, [this](QWidget*) { ++aboutShown; });
    }
    ~MainRig() { Close(); }

    std::uint8_t Source(int slot) {
        return dialog->Controller().Live().motorSlots[slot].axisSource.load();
    }
    // "LOS!" and wait until the box has seen the run going.
    void StartRun() {
        const std::uint64_t target = box.Snapshot().ticks + 20;
        Click(D(), kIdStart);
        ASSERT_EQ(Text(D(), kIdStatus), kStatusRun);
        ASSERT_TRUE(WaitUntil([&] { return box.Snapshot().ticks >= target; }));
    }
    // Waits until the end of the run has been handled by the window, all off.
    void WaitForRunEnded() {
        ASSERT_TRUE(WaitForRunHandled());
        EXPECT_EQ(std::pair(int{box.Snapshot().outputs}, Text(D(), kIdStatus)),
                  std::pair(0, std::string(kStatusReady)));
    }

    TempFolder temp;
    simulator::SimulatedBox box{simulator::SimulatedBoxOptions::FastLine()};
    std::string device;
    kinemo::testing::ScopedPortOverride com1;
    std::string path;
    int aboutShown = 0;
};

constexpr auto kY = static_cast<std::uint8_t>(AxisSource::kY);
constexpr auto kZ = static_cast<std::uint8_t>(AxisSource::kZ);

// Every enable rule of every panel, checked against the controls' state.
void ExpectEnableRules(MainDialog& d) {
    const std::pair<int, int> rules[] = {
        {kIdAxisList, kIdDirAxis},           {kIdButtonLeftList, kIdDirButtons},
        {kIdButtonRightList, kIdDirButtons}, {kIdFixedDirList, kIdDirFixed},
        {kIdEndLeftList, kIdEndSwitches},    {kIdEndRightList, kIdEndSwitches},
        {kIdSpeedAxisList, kIdSpeedAxis},    {kIdThrottleList, kIdSpeedThrottle},
        {kIdSpeedSlider, kIdSpeedFixed},     {kIdSpeedLabel, kIdSpeedFixed}};
    for (int m = 0; m < 4; ++m) {
        for (const auto& [control, enabler] : rules) {
            EXPECT_EQ(d.IsEnabled(control + m), d.IsChecked(enabler + m)) << control + m;
        }
    }
    EXPECT_EQ(d.IsEnabled(kIdOffSwitchInput), d.IsChecked(kIdOffSwitch));
    EXPECT_EQ(d.IsEnabled(kIdOffButtonIndex), d.IsChecked(kIdOffButton));
}

// Panel 3 starts fixed; after each click the speed radio checked (0 axis,
// 1 throttle, 2 fixed) and the enable rules; check boxes enable their lists.
TEST(JoyMainDialog, RadiosCheckBoxesSlidersAndHandlersFollowTheirRules) {
    MainRig rig;
    MainDialog& d = rig.D();
    // The lists no other test chooses from hold the engine's entries.
    const ListContents l = MakeListContents(d.Settings());
    const auto t = [&d](int id) {
        std::vector<std::string> texts;
        for (int i = 0; i < d.Control<QComboBox>(id)->count(); ++i) {
            texts.push_back(d.Control<QComboBox>(id)->itemText(i).toStdString());
        }
        return texts;
    };
    EXPECT_EQ(std::tuple(t(kIdButtonLeftList + 3), t(kIdEndRightList + 3), t(kIdOffSwitchInput)),
              std::tuple(l.buttons, l.inputs, l.offSwitch));
    constexpr int m = 2;
    const int clicks[] = {kIdDirAxis + m,    kIdDirButtons + m, kIdSpeedThrottle + m,
                          kIdDirAxis + m,    kIdDirFixed + m,   kIdSpeedAxis + m,
                          kIdDirButtons + m, kIdSpeedAxis + m,  kIdEndSwitches + m,
                          kIdOffSwitch,      kIdOffButton,      kIdEndSwitches + m,
                          kIdOffSwitch,      kIdOffButton};
    for (int i = 0; const int id : clicks) {
        const int speed = "02102020000000"[i++] - '0';
        Click(d, id);
        EXPECT_EQ(d.CheckedRadio({kIdSpeedAxis + m, kIdSpeedThrottle + m, kIdSpeedFixed + m}),
                  speed)
            << id;
        ExpectEnableRules(d);
    }
    auto* slider = d.Control<QSlider>(kIdSpeedSlider + 3);
    slider->setValue(5);
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(Text(d, kIdSpeedLabel + 3), "4%");
    // The credit button and the context menu's entry show the about box.
    Click(d, kIdCredit);
    QAction* about = d.ContextMenu()->findChild<QAction*>(QStringLiteral("16"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text().toStdString(), "Inf&o über KinemoJoy...");
    about->trigger();
    EXPECT_EQ(std::pair(rig.aboutShown, rig.messages.Requests().size()), std::pair(2, 0UL));

    // Handlers called for a control not theirs say so and change nothing.
    const MotorMapping before = d.Settings().mappings[0];
    d.OnJoyAxisCh(kIdStart);
    d.OnAxisRadio(kIdDirAxis);
    d.OnSelchangeJoyAxisCo(4);
    const auto box = [](const char* text) {
        return Box{std::string(text) + kAssertContactLine, "KinemoJoy", MessageButtons::kOk};
    };
    EXPECT_EQ(Boxes(rig.messages), (std::vector{box(kJoyAxisChAssertText),
                                                box(kAxisRadioAssertText), box(kAxisAssertText)}));
    d.StoreMappings();
    EXPECT_EQ(d.Settings().mappings[0], before);
}

TEST(JoyMainDialog, RunsDriveTheBoxAndNotAusOrTheOffSwitchEndsThemAllOff) {
    MainRig rig;
    MainDialog& d = rig.D();
    const LiveSettings& live = d.Controller().Live();
    rig.StartRun();
    EXPECT_EQ(std::pair(d.IsEnabled(kIdStart), d.IsEnabled(kIdApply)), std::pair(false, true));
    EXPECT_TRUE(WaitUntil([&] { return rig.box.Snapshot().motors[0].onTicks > 10; }));
    // "Übernehmen" applies a panel during the run: M3 fixed "L".
    Choose(d, kIdFixedDirList + 2, 1);
    Click(d, kIdApply);
    EXPECT_TRUE(WaitUntil([&] { return rig.box.Snapshot().motors[2].onTicks > 10; }));
    // The axis lists rebind at once: "Y" in M1's speed axis list shows in
    // both lists; "POV2" sets the hat mode; the throttle list of M2 (slot 2).
    Choose(d, kIdSpeedAxisList, 1);
    EXPECT_EQ(std::pair(Text(d, kIdAxisList), rig.Source(0)), std::pair(std::string("Y"), kY));
    Choose(d, kIdAxisList, 5);
    EXPECT_EQ(
        std::tuple(Text(d, kIdSpeedAxisList), rig.Source(0), live.motorSlots[0].hatMode.load()),
        std::tuple("POV2", static_cast<std::uint8_t>(AxisSource::kPov), 2));
    Click(d, kIdSpeedThrottle + 1);
    Choose(d, kIdThrottleList + 1, 2);
    EXPECT_EQ(live.motorSlots[2].throttleSource.load(), kZ);

    Click(d, kIdEmergencyStop);
    EXPECT_EQ(std::pair(Text(d, kIdStatus), d.IsEnabled(kIdApply)),
              std::pair(std::string(kStatusReady), false));
    rig.WaitForRunEnded();
    // Return presses "NOT-AUS" wherever the focus is; idle it only says "Bereit".
    Click(d, kIdStart);
    QTest::keyClick(d.ControlWidget(kIdAxisList + 1), Qt::Key_Return);
    EXPECT_EQ(Text(d, kIdStatus), kStatusReady);
    rig.WaitForRunEnded();
    // A run that ends by itself (here the off switch E8) reaches the window.
    Click(d, kIdOffSwitch);
    rig.StartRun();
    rig.box.ForceInput(8, simulator::InputForce::kOn);
    rig.WaitForRunEnded();
}

// Each module keeps its panels; after "Ende" and a restart the window shows
// Hauptmodul again, with M5 still on Z and the off button as chosen.
TEST(JoyMainDialog, ModulesKeepTheirPanelsAndComeBackOnHauptmodulAfterARestart) {
    TempFolder folder;
    {
        MainRig rig(true, folder.Path());
        MainDialog& d = rig.D();
        const LiveSettings& live = d.Controller().Live();
        Click(d, kIdDirButtons);  // M1 from buttons, not applied yet
        Choose(d, kIdModule, 1);
        // The switch stored M1 and published it; M5 shows its own defaults.
        EXPECT_EQ(std::tuple(Text(d, kIdPanelGroup), Text(d, kIdPanelGroup + 3),
                             live.motorSlots[0].fields[1].load(), d.IsChecked(kIdDirFixed),
                             Text(d, kIdEndLeftList)),
                  std::tuple("Motor 5", "Motor 8", 1, true, "E9"));
        Click(d, kIdDirAxis);
        Choose(d, kIdAxisList, 2);  // M5 on Z
        EXPECT_EQ(rig.Source(1), kZ);
        Choose(d, kIdModule, 0);
        EXPECT_EQ(std::pair(Text(d, kIdPanelGroup), d.IsChecked(kIdDirButtons)),
                  std::pair(std::string("Motor 1"), true));
        Choose(d, kIdModule, 1);
        EXPECT_EQ(std::pair(Text(d, kIdAxisList), d.IsChecked(kIdDirAxis)),
                  std::pair(std::string("Z"), true));
        Click(d, kIdOffButton);
        Choose(d, kIdOffButtonIndex, 2);
        EXPECT_EQ(std::pair(live.offButtonOn.load(), live.offButtonIndex.load()),
                  std::pair(std::uint8_t{1}, std::uint8_t{2}));
        // Escape and the close box end the program as "Ende" does.
        QTest::keyClick(&d, Qt::Key_Escape);
        d.close();
        Click(d, kIdEnd);
        ASSERT_EQ(rig.ends, (Ends{{0, true}, {0, true}, {0, true}}));
        ASSERT_TRUE(d.SaveSettings());              // as the application frame does
        EXPECT_EQ(ReadFileBytes(rig.path)[11], 1);  // "Extensionmodul" shown
    }
    MainRig again(true, folder.Path());
    MainDialog& d = again.D();
    EXPECT_EQ(std::tuple(d.ComboSelection(kIdModule), Text(d, kIdPanelGroup), again.Source(1),
                         d.IsChecked(kIdOffButton), d.ComboSelection(kIdOffButtonIndex)),
              std::tuple(0, "Motor 1", kZ, true, 2));
    ExpectEnableRules(d);
}

// Yes (here during a run) stops the run and restores the defaults, port and
// module kept; No and OK leave only the deleted mark and end without saving;
// any Cancel leaves everything as it was.
TEST(JoyMainDialog, ResetAnswers) {
    const Box question{kResetQuestionText, kResetQuestionCaption, MessageButtons::kYesNoCancel};
    const Box restart{kRestartText, kRestartCaption, MessageButtons::kOkCancel};
    for (const std::string answers : {"y", "no", "nc", "c"}) {
        SCOPED_TRACE(answers);
        MainRig rig(true);
        MainDialog& d = rig.D();
        Click(d, kIdDirButtons + 3);  // M4
        Choose(d, kIdModule, 1);
        Click(d, kIdDirButtons + 3);  // M8
        const bool yes = answers == "y", deleted = answers == "no";
        if (yes) {
            rig.StartRun();
        }
        Answer(rig.messages, answers);
        Click(d, kIdReset);
        if (yes) {
            rig.WaitForRunEnded();
        }
        EXPECT_EQ(
            std::tuple(Boxes(rig.messages), ReadFileBytes(rig.path), rig.ends),
            std::tuple(answers.size() == 1 ? std::vector{question} : std::vector{question, restart},
                       deleted ? Bytes(kDeletedFileText) : Bytes(""),
                       deleted ? Ends{{0, false}} : Ends{}));
        if (!deleted) {
            EXPECT_EQ(std::tuple(d.ComboSelection(kIdModule), Text(d, kIdPanelGroup),
                                 d.IsChecked(kIdDirFixed + 3), d.IsEnabled(kIdApply),
                                 d.Settings().motorCount),
                      std::tuple(yes ? 0 : 1, yes ? "Motor 1" : "Motor 5", yes, false, 8U));
            ExpectEnableRules(d);
        }
    }
}

TEST(JoyMainDialog, JoystickLostAtTheStartAsksAbortRetryIgnore) {
    MainRig rig;
    rig.stick.Stick().Detach();
    Answer(rig.messages, "ria");
    Click(rig.D(), kIdStart);
    EXPECT_TRUE(WaitUntil([&] { return !rig.ends.empty(); }));
    EXPECT_EQ(Boxes(rig.messages), std::vector(3, Box{kJoystickLostText, "KinemoJoy",
                                                      MessageButtons::kAbortRetryIgnore}));
    EXPECT_EQ(rig.ends, (Ends{{2, false}}));
}

// A cancelled save dialog starts nothing; a chosen file gets every read of
// the run; the next run without the check box leaves it as it is.
TEST(JoyMainDialog, RecordingWritesEveryReadOfTheRunToTheChosenFile) {
    MainRig rig;
    MainDialog& d = rig.D();
    const std::string path = rig.path + ".replay";
    Click(d, kIdRecord);
    rig.files.Answer(QString());
    Click(d, kIdStart);
    EXPECT_EQ(std::pair(Text(d, kIdStatus), d.Running()),
              std::pair(std::string(kStatusReady), false));

    rig.files.Answer(QString::fromStdString(path));
    rig.StartRun();
    Click(d, kIdEmergencyStop);
    rig.WaitForRunEnded();
    const std::vector<std::uint8_t> recorded = ReadFileBytes(path);
    Replay replay;
    ASSERT_TRUE(LoadReplay(path, replay).ok);
    EXPECT_EQ(std::tuple(rig.files.Requests().back().mode, replay.reads.size() >= 20,
                         replay.reads.back().axes[0], rig.messages.Requests().size()),
              std::tuple(platform::FileDialogMode::kSave, true, 0U, 0U));

    Click(d, kIdRecord);
    rig.StartRun();
    Click(d, kIdEmergencyStop);
    rig.WaitForRunEnded();
    EXPECT_EQ(ReadFileBytes(path), recorded);
}

}  // namespace
}  // namespace kinemo::joy::ui::testing
