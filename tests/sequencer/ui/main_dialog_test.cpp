// The main window's controls, list editing, the ways out and "Vorschau".
#include <QAction>
#include <QImage>
#include <QMenu>
#include <clocale>
#include <cstdio>

#include "sequencer/engine/speed_profile.h"
#include "sequencer/ui/motor_panel_text.h"
#include "sequencer/ui/preview_window.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

using engine::MovementRecord;

class MainDialogTest : public MainDialogFixture {
  protected:
    // "A", "B", "C" with M1 speeds 10, 20, 30; "A" shown. Each add stores
    // the shown movement first and shows a fresh one (speed 99).
    void AddABC() {
        for (const char* name : {"A", "B", "C"}) {
            if (*name != 'A') {
                Click(kIdAdd);
                EXPECT_EQ(ShownSpeed(), 99);
            }
            Type(kIdMovementName, QString::fromLatin1(name));
            Get<QSlider>(PanelIds(0).speed1)->setValue(10 * (*name - 'A' + 1));
        }
        SelectLine(0);  // stores "C"
    }
    // The list, the shown movement's name and M1 speed, and its index.
    std::string State() {
        return ListState() + " " + Text(kIdMovementName).toStdString() + " " +
               std::to_string(ShownSpeed()) + " #" + std::to_string(Movements().currentMovement);
    }
    int ShownSpeed() { return dialog->SliderValue(PanelIds(0).speed1); }
};

// Values in every field of `r` that the controls can hold.
void VaryEveryField(MovementRecord& r) {
    for (int m = 0; m < engine::kMotorCount; ++m) {
        std::tie(r.speed[m], r.fineSpeed[m], r.targetSpeed[m], r.targetFineSpeed[m], r.direction[m],
                 r.impulseInput[m]) = std::tuple(10 + m, 25 * m, 90 - m, 3 * m, m % 3, m + 2);
        std::tie(r.accelOn[m], r.accelDuration[m], r.endSwitchOn[m], r.endSwitchInput[m],
                 r.maxDurationOn[m], r.maxDuration[m], r.maxImpulsesOn[m], r.maxImpulses[m]) =
            std::tuple((m + 1) % 2, 1000 + m, m % 2, 8 - m, (m + 1) % 2, 65535 - m, (m / 2) % 2,
                       123456789 + m);
    }
}

TEST_F(MainDialogTest, StartsWithItsControlsInTabOrder) {
    platform::testing::ExpectSameAsStored(
        platform::testing::ControlInventory(*dialog),
        QStringLiteral(KINEMO_EXPECTED_DIR "/main_dialog_controls.txt"));
}

// At the system font, and at twice its size in bold fonts whose letters are
// wider than the average the units are measured on.
TEST_F(MainDialogTest, TextsFitAtTheSystemFontAndAtOthers) {
    platform::testing::ExpectTextsFit(*dialog);
    for (const char* family : {"", "DejaVu Sans Mono", "DejaVu Serif"}) {
        QFont font = QApplication::font();
        font = QFont(*family != 0 ? QString::fromLatin1(family) : font.family(),
                     font.pointSize() * 2, QFont::Bold);
        dialog->setFont(font);
        SCOPED_TRACE(font.toString().toStdString());
        platform::testing::ExpectTextsFit(*dialog);
    }
}

TEST_F(MainDialogTest, TargetRowFollowsStartRowUntilAccelerationIsChecked) {
    const MotorPanelIds ids = PanelIds(0);
    Get<QSlider>(ids.speed1)->setValue(37);
    Get<QSlider>(ids.fine1)->setValue(25);
    EXPECT_EQ(Text(ids.label2), QStringLiteral("37.25 %"));
    Click(ids.accelCheck);
    EXPECT_TRUE(dialog->IsEnabled(ids.speed2) && dialog->IsEnabled(ids.fine2) &&
                dialog->IsEnabled(ids.label2) && dialog->IsEnabled(ids.accelText) &&
                dialog->IsEnabled(ids.accelEdit));
    Get<QSlider>(ids.speed1)->setValue(80);
    EXPECT_EQ(Text(ids.label2), QStringLiteral("37.25 %"));
    Get<QSlider>(ids.speed2)->setValue(10);
    Get<QSlider>(ids.fine2)->setValue(0);
    EXPECT_EQ(Text(ids.label2), QStringLiteral("10.00 %"));
    QTest::keyClick(Get<QSlider>(ids.fine1), Qt::Key_Right);  // a user's keyboard step
    Click(ids.accelCheck);  // unchecking copies the start row at once
    EXPECT_EQ(std::tuple(dialog->SliderValue(ids.speed2) * 100 + dialog->SliderValue(ids.fine2),
                         Text(ids.label1) + Text(ids.label2), dialog->IsEnabled(ids.speed2)),
              std::tuple(8026, QStringLiteral("80.26 %80.26 %"), false));
}

