// KinemoSpeech's main window driven by control id: the key editor's rules,
// the enable and visibility rules, the defaults and the settings between
// controls and table. No box: runs are tested in main_dialog_run_test.cpp.
#include "keyboard/ui/main_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QtTest/QTest>
#include <random>
#include <string>

#include "keyboard/ui/main_dialog_ids.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"

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

// Row j of the key editor as the user sees it.
struct RowView {
    bool includeShown, stateShown, speedShown, labelShown;
    bool valuesEnabled;
};

RowView Row(const MainDialog& d, int j) {
    return {!d.ControlWidget(kIdInclude + j)->isHidden(),
            !d.ControlWidget(kIdValueState + j)->isHidden(),
            !d.ControlWidget(kIdValueSpeed + j)->isHidden(),
            !d.ControlWidget(kIdValueSpeedLabel + j)->isHidden(),
            d.IsEnabled(kIdValueSpeed + j) && d.IsEnabled(kIdValueState + j)};
}

TEST(SpeechMainDialog, ControlsCarryTheirTexts) {
    DialogFixture f;
    MainDialog& d = f.Main();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("KinemoSpeech - Baukasten-Echtzeit-Sprachsteuerung"));
    const std::pair<int, const char*> texts[] = {
        {kIdStart, "&LOS!"},
        {kIdEmergencyStop, "NOT-&AUS"},
        {kIdOffSwitch, "Austaster:"},
        {kIdReset, "Einstellungen &zurücksetzen"},
        {kIdEnd, "&Ende"},
        {kIdStatus, "Bereit"},
        {kIdAddKey, "&Neu:"},
        {kIdRemoveKey, "Entfernen"},
        {kIdMotorGroup + 2, "Motor &3"},
        {kIdEndSwitches + 1, "Endtaster (L/R):"},
        {kIdInclude + 3, "Motor 4:"},
        {kIdStartSpeedLabel, "100%"},
    };
    for (const auto& [id, text] : texts) {
        EXPECT_EQ(d.Text(id), QString::fromUtf8(text)) << id;
    }
    EXPECT_TRUE(d.Control<QPushButton>(kIdEmergencyStop)->isDefault());
    EXPECT_EQ(ComboTexts(d, kIdAction), QStringList({"--keine Aktion--", "Motorstatus ändern",
                                                     "Geschwindigkeiten ändern", "Notaus"}));
    EXPECT_EQ(ComboTexts(d, kIdStartState + 3), QStringList({"A", "L", "R"}));
    EXPECT_EQ(ComboTexts(d, kIdValueState), QStringList({"A", "L", "R"}));
    EXPECT_EQ(ComboTexts(d, kIdOffSwitchInput),
              QStringList({"E1", "E2", "E3", "E4", "E5", "E6", "E7", "E8"}));
    EXPECT_EQ(ComboTexts(d, kIdEndSwitchInputRight + 2), ComboTexts(d, kIdOffSwitchInput));
    EXPECT_EQ(d.Control<QLineEdit>(kIdInputField)->maxLength(), 1);
    EXPECT_EQ(d.Control<QLineEdit>(kIdNewKey)->maxLength(), 1);
    EXPECT_FALSE(d.IsEnabled(kIdInputField));
    EXPECT_FALSE(d.windowIcon().isNull());
}

TEST(SpeechMainDialog, AddingAKeySelectsItWithNoActionAndNoRows) {
    DialogFixture f;
    MainDialog& d = f.Main();
    f.AddKey(QStringLiteral("x"));
    EXPECT_EQ(ComboTexts(d, kIdKeyList), QStringList({"--neu--", "x"}));
    EXPECT_EQ(d.ComboSelection(kIdKeyList), 1);
    EXPECT_EQ(d.Text(kIdAction), QStringLiteral("--keine Aktion--"));
    EXPECT_EQ(d.Text(kIdNewKey), QString());
    EXPECT_FALSE(d.IsEnabled(kIdAddKey));
    EXPECT_TRUE(d.IsEnabled(kIdRemoveKey));
    for (int j = 0; j < kMotorCount; ++j) {
        const RowView row = Row(d, j);
        EXPECT_FALSE(row.includeShown || row.stateShown || row.speedShown || row.labelShown) << j;
    }
    EXPECT_EQ(d.Keys().Count(), 2);
    EXPECT_EQ(d.Keys().Character(1), 'x');
    EXPECT_EQ(d.Keys().Action(1), kNoAction);
}

