// The main window by control id, with a virtual joystick read through the
// joystick layer, scripted boxes and file dialogs, and the real driver
// against the simulated box for everything that runs.
#include "joystick/ui/main_dialog.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSlider>

#include "joystick/joy_connect.h"
#include "joystick/joy_texts.h"
#include "joystick/settings_file.h"
#include "joystick/ui/main_dialog_ids.h"
#include "simulator/simulated_box.h"
#include "tests/joystick/ui/joy_window_test_support.h"
#include "tests/platform/scoped_port_override.h"

namespace kinemo::joy::ui::testing {
namespace {

using platform::MessageButtons;
using platform::MessageResult;

constexpr std::uint32_t kFullLeft = 0;

// A main window as the program makes it after a connection to the simulated
// box, on a fresh settings folder.
class MainRig {
  public:
    explicit MainRig(StickShape shape = {4, 6, 1}, bool extension = false,
                     const std::string& folder = {})
        : stick(shape), folderPath_(folder) {
        const std::string device = box.Start();
        EXPECT_FALSE(device.empty()) << box.error();
        com1 = std::make_unique<kinemo::testing::ScopedPortOverride>("COM1", device);
        settings = ConnectedSettings(stick.Caps(), extension);
        EXPECT_TRUE(ConnectInterface(link, settings, nullptr));
        MainDialogServices services;
        services.link = &link;
        services.source = &stick.Source();
        services.messages = &messages;
        services.files = &files;
        services.endProgram = [this](int code, bool save) { ends.emplace_back(code, save); };
        services.showAbout = [this](QWidget*) { ++aboutShown; };
        services.settingsPath = SettingsPath();
        services.caps = stick.Caps();
        dialog = std::make_unique<MainDialog>(settings, std::move(services));
        dialog->show();
    }
    ~MainRig() {
        dialog.reset();  // stops a run and waits for its all-off exchange
        link.Close();
        box.Stop();
    }

    std::string SettingsPath() const {
        return (folderPath_.empty() ? folder_.Path() : folderPath_) + "/settings.kmj";
    }
    MainDialog& D() { return *dialog; }
    LiveSlot& Live(int slot) { return dialog->Controller().Live().slots[slot]; }

    // Holds the stick at X, the rest centred.
    void HoldX(std::uint32_t x) {
        platform::JoystickPosition position;
        position.axes[0] = x;
        stick.Set(position);
    }

    // "LOS!" and wait until the box has seen the run going.
    void StartRun() {
        const std::uint64_t target = box.Snapshot().ticks + 20;
        Click(D(), kIdStart);
        ASSERT_EQ(Text(D(), kIdStatus), kStatusRun);
        ASSERT_TRUE(WaitUntil([&] { return box.Snapshot().ticks >= target; }));
    }
    // Waits until the end of the run has been handled by the window.
    bool WaitForRunEnded() {
        return WaitUntil([&] { return !dialog->Running() && dialog->IsEnabled(kIdStart); });
    }

    TestStick stick;
    simulator::SimulatedBox box{simulator::SimulatedBoxOptions::FastLine()};
    std::unique_ptr<kinemo::testing::ScopedPortOverride> com1;
    DriverLink link;
    JoySettings settings;
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
    std::vector<std::pair<int, bool>> ends;
    int aboutShown = 0;
    std::unique_ptr<MainDialog> dialog;