// The filter's rules: FilterDurationText below.
TEST_F(MainDialogTest, DurationEditFiltersWhatIsTypedOrPasted) {
    auto* line = Get<QLineEdit>(PanelIds(1).maxDurationEdit);
    line->selectAll();
    line->insert(QStringLiteral("12a4"));  // a paste is one change
    EXPECT_EQ(line->text() + QString::number(line->cursorPosition()), QStringLiteral("122"));
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Backspace);
    QTest::keyClicks(line, QStringLiteral("9"));  // the "0" left is selected and replaced
    EXPECT_EQ(line->text(), QStringLiteral("9"));
}

// Every field of a record goes into the controls and back; values a file
// written elsewhere may hold are shown within what the controls can hold and
// stored back so, and without acceleration the target row is the start row.
TEST_F(MainDialogTest, ShowThenStoreGivesBackEveryFieldWithinWhatTheControlsHold) {
    MovementRecord& r = Movements().records[0];
    engine::SetRecordName(r, "Kran");
    VaryEveryField(r);
    MovementRecord expected = r;
    // A value beyond what its control holds, and what is stored back instead.
    const auto beyond = [](auto& field, auto& stored, auto value, auto shown) {
        field = static_cast<std::remove_reference_t<decltype(field)>>(value);
        stored = static_cast<std::remove_reference_t<decltype(stored)>>(shown);
    };
    beyond(r.maxDuration[0], expected.maxDuration[0], 70000, 7000);  // five digits, up to 65535
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
    EXPECT_EQ(Text(PanelIds(1).impulseEdit) + Text(PanelIds(2).label2) + Text(PanelIds(3).label2),
              QStringLiteral("429496729188.06 %13.75 %"));
    EXPECT_FALSE(dialog->IsEnabled(PanelIds(3).speed2));
    EXPECT_EQ(std::pair(dialog->ComboSelection(PanelIds(3).endSwitchInput),
                        dialog->ComboSelection(kIdOffSwitchInput)),
              std::pair(-1, -1));
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

    // Each click in turn; the input list steps from E8 to E7.
    std::vector<engine::RunSettingsValues> seen;
    for (const int id :
         {kIdEndlessLoop, kIdEndlessLoop, kIdOffSwitch, kIdOffSwitchInput, kIdOffSwitch}) {
        id == kIdOffSwitchInput ? QTest::keyClick(Get<QComboBox>(id), Qt::Key_Up) : Click(id);
        seen.push_back(engine::LoadRunSettings(dialog->Run().Settings()));
    }
    EXPECT_EQ(seen, (std::vector<engine::RunSettingsValues>{
                        {1, 0, 7}, {0, 0, 7}, {0, 1, 7}, {0, 1, 6}, {0, 0, 6}}));
    EXPECT_FALSE(dialog->IsEnabled(kIdOffSwitchInput));
}

TEST_F(MainDialogTest, DeleteKeepsTheIndexOrSelectsTheNewLastLine) {
    AddABC();
    EXPECT_EQ(Buttons(), "+139 +134 +133 -138");  // nothing was ever copied
    SelectLine(1);
    Get<QSlider>(PanelIds(0).speed1)->setValue(77);  // dropped by the delete
    Click(kIdDelete);
    EXPECT_EQ(State(), "A [C] C 30 #1");
    Click(kIdDelete);  // the last line: the new last line is selected
    EXPECT_EQ(State() + " " + Buttons(), "[A] A 10 #0 +139 -137 -136 -138");
    Click(kIdDelete);
    EXPECT_EQ(Lines(), 1);
}

