// List editing in the main window: add up to the limit, delete, cut, copy,
// paste, rename and the new-list command, with the button pictures.
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageResult;

class MovementListEditingTest : public MainDialogFixture {
  protected:
    // Builds the list "A", "B", "C", each with its own M1 speed (10, 20, 30).
    void BuildThreeMovements() {
        const char* names[] = {"A", "B", "C"};
        for (int i = 0; i < 3; ++i) {
            if (i > 0) {
                Click(kIdAdd);
            }
            Type(kIdMovementName, QString::fromLatin1(names[i]));
            Get<QSlider>(PanelIds(0).speed1)->setValue(10 * (i + 1));
        }
        SelectLine(0);  // stores "C"
    }

    void ExpectButton(int id, bool enabled, int bitmap) {
        EXPECT_EQ(dialog->IsEnabled(id), enabled) << id;
        EXPECT_EQ(dialog->Bitmap(id), bitmap) << id;
    }

    int Selection() { return dialog->ListSelection(kIdMovementList); }
    int ShownSpeed() { return dialog->SliderValue(PanelIds(0).speed1); }
};

TEST_F(MovementListEditingTest, AddAppendsFreshMovementsUpToTheLimit) {
    Get<QSlider>(PanelIds(0).speed1)->setValue(5);
    Click(kIdAdd);
    ASSERT_EQ(Lines(), 2);
    EXPECT_EQ(Selection(), 1);
    EXPECT_EQ(Movements().currentMovement, 1);
    EXPECT_EQ(Movements().records[0].speed[0], 5);  // the shown movement was stored
    EXPECT_EQ(ShownSpeed(), 99);                    // the new one has the defaults
    EXPECT_EQ(dialog->ComboSelection(PanelIds(0).endSwitchInput), 1);
    ExpectButton(kIdDelete, true, 134);
    ExpectButton(kIdCut, true, 133);

    while (Lines() < 254) {
        Click(kIdAdd);
    }
    ExpectButton(kIdAdd, true, 139);
    EXPECT_EQ(Status(), "Bereit");
    Click(kIdAdd);  // starts with 254: appends the 255th and fills the list
    EXPECT_EQ(Lines(), 255);
    EXPECT_EQ(Selection(), 254);
    ExpectButton(kIdAdd, false, 140);
    ExpectButton(kIdPaste, false, 138);
    EXPECT_EQ(Status(), "Max. Anzahl erreicht");
    Click(kIdAdd);
    EXPECT_EQ(Lines(), 255);

    // A movement named like the empty copy buffer can be copied, but a delete
    // treats the buffer as empty and leaves paste disabled.
    Type(kIdMovementName, QStringLiteral("__Leer__"));
    Click(kIdCopy);
    ExpectButton(kIdPaste, false, 138);  // copy at 254 or more leaves paste alone
    Click(kIdDelete);
    EXPECT_EQ(Lines(), 254);
    ExpectButton(kIdAdd, true, 139);
    ExpectButton(kIdPaste, false, 138);

    Type(kIdMovementName, QStringLiteral("Greifer"));
    Click(kIdCopy);
    ExpectButton(kIdPaste, false, 138);
    Click(kIdDelete);
    EXPECT_EQ(Lines(), 253);
    ExpectButton(kIdPaste, true, 131);
    EXPECT_EQ(Status(), "Max. Anzahl erreicht");  // stays until a run replaces it
}

TEST_F(MovementListEditingTest, DeleteKeepsTheIndexOrSelectsTheNewLastLine) {
    BuildThreeMovements();
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"A", "B", "C"}));

    SelectLine(1);
    Get<QSlider>(PanelIds(0).speed1)->setValue(77);  // dropped by the delete
    Click(kIdDelete);
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(Selection(), 1);
    EXPECT_EQ(Text(kIdMovementName), QStringLiteral("C"));
    EXPECT_EQ(ShownSpeed(), 30);
    EXPECT_EQ(engine::RecordName(Movements().records[1]), "C");
    ExpectButton(kIdDelete, true, 134);

    Click(kIdDelete);  // the last line: the new last line is selected
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(Selection(), 0);
    EXPECT_EQ(Movements().currentMovement, 0);
    EXPECT_EQ(ShownSpeed(), 10);
    ExpectButton(kIdDelete, false, 137);
    ExpectButton(kIdCut, false, 136);
    ExpectButton(kIdPaste, false, 138);  // nothing was ever copied
    Click(kIdDelete);
    EXPECT_EQ(Lines(), 1);
}