TEST(SpeechMainDialog, NewIsEnabledExactlyForOneKeyCharacterWithRoomLeft) {
    DialogFixture f;
    MainDialog& d = f.Main();
    const std::pair<QString, bool> cases[] = {
        {QString(), false},
        {QStringLiteral("x"), true},
        {QStringLiteral(" "), true},
        {QStringLiteral("ü"), true},      // Latin-1: a key like any other
        {QString(QChar(0x00FF)), true},   // the last Latin-1 character
        {QString(QChar(0x0085)), false},  // a control character is no key
        {QString(QChar(0x20AC)), false},  // the euro sign is outside Latin-1
        {QString(QChar(0x0416)), false},  // so is Cyrillic
    };
    for (const auto& [text, enabled] : cases) {
        d.Control<QLineEdit>(kIdNewKey)->setText(text);
        EXPECT_EQ(d.IsEnabled(kIdAddKey), enabled) << text.toStdString();
    }
    // Clicking a disabled button adds nothing.
    d.Control<QPushButton>(kIdAddKey)->click();
    EXPECT_EQ(d.Keys().Count(), 1);

    f.AddKey(QStringLiteral("ü"));
    EXPECT_EQ(d.Keys().Character(1), 0xFC);
    EXPECT_EQ(d.ListText(kIdKeyList, 1), QString());  // the key list is a drop-down
    EXPECT_EQ(ComboTexts(d, kIdKeyList).back(), QStringLiteral("ü"));

    while (d.Keys().Count() < kMaxKeys) {
        f.AddKey(QStringLiteral("k"));
    }
    EXPECT_EQ(d.Control<QComboBox>(kIdKeyList)->count(), kMaxKeys);
    d.Control<QLineEdit>(kIdNewKey)->setText(QStringLiteral("z"));
    EXPECT_FALSE(d.IsEnabled(kIdAddKey));
    // A removal makes room again.
    d.Control<QPushButton>(kIdRemoveKey)->click();
    EXPECT_TRUE(d.IsEnabled(kIdAddKey));
}

TEST(SpeechMainDialog, SpeedActionShowsFourUncheckedRowsAtHundredDisabledUntilChecked) {
    DialogFixture f;
    MainDialog& d = f.Main();
    f.AddKey(QStringLiteral("s"));
    f.Choose(kIdAction, kSetSpeeds);
    for (int j = 0; j < kMotorCount; ++j) {
        const RowView row = Row(d, j);
        EXPECT_TRUE(row.includeShown && row.speedShown && row.labelShown) << j;
        EXPECT_FALSE(row.stateShown) << j;
        EXPECT_FALSE(d.IsChecked(kIdInclude + j));
        EXPECT_FALSE(d.IsEnabled(kIdValueSpeed + j));
        EXPECT_EQ(d.SliderValue(kIdValueSpeed + j), 100);
        EXPECT_EQ(d.Text(kIdValueSpeedLabel + j), QStringLiteral("100%"));
        EXPECT_EQ(d.Keys().Value(1, j), 100);
        EXPECT_FALSE(d.Keys().Included(1, j));
    }
    EXPECT_EQ(d.Keys().Action(1), kSetSpeeds);

    d.Control<QCheckBox>(kIdInclude + 2)->click();
    EXPECT_TRUE(d.IsEnabled(kIdValueSpeed + 2));
    EXPECT_TRUE(d.IsEnabled(kIdValueSpeedLabel + 2));
    EXPECT_FALSE(d.IsEnabled(kIdValueSpeed + 1));
    EXPECT_TRUE(d.Keys().Included(1, 2));
    d.SetSliderValue(kIdValueSpeed + 2, 35);
    EXPECT_EQ(d.Keys().Value(1, 2), 35);
    EXPECT_EQ(d.Text(kIdValueSpeedLabel + 2), QStringLiteral("35%"));
}