TEST_F(MainDialogTest, PasteInsertsAfterTheSelectionAndCutMovesAMovement) {
    AddABC();
    Click(kIdCopy);
    EXPECT_EQ(Buttons(), "+139 +134 +133 +131");
    SelectLine(1);
    Click(kIdPaste);
    Click(kIdPaste);  // twice in a row: two copies one after the other
    EXPECT_EQ(State(), "A B A [A] C A 10 #3");
    EXPECT_EQ(Movements().records[2], Movements().records[0]);
    SelectLine(4);
    Click(kIdCut);  // copy, then delete
    EXPECT_EQ(ListState(), "A B A [A]");
    SelectLine(0);
    Click(kIdPaste);
    EXPECT_EQ(State() + std::to_string(Movements().records[2].speed[0]), "A [C] B A A C 30 #120");
}

TEST_F(MainDialogTest, RenameChangesTheLineAtOnceAndTheRecordAtTheNextStore) {
    AddABC();
    SelectLine(1);
    Type(kIdMovementName, QStringLiteral("Abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(State(), "A [Abcdefghijklmnopqrst] C Abcdefghijklmnopqrst 20 #1");
    const std::string before = engine::RecordName(Movements().records[1]);
    SelectLine(0);
    EXPECT_EQ(before + " " + engine::RecordName(Movements().records[1]), "B Abcdefghijklmnopqrst");
}

TEST_F(MainDialogTest, NewListAsksAndResetsEverythingButTheCopyBuffer) {
    AddABC();
    SelectLine(1);
    Click(kIdCopy);
    Click(kIdEndlessLoop);
    Click(kIdOffSwitch);
    messages.Answer(platform::MessageResult::kCancel);
    Click(kIdNewList);  // cancelled: nothing changes; the question's text: program_io_test
    ASSERT_EQ(messages.Requests().size(), 1u);
    const platform::MessageRequest& asked = messages.Requests()[0];
    EXPECT_EQ(std::pair(asked.buttons, asked.icon),
              std::pair(platform::MessageButtons::kOkCancel, platform::MessageIcon::kWarning));
    EXPECT_EQ(State(), "A [B] C B 20 #1");
    EXPECT_TRUE(dialog->IsChecked(kIdEndlessLoop));

    messages.Answer(platform::MessageResult::kOk);
    Click(kIdNewList);
    EXPECT_EQ(State() + " " + Buttons(), "[Neue Bewegung] Neue Bewegung 99 #0 +139 -137 -136 +131");
    EXPECT_EQ(
        std::tuple(dialog->IsChecked(kIdEndlessLoop), dialog->IsChecked(kIdOffSwitch),
                   Text(kIdOffSwitchInput), engine::LoadRunSettings(dialog->Run().Settings())),
        std::tuple(false, false, QStringLiteral("E8"), engine::RunSettingsValues{}));
    engine::MovementList fresh;
    engine::ResetMovement(fresh, 0);
    EXPECT_EQ(Movements().records[2], fresh.records[0]);
    Click(kIdPaste);
    EXPECT_EQ(State(), "Neue Bewegung [B] B 20 #1");
}

// Return in an edit presses no button; Escape closes with the cancel result
// and no stop; NOT-AUS with nothing running only changes the status; "Ende"
// requests a stop and closes with the OK result.
TEST_F(MainDialogTest, ReturnEscapeNotAusAndEnde) {
    QTest::keyClick(Get<QLineEdit>(PanelIds(0).maxDurationEdit), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(
        std::tuple(dialog->isVisible(), dialog->result(), dialog->Run().StopRequested().load()),
        std::tuple(false, int(QDialog::Rejected), 0));
    dialog->show();
    Click(kIdEmergencyStop);
    EXPECT_EQ(Status(), "Abgebrochen");
    EXPECT_TRUE(dialog->IsEnabled(kIdRunList) && dialog->isVisible());
    Click(kIdEnd);
    EXPECT_EQ(
        std::tuple(dialog->isVisible(), dialog->result(), dialog->Run().StopRequested().load()),
        std::tuple(false, int(QDialog::Accepted), 1));
}

// The profile of the list as the controls show it, in one window of its own
// that opening again reuses, without touching the rows of the run control.
TEST_F(MainDialogTest, PreviewShowsTheListAsTheControlsHoldIt) {
    const auto openFromMenu = [this] {
        auto* entry = dialog->ContextMenu()->findChild<QAction*>(QString::number(kCommandPreview));
        EXPECT_EQ(entry->text(), QStringLiteral("Vorschau"));
        entry->trigger();
        return dialog->findChild<PreviewWindow*>(QString::fromLatin1(kPreviewWindowName));
    };
    Click(PanelIds(0).right);
    Type(kIdMovementName, QStringLiteral("Heben"));
    PreviewWindow* window = openFromMenu();
    ASSERT_NE(window, nullptr);
    Click(kIdAdd);                      // a second movement with the defaults
    ASSERT_EQ(openFromMenu(), window);  // reused, and the profile made again
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(std::pair(dialog->findChildren<PreviewWindow*>().size(), window->windowTitle()),
              std::pair(qsizetype{1}, QStringLiteral("Vorschau")));

    // Profiles themselves: speed_profile_test.
    const engine::SpeedProfile& profile = window->Profile();
    ASSERT_EQ(profile.movements.size(), 2u);
    EXPECT_EQ(
        std::tuple(profile.movements[0].name + profile.movements[1].name,
                   profile.movements[0].states[0], profile.totalTicks),
        std::tuple("HebenNeue Bewegung", pulse::kMotorRight, decltype(profile.totalTicks){250}));
    const std::uint8_t* row = dialog->Run().GetTimeline().Row(0);
    EXPECT_TRUE(std::all_of(row, row + engine::kTimelineRowLength, [](auto v) { return v == 0; }));

    // What the window paints: M1's lane is filled above its zero line.
    const engine::PlotScene& scene = window->Scene();
    const engine::PlotLane& lane = scene.lanes[0];
    const engine::PlotColor fill = scene.polygons[0].fill;
    EXPECT_EQ(window->grab().toImage().pixelColor(int(scene.plotLeft + 20),
                                                  int(lane.top + (lane.Zero() - lane.top) / 2)),
              QColor(fill.r, fill.g, fill.b));
}

// Text rules of the motor panels, exhaustively where the input space is small.
TEST(FormatSpeedLabel, MatchesTheCFormatForEverySliderPair) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");  // the reference: a decimal point always
    for (int speed = 0; speed <= 99; ++speed) {
        for (int fine = 0; fine <= 100; ++fine) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "%3.2lf %%", fine * 0.01 + speed);
            ASSERT_EQ(FormatSpeedLabel(speed, fine).toStdString(), expected)
                << speed << " " << fine;
        }
    }
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(DialogNumbers, ReadLikeTheCIntegerReaderOnNineCharactersAndShowUnsigned) {
    // Only ASCII digits count; a tenth character is never read.
    const std::pair<const char*, std::int32_t> rows[] = {
        {"125", 125},     {"  -5", -5},      {"\t+7x", 7},        {"", 0},
        {"abc", 0},       {"-", 0},          {"--5", 0},          {"12 3", 12},
        {"        7", 7}, {"         7", 0}, {"000000000123", 0}, {"\u0663", 0}};
    for (const auto& [text, value] : rows) {
        EXPECT_EQ(ParseDialogInteger(QString::fromUtf8(text)), value) << text;
    }
    EXPECT_EQ(std::tuple(ParseDialogInteger("999999999"), ParseDialogInteger("4294967291"),
                         ParseDialogInteger("-99999999")),
              std::tuple(999999999, 429496729, -99999999));
    EXPECT_EQ(FormatDialogUnsigned(-5) + FormatDialogUnsigned(0) + FormatDialogUnsigned(INT32_MIN),
              QStringLiteral("429496729102147483648"));
}

// One to five digits with a value up to 65535; "changed" and "select all"
// as the last two characters of each row's expected result.
TEST(FilterDurationText, KeepsOneToFiveDigitsWithAValueUpTo65535) {
    const std::pair<const char*, const char*> rows[] = {
        {"125", "125--"},     {"12a4", "12+-"},      {"70000", "7000+-"},    {"65535", "65535--"},
        {"65536", "6553+-"},  {"123456", "12345+-"}, {"1234567", "12345+-"}, {"99999x", "9999+-"},
        {"00099", "00099--"}, {"", "0++"},           {"x125", "0++"},        {" 1", "0++"},
        {"-5", "0++"},        {"0", "0--"}};
    for (const auto& [in, out] : rows) {
        const DurationFilterResult r = FilterDurationText(QString::fromLatin1(in));
        EXPECT_EQ(r.text.toStdString() + (r.changed ? "+" : "-") + (r.selectAll ? "+" : "-"), out)
            << in;
    }
}

}  // namespace
}  // namespace kinemo::ui::testing
