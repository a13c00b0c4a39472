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

// Values in every field of `r` that the controls can hold, different for each
// `seed`.
inline void VaryEveryField(engine::MovementRecord& r, int seed) {
    for (int m = 0; m < engine::kMotorCount; ++m) {
        const int k = m + seed;
        r.speed[m] = static_cast<std::uint8_t>(10 + 10 * seed + m);
        r.fineSpeed[m] = static_cast<std::uint8_t>(25 * m);
        r.targetSpeed[m] = static_cast<std::uint8_t>(90 - k);
        r.targetFineSpeed[m] = static_cast<std::uint8_t>(3 * k);
        r.direction[m] = static_cast<std::uint8_t>(k % 3);
        r.accelOn[m] = (k + 1) % 2;
        r.accelDuration[m] = 1000 + 1000 * seed + m;
        r.endSwitchOn[m] = k % 2;
        r.endSwitchInput[m] = 8 - m;
        r.maxDurationOn[m] = (k + 1) % 2;
        r.maxDuration[m] = 65535 - m;
        r.maxImpulsesOn[m] = (k / 2) % 2;
        r.maxImpulses[m] = 123456789 + k;
        r.impulseInput[m] = static_cast<std::uint8_t>(m + 2);
    }
}

class MainDialogFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog = std::make_unique<MainDialog>(Link(), messages, files, nullptr, nullptr);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void TearDown() override {
        // Every question and file dialog scripted and every answer used.
        EXPECT_EQ(messages.UnscriptedQuestions(), 0) << "a question was not expected";
        EXPECT_EQ(messages.PendingAnswers(), 0u) << "an expected question was not asked";
        EXPECT_EQ(files.PendingAnswers(), 0u) << "an expected file dialog did not open";
        EXPECT_EQ(files.UnscriptedCount(), 0) << "a file dialog was not expected";
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
