// The main window's controls: starting state, speed labels, the target row
// following the start row, the duration filter and the copy between controls
// and records.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>

#include "platform/dialog_units.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

using engine::MovementRecord;

class MainDialogTest : public MainDialogFixture {};

TEST_F(MainDialogTest, StartsWithEveryMotorPanelInItsInitialState) {
    for (int m = 0; m < engine::kMotorCount; ++m) {
        SCOPED_TRACE(m);
        const MotorPanelIds ids = PanelIds(m);
        EXPECT_EQ(Get<QGroupBox>(ids.group)->title(), QStringLiteral("Motor %1").arg(m + 1));
        for (const int id : {ids.speed1, ids.speed2}) {
            EXPECT_EQ(Get<QSlider>(id)->minimum(), 0);
            EXPECT_EQ(Get<QSlider>(id)->maximum(), 99);
            EXPECT_EQ(Get<QSlider>(id)->value(), 99);  // 100 clamped
            EXPECT_EQ(Get<QSlider>(id)->tickPosition(), QSlider::NoTicks);
        }
        for (const int id : {ids.fine1, ids.fine2}) {
            EXPECT_EQ(Get<QSlider>(id)->maximum(), 100);
            EXPECT_EQ(Get<QSlider>(id)->value(), 100);
        }
        EXPECT_EQ(Text(ids.label1), QStringLiteral("100.00 %"));
        EXPECT_EQ(Text(ids.label2), QStringLiteral("100.00 %"));
        EXPECT_TRUE(Get<QLabel>(ids.label1)->alignment() & Qt::AlignRight);
        EXPECT_TRUE(dialog->IsChecked(ids.off));
        EXPECT_FALSE(dialog->IsChecked(ids.left));
        EXPECT_FALSE(dialog->IsChecked(ids.right));
        EXPECT_EQ(Text(ids.left), QStringLiteral("Links"));
        EXPECT_EQ(Text(ids.right), QStringLiteral("Rechts"));
        EXPECT_FALSE(dialog->IsChecked(ids.accelCheck));
        EXPECT_EQ(Text(ids.accelCheck), QStringLiteral("Beschleunigung"));
        EXPECT_TRUE(dialog->IsChecked(ids.maxDurationCheck));
        EXPECT_EQ(Text(ids.maxDurationCheck), QStringLiteral("Max. dauer:"));
        EXPECT_FALSE(dialog->IsChecked(ids.maxImpulsesCheck));
        EXPECT_EQ(Text(ids.maxImpulsesCheck), QStringLiteral("Max. Impulse:"));
        EXPECT_FALSE(dialog->IsChecked(ids.endSwitchCheck));
        EXPECT_EQ(Text(ids.endSwitchCheck), QStringLiteral("Endtaster:"));
        EXPECT_EQ(Text(ids.accelText), QStringLiteral("Beschl. dauer:"));
        EXPECT_EQ(Text(ids.impulseAnText), QStringLiteral("an"));
        EXPECT_EQ(Text(ids.maxDurationEdit), QStringLiteral("125"));
        EXPECT_EQ(Text(ids.accelEdit), QStringLiteral("125"));
        EXPECT_EQ(Text(ids.impulseEdit), QStringLiteral("0"));

        for (const int id :
             {ids.speed2, ids.fine2, ids.label2, ids.accelText, ids.accelEdit, ids.impulseEdit,
              ids.impulseAnText, ids.impulseInput, ids.endSwitchInput}) {
            EXPECT_FALSE(dialog->IsEnabled(id)) << id;
        }
        for (const int id : {ids.speed1, ids.fine1, ids.label1, ids.left, ids.off, ids.right,
                             ids.accelCheck, ids.maxDurationCheck, ids.maxDurationEdit,
                             ids.maxImpulsesCheck, ids.endSwitchCheck}) {
            EXPECT_TRUE(dialog->IsEnabled(id)) << id;
        }
        for (const int id : {ids.impulseInput, ids.endSwitchInput}) {
            auto* combo = Get<QComboBox>(id);
            ASSERT_EQ(combo->count(), 8);
            EXPECT_EQ(combo->itemText(0), QStringLiteral("E1"));
            EXPECT_EQ(combo->itemText(7), QStringLiteral("E8"));
        }
        EXPECT_EQ(dialog->ComboSelection(ids.impulseInput), 2 * m);
        EXPECT_EQ(dialog->ComboSelection(ids.endSwitchInput), 2 * m + 1);
    }
}

