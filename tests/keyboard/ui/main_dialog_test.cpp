// KinemoSpeech's main window driven by control id: the key editor's rules,
// the enable and visibility rules, the defaults and the settings between
// controls and table. No box: runs are tested in main_dialog_run_test.cpp.
// What the key table does with an edit (moving entries, clearing rows) is
// tested on the table itself; here, what the window shows of it.
#include "keyboard/ui/main_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QtTest/QTest>
#include <random>
#include <string>

#include "keyboard/ui/main_dialog_ids.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"
#include "tests/platform/dialog_test_support.h"

namespace kinemo::keyboard::ui {
namespace {

using testing::DialogFixture;

QStringList ComboTexts(const MainDialog& d, int id) {
    const QComboBox* combo = d.Control<QComboBox>(id);
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) {
        texts << combo->itemText(i);
    }
    return texts;
}

// Which controls of key editor row j show: include box, state list, speed
// slider and its label, as "ISVL" with '-' for a hidden one.
std::string RowShown(const MainDialog& d, int j) {
    const int ids[] = {kIdInclude, kIdValueState, kIdValueSpeed, kIdValueSpeedLabel};
    std::string shown;
    for (int i = 0; i < 4; ++i) {
        shown += d.ControlWidget(ids[i] + j)->isHidden() ? '-' : "ISVL"[i];
    }
    return shown;
}

TEST(SpeechMainDialog, StartsWithItsControlsInTabOrderAndTheirTextsFit) {
    DialogFixture f;
    MainDialog& d = f.Main();
    // Ids, kinds, texts, tab order and what is disabled, checked or selected;
    // the default word list's place depends on where the program runs from.
    std::string controls = platform::testing::ControlInventory(d);
    const std::string wordList = d.Text(kIdWordList).toStdString();
    ASSERT_TRUE(wordList.ends_with("/befehle.txt")) << wordList;
    controls.replace(controls.find(wordList), wordList.size(), "<default word list>");
    platform::testing::ExpectSameAsStored(
        controls, QStringLiteral(KINEMO_EXPECTED_DIR "/main_dialog_controls.txt"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("KinemoSpeech - Baukasten-Echtzeit-Sprachsteuerung"));
    EXPECT_TRUE(d.Control<QPushButton>(kIdEmergencyStop)->isDefault());
    EXPECT_FALSE(d.windowIcon().isNull());
    platform::testing::ExpectTextsFit(d);
}

TEST(SpeechMainDialog, NewTakesOneLatin1KeyWhileThereIsRoomAndSelectsIt) {
    DialogFixture f;
    MainDialog& d = f.Main();
    const std::pair<QString, bool> cases[] = {
        {QString(), false},
        {QStringLiteral("x"), true},
        {QStringLiteral(" "), true},
        {QString(QChar(0x00FF)), true},   // the last Latin-1 character
        {QString(QChar(0x0085)), false},  // a control character is no key
        {QString(QChar(0x20AC)), false},  // the euro sign is outside Latin-1
        {QString(QChar(0x0416)), false},  // so is Cyrillic
    };
    for (const auto& [text, enabled] : cases) {
        d.Control<QLineEdit>(kIdNewKey)->setText(text);
        EXPECT_EQ(d.IsEnabled(kIdAddKey), enabled) << text.toStdString();
    }
    d.Control<QLineEdit>(kIdNewKey)->clear();
    d.Control<QPushButton>(kIdAddKey)->click();  // disabled: adds nothing
    EXPECT_EQ(d.Keys().Count(), 1);

    f.AddKey(QStringLiteral("ü"));
    EXPECT_EQ(ComboTexts(d, kIdKeyList), QStringList({"--neu--", "ü"}));
    EXPECT_EQ(d.Keys().Character(1), 0xFC);
    EXPECT_EQ(d.ComboSelection(kIdKeyList), 1);
    EXPECT_EQ(d.Text(kIdAction), QStringLiteral("--keine Aktion--"));
    EXPECT_EQ(d.Text(kIdNewKey), QString());
    EXPECT_FALSE(d.IsEnabled(kIdAddKey));
    EXPECT_TRUE(d.IsEnabled(kIdRemoveKey));
    for (int j = 0; j < kMotorCount; ++j) {
        EXPECT_EQ(RowShown(d, j), "----") << j;
    }

    while (d.Keys().Count() < kMaxKeys) {
        f.AddKey(QStringLiteral("k"));
    }
    EXPECT_EQ(d.Control<QComboBox>(kIdKeyList)->count(), kMaxKeys);
    d.Control<QLineEdit>(kIdNewKey)->setText(QStringLiteral("z"));
    EXPECT_FALSE(d.IsEnabled(kIdAddKey));
    d.Control<QPushButton>(kIdRemoveKey)->click();  // a removal makes room again
    EXPECT_TRUE(d.IsEnabled(kIdAddKey));
}

TEST(SpeechMainDialog, TheActionShowsItsRowsAndTheRowsStoreTheirValues) {
    DialogFixture f;
    MainDialog& d = f.Main();
    f.AddKey(QStringLiteral("a"));
    const std::pair<int, const char*> shown[] = {
        {kSetStates, "IS--"}, {kSetSpeeds, "I-VL"}, {kEmergencyStop, "----"}, {kNoAction, "----"}};
    for (const auto& [action, rows] : shown) {
        f.Choose(kIdAction, action);
        for (int j = 0; j < kMotorCount; ++j) {
            EXPECT_EQ(RowShown(d, j), rows) << action << " " << j;
            EXPECT_FALSE(d.IsChecked(kIdInclude + j));
        }
    }
    // "a" sets M2 "R"; a value stays disabled until its row is included.
    f.Choose(kIdAction, kSetStates);
    EXPECT_FALSE(d.IsEnabled(kIdValueState + 1));
    d.Control<QCheckBox>(kIdInclude + 1)->click();
    EXPECT_TRUE(d.IsEnabled(kIdValueState + 1));
    f.Choose(kIdValueState + 1, kMotorRight);
    EXPECT_TRUE(d.Keys().Included(1, 1));
    EXPECT_EQ(d.Keys().Value(1, 1), kMotorRight);

    // "b" sets M4 to 12 %; its speeds start at 100 %.
    f.AddKey(QStringLiteral("b"));
    f.Choose(kIdAction, kSetSpeeds);
    EXPECT_EQ(d.SliderValue(kIdValueSpeed + 3), 100);
    EXPECT_EQ(d.Text(kIdValueSpeedLabel + 3), QStringLiteral("100%"));
    EXPECT_FALSE(d.IsEnabled(kIdValueSpeed + 3));
    d.Control<QCheckBox>(kIdInclude + 3)->click();
    EXPECT_TRUE(d.IsEnabled(kIdValueSpeed + 3));
    EXPECT_TRUE(d.IsEnabled(kIdValueSpeedLabel + 3));
    EXPECT_FALSE(d.IsEnabled(kIdValueSpeed + 2));
    d.SetSliderValue(kIdValueSpeed + 3, 12);
    EXPECT_EQ(d.Keys().Value(2, 3), 12);

    // Selecting an entry shows it as stored.
    f.Choose(kIdKeyList, 1);
    EXPECT_EQ(d.Text(kIdAction), QStringLiteral("Motorstatus ändern"));
    EXPECT_TRUE(d.IsChecked(kIdInclude + 1));
    EXPECT_FALSE(d.IsChecked(kIdInclude + 3));
    EXPECT_EQ(d.ComboSelection(kIdValueState + 1), kMotorRight);
    EXPECT_TRUE(d.IsEnabled(kIdValueState + 1));
    for (int j = 0; j < kMotorCount; ++j) {  // state codes, never a speed
        EXPECT_LE(d.Keys().Value(1, j), kMaxMotorState) << j;
    }
    f.Choose(kIdKeyList, 2);
    EXPECT_EQ(d.SliderValue(kIdValueSpeed + 3), 12);
    EXPECT_EQ(d.Text(kIdValueSpeedLabel + 3), QStringLiteral("12%"));
    EXPECT_TRUE(d.IsChecked(kIdInclude + 3));
}

TEST(SpeechMainDialog, ThePlaceholderAlwaysShowsNoActionAndIsNeverRemoved) {
    DialogFixture f;
    MainDialog& d = f.Main();
    f.AddKey(QStringLiteral("n"));
    f.Choose(kIdAction, kEmergencyStop);
    f.Choose(kIdKeyList, 0);
    EXPECT_FALSE(d.IsEnabled(kIdRemoveKey));
    for (const int action : {kSetStates, kSetSpeeds, kEmergencyStop}) {
        f.Choose(kIdAction, action);
        EXPECT_EQ(d.Text(kIdAction), QStringLiteral("--keine Aktion--")) << action;
        EXPECT_EQ(d.Keys().Action(0), kNoAction);
        EXPECT_EQ(RowShown(d, 0), "----");
    }
    d.Control<QPushButton>(kIdRemoveKey)->click();
    EXPECT_EQ(d.Keys().Count(), 2);
}

TEST(SpeechMainDialog, RemoveShowsTheEntryThatMovedIntoThePlace) {
    DialogFixture f;
    MainDialog& d = f.Main();
    for (const char* key : {"a", "b", "c"}) {
        f.AddKey(QString::fromLatin1(key));
    }
    f.Choose(kIdAction, kSetSpeeds);  // "c": M4 at 7 %
    d.Control<QCheckBox>(kIdInclude + 3)->click();
    d.SetSliderValue(kIdValueSpeed + 3, 7);
    f.Choose(kIdKeyList, 2);  // "b"

    d.Control<QPushButton>(kIdRemoveKey)->click();
    EXPECT_EQ(ComboTexts(d, kIdKeyList), QStringList({"--neu--", "a", "c"}));
    EXPECT_EQ(d.ComboSelection(kIdKeyList), 2);
    EXPECT_EQ(d.Text(kIdAction), QStringLiteral("Geschwindigkeiten ändern"));
    EXPECT_EQ(d.SliderValue(kIdValueSpeed + 3), 7);
    EXPECT_TRUE(d.IsChecked(kIdInclude + 3));

    // The last entry: the one before it is selected.
    d.Control<QPushButton>(kIdRemoveKey)->click();
    EXPECT_EQ(ComboTexts(d, kIdKeyList), QStringList({"--neu--", "a"}));
    EXPECT_EQ(d.ComboSelection(kIdKeyList), 1);
    d.Control<QPushButton>(kIdRemoveKey)->click();
    EXPECT_EQ(ComboTexts(d, kIdKeyList), QStringList({"--neu--"}));
    EXPECT_FALSE(d.IsEnabled(kIdRemoveKey));
}

TEST(SpeechMainDialog, SlidersSwitchesAndListsReachTheLoopAtOnce) {
    DialogFixture f;
    MainDialog& d = f.Main();
    f.AddKey(QStringLiteral("v"));
    f.Choose(kIdAction, kSetSpeeds);
    for (int j = 0; j < kMotorCount; ++j) {
        d.SetSliderValue(kIdStartSpeed + j, 37 + j);
        d.SetSliderValue(kIdValueSpeed + j, 1 + j);
        EXPECT_EQ(d.Text(kIdStartSpeedLabel + j), QStringLiteral("%1%").arg(37 + j));
        EXPECT_EQ(d.Text(kIdValueSpeedLabel + j), QStringLiteral("%1%").arg(1 + j));
        EXPECT_EQ(d.Live().motors[j].startSpeed.load(), 37 + j);

        EXPECT_FALSE(d.IsEnabled(kIdEndSwitchInputLeft + j));
        d.Control<QCheckBox>(kIdEndSwitches + j)->click();
        EXPECT_TRUE(d.IsEnabled(kIdEndSwitchInputLeft + j));
        EXPECT_TRUE(d.IsEnabled(kIdEndSwitchInputRight + j));
        EXPECT_EQ(d.Live().motors[j].endSwitches.load(), 1);
        f.Choose(kIdEndSwitchInputLeft + j, 2 + j);
        f.Choose(kIdEndSwitchInputRight + j, 6 - j);
        EXPECT_EQ(d.Live().motors[j].leftInput.load(), 2 + j);
        EXPECT_EQ(d.Live().motors[j].rightInput.load(), 6 - j);
        f.Choose(kIdStartState + j, kMotorLeft);
        EXPECT_EQ(d.Live().motors[j].startState.load(), kMotorLeft);
    }
    d.Control<QCheckBox>(kIdEndSwitches + 1)->click();
    EXPECT_FALSE(d.IsEnabled(kIdEndSwitchInputRight + 1));
    EXPECT_EQ(d.Live().motors[1].endSwitches.load(), 0);

    EXPECT_FALSE(d.IsEnabled(kIdOffSwitchInput));
    d.Control<QCheckBox>(kIdOffSwitch)->click();
    EXPECT_TRUE(d.IsEnabled(kIdOffSwitchInput));
    EXPECT_EQ(d.Live().offSwitch.load(), 1);
    f.Choose(kIdOffSwitchInput, 2);
    EXPECT_EQ(d.Live().offSwitchInput.load(), 2);

    // Keys on a focused slider move it as the mouse does.
    d.SetSliderValue(kIdStartSpeed, 50);
    QTest::keyClick(d.Control<QSlider>(kIdStartSpeed), Qt::Key_Right);
    EXPECT_EQ(d.Text(kIdStartSpeedLabel), QStringLiteral("51%"));
}

TEST(SpeechMainDialog, ResetRestoresEveryDefault) {
    DialogFixture f;
    MainDialog& d = f.Main();
    for (int j = 0; j < kMotorCount; ++j) {
        d.Control<QCheckBox>(kIdEndSwitches + j)->click();
        d.SetSliderValue(kIdStartSpeed + j, 3);
    }
    d.Control<QCheckBox>(kIdOffSwitch)->click();
    f.AddKey(QStringLiteral("q"));
    f.Choose(kIdAction, kSetSpeeds);
    d.SetSliderValue(kIdValueSpeed, 5);

    // The start controls are read back through CurrentSettings(); what it
    // does not see is checked here.
    d.Control<QPushButton>(kIdReset)->click();
    EXPECT_EQ(d.CurrentSettings(), KeyboardSettings());
    EXPECT_EQ(d.Live().Load(), DefaultStartSettings());
    EXPECT_FALSE(d.IsEnabled(kIdOffSwitchInput));
    for (int j = 0; j < kMotorCount; ++j) {
        EXPECT_FALSE(d.IsEnabled(kIdEndSwitchInputLeft + j));
        EXPECT_EQ(d.Text(kIdStartSpeedLabel + j), QStringLiteral("100%"));
        EXPECT_EQ(RowShown(d, j), "----");
    }
    EXPECT_EQ(ComboTexts(d, kIdKeyList), QStringList({"--neu--"}));
    EXPECT_EQ(d.Text(kIdAction), QStringLiteral("--keine Aktion--"));
}

// Random settings through the controls and back: nothing is lost, and the
// last key is selected and shown.
TEST(SpeechMainDialog, SettingsSurviveTheControls) {
    DialogFixture f;
    MainDialog& d = f.Main();
    std::mt19937 random(7);
    auto below = [&random](int n) { return static_cast<std::uint8_t>(random() % n); };
    for (int round = 0; round < 20; ++round) {
        KeyboardSettings s;
        for (MotorStartSettings& m : s.start.motors) {
            m = {below(3), below(101), below(2) == 1, below(8), below(8)};
        }
        s.start.offSwitch = below(2) == 1;
        s.start.offSwitchInput = below(8);
        const int keys = round == 0 ? 254 : below(12);
        for (int k = 0; k < keys; ++k) {
            const int index = s.keys.Append(static_cast<std::uint8_t>(0x20 + below(0xE0)));
            const auto action = static_cast<KeyAction>(below(4));
            s.keys.SetAction(index, action);
            for (int j = 0; j < kMotorCount; ++j) {
                s.keys.SetIncluded(index, j, below(2) == 1);
                s.keys.SetValue(index, j, action == kSetSpeeds ? below(101) : below(3));
            }
        }
        d.ApplySettings(s);
        ASSERT_EQ(d.CurrentSettings(), s) << round;
        EXPECT_EQ(d.Live().Load(), s.start);
        const int last = s.keys.Count() - 1;
        EXPECT_EQ(d.ComboSelection(kIdKeyList), last);
        EXPECT_EQ(d.ComboSelection(kIdAction), last == 0 ? kNoAction : s.keys.Action(last));
        EXPECT_EQ(d.IsEnabled(kIdOffSwitchInput), s.start.offSwitch);
        EXPECT_FALSE(d.IsEnabled(kIdAddKey));
    }
}

TEST(SpeechMainDialog, CreditButtonAndContextMenuOpenTheAboutBox) {
    DialogFixture f;
    MainDialog& d = f.Main();
    int opened = 0;
    d.SetAboutHandler([&opened, &d](QWidget* parent) {
        EXPECT_EQ(parent, &d);
        ++opened;
    });
    d.Control<QPushButton>(kIdCredit)->click();
    ASSERT_NE(d.ContextMenu(), nullptr);
    for (QAction* action : d.ContextMenu()->actions()) {
        if (action->objectName() == QString::number(kCommandAbout)) {
            EXPECT_EQ(action->text(), QStringLiteral("Inf&o über KinemoSpeech..."));
            action->trigger();
        }
    }
    EXPECT_EQ(opened, 2);
}

TEST(SpeechMainDialog, StartWithoutConnectionSaysSoAndChangesNothing) {
    DialogFixture f;
    MainDialog& d = f.Main();
    d.Control<QPushButton>(kIdStart)->click();
    ASSERT_EQ(f.messages.Requests().size(), 1U);
    EXPECT_EQ(f.messages.Requests()[0].text, QStringLiteral("Keine Verbindung zum Interface!"));
    EXPECT_EQ(platform::EffectiveCaption(f.messages.Requests()[0]), QStringLiteral("KinemoSpeech"));
    EXPECT_EQ(d.Text(kIdStatus), QStringLiteral("Bereit"));
    EXPECT_TRUE(d.IsEnabled(kIdStart));
    EXPECT_FALSE(d.IsEnabled(kIdInputField));
    EXPECT_FALSE(d.Run().Running());
}

}  // namespace
}  // namespace kinemo::keyboard::ui
