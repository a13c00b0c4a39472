// The main window by control id, with a virtual joystick read through the
// joystick layer, scripted boxes and file dialogs, and the real driver
// against the simulated box for everything that runs.
#include "joystick/ui/main_dialog.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <tuple>

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
using Ends = std::vector<std::pair<int, bool>>;

// A main window as the program makes it after a connection to the simulated
// box, on a fresh settings folder (or `folder`), the stick held full left.
class MainRig {
  public:
    explicit MainRig(StickShape shape = {4, 6, 1}, bool extension = false,
                     const std::string& folder = {})
        : stick(shape), device(box.Start()), com1("COM1", device), folderPath_(folder) {
        EXPECT_FALSE(device.empty()) << box.error();
        platform::JoystickPosition fullLeft;
        fullLeft.axes[0] = 0;
        stick.Set(fullLeft);
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
        ASSERT_TRUE(WaitUntil([&] { return !dialog->Running() && dialog->IsEnabled(kIdStart); }));
        EXPECT_EQ(box.Snapshot().outputs, 0);
        EXPECT_EQ(Text(D(), kIdStatus), kStatusReady);
    }

    TestStick stick;
    simulator::SimulatedBox box{simulator::SimulatedBoxOptions::FastLine()};
    std::string device;
    kinemo::testing::ScopedPortOverride com1;
    DriverLink link;
    JoySettings settings;
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
    Ends ends;
    int aboutShown = 0;
    std::unique_ptr<MainDialog> dialog;

  private:
    TempFolder folder_;
    std::string folderPath_;
};

constexpr auto kZ = static_cast<std::uint8_t>(AxisSource::kZ);