TEST_F(MainDialogTest, StartsWithTheListColumnAndBottomRowInTheirInitialState) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Kinemo"));
    const platform::DialogUnitBase units = dialog->Units();
    EXPECT_EQ(dialog->width(), platform::HorizontalUnitsToPixels(units, 461));
    EXPECT_EQ(dialog->height(), platform::VerticalUnitsToPixels(units, 327));

    ASSERT_EQ(Lines(), 1);
    EXPECT_EQ(dialog->ListText(kIdMovementList, 0), QStringLiteral("Neue Bewegung"));
    EXPECT_EQ(dialog->ListSelection(kIdMovementList), 0);
    EXPECT_EQ(Text(kIdMovementName), QStringLiteral("Neue Bewegung"));
    EXPECT_EQ(Get<QLineEdit>(kIdMovementName)->maxLength(), 20);
    EXPECT_EQ(Status(), "Bereit");

    struct Expected {
        int id;
        bool enabled;
        int bitmap;
    };
    for (const Expected& e : {Expected{kIdCut, false, 136}, Expected{kIdCopy, true, 132},
                              Expected{kIdPaste, false, 138}, Expected{kIdAdd, true, 139},
                              Expected{kIdDelete, false, 137}, Expected{kIdNewList, true, 141},
                              Expected{kIdSave, true, 142}, Expected{kIdLoad, true, 143}}) {
        EXPECT_EQ(dialog->IsEnabled(e.id), e.enabled) << e.id;
        EXPECT_EQ(dialog->Bitmap(e.id), e.bitmap) << e.id;
        EXPECT_FALSE(Get<QAbstractButton>(e.id)->icon().isNull()) << e.id;
        EXPECT_TRUE(Get<QAbstractButton>(e.id)->text().isEmpty()) << e.id;
    }
    EXPECT_FALSE(dialog->windowIcon().isNull());
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(Text(kIdTestMovement), QStringLiteral("Bewegung Testen"));
    EXPECT_EQ(Text(kIdRunList), QStringLiteral("LOS!"));
    EXPECT_EQ(Text(kIdEmergencyStop), QStringLiteral("NOT-AUS"));
    EXPECT_EQ(Text(kIdEnd), QStringLiteral("Ende"));
    for (const int id : {kIdTestMovement, kIdRunList, kIdEmergencyStop, kIdEnd, kIdCredit}) {
        EXPECT_TRUE(dialog->IsEnabled(id)) << id;
    }
    EXPECT_FALSE(dialog->IsChecked(kIdEndlessLoop));
    EXPECT_FALSE(dialog->IsChecked(kIdOffSwitch));
    EXPECT_FALSE(dialog->IsEnabled(kIdOffSwitchInput));
    EXPECT_EQ(Get<QComboBox>(kIdOffSwitchInput)->count(), 8);
    EXPECT_EQ(Text(kIdOffSwitchInput), QStringLiteral("E8"));

    EXPECT_EQ(engine::RecordName(dialog->CopyBuffer()), "__Leer__");
    EXPECT_EQ(Movements().currentMovement, 0);
    EXPECT_EQ(Movements().movementCount, 1);
    EXPECT_EQ(dialog->focusWidget(), dialog->ControlWidget(kIdCopy));
}

TEST_F(MainDialogTest, CreditButtonAndContextMenuEntryOpenTheAboutBox) {
    int opened = 0;
    dialog->SetAboutHandler([&](QWidget* parent) {
        EXPECT_EQ(parent, dialog.get());
        ++opened;
    });
    Click(kIdCredit);
    EXPECT_EQ(opened, 1);

    ASSERT_NE(dialog->ContextMenu(), nullptr);
    auto* entry = dialog->ContextMenu()->findChild<QAction*>(QStringLiteral("16"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), QStringLiteral("Inf&o über Kinemo..."));
    entry->trigger();
    EXPECT_EQ(opened, 2);
}