  private:
    TempFolder folder_;
    std::string folderPath_;
};

// Every enable rule of every panel, checked against the controls' state.
void ExpectEnableRules(MainDialog& d) {
    for (int m = 0; m < 4; ++m) {
        const std::pair<int, int> rules[] = {
            {kIdAxisList + m, kIdDirAxis + m},
            {kIdButtonLeftList + m, kIdDirButtons + m},
            {kIdButtonRightList + m, kIdDirButtons + m},
            {kIdFixedDirList + m, kIdDirFixed + m},
            {kIdEndLeftList + m, kIdEndSwitches + m},
            {kIdEndRightList + m, kIdEndSwitches + m},
            {kIdSpeedAxisList + m, kIdSpeedAxis + m},
            {kIdThrottleList + m, kIdSpeedThrottle + m},
            {kIdSpeedSlider + m, kIdSpeedFixed + m},
            {kIdSpeedLabel + m, kIdSpeedFixed + m},
        };
        for (const auto& [control, enabler] : rules) {
            EXPECT_EQ(d.IsEnabled(control), d.IsChecked(enabler))
                << "control " << control << " after " << enabler;
        }
        for (const int radio : {kIdDirAxis + m, kIdDirButtons + m, kIdDirFixed + m,
                                kIdSpeedAxis + m, kIdSpeedThrottle + m, kIdSpeedFixed + m}) {
            EXPECT_TRUE(d.IsEnabled(radio));
        }
    }
    EXPECT_EQ(d.IsEnabled(kIdOffSwitchInput), d.IsChecked(kIdOffSwitch));
    EXPECT_EQ(d.IsEnabled(kIdOffButtonIndex), d.IsChecked(kIdOffButton));
}

// The lists are the engine's for this joystick and module; M1 and M2 follow
// X and Y, M3 and M4 stand; the start button is hidden.
TEST(JoyMainDialog, AFreshWindowShowsTheJoysticksListsAndTheDefaultsReady) {
    MainRig rig({6, 32, 1}, true);
    MainDialog& d = rig.D();
    const ListContents lists = MakeListContents(d.Settings());
    for (int m = 0; m < 4; ++m) {
        EXPECT_EQ(ComboTexts(d, kIdAxisList + m), lists.axes);
        EXPECT_EQ(ComboTexts(d, kIdSpeedAxisList + m), lists.axes);
        EXPECT_EQ(ComboTexts(d, kIdThrottleList + m), lists.throttle);
        EXPECT_EQ(Text(d, kIdThrottleList + m), "V");
        EXPECT_EQ(ComboTexts(d, kIdButtonLeftList + m), lists.buttons);
        EXPECT_EQ(ComboTexts(d, kIdButtonRightList + m), lists.buttons);
        EXPECT_EQ(ComboTexts(d, kIdEndLeftList + m), lists.inputs);
        EXPECT_EQ(ComboTexts(d, kIdEndRightList + m), lists.inputs);
        EXPECT_EQ(ComboTexts(d, kIdFixedDirList + m), lists.directions);
        EXPECT_EQ(Text(d, kIdPanelGroup + m), "Motor " + std::to_string(m + 1));
        EXPECT_EQ(d.IsChecked(kIdDirAxis + m), m < 2);
        EXPECT_EQ(d.IsChecked(kIdSpeedFixed + m), m >= 2);
        EXPECT_EQ(Text(d, kIdAxisList + m), m % 2 == 0 ? "X" : "Y");
        EXPECT_EQ(Text(d, kIdSpeedLabel + m), "100%");
    }
    EXPECT_EQ(ComboTexts(d, kIdOffSwitchInput), lists.offSwitch);
    EXPECT_EQ(Text(d, kIdOffSwitchInput), "E16");
    EXPECT_EQ(ComboTexts(d, kIdOffButtonIndex), lists.buttons);
    EXPECT_EQ(Text(d, kIdOffButtonIndex), "32");
    EXPECT_EQ(ComboTexts(d, kIdModule), lists.modules);
    EXPECT_EQ(d.windowTitle().toStdString(), kMainDialogTitle);
    EXPECT_EQ(Text(d, kIdStatus), kStatusReady);
    EXPECT_TRUE(d.IsEnabled(kIdStart));
    EXPECT_FALSE(d.IsEnabled(kIdApply));
    EXPECT_FALSE(d.ControlWidget(kIdStartButton)->isVisible());
    EXPECT_FALSE(d.ControlWidget(kIdStartButtonIndex)->isVisible());
    ExpectEnableRules(d);
}

TEST(JoyMainDialog, DirectionRadiosTakeTheSpeedAlong) {
    // Panel 2 starts fixed; each step clicks one radio and says which speed
    // radio is then checked.
    struct Step {
        int radio;
        int speedChecked;
    };
    const Step steps[] = {
        {kIdDirAxis, kIdSpeedAxis},           {kIdDirButtons, kIdSpeedFixed},
        {kIdSpeedThrottle, kIdSpeedThrottle}, {kIdDirAxis, kIdSpeedAxis},
        {kIdDirFixed, kIdSpeedFixed},         {kIdSpeedAxis, kIdSpeedAxis},
        {kIdDirButtons, kIdSpeedFixed},       {kIdSpeedAxis, kIdSpeedAxis},
    };
    MainRig rig;
    MainDialog& d = rig.D();
    constexpr int m = 2;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.radio);
        Click(d, step.radio + m);
        EXPECT_EQ(d.CheckedRadio({kIdSpeedAxis + m, kIdSpeedThrottle + m, kIdSpeedFixed + m}),
                  step.speedChecked == kIdSpeedAxis       ? 0
                  : step.speedChecked == kIdSpeedThrottle ? 1
                                                          : 2);
        ExpectEnableRules(d);
    }
    // The end switches and the off settings follow their check boxes.
    for (const int check : {kIdEndSwitches + m, kIdOffSwitch, kIdOffButton}) {
        Click(d, check);
        ExpectEnableRules(d);
        Click(d, check);
        ExpectEnableRules(d);
    }
    EXPECT_TRUE(rig.messages.Requests().empty());
}

