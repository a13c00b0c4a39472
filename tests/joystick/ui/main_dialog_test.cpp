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
        : stick(shape), extension_(extension), folderPath_(folder) {
        device = box.Start();
        EXPECT_FALSE(device.empty()) << box.error();
        com1 = std::make_unique<kinemo::testing::ScopedPortOverride>("COM1", device);
        settings = ConnectedSettings(stick.Caps(), extension);
        EXPECT_TRUE(ConnectInterface(link, settings, nullptr));
        Open();
    }
    ~MainRig() {
        dialog.reset();  // stops a run and waits for its all-off exchange
        link.Close();
        box.Stop();
    }

    void Open() {
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

    bool WaitForMoreTicks(std::uint64_t more) {
        const std::uint64_t target = box.Snapshot().ticks + more;
        return WaitUntil([&] { return box.Snapshot().ticks >= target; });
    }
    // "LOS!" and wait until the box has seen the run going.
    void StartRun() {
        Click(D(), kIdStart);
        ASSERT_EQ(Text(D(), kIdStatus), kStatusRun);
        ASSERT_TRUE(WaitForMoreTicks(20));
    }
    // Waits until the end of the run has been handled by the window.
    bool WaitForRunEnded() {
        return WaitUntil([&] { return !dialog->Running() && dialog->IsEnabled(kIdStart); });
    }

    TestStick stick;
    simulator::SimulatedBox box{simulator::SimulatedBoxOptions::FastLine()};
    std::string device;
    std::unique_ptr<kinemo::testing::ScopedPortOverride> com1;
    DriverLink link;
    JoySettings settings;
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
    std::vector<std::pair<int, bool>> ends;
    int aboutShown = 0;
    std::unique_ptr<MainDialog> dialog;

  private:
    bool extension_;
    TempFolder folder_;
    std::string folderPath_;
};

std::vector<std::string> Numbered(const char* format, int count) {
    std::vector<std::string> texts;
    for (int i = 1; i <= count; ++i) {
        texts.push_back(QString::asprintf(format, i).toStdString());
    }
    return texts;
}

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

TEST(JoyMainDialog, ListsFollowTheJoystickAndTheModule) {
    struct Case {
        StickShape shape;
        bool extension;
        std::vector<std::string> axes;
        std::vector<std::string> throttle;
        std::string throttleDefault;
        int inputs;
    };
    const Case cases[] = {
        {{2, 4, 0}, false, {"X", "Y"}, {"X", "Y"}, "Y", 8},
        {{2, 4, 1}, false, {"X", "Y", "POV1", "POV2"}, {"X", "Y"}, "Y", 8},
        {{6, 32, 1},
         true,
         {"X", "Y", "Z", "R", "U", "V", "POV1", "POV2"},
         {"X", "Y", "Z", "R", "U", "V"},
         "V",
         16},
        {{3, 1, 0}, true, {"X", "Y", "Z"}, {"X", "Y", "Z"}, "Z", 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.axes.size());
        MainRig rig(c.shape, c.extension);
        MainDialog& d = rig.D();
        for (int m = 0; m < 4; ++m) {
            EXPECT_EQ(ComboTexts(d, kIdAxisList + m), c.axes);
            EXPECT_EQ(ComboTexts(d, kIdSpeedAxisList + m), c.axes);
            EXPECT_EQ(ComboTexts(d, kIdThrottleList + m), c.throttle);
            EXPECT_EQ(d.Text(kIdThrottleList + m).toStdString(), c.throttleDefault);
            EXPECT_EQ(ComboTexts(d, kIdButtonLeftList + m), Numbered("%2u", c.shape.buttons));
            EXPECT_EQ(ComboTexts(d, kIdButtonRightList + m), Numbered("%2u", c.shape.buttons));
            EXPECT_EQ(ComboTexts(d, kIdEndLeftList + m), Numbered("E%u", c.inputs));
            EXPECT_EQ(ComboTexts(d, kIdFixedDirList + m),
                      (std::vector<std::string>{"A", "L", "R"}));
            EXPECT_EQ(Text(d, kIdPanelGroup + m), "Motor " + std::to_string(m + 1));
        }
        EXPECT_EQ(ComboTexts(d, kIdOffSwitchInput), Numbered("E%u", c.inputs));
        EXPECT_EQ(d.Text(kIdOffSwitchInput).toStdString(), "E" + std::to_string(c.inputs));
        EXPECT_EQ(ComboTexts(d, kIdOffButtonIndex), Numbered("%2u", c.shape.buttons));
        EXPECT_EQ(d.ComboSelection(kIdOffButtonIndex), c.shape.buttons - 1);
        std::vector<std::string> modules{"Hauptmodul"};
        if (c.extension) {
            modules.push_back("Extensionmodul");
        }
        EXPECT_EQ(ComboTexts(d, kIdModule), modules);
    }
}