TEST_F(MainDialogTest, SpeedLabelsShowStartAndFineSpeedInPercent) {
    const MotorPanelIds ids = PanelIds(2);
    auto* speed = Get<QSlider>(ids.speed1);
    auto* fine = Get<QSlider>(ids.fine1);
    struct Case {
        int speed, fine;
        const char* label;
    };
    for (const Case& c : {Case{99, 100, "100.00 %"}, Case{37, 25, "37.25 %"},
                          Case{20, 100, "21.00 %"}, Case{0, 0, "0.00 %"}}) {
        speed->setValue(c.speed);
        fine->setValue(c.fine);
        EXPECT_EQ(Text(ids.label1).toStdString(), c.label);
    }
    // A keyboard step of the user updates the label too.
    QTest::keyClick(fine, Qt::Key_Right);
    EXPECT_EQ(Text(ids.label1), QStringLiteral("0.01 %"));
}

TEST_F(MainDialogTest, TargetRowFollowsStartRowUntilAccelerationIsChecked) {
    const MotorPanelIds ids = PanelIds(0);
    Get<QSlider>(ids.speed1)->setValue(37);
    Get<QSlider>(ids.fine1)->setValue(25);
    EXPECT_EQ(dialog->SliderValue(ids.speed2), 37);
    EXPECT_EQ(dialog->SliderValue(ids.fine2), 25);
    EXPECT_EQ(Text(ids.label2), QStringLiteral("37.25 %"));

    Click(ids.accelCheck);
    for (const int id : {ids.speed2, ids.fine2, ids.label2, ids.accelText, ids.accelEdit}) {
        EXPECT_TRUE(dialog->IsEnabled(id)) << id;
    }
    Get<QSlider>(ids.speed1)->setValue(80);
    EXPECT_EQ(dialog->SliderValue(ids.speed2), 37);
    EXPECT_EQ(Text(ids.label2), QStringLiteral("37.25 %"));
    Get<QSlider>(ids.speed2)->setValue(10);
    Get<QSlider>(ids.fine2)->setValue(0);
    EXPECT_EQ(Text(ids.label2), QStringLiteral("10.00 %"));
    EXPECT_EQ(Text(ids.label1), QStringLiteral("80.25 %"));

    // Unchecking copies the start row into the target row at once.
    Click(ids.accelCheck);
    EXPECT_EQ(dialog->SliderValue(ids.speed2), 80);
    EXPECT_EQ(dialog->SliderValue(ids.fine2), 25);
    EXPECT_EQ(Text(ids.label2), QStringLiteral("80.25 %"));
    EXPECT_FALSE(dialog->IsEnabled(ids.speed2));
    dialog->StoreMovement(0);
    const MovementRecord& r = Movements().records[0];
    EXPECT_EQ(r.targetSpeed[0], r.speed[0]);
    EXPECT_EQ(r.targetFineSpeed[0], r.fineSpeed[0]);
    EXPECT_EQ(r.accelOn[0], 0);
}

TEST_F(MainDialogTest, DurationFilterKeepsOneToFiveDigitsUpTo65535) {
    const int edit = PanelIds(1).maxDurationEdit;
    auto* line = Get<QLineEdit>(edit);

    Type(edit, QStringLiteral("5x"));
    EXPECT_EQ(line->text(), QStringLiteral("5"));

    line->selectAll();
    line->insert(QStringLiteral("12a4"));  // a paste is one change
    EXPECT_EQ(line->text(), QStringLiteral("12"));
    EXPECT_EQ(line->cursorPosition(), 2);

    Type(edit, QStringLiteral("70000"));
    EXPECT_EQ(line->text(), QStringLiteral("7000"));
    Type(edit, QStringLiteral("65535"));
    EXPECT_EQ(line->text(), QStringLiteral("65535"));
    Type(edit, QStringLiteral("123456"));
    EXPECT_EQ(line->text(), QStringLiteral("12345"));

    line->selectAll();
    QTest::keyClick(line, Qt::Key_Backspace);
    EXPECT_EQ(line->text(), QStringLiteral("0"));
    EXPECT_EQ(line->selectedText(), QStringLiteral("0"));
    QTest::keyClicks(line, QStringLiteral("9"));  // the selected "0" is replaced
    EXPECT_EQ(line->text(), QStringLiteral("9"));

    line->setCursorPosition(0);
    QTest::keyClicks(line, QStringLiteral("x"));  // a letter in front empties the field
    EXPECT_EQ(line->text(), QStringLiteral("0"));
    EXPECT_EQ(line->selectedText(), QStringLiteral("0"));

    Type(PanelIds(3).maxDurationEdit, QStringLiteral("00099"));  // leading zeros stay
    EXPECT_EQ(Text(PanelIds(3).maxDurationEdit), QStringLiteral("00099"));
    // A disabled edit takes no typing.
    Type(PanelIds(3).accelEdit, QStringLiteral("7"));
    EXPECT_EQ(Text(PanelIds(3).accelEdit), QStringLiteral("125"));
}