TEST(JoyMainDialog, ForeignControlsGetTheAssertionMessageAndChangeNothing) {
    MainRig rig;
    MainDialog& d = rig.D();
    const MotorMapping before = d.Settings().mappings[0];
    d.OnJoyAxisCh(kIdStart);
    d.OnAxisRadio(kIdDirAxis);
    d.OnSelchangeJoyAxisCo(4);
    const std::vector<std::string> expected{
        std::string(kJoyAxisChAssertText) + kAssertContactLine,
        std::string(kAxisRadioAssertText) + kAssertContactLine,
        std::string(kAxisAssertText) + kAssertContactLine,
    };
    ASSERT_EQ(rig.messages.Requests().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rig.messages.Requests()[i].text.toStdString(), expected[i]);
        EXPECT_EQ(rig.messages.Requests()[i].caption.toStdString(), "KinemoJoy");
        EXPECT_EQ(rig.messages.Requests()[i].buttons, MessageButtons::kOk);
    }
    d.StoreMappings();
    EXPECT_EQ(d.Settings().mappings[0], before);
    ExpectEnableRules(d);
}

TEST(JoyMainDialog, SliderLabelsFollowEveryMove) {
    MainRig rig;
    MainDialog& d = rig.D();
    auto* slider = d.Control<QSlider>(kIdSpeedSlider + 3);
    for (const int value : {37, 0, 100, 5}) {
        slider->setValue(value);
        EXPECT_EQ(Text(d, kIdSpeedLabel + 3), std::to_string(value) + "%");
    }
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(Text(d, kIdSpeedLabel + 3), "4%");
}

TEST(JoyMainDialog, RunsDriveTheBoxAndNotAusEndsWithAllOff) {
    MainRig rig;
    MainDialog& d = rig.D();
    rig.HoldX(kFullLeft);
    rig.StartRun();
    EXPECT_FALSE(d.IsEnabled(kIdStart));
    EXPECT_TRUE(d.IsEnabled(kIdApply));
    EXPECT_TRUE(WaitUntil([&] { return rig.box.Snapshot().motors[0].onTicks > 10; }));
    // "Übernehmen" applies a panel during the run: M3 fixed "L".
    Choose(d, kIdFixedDirList + 2, 1);
    Click(d, kIdApply);
    EXPECT_TRUE(WaitUntil([&] { return rig.box.Snapshot().motors[2].onTicks > 10; }));
    // The axis lists rebind at once: "Y" in M1's speed axis list shows in
    // both lists; "POV2" sets the hat mode; the throttle list of M2 (slot 2).
    Choose(d, kIdSpeedAxisList, 1);
    EXPECT_EQ(Text(d, kIdAxisList), "Y");
    EXPECT_EQ(rig.Live(0).axisSource.load(), static_cast<std::uint8_t>(AxisSource::kY));
    Choose(d, kIdAxisList, 5);
    EXPECT_EQ(Text(d, kIdSpeedAxisList), "POV2");
    EXPECT_EQ(rig.Live(0).axisSource.load(), static_cast<std::uint8_t>(AxisSource::kPov));
    EXPECT_EQ(rig.Live(0).hatMode.load(), 2);
    Click(d, kIdSpeedThrottle + 1);
    Choose(d, kIdThrottleList + 1, 2);
    EXPECT_EQ(rig.Live(2).throttleSource.load(), static_cast<std::uint8_t>(AxisSource::kZ));

    Click(d, kIdEmergencyStop);
    EXPECT_EQ(Text(d, kIdStatus), kStatusReady);
    EXPECT_TRUE(d.IsEnabled(kIdStart));
    EXPECT_FALSE(d.IsEnabled(kIdApply));
    EXPECT_TRUE(rig.WaitForRunEnded());
    EXPECT_EQ(rig.box.Snapshot().outputs, 0);
    EXPECT_EQ(Text(d, kIdStatus), kStatusReady);

    // Return presses "NOT-AUS" wherever the focus is; idle it only says "Bereit".
    Click(d, kIdStart);
    QTest::keyClick(d.ControlWidget(kIdAxisList + 1), Qt::Key_Return);
    EXPECT_EQ(Text(d, kIdStatus), kStatusReady);
    EXPECT_TRUE(rig.WaitForRunEnded());
    EXPECT_EQ(rig.box.Snapshot().outputs, 0);
}

