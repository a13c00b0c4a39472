// The main window's controls: starting state, texts that fit, the target row
// following the start row, the duration filter, the copy between controls and
// records, and the ways out.
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

using engine::MovementRecord;

class MainDialogTest : public MainDialogFixture {};

TEST_F(MainDialogTest, StartsWithItsControlsInTabOrderAndTheirInitialState) {
    platform::testing::ExpectSameAsStored(
        platform::testing::ControlInventory(*dialog),
        QStringLiteral(KINEMO_EXPECTED_DIR "/main_dialog_controls.txt"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Kinemo"));
    EXPECT_FALSE(dialog->windowIcon().isNull());
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(dialog->focusWidget(), dialog->ControlWidget(kIdCopy));
}

// At the system font, and at twice its size in fonts whose letters are wider
// or bolder than the average the units are measured on.
TEST_F(MainDialogTest, TextsFitAtTheSystemFontAndAtOthers) {
    platform::testing::ExpectTextsFit(*dialog);
    for (const char* family : {"", "DejaVu Sans Mono", "DejaVu Serif"}) {
        for (const bool bold : {false, true}) {
            QFont font = QApplication::font();
            font.setFamily(*family != 0 ? QString::fromLatin1(family) : font.family());
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
    EXPECT_EQ(Text(ids.label2), QStringLiteral("37.25 %"));
    Click(ids.accelCheck);
    for (const int id : {ids.speed2, ids.fine2, ids.label2, ids.accelText, ids.accelEdit}) {
        EXPECT_TRUE(dialog->IsEnabled(id)) << id;
    }
    Get<QSlider>(ids.speed1)->setValue(80);
    EXPECT_EQ(Text(ids.label2), QStringLiteral("37.25 %"));
    Get<QSlider>(ids.speed2)->setValue(10);
    Get<QSlider>(ids.fine2)->setValue(0);
    EXPECT_EQ(Text(ids.label2), QStringLiteral("10.00 %"));
    QTest::keyClick(Get<QSlider>(ids.fine1), Qt::Key_Right);  // a user's keyboard step
    EXPECT_EQ(Text(ids.label1), QStringLiteral("80.26 %"));
    Click(ids.accelCheck);  // unchecking copies the start row at once
    EXPECT_EQ(dialog->SliderValue(ids.speed2) * 100 + dialog->SliderValue(ids.fine2), 8026);
    EXPECT_EQ(Text(ids.label2), QStringLiteral("80.26 %"));
    EXPECT_FALSE(dialog->IsEnabled(ids.speed2));
}

TEST_F(MainDialogTest, DurationEditFiltersWhatIsTypedOrPasted) {
    auto* line = Get<QLineEdit>(PanelIds(1).maxDurationEdit);
    Type(PanelIds(1).maxDurationEdit, QStringLiteral("5x"));
    EXPECT_EQ(line->text(), QStringLiteral("5"));
    line->selectAll();
    line->insert(QStringLiteral("12a4"));  // a paste is one change
    EXPECT_EQ(line->text() + QString::number(line->cursorPosition()), QStringLiteral("122"));
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Backspace);
    EXPECT_EQ(line->selectedText(), QStringLiteral("0"));
    QTest::keyClicks(line, QStringLiteral("9"));  // the selected "0" is replaced
    EXPECT_EQ(line->text(), QStringLiteral("9"));
    Type(PanelIds(3).accelEdit, QStringLiteral("7"));  // disabled: takes no typing
    EXPECT_EQ(Text(PanelIds(3).accelEdit), QStringLiteral("125"));
}

// Every field of a record goes into the controls and back; values a file
// written elsewhere may hold are shown within what the controls can hold and
// stored back so, and without acceleration the target row is the start row.
TEST_F(MainDialogTest, ShowThenStoreGivesBackEveryFieldWithinWhatTheControlsHold) {
    MovementRecord& r = Movements().records[0];
    engine::MovementList fresh;
    engine::ResetMovement(fresh, 0);
    dialog->StoreMovement(0);
    EXPECT_EQ(r, fresh.records[0]);
    EXPECT_EQ(engine::LoadRunSettings(dialog->Run().Settings()), engine::RunSettingsValues{});

    engine::SetRecordName(r, "Kran");
    VaryEveryField(r, 0);
    MovementRecord expected = r;
    // A value beyond what its control holds, and what is stored back instead.
    const auto beyond = [](auto& field, auto& stored, auto value, auto shown) {
        field = static_cast<std::remove_reference_t<decltype(field)>>(value);
        stored = static_cast<std::remove_reference_t<decltype(stored)>>(shown);
    };
    beyond(r.maxDuration[0], expected.maxDuration[0], 70000, 7000);  // five digits, up to 65535
    beyond(r.maxDuration[3], expected.maxDuration[3], -1, 42949);
    beyond(r.speed[0], expected.speed[0], 200, 99);
    beyond(r.maxImpulses[1], expected.maxImpulses[1], -5, 429496729);  // nine of "4294967291"
    beyond(r.fineSpeed[1], expected.fineSpeed[1], 255, 100);
    beyond(r.accelDuration[2], expected.accelDuration[2], 65536, 6553);
    beyond(r.impulseInput[2], expected.impulseInput[2], 200, 0);  // no such input
    beyond(r.endSwitchInput[3], expected.endSwitchInput[3], 9, 0);
    dialog->Run().Settings().offSwitchInput = 200;
    for (const int m : {1, 3}) {
        expected.targetSpeed[m] = expected.speed[m];
        expected.targetFineSpeed[m] = expected.fineSpeed[m];
    }

    dialog->ShowMovement(0);
    EXPECT_EQ(Text(PanelIds(1).impulseEdit), QStringLiteral("4294967291"));
    EXPECT_EQ(Text(PanelIds(2).label2), QStringLiteral("88.06 %"));
    EXPECT_EQ(Text(PanelIds(3).label2), QStringLiteral("13.75 %"));
    EXPECT_FALSE(dialog->IsEnabled(PanelIds(3).speed2));
    EXPECT_EQ(dialog->ComboSelection(PanelIds(3).endSwitchInput), -1);
    EXPECT_EQ(dialog->ComboSelection(kIdOffSwitchInput), -1);
    dialog->StoreMovement(0);
    EXPECT_EQ(r, expected);
}

TEST_F(MainDialogTest, UserChangesReachTheRecordAndTheRunSettingsAtOnce) {
    const MotorPanelIds ids = PanelIds(1);
    Click(ids.right);
    Click(ids.endSwitchCheck);
    QTest::keyClick(Get<QComboBox>(ids.endSwitchInput), Qt::Key_Down);  // E4 -> E5
    dialog->StoreMovement(0);
    const MovementRecord& r = Movements().records[0];
    EXPECT_EQ(r.direction[1] * 100 + r.endSwitchOn[1] * 10 + r.endSwitchInput[1], 215);

    engine::RunSettings& settings = dialog->Run().Settings();
    Click(kIdEndlessLoop);
    EXPECT_EQ(settings.endlessLoop.load(), 1);
    Click(kIdEndlessLoop);
    EXPECT_EQ(settings.endlessLoop.load(), 0);
    Click(kIdOffSwitch);
    EXPECT_EQ(settings.offSwitchOn.load(), 1);
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
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(dialog->Run().StopRequested().load(), 0);
    dialog->show();
    Click(kIdEmergencyStop);
    EXPECT_EQ(Status(), "Abgebrochen");
    EXPECT_TRUE(dialog->IsEnabled(kIdRunList) && dialog->isVisible());
    Click(kIdEnd);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->Run().StopRequested().load(), 1);
}

}  // namespace
}  // namespace kinemo::ui::testing