// Every enable rule of every panel, checked against the controls' state.
void ExpectEnableRules(MainDialog& d) {
    for (int m = 0; m < 4; ++m) {
        const std::pair<int, int> rules[] = {
            {kIdAxisList, kIdDirAxis},           {kIdButtonLeftList, kIdDirButtons},
            {kIdButtonRightList, kIdDirButtons}, {kIdFixedDirList, kIdDirFixed},
            {kIdEndLeftList, kIdEndSwitches},    {kIdEndRightList, kIdEndSwitches},
            {kIdSpeedAxisList, kIdSpeedAxis},    {kIdThrottleList, kIdSpeedThrottle},
            {kIdSpeedSlider, kIdSpeedFixed},     {kIdSpeedLabel, kIdSpeedFixed},
        };
        for (const auto& [control, enabler] : rules) {
            EXPECT_EQ(d.IsEnabled(control + m), d.IsChecked(enabler + m))
                << "control " << control + m << " after " << enabler + m;
        }
        for (const int radio : {kIdDirAxis, kIdDirButtons, kIdDirFixed, kIdSpeedAxis,
                                kIdSpeedThrottle, kIdSpeedFixed}) {
            EXPECT_TRUE(d.IsEnabled(radio + m));
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
        for (const auto& [id, list] : {std::pair{kIdAxisList, lists.axes},
                                       {kIdSpeedAxisList, lists.axes},
                                       {kIdThrottleList, lists.throttle},
                                       {kIdButtonLeftList, lists.buttons},
                                       {kIdButtonRightList, lists.buttons},
                                       {kIdEndLeftList, lists.inputs},
                                       {kIdEndRightList, lists.inputs},
                                       {kIdFixedDirList, lists.directions}}) {
            EXPECT_EQ(ComboTexts(d, id + m), list) << id + m;
        }
        EXPECT_EQ(
            std::tuple(Text(d, kIdThrottleList + m), Text(d, kIdPanelGroup + m),
                       Text(d, kIdAxisList + m), Text(d, kIdSpeedLabel + m)),
            std::tuple("V", "Motor " + std::to_string(m + 1), m % 2 == 0 ? "X" : "Y", "100%"));
        EXPECT_EQ(std::pair(d.IsChecked(kIdDirAxis + m), d.IsChecked(kIdSpeedFixed + m)),
                  std::pair(m < 2, m >= 2));
    }
    EXPECT_EQ(std::tuple(ComboTexts(d, kIdOffSwitchInput), ComboTexts(d, kIdOffButtonIndex),
                         ComboTexts(d, kIdModule)),
              std::tuple(lists.offSwitch, lists.buttons, lists.modules));
    EXPECT_EQ(std::tuple(Text(d, kIdOffSwitchInput), Text(d, kIdOffButtonIndex),
                         d.windowTitle().toStdString(), Text(d, kIdStatus)),
              std::tuple("E16", "32", kMainDialogTitle, kStatusReady));
    EXPECT_TRUE(d.IsEnabled(kIdStart) && !d.IsEnabled(kIdApply));
    EXPECT_FALSE(d.ControlWidget(kIdStartButton)->isVisible() ||
                 d.ControlWidget(kIdStartButtonIndex)->isVisible());
    ExpectEnableRules(d);
    // The credit button and the context menu's entry show the about box.
    Click(d, kIdCredit);
    QAction* entry = d.ContextMenu()->findChild<QAction*>(QStringLiteral("16"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text().toStdString(), "Inf&o über KinemoJoy...");
    entry->trigger();
    EXPECT_EQ(rig.aboutShown, 2);
}

TEST(JoyMainDialog, RadiosCheckBoxesAndSlidersFollowTheirRules) {
    MainRig rig;
    MainDialog& d = rig.D();
    // Panel 3 starts fixed; each step clicks one radio, then the speed radio
    // checked (0 axis, 1 throttle, 2 fixed).
    constexpr int m = 2;
    for (const auto& [radio, speed] : {std::pair{kIdDirAxis, 0},
                                       {kIdDirButtons, 2},
                                       {kIdSpeedThrottle, 1},
                                       {kIdDirAxis, 0},
                                       {kIdDirFixed, 2},
                                       {kIdSpeedAxis, 0},
                                       {kIdDirButtons, 2},
                                       {kIdSpeedAxis, 0}}) {
        Click(d, radio + m);
        EXPECT_EQ(d.CheckedRadio({kIdSpeedAxis + m, kIdSpeedThrottle + m, kIdSpeedFixed + m}),
                  speed)
            << radio;
        ExpectEnableRules(d);
    }
    for (const int check : {kIdEndSwitches + m, kIdOffSwitch, kIdOffButton, kIdEndSwitches + m,
                            kIdOffSwitch, kIdOffButton}) {
        Click(d, check);
        ExpectEnableRules(d);
    }
    auto* slider = d.Control<QSlider>(kIdSpeedSlider + 3);
    for (const int value : {37, 0, 100, 5}) {
        slider->setValue(value);
        EXPECT_EQ(Text(d, kIdSpeedLabel + 3), std::to_string(value) + "%");
    }
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(Text(d, kIdSpeedLabel + 3), "4%");
    EXPECT_TRUE(rig.messages.Requests().empty());

    // Handlers called for a control not theirs say so and change nothing.
    const MotorMapping before = d.Settings().mappings[0];
    d.OnJoyAxisCh(kIdStart);
    d.OnAxisRadio(kIdDirAxis);
    d.OnSelchangeJoyAxisCo(4);
    ASSERT_EQ(rig.messages.Requests().size(), 3U);
    for (int i = 0;
         const char* text : {kJoyAxisChAssertText, kAxisRadioAssertText, kAxisAssertText}) {
        ExpectBox(rig.messages, i++, std::string(text) + kAssertContactLine, "KinemoJoy",
                  MessageButtons::kOk);
    }
    d.StoreMappings();
    EXPECT_EQ(d.Settings().mappings[0], before);
}

TEST(JoyMainDialog, RunsDriveTheBoxAndNotAusOrTheOffSwitchEndsThemAllOff) {
    MainRig rig;
    MainDialog& d = rig.D();
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
    EXPECT_EQ(rig.Source(0), static_cast<std::uint8_t>(AxisSource::kY));
    Choose(d, kIdAxisList, 5);
    EXPECT_EQ(Text(d, kIdSpeedAxisList), "POV2");
    EXPECT_EQ(rig.Source(0), static_cast<std::uint8_t>(AxisSource::kPov));
    EXPECT_EQ(d.Controller().Live().motorSlots[0].hatMode.load(), 2);
    Click(d, kIdSpeedThrottle + 1);
    Choose(d, kIdThrottleList + 1, 2);
    EXPECT_EQ(d.Controller().Live().motorSlots[2].throttleSource.load(), kZ);

    Click(d, kIdEmergencyStop);
    EXPECT_EQ(Text(d, kIdStatus), kStatusReady);
    EXPECT_FALSE(d.IsEnabled(kIdApply));
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
        MainRig rig({4, 6, 1}, true, folder.Path());
        MainDialog& d = rig.D();
        Click(d, kIdDirButtons);  // M1 from buttons, not applied yet
        Choose(d, kIdModule, 1);
        for (int m = 0; m < 4; ++m) {
            EXPECT_EQ(Text(d, kIdPanelGroup + m), "Motor " + std::to_string(m + 5));
        }
        // The switch stored M1 and published it; M5 shows its own defaults.
        EXPECT_EQ(d.Controller().Live().motorSlots[0].fields[1].load(), 1);  // dirFromButtons
        EXPECT_TRUE(d.IsChecked(kIdDirFixed));
        EXPECT_EQ(Text(d, kIdEndLeftList), "E9");
        Click(d, kIdDirAxis);
        Choose(d, kIdAxisList, 2);  // M5 on Z
        EXPECT_EQ(rig.Source(1), kZ);
        Choose(d, kIdModule, 0);
        EXPECT_EQ(Text(d, kIdPanelGroup), "Motor 1");
        EXPECT_TRUE(d.IsChecked(kIdDirButtons));
        Choose(d, kIdModule, 1);
        EXPECT_TRUE(d.IsChecked(kIdDirAxis));
        EXPECT_EQ(Text(d, kIdAxisList), "Z");
        Click(d, kIdOffButton);
        Choose(d, kIdOffButtonIndex, 2);
        EXPECT_EQ(std::pair(d.Controller().Live().offButtonOn.load(),
                            d.Controller().Live().offButtonIndex.load()),
                  std::pair(std::uint8_t{1}, std::uint8_t{2}));
        Click(d, kIdEnd);
        ASSERT_EQ(rig.ends, (Ends{{0, true}}));
        ASSERT_TRUE(d.SaveSettings());                        // as the application frame does
        EXPECT_EQ(ReadFileBytes(rig.SettingsPath())[11], 1);  // "Extensionmodul" shown
    }
    MainRig again({4, 6, 1}, true, folder.Path());
    MainDialog& d = again.D();
    EXPECT_EQ(std::tuple(d.ComboSelection(kIdModule), Text(d, kIdPanelGroup), again.Source(1),
                         d.IsChecked(kIdOffButton), d.ComboSelection(kIdOffButtonIndex)),
              std::tuple(0, "Motor 1", kZ, true, 2));
    ExpectEnableRules(d);
}

// Settings saved for a joystick with more axes and buttons: a stored list
// position with no entry now shows no selection, and a choice binds again.
TEST(JoyMainDialog, PositionsWithoutAnEntryShowNoSelectionAndBindNothing) {
    TempFolder folder;
    {
        MainRig rig({6, 12, 1}, false, folder.Path());
        Choose(rig.D(), kIdAxisList, 5);  // "V"
        Click(rig.D(), kIdDirButtons + 1);
        Choose(rig.D(), kIdButtonRightList + 1, 11);
        ASSERT_TRUE(rig.D().SaveSettings());
    }
    MainRig rig({2, 4, 0}, false, folder.Path());
    MainDialog& d = rig.D();
    EXPECT_EQ(std::tuple(d.ComboSelection(kIdAxisList), d.ComboSelection(kIdSpeedAxisList),
                         d.ComboSelection(kIdButtonRightList + 1)),
              std::tuple(-1, -1, -1));
    EXPECT_EQ(rig.Source(0), static_cast<std::uint8_t>(AxisSource::kNone));
    Choose(d, kIdAxisList, 0);
    EXPECT_EQ(rig.Source(0), static_cast<std::uint8_t>(AxisSource::kX));
    EXPECT_TRUE(rig.messages.Requests().empty());
}

TEST(JoyMainDialog, ResetYesDuringARunStopsItAndRestoresTheDefaults) {
    MainRig rig({4, 6, 1}, true);
    MainDialog& d = rig.D();
    Click(d, kIdDirButtons + 3);
    Choose(d, kIdModule, 1);
    rig.StartRun();
    Answer(rig.messages, "y");
    Click(d, kIdReset);
    EXPECT_EQ(rig.messages.Requests().size(), 1U);
    ExpectBox(rig.messages, 0, kResetQuestionText, kResetQuestionCaption,
              MessageButtons::kYesNoCancel);
    rig.WaitForRunEnded();
    EXPECT_EQ(
        std::tuple(d.ComboSelection(kIdModule), Text(d, kIdPanelGroup),
                   d.IsChecked(kIdDirFixed + 3), d.IsEnabled(kIdApply), d.Settings().motorCount),
        std::tuple(0, "Motor 1", true, false, 8U));  // port and module kept
    EXPECT_TRUE(rig.ends.empty());
    ExpectEnableRules(d);
}

// No and OK: the file holds only the deleted mark and the program ends
// without saving; any Cancel leaves everything as it was.
TEST(JoyMainDialog, ResetNoAndOkLeavesTheDeletedFileAndEndsWithoutSaving) {
    for (const char* answers : {"no", "nc", "c"}) {
        MainRig rig;
        MainDialog& d = rig.D();
        Click(d, kIdDirButtons);
        Answer(rig.messages, answers);
        Click(d, kIdReset);
        EXPECT_EQ(rig.messages.PendingAnswers(), 0U);
        if (answers[0] == 'n') {
            ExpectBox(rig.messages, 1, kRestartText, kRestartCaption, MessageButtons::kOkCancel);
        }
        const bool deleted = std::string(answers) == "no";
        EXPECT_EQ(ReadFileBytes(rig.SettingsPath()), deleted ? Bytes(kDeletedFileText) : Bytes(""));
        EXPECT_EQ(rig.ends, (deleted ? Ends{{0, false}} : Ends{})) << answers;
        EXPECT_TRUE(deleted || d.IsChecked(kIdDirButtons));  // nothing was reset
    }
}

TEST(JoyMainDialog, JoystickLostAtTheStartAsksAbortRetryIgnore) {
    MainRig rig;
    rig.stick.Stick().Detach();
    Answer(rig.messages, "ria");
    Click(rig.D(), kIdStart);
    EXPECT_TRUE(WaitUntil([&] { return !rig.ends.empty(); }));
    ASSERT_EQ(rig.messages.Requests().size(), 3U);
    for (std::size_t i = 0; i < 3; ++i) {
        ExpectBox(rig.messages, i, kJoystickLostText, "KinemoJoy",
                  MessageButtons::kAbortRetryIgnore);
    }
    EXPECT_EQ(rig.ends, (Ends{{2, false}}));
}

TEST(JoyMainDialog, RecordingWritesEveryReadOfTheRunToTheChosenFile) {
    MainRig rig;
    MainDialog& d = rig.D();
    const std::string path = rig.SettingsPath() + ".replay";
    // A cancelled save dialog starts nothing.
    Click(d, kIdRecord);
    rig.files.Answer(QString());
    Click(d, kIdStart);
    EXPECT_EQ(Text(d, kIdStatus), kStatusReady);
    EXPECT_FALSE(d.Running());

    rig.files.Answer(QString::fromStdString(path));
    rig.StartRun();
    ASSERT_EQ(rig.files.Requests().size(), 2U);
    EXPECT_EQ(rig.files.Requests()[1].mode, platform::FileDialogMode::kSave);
    Click(d, kIdEmergencyStop);
    rig.WaitForRunEnded();
    Replay replay;
    ASSERT_TRUE(LoadReplay(path, replay).ok);
    ASSERT_GE(replay.reads.size(), 20U);
    EXPECT_EQ(std::tuple(replay.header.buttons, replay.reads.back().axes[0],
                         rig.messages.Requests().size()),
              std::tuple(6, 0U, 0U));

    // The next run without the check box reads the joystick directly again.
    Click(d, kIdRecord);
    rig.StartRun();
    Click(d, kIdEmergencyStop);
    rig.WaitForRunEnded();
    Replay unchanged;
    ASSERT_TRUE(LoadReplay(path, unchanged).ok);
    EXPECT_EQ(unchanged.reads.size(), replay.reads.size());
}

}  // namespace
}  // namespace kinemo::joy::ui::testing