// A run that ends by itself (here the off switch E8) reaches the window.
TEST(JoyMainDialog, TheOffSwitchEndsTheRunItself) {
    MainRig rig;
    MainDialog& d = rig.D();
    rig.HoldX(kFullLeft);
    Click(d, kIdOffSwitch);
    rig.StartRun();
    rig.box.ForceInput(8, simulator::InputForce::kOn);
    EXPECT_TRUE(rig.WaitForRunEnded());
    EXPECT_EQ(Text(d, kIdStatus), kStatusReady);
    EXPECT_EQ(rig.box.Snapshot().outputs, 0);
}

// Each module keeps its panels; after "Ende" and a restart the window shows
// Hauptmodul again, with M5 still on Z and the off button as chosen.
TEST(JoyMainDialog, ModulesKeepTheirPanelsAndComeBackOnHauptmodulAfterARestart) {
    TempFolder folder;
    {
        MainRig rig({4, 6, 1}, true, folder.Path());
        MainDialog& d = rig.D();
        Click(d, kIdDirButtons);  // M1 from buttons, not applied yet
        Choose(d, kIdModule, 1);
        for (int m = 0; m < 4; ++m) {
            EXPECT_EQ(Text(d, kIdPanelGroup + m), "Motor " + std::to_string(m + 5));
        }
        // The switch stored M1 and published it; M5 shows its own defaults.
        EXPECT_EQ(rig.Live(0).fields[1].load(), 1);  // dirFromButtons
        EXPECT_TRUE(d.IsChecked(kIdDirFixed));
        EXPECT_EQ(Text(d, kIdEndLeftList), "E9");
        Click(d, kIdDirAxis);
        Choose(d, kIdAxisList, 2);  // M5 on Z
        EXPECT_EQ(rig.Live(1).axisSource.load(), static_cast<std::uint8_t>(AxisSource::kZ));
        Choose(d, kIdModule, 0);
        EXPECT_EQ(Text(d, kIdPanelGroup), "Motor 1");
        EXPECT_TRUE(d.IsChecked(kIdDirButtons));
        Choose(d, kIdModule, 1);
        EXPECT_TRUE(d.IsChecked(kIdDirAxis));
        EXPECT_EQ(Text(d, kIdAxisList), "Z");
        Click(d, kIdOffButton);
        Choose(d, kIdOffButtonIndex, 2);
        EXPECT_EQ(rig.dialog->Controller().Live().offButtonOn.load(), 1);
        EXPECT_EQ(rig.dialog->Controller().Live().offButtonIndex.load(), 2);
        ExpectEnableRules(d);
        Click(d, kIdEnd);
        ASSERT_EQ(rig.ends, (std::vector<std::pair<int, bool>>{{0, true}}));
        ASSERT_TRUE(d.SaveSettings());                        // as the application frame does
        EXPECT_EQ(ReadFileBytes(rig.SettingsPath())[11], 1);  // "Extensionmodul" shown
    }
    MainRig again({4, 6, 1}, true, folder.Path());
    MainDialog& d = again.D();
    EXPECT_EQ(d.ComboSelection(kIdModule), 0);
    EXPECT_EQ(Text(d, kIdPanelGroup), "Motor 1");
    EXPECT_EQ(again.Live(1).axisSource.load(), static_cast<std::uint8_t>(AxisSource::kZ));
    EXPECT_TRUE(d.IsChecked(kIdOffButton));
    EXPECT_EQ(d.ComboSelection(kIdOffButtonIndex), 2);
    ExpectEnableRules(d);
}