TEST_F(MainDialogTest, ShowMovementCutsLongDurationsAndShowsNumbersUnsigned) {
    MovementRecord& r = Movements().records[0];
    r.maxDuration[0] = 70000;
    r.maxImpulses[1] = -5;
    r.accelDuration[2] = 65536;
    r.endSwitchInput[3] = 9;  // no such input: nothing selected
    r.speed[0] = 200;         // beyond the slider: shown as 99
    dialog->ShowMovement(0);
    EXPECT_EQ(Text(PanelIds(0).maxDurationEdit), QStringLiteral("7000"));
    EXPECT_EQ(Text(PanelIds(1).impulseEdit), QStringLiteral("4294967291"));
    EXPECT_EQ(Text(PanelIds(2).accelEdit), QStringLiteral("6553"));
    EXPECT_EQ(dialog->ComboSelection(PanelIds(3).endSwitchInput), -1);
    EXPECT_EQ(dialog->SliderValue(PanelIds(0).speed1), 99);

    dialog->StoreMovement(0);
    EXPECT_EQ(r.maxDuration[0], 7000);
    EXPECT_EQ(r.accelDuration[2], 6553);
    EXPECT_EQ(r.endSwitchInput[3], 0);
    EXPECT_EQ(r.speed[0], 99);
    // Only the first 9 characters of a text are read.
    EXPECT_EQ(r.maxImpulses[1], 429496729);
}

TEST_F(MainDialogTest, ShowMovementShowsTargetRowsOnlyWhereAccelerationIsOn) {
    MovementRecord& r = Movements().records[0];
    r.speed = {20, 20, 20, 20};
    r.fineSpeed = {50, 50, 50, 50};
    r.targetSpeed = {80, 80, 80, 80};
    r.targetFineSpeed = {5, 5, 5, 5};
    r.accelOn = {1, 0, 1, 0};
    dialog->ShowMovement(0);
    for (int m = 0; m < engine::kMotorCount; ++m) {
        SCOPED_TRACE(m);
        const MotorPanelIds ids = PanelIds(m);
        const bool accelerates = m % 2 == 0;
        EXPECT_EQ(Text(ids.label1), QStringLiteral("20.50 %"));
        EXPECT_EQ(Text(ids.label2),
                  accelerates ? QStringLiteral("80.05 %") : QStringLiteral("20.50 %"));
        EXPECT_EQ(dialog->SliderValue(ids.speed2), accelerates ? 80 : 20);
        EXPECT_EQ(dialog->IsEnabled(ids.speed2), accelerates);
        EXPECT_EQ(dialog->IsEnabled(ids.accelEdit), accelerates);
    }
    // Without acceleration the next store keeps target and start equal.
    dialog->StoreMovement(0);
    EXPECT_EQ(r.targetSpeed, (std::array<std::uint8_t, 4>{80, 20, 80, 20}));
    EXPECT_EQ(r.targetFineSpeed, (std::array<std::uint8_t, 4>{5, 50, 5, 50}));
}