TEST(JoyMainDialog, StartsWithTheDefaultsReadyAndEveryControlById) {
    MainRig rig;
    MainDialog& d = rig.D();
    EXPECT_EQ(d.windowTitle().toStdString(), kMainDialogTitle);
    EXPECT_EQ(Text(d, kIdStatus), kStatusReady);
    EXPECT_TRUE(d.IsEnabled(kIdStart));
    EXPECT_FALSE(d.IsEnabled(kIdApply));
    EXPECT_FALSE(d.ControlWidget(kIdStartButton)->isVisible());
    EXPECT_FALSE(d.ControlWidget(kIdStartButtonIndex)->isVisible());
    EXPECT_EQ(Text(d, kIdReset), "Alle Einstellungen zurücksetzen");
    EXPECT_EQ(Text(d, kIdApply), "Übernehmen");
    // M1 follows X and M2 Y, direction and speed; M3 and M4 stand at 100 %.
    for (int m = 0; m < 4; ++m) {
        const bool axis = m < 2;
        EXPECT_EQ(d.IsChecked(kIdDirAxis + m), axis);
        EXPECT_EQ(d.IsChecked(kIdSpeedAxis + m), axis);
        EXPECT_EQ(d.IsChecked(kIdDirFixed + m), !axis);
        EXPECT_EQ(d.IsChecked(kIdSpeedFixed + m), !axis);
        EXPECT_EQ(d.Text(kIdAxisList + m).toStdString(), m % 2 == 0 ? "X" : "Y");
        EXPECT_EQ(d.Text(kIdFixedDirList + m).toStdString(), "A");
        EXPECT_EQ(Text(d, kIdSpeedLabel + m), "100%");
    }
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

TEST(JoyMainDialog, AxisListsShowOneEntryAndRebindAtOnceDuringARun) {
    MainRig rig;
    MainDialog& d = rig.D();
    rig.HoldX(32768);
    rig.StartRun();
    // "Y" in the speed axis list of panel 1 rebinds M1 while it runs.
    Choose(d, kIdSpeedAxisList, 1);
    EXPECT_EQ(d.Text(kIdAxisList).toStdString(), "Y");
    EXPECT_EQ(rig.Live(0).axisSource.load(), static_cast<std::uint8_t>(AxisSource::kY));
    // "POV2" in the direction list sets the hat mode; both lists follow.
    Choose(d, kIdAxisList, 5);
    EXPECT_EQ(d.Text(kIdSpeedAxisList).toStdString(), "POV2");
    EXPECT_EQ(rig.Live(0).axisSource.load(), static_cast<std::uint8_t>(AxisSource::kPov));
    EXPECT_EQ(rig.Live(0).hatMode.load(), 2);
    // The throttle list rebinds too (panel 2 is M2, slot 2).
    Click(d, kIdSpeedThrottle + 1);
    Choose(d, kIdThrottleList + 1, 2);
    EXPECT_EQ(rig.Live(2).throttleSource.load(), static_cast<std::uint8_t>(AxisSource::kZ));
    Click(d, kIdEmergencyStop);
    EXPECT_TRUE(rig.WaitForRunEnded());
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

TEST(JoyMainDialog, OffSwitchAndOffButtonEndTheRunThemselves) {
    for (const bool bySwitch : {true, false}) {
        SCOPED_TRACE(bySwitch);
        MainRig rig;
        MainDialog& d = rig.D();
        rig.HoldX(kFullLeft);
        Click(d, bySwitch ? kIdOffSwitch : kIdOffButton);  // E8, button 6 by default
        rig.StartRun();
        if (bySwitch) {
            rig.box.ForceInput(8, simulator::InputForce::kOn);
        } else {
            platform::JoystickPosition position;
            position.axes[0] = kFullLeft;
            position.buttons = 1U << 5;
            rig.stick.Set(position);
        }
        EXPECT_TRUE(rig.WaitForRunEnded());
        EXPECT_EQ(Text(d, kIdStatus), kStatusReady);
        EXPECT_EQ(rig.box.Snapshot().outputs, 0);
    }
}

TEST(JoyMainDialog, ModuleSwitchRetitlesAndKeepsEachModulesPanels) {
    MainRig rig({4, 6, 1}, true);
    MainDialog& d = rig.D();
    Click(d, kIdDirButtons);  // M1 from buttons, not applied yet
    Choose(d, kIdModule, 1);
    for (int m = 0; m < 4; ++m) {
        EXPECT_EQ(Text(d, kIdPanelGroup + m), "Motor " + std::to_string(m + 5));
    }
    // The switch stored M1 and published it; M5 shows its own defaults.
    EXPECT_EQ(rig.Live(0).fields[1].load(), 1);  // dirFromButtons
    EXPECT_TRUE(d.IsChecked(kIdDirFixed));
    EXPECT_EQ(ComboTexts(d, kIdEndLeftList)[d.ComboSelection(kIdEndLeftList)], "E9");
    Click(d, kIdDirAxis);
    Choose(d, kIdAxisList, 2);  // M5 on Z
    EXPECT_EQ(rig.Live(1).axisSource.load(), static_cast<std::uint8_t>(AxisSource::kZ));
    Choose(d, kIdModule, 0);
    EXPECT_EQ(Text(d, kIdPanelGroup), "Motor 1");
    EXPECT_TRUE(d.IsChecked(kIdDirButtons));
    Choose(d, kIdModule, 1);
    EXPECT_TRUE(d.IsChecked(kIdDirAxis));
    EXPECT_EQ(d.Text(kIdAxisList).toStdString(), "Z");
    ExpectEnableRules(d);
}

TEST(JoyMainDialog, SavedSettingsComeBackOnHauptmodulWithTheExtensionMotorOnZ) {
    TempFolder folder;
    {
        MainRig rig({4, 6, 1}, true, folder.Path());
        MainDialog& d = rig.D();
        Choose(d, kIdModule, 1);
        Click(d, kIdDirAxis);
        Choose(d, kIdAxisList, 2);
        Click(d, kIdOffButton);
        Choose(d, kIdOffButtonIndex, 2);
        Click(d, kIdEnd);
        ASSERT_EQ(rig.ends, (std::vector<std::pair<int, bool>>{{0, true}}));
        ASSERT_TRUE(d.SaveSettings());  // as the application frame does
        const std::vector<std::uint8_t> bytes = ReadFileBytes(rig.SettingsPath());
        ASSERT_EQ(bytes.size(), kSettingsFileSize);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "KMJ14");
        EXPECT_EQ(bytes[11], 1);  // saved while "Extensionmodul" was shown
    }
    MainRig again({4, 6, 1}, true, folder.Path());
    MainDialog& d = again.D();
    EXPECT_EQ(d.ComboSelection(kIdModule), 0);
    EXPECT_EQ(Text(d, kIdPanelGroup), "Motor 1");
    EXPECT_EQ(again.Live(1).axisSource.load(), static_cast<std::uint8_t>(AxisSource::kZ));
    EXPECT_TRUE(d.IsChecked(kIdOffButton));
    EXPECT_EQ(d.ComboSelection(kIdOffButtonIndex), 2);
    EXPECT_EQ(again.dialog->Controller().Live().offButtonIndex.load(), 2);
    ExpectEnableRules(d);
}

// Settings saved for a joystick with more axes and buttons: a stored list
// position with no entry now shows no selection and binds its motor to
// nothing, and the window stays usable.
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
    // A run with the stick pushed fully left leaves the unbound M1 off.
    rig.HoldX(kFullLeft);
    rig.StartRun();
    EXPECT_EQ(rig.box.Snapshot().motors[0].onTicks, 0U);
    // Choosing an entry binds it again at once.
    Choose(d, kIdAxisList, 0);
    EXPECT_EQ(rig.Live(0).axisSource.load(), static_cast<std::uint8_t>(AxisSource::kX));
    EXPECT_TRUE(WaitUntil([&] { return rig.box.Snapshot().motors[0].onTicks > 10; }));
    Click(d, kIdEmergencyStop);
    EXPECT_TRUE(rig.WaitForRunEnded());
    EXPECT_EQ(rig.box.Snapshot().outputs, 0);
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
    const ReplayParseResult parsed = LoadReplay(path, replay);
    ASSERT_TRUE(parsed.ok) << parsed.message << " line " << parsed.line;
    EXPECT_EQ(replay.header.name, rig.stick.Caps().name);
    EXPECT_EQ(replay.header.axes, 4);
    EXPECT_EQ(replay.header.buttons, 6);
    EXPECT_EQ(replay.header.hat, 1);
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