// Settings saved for a joystick with more axes and buttons: a stored list
// position with no entry now shows no selection, and a choice binds again.
TEST(JoyMainDialog, PositionsWithoutAnEntryShowNoSelectionAndBindNothing) {
    TempFolder folder;
    {
        MainRig rig({6, 12, 1}, false, folder.Path());
        MainDialog& d = rig.D();
        Choose(d, kIdAxisList, 5);  // "V"
        Click(d, kIdDirButtons + 1);
        Choose(d, kIdButtonRightList + 1, 11);
        ASSERT_TRUE(d.SaveSettings());
    }
    MainRig rig({2, 4, 0}, false, folder.Path());
    MainDialog& d = rig.D();
    EXPECT_EQ(d.ComboSelection(kIdAxisList), -1);
    EXPECT_EQ(d.ComboSelection(kIdSpeedAxisList), -1);
    EXPECT_EQ(d.ComboSelection(kIdButtonRightList + 1), -1);
    EXPECT_EQ(rig.Live(0).axisSource.load(), static_cast<std::uint8_t>(AxisSource::kNone));
    Choose(d, kIdAxisList, 0);
    EXPECT_EQ(rig.Live(0).axisSource.load(), static_cast<std::uint8_t>(AxisSource::kX));
    EXPECT_TRUE(rig.messages.Requests().empty());
}

TEST(JoyMainDialog, ResetYesDuringARunStopsItAndRestoresTheDefaults) {
    MainRig rig({4, 6, 1}, true);
    MainDialog& d = rig.D();
    rig.HoldX(kFullLeft);
    Click(d, kIdDirButtons + 3);
    Choose(d, kIdModule, 1);
    rig.StartRun();
    rig.messages.Answer(MessageResult::kYes);
    Click(d, kIdReset);
    ASSERT_EQ(rig.messages.Requests().size(), 1U);
    EXPECT_EQ(rig.messages.Requests()[0].text.toStdString(), kResetQuestionText);
    EXPECT_EQ(rig.messages.Requests()[0].caption.toStdString(), kResetQuestionCaption);
    EXPECT_EQ(rig.messages.Requests()[0].buttons, MessageButtons::kYesNoCancel);
    EXPECT_TRUE(rig.WaitForRunEnded());
    EXPECT_EQ(rig.box.Snapshot().outputs, 0);
    EXPECT_EQ(d.ComboSelection(kIdModule), 0);
    EXPECT_EQ(Text(d, kIdPanelGroup), "Motor 1");
    EXPECT_TRUE(d.IsChecked(kIdDirFixed + 3));
    EXPECT_FALSE(d.IsEnabled(kIdApply));
    EXPECT_EQ(d.Settings().motorCount, 8U);  // port and module kept
    EXPECT_TRUE(rig.ends.empty());
    ExpectEnableRules(d);
}

TEST(JoyMainDialog, ResetNoAndOkLeavesTheDeletedFileAndEndsWithoutSaving) {
    struct Case {
        std::vector<MessageResult> answers;
        bool deleted;
    };
    const Case cases[] = {
        {{MessageResult::kNo, MessageResult::kOk}, true},
        {{MessageResult::kNo, MessageResult::kCancel}, false},
        {{MessageResult::kCancel}, false},
    };
    for (const Case& c : cases) {
        MainRig rig;
        MainDialog& d = rig.D();
        Click(d, kIdDirButtons);
        for (const MessageResult answer : c.answers) {
            rig.messages.Answer(answer);
        }
        Click(d, kIdReset);
        EXPECT_EQ(rig.messages.PendingAnswers(), 0U);
        if (c.answers.size() > 1) {
            EXPECT_EQ(rig.messages.Requests()[1].text.toStdString(), kRestartText);
            EXPECT_EQ(rig.messages.Requests()[1].caption.toStdString(), kRestartCaption);
            EXPECT_EQ(rig.messages.Requests()[1].buttons, MessageButtons::kOkCancel);
        }
        if (c.deleted) {
            EXPECT_EQ(ReadFileBytes(rig.SettingsPath()), Bytes(kDeletedFileText));
            EXPECT_EQ(rig.ends, (std::vector<std::pair<int, bool>>{{0, false}}));
        } else {
            EXPECT_TRUE(ReadFileBytes(rig.SettingsPath()).empty());
            EXPECT_TRUE(rig.ends.empty());
            EXPECT_TRUE(d.IsChecked(kIdDirButtons));  // nothing was reset
        }
    }
}