TEST_F(MainDialogTest, StoreMovementReadsTheIntegerRuleAndKeepsDisabledLimits) {
    const MotorPanelIds ids = PanelIds(1);
    Click(ids.maxImpulsesCheck);
    EXPECT_TRUE(dialog->IsEnabled(ids.impulseEdit));
    EXPECT_TRUE(dialog->IsEnabled(ids.impulseInput));
    for (const auto& [text, value] : std::initializer_list<std::pair<const char*, int>>{
             {"  -5", -5}, {"+42abc", 42}, {"abc", 0}, {"", 0}, {"1234567890", 123456789}}) {
        Get<QLineEdit>(ids.impulseEdit)->setText(QString::fromLatin1(text));
        dialog->StoreMovement(0);
        EXPECT_EQ(Movements().records[0].maxImpulses[1], value) << text;
    }
    Get<QLineEdit>(ids.impulseEdit)->setText(QStringLiteral("17"));
    Click(ids.maxImpulsesCheck);  // off again: the value stays
    Click(ids.maxDurationCheck);
    EXPECT_FALSE(dialog->IsEnabled(ids.impulseEdit));
    EXPECT_FALSE(dialog->IsEnabled(ids.maxDurationEdit));
    Click(ids.right);
    Click(ids.endSwitchCheck);
    QTest::keyClick(Get<QComboBox>(ids.endSwitchInput), Qt::Key_Down);  // E4 -> E5
    dialog->StoreMovement(0);
    const MovementRecord& r = Movements().records[0];
    EXPECT_EQ(r.maxImpulsesOn[1], 0);
    EXPECT_EQ(r.maxImpulses[1], 17);
    EXPECT_EQ(r.maxDurationOn[1], 0);
    EXPECT_EQ(r.maxDuration[1], 125);
    EXPECT_EQ(r.direction[1], engine::kDirectionRight);
    EXPECT_EQ(r.endSwitchOn[1], 1);
    EXPECT_EQ(r.endSwitchInput[1], 5);
    EXPECT_EQ(r.impulseInput[1], 3);
}

TEST_F(MainDialogTest, FreshDialogStoresTheDefaultsOfANewMovement) {
    dialog->StoreMovement(0);
    engine::MovementList expected;
    engine::ResetMovement(expected, 0);
    EXPECT_EQ(Movements().records[0], expected.records[0]);
    EXPECT_EQ(engine::LoadRunSettings(dialog->Run().Settings()), engine::RunSettingsValues{});
}

TEST_F(MainDialogTest, RunSettingsFollowTheirControlsAtOnce) {
    engine::RunSettings& settings = dialog->Run().Settings();
    Click(kIdEndlessLoop);
    EXPECT_EQ(settings.endlessLoop.load(), 1);
    Click(kIdEndlessLoop);
    EXPECT_EQ(settings.endlessLoop.load(), 0);

    Click(kIdOffSwitch);
    EXPECT_EQ(settings.offSwitchOn.load(), 1);
    EXPECT_TRUE(dialog->IsEnabled(kIdOffSwitchInput));
    QTest::keyClick(Get<QComboBox>(kIdOffSwitchInput), Qt::Key_Up);  // E8 -> E7
    EXPECT_EQ(settings.offSwitchInput.load(), 6);
    Click(kIdOffSwitch);
    EXPECT_EQ(settings.offSwitchOn.load(), 0);
    EXPECT_FALSE(dialog->IsEnabled(kIdOffSwitchInput));
}

TEST_F(MainDialogTest, EmergencyStopWithNothingRunningOnlyChangesTheStatus) {
    Click(kIdEmergencyStop);
    EXPECT_EQ(Status(), "Abgebrochen");
    EXPECT_TRUE(dialog->IsEnabled(kIdRunList));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(MainDialogTest, EndRequestsAStopAndClosesWithTheOkResult) {
    Click(kIdEnd);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->Run().StopRequested().load(), 1);
}

TEST_F(MainDialogTest, EscapeClosesWithTheCancelResultWithoutAStop) {
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(dialog->Run().StopRequested().load(), 0);
}

TEST_F(MainDialogTest, ReturnInAnEditPressesNoButton) {
    auto* edit = Get<QLineEdit>(PanelIds(0).maxDurationEdit);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Status(), "Bereit");
}

}  // namespace
}  // namespace kinemo::ui::testing