TEST_F(MovementListEditingTest, PasteInsertsAfterTheSelectionAndCutMovesAMovement) {
    BuildThreeMovements();
    SelectLine(0);
    Click(kIdCopy);
    ExpectButton(kIdPaste, true, 131);
    EXPECT_EQ(engine::RecordName(dialog->CopyBuffer()), "A");

    SelectLine(1);
    Click(kIdPaste);
    Click(kIdPaste);  // twice in a row: two copies one after the other
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"A", "B", "A", "A", "C"}));
    EXPECT_EQ(Selection(), 3);
    EXPECT_EQ(ShownSpeed(), 10);
    EXPECT_EQ(Movements().records[2], Movements().records[0]);
    EXPECT_EQ(Movements().records[4].speed[0], 30);

    SelectLine(4);
    Click(kIdCut);  // copy, then delete
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"A", "B", "A", "A"}));
    EXPECT_EQ(Selection(), 3);
    SelectLine(0);
    Click(kIdPaste);
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"A", "C", "B", "A", "A"}));
    EXPECT_EQ(Selection(), 1);
    EXPECT_EQ(ShownSpeed(), 30);
    dialog->StoreMovement(Movements().currentMovement);
    EXPECT_EQ(Movements().movementCount, 5);
    EXPECT_EQ(Movements().records[2].speed[0], 20);
}

TEST_F(MovementListEditingTest, RenameChangesTheLineAtOnceAndTheRecordAtTheNextStore) {
    Click(kIdAdd);
    Type(kIdMovementName, QStringLiteral("Greifer auf"));
    EXPECT_EQ(dialog->ListText(kIdMovementList, 1), QStringLiteral("Greifer auf"));
    EXPECT_EQ(Selection(), 1);
    EXPECT_EQ(engine::RecordName(Movements().records[1]), "Neue Bewegung");
    SelectLine(0);
    EXPECT_EQ(engine::RecordName(Movements().records[1]), "Greifer auf");
    EXPECT_EQ(Text(kIdMovementName), QStringLiteral("Neue Bewegung"));

    Type(kIdMovementName, QStringLiteral("Abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(Text(kIdMovementName), QStringLiteral("Abcdefghijklmnopqrst"));
    EXPECT_EQ(dialog->ListText(kIdMovementList, 0), QStringLiteral("Abcdefghijklmnopqrst"));
    SelectLine(1);
    EXPECT_EQ(engine::RecordName(Movements().records[0]), "Abcdefghijklmnopqrst");
}

TEST_F(MovementListEditingTest, NewListAsksAndResetsEverythingButTheCopyBuffer) {
    BuildThreeMovements();
    SelectLine(1);
    Click(kIdCopy);
    Click(kIdEndlessLoop);
    Click(kIdOffSwitch);
    messages.Answer(MessageResult::kCancel);
    Click(kIdNewList);  // cancelled: nothing changes
    ASSERT_EQ(messages.Requests().size(), 1u);
    const platform::MessageRequest& asked = messages.Requests()[0];
    EXPECT_EQ(asked.text, QStringLiteral("Alle nicht gespeicherten Daten gehen verloren !"));
    EXPECT_EQ(asked.caption, QStringLiteral("Hinweis"));
    EXPECT_EQ(asked.buttons, MessageButtons::kOkCancel);
    EXPECT_EQ(asked.icon, MessageIcon::kWarning);
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(Selection(), 1);
    EXPECT_TRUE(dialog->IsChecked(kIdEndlessLoop));
    EXPECT_EQ(Movements().records[2].speed[0], 30);

    messages.Answer(MessageResult::kOk);
    Click(kIdNewList);
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"Neue Bewegung"}));
    EXPECT_EQ(Selection(), 0);
    EXPECT_EQ(Movements().currentMovement, 0);
    EXPECT_EQ(ShownSpeed(), 99);
    EXPECT_FALSE(dialog->IsChecked(kIdEndlessLoop));
    EXPECT_FALSE(dialog->IsChecked(kIdOffSwitch));
    EXPECT_EQ(Text(kIdOffSwitchInput), QStringLiteral("E8"));
    EXPECT_EQ(engine::LoadRunSettings(dialog->Run().Settings()), engine::RunSettingsValues{});
    engine::MovementList fresh;
    engine::ResetMovement(fresh, 0);
    EXPECT_EQ(Movements().records[2], fresh.records[0]);
    ExpectButton(kIdDelete, false, 137);
    ExpectButton(kIdCut, false, 136);
    ExpectButton(kIdAdd, true, 139);
    ExpectButton(kIdPaste, true, 131);
    EXPECT_EQ(engine::RecordName(dialog->CopyBuffer()), "B");
    Click(kIdPaste);
    EXPECT_EQ(LineTexts(), (std::vector<std::string>{"Neue Bewegung", "B"}));
    EXPECT_EQ(ShownSpeed(), 20);
}

}  // namespace
}  // namespace kinemo::ui::testing