TEST(JoyMainDialog, JoystickLostAtTheStartAsksAbortRetryIgnore) {
    MainRig rig;
    MainDialog& d = rig.D();
    rig.stick.Stick().Detach();
    rig.messages.Answer(MessageResult::kRetry);
    rig.messages.Answer(MessageResult::kIgnore);
    rig.messages.Answer(MessageResult::kAbort);
    Click(d, kIdStart);
    EXPECT_TRUE(WaitUntil([&] { return !rig.ends.empty(); }));
    ASSERT_EQ(rig.messages.Requests().size(), 3U);
    for (const platform::MessageRequest& box : rig.messages.Requests()) {
        EXPECT_EQ(box.text.toStdString(), kJoystickLostText);
        EXPECT_EQ(box.caption.toStdString(), "KinemoJoy");
        EXPECT_EQ(box.buttons, MessageButtons::kAbortRetryIgnore);
    }
    EXPECT_EQ(rig.ends, (std::vector<std::pair<int, bool>>{{2, false}}));
}

TEST(JoyMainDialog, RecordingWritesEveryReadOfTheRunToTheChosenFile) {
    MainRig rig;
    MainDialog& d = rig.D();
    TempFolder folder;
    const std::string path = folder.File("bewegung.replay");
    // A cancelled save dialog starts nothing.
    Click(d, kIdRecord);
    rig.files.Answer(QString());
    Click(d, kIdStart);
    EXPECT_EQ(Text(d, kIdStatus), kStatusReady);
    EXPECT_FALSE(d.Running());

    rig.files.Answer(QString::fromStdString(path));
    rig.HoldX(kFullLeft);
    rig.StartRun();
    ASSERT_EQ(rig.files.Requests().size(), 2U);
    EXPECT_EQ(rig.files.Requests()[1].mode, platform::FileDialogMode::kSave);
    Click(d, kIdEmergencyStop);
    ASSERT_TRUE(rig.WaitForRunEnded());

    Replay replay;
    ASSERT_TRUE(LoadReplay(path, replay).ok);
    EXPECT_EQ(replay.header.buttons, 6);
    ASSERT_GE(replay.reads.size(), 20U);
    EXPECT_EQ(replay.reads.back().axes[0], kFullLeft);
    EXPECT_TRUE(rig.messages.Requests().empty());

    // The next run without the check box reads the joystick directly again.
    Click(d, kIdRecord);
    rig.StartRun();
    Click(d, kIdEmergencyStop);
    ASSERT_TRUE(rig.WaitForRunEnded());
    Replay unchanged;
    ASSERT_TRUE(LoadReplay(path, unchanged).ok);
    EXPECT_EQ(unchanged.reads.size(), replay.reads.size());
}

TEST(JoyMainDialog, WaysOutAndTheAboutBox) {
    MainRig rig;
    MainDialog& d = rig.D();
    QTest::keyClick(&d, Qt::Key_Escape);
    d.close();
    Click(d, kIdEnd);
    EXPECT_EQ(rig.ends, (std::vector<std::pair<int, bool>>(3, {0, true})));

    Click(d, kIdCredit);
    QAction* entry = d.ContextMenu()->findChild<QAction*>(QStringLiteral("16"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text().toStdString(), "Inf&o über KinemoJoy...");
    entry->trigger();
    EXPECT_EQ(rig.aboutShown, 2);
}

}  // namespace
}  // namespace kinemo::joy::ui::testing
