// List editing of the main dialog: select, rename, add, delete, cut, copy,
// paste and the new-list command.
#include "sequencer/ui/main_dialog.h"
#include "sequencer/ui/main_dialog_ids.h"
#include "sequencer/ui/movement_list_names.h"

namespace kinemo::ui {
namespace {

// An add or paste that starts with this many entries fills the list.
constexpr int kFillingCount = engine::kMaxMovements - 1;

// Copies every field but the padding bytes, which stay with their slot.
void CopyFields(engine::MovementRecord& target, const engine::MovementRecord& source) {
    const auto padding = target.padding;
    target = source;
    target.padding = padding;
}

}  // namespace

bool MainDialog::CopyBufferHoldsMovement() const {
    return engine::RecordName(copyBuffer_) != kEmptyCopyBufferName;
}

void MainDialog::SetAddEnabled(bool enabled) {
    SetEnabled(kIdAdd, enabled);
    SetBitmap(kIdAdd, enabled ? kBitmapAdd : kBitmapAddDisabled);
}

void MainDialog::SetDeleteEnabled(bool enabled) {
    SetEnabled(kIdDelete, enabled);
    SetBitmap(kIdDelete, enabled ? kBitmapDelete : kBitmapDeleteDisabled);
}

void MainDialog::SetCutEnabled(bool enabled) {
    SetEnabled(kIdCut, enabled);
    SetBitmap(kIdCut, enabled ? kBitmapCut : kBitmapCutDisabled);
}

void MainDialog::SetPasteEnabled(bool enabled) {
    SetEnabled(kIdPaste, enabled);
    SetBitmap(kIdPaste, enabled ? kBitmapPaste : kBitmapPasteDisabled);
}

void MainDialog::MarkListFull() {
    SetPasteEnabled(false);
    SetAddEnabled(false);
    SetStatus(kStatusListFull);
}

void MainDialog::SelectMovement() {
    engine::MovementList& list = Movements();
    const int selected = ListSelection(kIdMovementList);
    if (selected < 0) {
        // A click beside the lines: the current movement stays selected.
        ListSetSelection(kIdMovementList, list.currentMovement);
        return;
    }
    StoreMovement(list.currentMovement);
    list.currentMovement = selected;
    ShowMovement(selected);
}

void MainDialog::RenameMovement() {
    const int selected = ListSelection(kIdMovementList);
    if (selected < 0) {
        return;
    }
    const QString name = Text(kIdMovementName).left(static_cast<int>(engine::kMaxNameLength));
    ListDelete(kIdMovementList, selected);
    ListInsert(kIdMovementList, selected, name);
    ListSetSelection(kIdMovementList, selected);
}

bool MainDialog::BeginInsertion() {
    const int count = Movements().movementCount;
    if (count >= engine::kMaxMovements) {
        return false;  // the buttons are disabled at the limit
    }
    engine::MovementList& list = Movements();
    const int selected = ListSelection(kIdMovementList);
    if (selected >= 0) {  // the list keeps a selection; never store into slot -1
        list.currentMovement = selected;
    }
    StoreMovement(list.currentMovement);
    if (count >= kFillingCount) {
        MarkListFull();
    }
    return true;
}

void MainDialog::AddMovement() {
    engine::MovementList& list = Movements();
    const int count = list.movementCount;
    if (!BeginInsertion()) {
        return;
    }
    list.movementCount = static_cast<std::uint8_t>(count + 1);
    ListAppend(kIdMovementList, QString::fromLatin1(engine::kNewMovementName));
    list.currentMovement = count;
    ListSetSelection(kIdMovementList, list.currentMovement);
    engine::ResetMovement(list, list.currentMovement);
    ShowMovement(list.currentMovement);
    SetDeleteEnabled(true);
    SetCutEnabled(true);
}

void MainDialog::DeleteMovement() {
    engine::MovementList& list = Movements();
    if (list.movementCount <= 1) {
        return;  // the list never becomes empty
    }
    // The shown movement's unsaved edits are dropped.
    ListDelete(kIdMovementList, list.currentMovement);
    const int remaining = list.movementCount - 1;
    list.movementCount = static_cast<std::uint8_t>(remaining);
    for (int i = list.currentMovement; i < remaining; ++i) {
        CopyFields(list.records[i], list.records[i + 1]);
    }
    if (list.currentMovement == remaining) {
        list.currentMovement = remaining - 1;
    }
    ListSetSelection(kIdMovementList, list.currentMovement);
    if (remaining == 1) {
        SetDeleteEnabled(false);
        SetCutEnabled(false);
    }
    if (CopyBufferHoldsMovement()) {
        SetPasteEnabled(true);
    }
    SetAddEnabled(true);
    ShowMovement(list.currentMovement);
}

void MainDialog::CutMovement() {
    CopyMovement();
    DeleteMovement();
}

void MainDialog::CopyMovement() {
    engine::MovementList& list = Movements();
    StoreMovement(list.currentMovement);
    CopyFields(copyBuffer_, list.records[list.currentMovement]);
    if (list.movementCount < kFillingCount) {
        SetPasteEnabled(true);
    }
}

void MainDialog::PasteMovement() {
    engine::MovementList& list = Movements();
    const int count = list.movementCount;
    if (!BeginInsertion()) {
        return;
    }
    list.movementCount = static_cast<std::uint8_t>(count + 1);
    list.currentMovement += 1;
    ListInsert(kIdMovementList, list.currentMovement, RecordNameText(copyBuffer_));
    ListSetSelection(kIdMovementList, list.currentMovement);
    for (int k = count; k > list.currentMovement; --k) {
        list.records[k] = list.records[k - 1];
    }
    CopyFields(list.records[list.currentMovement], copyBuffer_);
    ShowMovement(list.currentMovement);
    SetDeleteEnabled(true);
    SetCutEnabled(true);
}

bool MainDialog::NewList() {
    platform::MessageRequest question;
    question.text = QStringLiteral("Alle nicht gespeicherten Daten gehen verloren !");
    question.caption = QStringLiteral("Hinweis");
    question.buttons = platform::MessageButtons::kOkCancel;
    question.icon = platform::MessageIcon::kWarning;
    if (messages_.Show(this, question) != platform::MessageResult::kOk) {
        return false;
    }
    engine::MovementList& list = Movements();
    for (int i = 0; i < engine::kMaxMovements; ++i) {
        engine::ResetMovement(list, i);
    }
    engine::StoreRunSettings(Run().Settings(), engine::RunSettingsValues{});
    list.movementCount = 1;
    list.currentMovement = 0;
    ShowMovement(0);
    ListClear(kIdMovementList);
    ListAppend(kIdMovementList, QString::fromLatin1(engine::kNewMovementName));
    ListSetSelection(kIdMovementList, 0);
    SetDeleteEnabled(false);
    SetCutEnabled(false);
    SetAddEnabled(true);
    if (CopyBufferHoldsMovement()) {
        SetPasteEnabled(true);
    }
    return true;
}

}  // namespace kinemo::ui
