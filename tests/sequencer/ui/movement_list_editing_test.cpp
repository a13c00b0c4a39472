// List editing in the main window: add, delete, cut, copy, paste, rename and
// the new-list command, with the button pictures. (A full list: program_io_test.)
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

class MovementListEditingTest : public MainDialogFixture {
  protected:
    // "A", "B", "C" with M1 speeds 10, 20, 30; "A" shown. Each add stores
    // the shown movement first and shows a fresh one (speed 99).
    void SetUp() override {
        MainDialogFixture::SetUp();
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

TEST_F(MovementListEditingTest, DeleteKeepsTheIndexOrSelectsTheNewLastLine) {
    EXPECT_EQ(Buttons(), "+139 +134 +133 -138");  // nothing was ever copied
    SelectLine(1);
    Get<QSlider>(PanelIds(0).speed1)->setValue(77);  // dropped by the delete
    Click(kIdDelete);
    EXPECT_EQ(State(), "A [C] C 30 #1");
    Click(kIdDelete);  // the last line: the new last line is selected
    EXPECT_EQ(State(), "[A] A 10 #0");
    EXPECT_EQ(Buttons(), "+139 -137 -136 -138");
    Click(kIdDelete);
    EXPECT_EQ(Lines(), 1);
}

TEST_F(MovementListEditingTest, PasteInsertsAfterTheSelectionAndCutMovesAMovement) {
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
    EXPECT_EQ(State(), "A [C] B A A C 30 #1");
    EXPECT_EQ(Movements().records[2].speed[0], 20);
}

TEST_F(MovementListEditingTest, RenameChangesTheLineAtOnceAndTheRecordAtTheNextStore) {
    SelectLine(1);
    Type(kIdMovementName, QStringLiteral("Abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(State(), "A [Abcdefghijklmnopqrst] C Abcdefghijklmnopqrst 20 #1");
    const std::string before = engine::RecordName(Movements().records[1]);
    SelectLine(0);
    EXPECT_EQ(before + " " + engine::RecordName(Movements().records[1]), "B Abcdefghijklmnopqrst");
}

TEST_F(MovementListEditingTest, NewListAsksAndResetsEverythingButTheCopyBuffer) {
    SelectLine(1);
    Click(kIdCopy);
    Click(kIdEndlessLoop);
    Click(kIdOffSwitch);
    messages.Answer(platform::MessageResult::kCancel);
    Click(kIdNewList);                          // cancelled: nothing changes
    ASSERT_EQ(messages.Requests().size(), 1u);  // its text: program_io_test
    const platform::MessageRequest& asked = messages.Requests()[0];
    EXPECT_EQ(std::pair(asked.buttons, asked.icon),
              std::pair(platform::MessageButtons::kOkCancel, platform::MessageIcon::kWarning));
    EXPECT_EQ(State(), "A [B] C B 20 #1");
    EXPECT_TRUE(dialog->IsChecked(kIdEndlessLoop));

    messages.Answer(platform::MessageResult::kOk);
    Click(kIdNewList);
    EXPECT_EQ(State(), "[Neue Bewegung] Neue Bewegung 99 #0");
    EXPECT_FALSE(dialog->IsChecked(kIdEndlessLoop) || dialog->IsChecked(kIdOffSwitch));
    EXPECT_EQ(Text(kIdOffSwitchInput), QStringLiteral("E8"));
    EXPECT_EQ(engine::LoadRunSettings(dialog->Run().Settings()), engine::RunSettingsValues{});
    engine::MovementList fresh;
    engine::ResetMovement(fresh, 0);
    EXPECT_EQ(Movements().records[2], fresh.records[0]);
    EXPECT_EQ(Buttons(), "+139 -137 -136 +131");
    Click(kIdPaste);
    EXPECT_EQ(State(), "Neue Bewegung [B] B 20 #1");
}

}  // namespace
}  // namespace kinemo::ui::testing
