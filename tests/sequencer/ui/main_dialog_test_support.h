// Helpers of the main-window tests: a main dialog with scripted message boxes
// and file dialogs, and user actions on its controls by id.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTest>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/dialog_scripted.h"
#include "sequencer/engine/movement_list.h"
#include "sequencer/ui/main_dialog.h"
#include "sequencer/ui/main_dialog_ids.h"
#include "sequencer/ui/motor_panel.h"
#include "tests/platform/dialog_test_support.h"
#include "tests/sequencer/ui/wait_until.h"

namespace kinemo::ui::testing {

// Every exchange answers with no input set.
struct SilentLink : engine::InterfaceLink {
    std::uint32_t Exchange(std::uint32_t) override { return 0; }
};

class MainDialogFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog = std::make_unique<MainDialog>(Link(), messages, files, nullptr, nullptr);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void TearDown() override {
        // Questions and file dialogs not scripted, and answers not used.
        EXPECT_EQ(std::tuple(messages.UnscriptedQuestions(), messages.PendingAnswers(),
                             files.UnscriptedCount(), files.PendingAnswers()),
                  std::tuple(0, 0u, 0, 0u));
        EXPECT_EQ(Movements().movementCount, Lines());
        dialog.reset();
    }

    template <typename T>
    T* Get(int id) {
        T* control = dialog->Control<T>(id);
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }
    void Click(int id) { Get<QAbstractButton>(id)->click(); }  // nothing if disabled

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
        Get<QLineEdit>(id)->selectAll();
        QTest::keyClicks(Get<QLineEdit>(id), text);
    }

    // The list's lines, the selected one in brackets: "A [B] C".
    std::string ListState() {
        std::string state;
        for (int i = 0; i < Lines(); ++i) {
            const std::string line = dialog->ListText(kIdMovementList, i).toStdString();
            state += (i == Selection() ? " [" + line + "]" : " " + line);
        }
        return state.substr(1);
    }

    // Add, delete, cut and paste: "+" or "-" for enabled, and the picture.
    std::string Buttons() {
        std::string state;
        for (const int id : {kIdAdd, kIdDelete, kIdCut, kIdPaste}) {
            state += (dialog->IsEnabled(id) ? " +" : " -") + std::to_string(dialog->Bitmap(id));
        }
        return state.substr(1);
    }

    QString Text(int id) { return dialog->Text(id); }
    std::string Status() { return dialog->Text(kIdStatus).toStdString(); }
    int Lines() { return dialog->ListCount(kIdMovementList); }
    int Selection() { return dialog->ListSelection(kIdMovementList); }
    engine::MovementList& Movements() { return dialog->Run().Movements(); }

    virtual engine::InterfaceLink& Link() { return silentLink; }

    SilentLink silentLink;
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
    std::unique_ptr<MainDialog> dialog;
};

}  // namespace kinemo::ui::testing