TEST(SpeechMainDialog, StateActionStoresChoicesAndSelectingAnEntryShowsThem) {
    DialogFixture f;
    MainDialog& d = f.Main();
    f.AddKey(QStringLiteral("a"));
    f.Choose(kIdAction, kSetStates);
    for (int j = 0; j < kMotorCount; ++j) {
        const RowView row = Row(d, j);
        EXPECT_TRUE(row.includeShown && row.stateShown) << j;
        EXPECT_FALSE(row.speedShown || row.labelShown) << j;
        EXPECT_EQ(d.Keys().Value(1, j), 0);
    }
    d.Control<QCheckBox>(kIdInclude + 1)->click();
    f.Choose(kIdValueState + 1, kMotorRight);
    EXPECT_TRUE(d.Keys().Included(1, 1));
    EXPECT_EQ(d.Keys().Value(1, 1), kMotorRight);

    // A speed entry after it; then back to "a": its rows come back as stored.
    f.AddKey(QStringLiteral("b"));
    f.Choose(kIdAction, kSetSpeeds);
    d.Control<QCheckBox>(kIdInclude + 3)->click();
    d.SetSliderValue(kIdValueSpeed + 3, 12);
    f.Choose(kIdKeyList, 1);
    EXPECT_EQ(d.Text(kIdAction), QStringLiteral("Motorstatus ändern"));
    EXPECT_TRUE(d.IsChecked(kIdInclude + 1));
    EXPECT_FALSE(d.IsChecked(kIdInclude + 3));
    EXPECT_EQ(d.ComboSelection(kIdValueState + 1), kMotorRight);
    EXPECT_TRUE(Row(d, 1).valuesEnabled);
    // The states entry's values stay state codes; the speed entry keeps 12.
    for (int j = 0; j < kMotorCount; ++j) {
        EXPECT_LE(d.Keys().Value(1, j), kMaxMotorState) << j;
    }
    f.Choose(kIdKeyList, 2);
    EXPECT_EQ(d.SliderValue(kIdValueSpeed + 3), 12);
    EXPECT_EQ(d.Text(kIdValueSpeedLabel + 3), QStringLiteral("12%"));
    EXPECT_EQ(d.Keys().Value(2, 3), 12);

    // Choosing another action clears the rows and the entry's flags.
    f.Choose(kIdAction, kEmergencyStop);
    EXPECT_EQ(d.Keys().Action(2), kEmergencyStop);
    EXPECT_FALSE(d.Keys().Included(2, 3));
    EXPECT_TRUE(d.ControlWidget(kIdInclude)->isHidden());
}

TEST(SpeechMainDialog, ThePlaceholderAlwaysShowsNoAction) {
    DialogFixture f;
    MainDialog& d = f.Main();
    f.AddKey(QStringLiteral("n"));
    f.Choose(kIdAction, kEmergencyStop);
    f.Choose(kIdKeyList, 0);
    EXPECT_EQ(d.Text(kIdAction), QStringLiteral("--keine Aktion--"));
    EXPECT_FALSE(d.IsEnabled(kIdRemoveKey));
    for (const int action : {kSetStates, kSetSpeeds, kEmergencyStop}) {
        f.Choose(kIdAction, action);
        EXPECT_EQ(d.Text(kIdAction), QStringLiteral("--keine Aktion--")) << action;
        EXPECT_EQ(d.Keys().Action(0), kNoAction);
        EXPECT_TRUE(d.ControlWidget(kIdInclude)->isHidden());
    }
    // Removing never takes the placeholder.
    d.Control<QPushButton>(kIdRemoveKey)->click();
    EXPECT_EQ(d.Keys().Count(), 2);
    EXPECT_EQ(d.Keys().Action(1), kEmergencyStop);
}

TEST(SpeechMainDialog, RemoveMovesTheFollowingEntriesDownTogether) {
    DialogFixture f;
    MainDialog& d = f.Main();
    for (const char* key : {"a", "b", "c"}) {
        f.AddKey(QString::fromLatin1(key));
    }
    f.Choose(kIdAction, kSetSpeeds);  // "c": M4 at 7 %
    d.Control<QCheckBox>(kIdInclude + 3)->click();
    d.SetSliderValue(kIdValueSpeed + 3, 7);
    f.Choose(kIdKeyList, 2);  // "b"
    f.Choose(kIdAction, kEmergencyStop);

    d.Control<QPushButton>(kIdRemoveKey)->click();
    EXPECT_EQ(ComboTexts(d, kIdKeyList), QStringList({"--neu--", "a", "c"}));
    EXPECT_EQ(d.ComboSelection(kIdKeyList), 2);  // "c" moved into the place of "b"
    EXPECT_EQ(d.Keys().Character(2), 'c');
    EXPECT_EQ(d.Keys().Action(2), kSetSpeeds);
    EXPECT_TRUE(d.Keys().Included(2, 3));
    EXPECT_EQ(d.Keys().Value(2, 3), 7);
    EXPECT_EQ(d.Text(kIdAction), QStringLiteral("Geschwindigkeiten ändern"));
    EXPECT_EQ(d.SliderValue(kIdValueSpeed + 3), 7);

    // The last entry: the one before it is selected.
    d.Control<QPushButton>(kIdRemoveKey)->click();
    EXPECT_EQ(ComboTexts(d, kIdKeyList), QStringList({"--neu--", "a"}));
    EXPECT_EQ(d.ComboSelection(kIdKeyList), 1);
    EXPECT_EQ(d.Keys().Action(2), kNoAction);  // the freed entry is cleared
    d.Control<QPushButton>(kIdRemoveKey)->click();
    EXPECT_EQ(ComboTexts(d, kIdKeyList), QStringList({"--neu--"}));
    EXPECT_FALSE(d.IsEnabled(kIdRemoveKey));
}

