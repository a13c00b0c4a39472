// Helpers of the main-window tests: a main dialog with scripted message boxes
// and file dialogs, and user actions on its controls by id.
#pragma once

#include "tests/sequencer/ui/shell_test_support.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialog_scripted.h"
#include "sequencer/engine/movement_list.h"
#include "sequencer/ui/main_dialog.h"
#include "sequencer/ui/main_dialog_ids.h"
#include "sequencer/ui/motor_panel.h"

namespace kinemo::ui::testing {

// An interface that is never reached by the editing tests: every exchange
// answers with no input set.
class SilentLink : public engine::InterfaceLink {
  public:
    std::uint32_t Exchange(std::uint32_t) override { return 0; }
};

class MainDialogFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApplication();
        dialog = std::make_unique<MainDialog>(Link(), messages, files, nullptr, diagnostics);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void TearDown() override {
        // Plain notices need no answer; every question must have been scripted
        // and every scripted answer used.
        EXPECT_EQ(messages.UnscriptedQuestions(), 0) << "a question was not expected";
        EXPECT_EQ(messages.PendingAnswers(), 0u) << "an expected question was not asked";
        EXPECT_EQ(files.PendingAnswers(), 0u) << "an expected file dialog did not open";
        EXPECT_EQ(files.UnscriptedCount(), 0) << "a file dialog was not expected";
        // The list in the document and the lines that show it agree.
        EXPECT_EQ(Movements().movementCount, Lines());
        dialog.reset();
    }

    template <typename T>
    T* Get(int id) {
        T* control = dialog->Control<T>(id);
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }

    // A user's click: nothing happens on a disabled control.
    void Click(int id) { Get<QAbstractButton>(id)->click(); }

    // The user picks a line of the movement list with the mouse.
    void SelectLine(int row) {
        auto* list = Get<QListWidget>(kIdMovementList);
        QListWidgetItem* item = list->item(row);
        ASSERT_NE(item, nullptr);
        list->doItemsLayout();  // the view lays out its lines lazily
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
    }

    // The user replaces an edit's text by typing `text`.
    void Type(int id, const QString& text) {
        auto* edit = Get<QLineEdit>(id);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    std::vector<std::string> LineTexts() {
        std::vector<std::string> lines;
        for (int i = 0; i < Lines(); ++i) {
            lines.push_back(dialog->ListText(kIdMovementList, i).toStdString());
        }
        return lines;
    }

    QString Text(int id) { return dialog->Text(id); }
    std::string Status() { return dialog->Text(kIdStatus).toStdString(); }
    int Lines() { return dialog->ListCount(kIdMovementList); }
    engine::MovementList& Movements() { return dialog->Run().Movements(); }

    // The interface the dialog's player exchanges with.
    virtual engine::InterfaceLink& Link() { return silentLink; }

    SilentLink silentLink;
    std::FILE* diagnostics = nullptr;  // the engine's diagnostic lines
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
    std::unique_ptr<MainDialog> dialog;
};

}  // namespace kinemo::ui::testing
