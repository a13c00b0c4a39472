// The main window's controls: starting state, texts that fit, the target
// row following the start row, the duration filter and the copy
// between controls and records. The text rules themselves: motor_panel_text_test.
#include <QLabel>

#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

using engine::MovementRecord;

class MainDialogTest : public MainDialogFixture {};

TEST_F(MainDialogTest, StartsWithItsControlsInTabOrderAndTheirInitialState) {
    // Ids, kinds, texts, tab order and what is disabled, checked or selected.
    platform::testing::ExpectSameAsStored(
        platform::testing::ControlInventory(*dialog),
        QStringLiteral(KINEMO_EXPECTED_DIR "/main_dialog_controls.txt"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Kinemo"));
    EXPECT_FALSE(dialog->windowIcon().isNull());
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(Get<QAbstractButton>(kIdSave)->icon().isNull());
    EXPECT_TRUE(Get<QLabel>(PanelIds(0).label1)->alignment() & Qt::AlignRight);
    EXPECT_EQ(engine::RecordName(dialog->CopyBuffer()), "__Leer__");
    EXPECT_EQ(Movements().currentMovement, 0);
    EXPECT_EQ(Movements().movementCount, 1);
    EXPECT_EQ(dialog->focusWidget(), dialog->ControlWidget(kIdCopy));
}

TEST_F(MainDialogTest, TextsFitAtTheSystemFontAndAtOthers) {
    platform::testing::ExpectTextsFit(*dialog);
    // Twice the size, and fonts whose letters are wider or bolder than the
    // average the units are measured on.
    for (const char* family : {"", "DejaVu Sans Mono", "DejaVu Serif"}) {
        for (const bool bold : {false, true}) {
            QFont font = QApplication::font();
            if (*family != 0) {
                font.setFamily(QString::fromLatin1(family));
            }
            font.setBold(bold);
            font.setPointSizeF(font.pointSizeF() * 2);
            dialog->setFont(font);
            SCOPED_TRACE(font.toString().toStdString());
            platform::testing::ExpectTextsFit(*dialog);
        }
    }
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
    QTest::keyClick(Get<QSlider>(ids.fine1), Qt::Key_Right);  // a user's keyboard step
    EXPECT_EQ(Text(ids.label1), QStringLiteral("80.26 %"));

    // Unchecking copies the start row into the target row at once.
    Click(ids.accelCheck);
    EXPECT_EQ(dialog->SliderValue(ids.speed2), 80);
    EXPECT_EQ(dialog->SliderValue(ids.fine2), 26);
    EXPECT_EQ(Text(ids.label2), QStringLiteral("80.26 %"));
    EXPECT_FALSE(dialog->IsEnabled(ids.speed2));
    dialog->StoreMovement(0);
    const MovementRecord& r = Movements().records[0];
    EXPECT_EQ(r.targetSpeed[0], r.speed[0]);
    EXPECT_EQ(r.targetFineSpeed[0], r.fineSpeed[0]);
    EXPECT_EQ(r.accelOn[0], 0);
}

TEST_F(MainDialogTest, DurationEditFiltersWhatIsTypedOrPasted) {
    const int edit = PanelIds(1).maxDurationEdit;
    auto* line = Get<QLineEdit>(edit);

    Type(edit, QStringLiteral("5x"));
    EXPECT_EQ(line->text(), QStringLiteral("5"));

    line->selectAll();
    line->insert(QStringLiteral("12a4"));  // a paste is one change
    EXPECT_EQ(line->text(), QStringLiteral("12"));
    EXPECT_EQ(line->cursorPosition(), 2);

    line->selectAll();
    QTest::keyClick(line, Qt::Key_Backspace);
    EXPECT_EQ(line->text(), QStringLiteral("0"));
    EXPECT_EQ(line->selectedText(), QStringLiteral("0"));
    QTest::keyClicks(line, QStringLiteral("9"));  // the selected "0" is replaced
    EXPECT_EQ(line->text(), QStringLiteral("9"));

    // A disabled edit takes no typing.
    Type(PanelIds(3).accelEdit, QStringLiteral("7"));
    EXPECT_EQ(Text(PanelIds(3).accelEdit), QStringLiteral("125"));
}

// Values a file written elsewhere may hold: shown within what the controls
// can hold, and stored back so.
TEST_F(MainDialogTest, ShowMovementCutsLongDurationsAndShowsNumbersUnsigned) {
    MovementRecord& r = Movements().records[0];
    r.maxDuration[0] = 70000;
    r.maxImpulses[1] = -5;
    r.accelDuration[2] = 65536;
    r.endSwitchInput[3] = 9;  // no such input: nothing selected
    r.speed[0] = 200;         // beyond the slider: shown as 99
    r.fineSpeed[1] = 255;
    r.impulseInput[2] = 200;
    r.maxDuration[3] = -1;
    dialog->Run().Settings().offSwitchInput = 200;
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
    EXPECT_EQ(r.fineSpeed[1], 100);
    EXPECT_EQ(r.impulseInput[2], 0);
    EXPECT_EQ(r.maxDuration[3], 42949);
    EXPECT_EQ(dialog->ComboSelection(kIdOffSwitchInput), -1);
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
    Get<QLineEdit>(ids.impulseEdit)->setText(QStringLiteral("+42abc"));
    dialog->StoreMovement(0);
    EXPECT_EQ(Movements().records[0].maxImpulses[1], 42);
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

// Return in an edit presses no button; Escape closes with the cancel result
// and no stop; NOT-AUS with nothing running only changes the status; "Ende"
// requests a stop and closes with the OK result.
TEST_F(MainDialogTest, ReturnEscapeNotAusAndEnde) {
    QTest::keyClick(Get<QLineEdit>(PanelIds(0).maxDurationEdit), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Status(), "Bereit");
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(dialog->Run().StopRequested().load(), 0);
    dialog->show();
    Click(kIdEmergencyStop);
    EXPECT_EQ(Status(), "Abgebrochen");
    EXPECT_TRUE(dialog->IsEnabled(kIdRunList));
    EXPECT_TRUE(dialog->isVisible());
    Click(kIdEnd);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->Run().StopRequested().load(), 1);
}

}  // namespace
}  // namespace kinemo::ui::testing