TEST(SpeechMainDialog, SliderLabelsFollowEveryValue) {
    DialogFixture f;
    MainDialog& d = f.Main();
    f.AddKey(QStringLiteral("v"));
    f.Choose(kIdAction, kSetSpeeds);
    for (int j = 0; j < kMotorCount; ++j) {
        for (const int value : {0, 1, 37, 99, 100}) {
            d.SetSliderValue(kIdStartSpeed + j, value);
            d.SetSliderValue(kIdValueSpeed + j, 100 - value);
            EXPECT_EQ(d.Text(kIdStartSpeedLabel + j), QStringLiteral("%1%").arg(value));
            EXPECT_EQ(d.Text(kIdValueSpeedLabel + j), QStringLiteral("%1%").arg(100 - value));
            EXPECT_EQ(d.Live().motors[j].startSpeed.load(), value);
        }
    }
    // Keys on a focused slider move it as the mouse does.
    QSlider* slider = d.Control<QSlider>(kIdStartSpeed);
    d.SetSliderValue(kIdStartSpeed, 50);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(d.Text(kIdStartSpeedLabel), QStringLiteral("51%"));
}

TEST(SpeechMainDialog, SwitchBoxesEnableTheirInputsAndReachTheLoopAtOnce) {
    DialogFixture f;
    MainDialog& d = f.Main();
    for (int j = 0; j < kMotorCount; ++j) {
        EXPECT_FALSE(d.IsEnabled(kIdEndSwitchInputLeft + j));
        d.Control<QCheckBox>(kIdEndSwitches + j)->click();
        EXPECT_TRUE(d.IsEnabled(kIdEndSwitchInputLeft + j));
        EXPECT_TRUE(d.IsEnabled(kIdEndSwitchInputRight + j));
        EXPECT_EQ(d.Live().motors[j].endSwitches.load(), 1);
        f.Choose(kIdEndSwitchInputRight + j, 6 - j);
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
}

TEST(SpeechMainDialog, ResetRestoresEveryDefault) {
    DialogFixture f;
    MainDialog& d = f.Main();
    for (int j = 0; j < kMotorCount; ++j) {
        d.Control<QCheckBox>(kIdEndSwitches + j)->click();
        f.Choose(kIdEndSwitchInputLeft + j, 7);
        f.Choose(kIdStartState + j, kMotorRight);
        d.SetSliderValue(kIdStartSpeed + j, 3);
    }
    d.Control<QCheckBox>(kIdOffSwitch)->click();
    f.Choose(kIdOffSwitchInput, 0);
    f.AddKey(QStringLiteral("q"));
    f.Choose(kIdAction, kSetSpeeds);

    // The start controls are read back through CurrentSettings(); what it
    // does not see is checked here.
    d.Control<QPushButton>(kIdReset)->click();
    EXPECT_FALSE(d.IsEnabled(kIdOffSwitchInput));
    for (int j = 0; j < kMotorCount; ++j) {
        EXPECT_FALSE(d.IsEnabled(kIdEndSwitchInputLeft + j));
        EXPECT_EQ(d.Text(kIdStartSpeedLabel + j), QStringLiteral("100%"));
        EXPECT_EQ(d.Text(kIdValueState + j), QStringLiteral("A"));
        EXPECT_EQ(d.SliderValue(kIdValueSpeed + j), 100);
    }
    EXPECT_EQ(ComboTexts(d, kIdKeyList), QStringList({"--neu--"}));
    EXPECT_EQ(d.Text(kIdAction), QStringLiteral("--keine Aktion--"));
    EXPECT_EQ(d.Keys(), KeyTable());
    EXPECT_EQ(d.Live().Load(), DefaultStartSettings());
    EXPECT_EQ(d.CurrentSettings(), KeyboardSettings());
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
        EXPECT_EQ(d.IsEnabled(kIdAddKey), false);
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
    EXPECT_EQ(opened, 1);
    ASSERT_NE(d.ContextMenu(), nullptr);
    QAction* entry = nullptr;
    for (QAction* action : d.ContextMenu()->actions()) {
        if (action->objectName() == QString::number(kCommandAbout)) {
            entry = action;
        }
    }
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), QStringLiteral("Inf&o über KinemoSpeech..."));
    entry->trigger();
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
