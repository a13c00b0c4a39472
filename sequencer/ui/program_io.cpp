// Saving and loading program files from the main dialog.
#include <span>

#include "sequencer/engine/program_file.h"
#include "sequencer/ui/main_dialog.h"
#include "sequencer/ui/main_dialog_ids.h"
#include "sequencer/ui/movement_list_names.h"

namespace kinemo::ui {
namespace {

QString StatusText(engine::ProgramFileStatus status) {
    return QString::fromStdString(engine::ProgramFileStatusText(status));
}

}  // namespace

platform::FileDialogRequest MainDialog::ProgramFileRequest(platform::FileDialogMode mode) const {
    platform::FileDialogRequest request;
    request.mode = mode;
    request.filter = QStringLiteral("*.kmo");
    request.defaultExtension = QStringLiteral("kmo");
    request.initialName = QStringLiteral("*.kmo");
    return request;
}

void MainDialog::ShowFileError(const QString& text) {
    platform::MessageRequest message;
    message.text = text;
    message.caption = QStringLiteral("Fehler");
    message.buttons = platform::MessageButtons::kOk;
    messages_.Show(this, message);
}

void MainDialog::SaveProgram() {
    const platform::FileDialogRequest request = ProgramFileRequest(platform::FileDialogMode::kSave);
    engine::MovementList& list = Movements();
    StoreMovement(list.currentMovement);
    const QString path = files_.Choose(this, request);
    if (path.isEmpty()) {
        return;
    }
    const std::size_t count = list.movementCount;
    const engine::ProgramFileStatus status =
        engine::WriteProgramFile(path.toStdString(), engine::LoadRunSettings(Run().Settings()),
                                 std::span(list.records).first(count));
    if (status != engine::ProgramFileStatus::kOk) {
        // Nothing was replaced: the previous file, if any, is unchanged.
        ShowFileError(StatusText(status) + QStringLiteral(":\n") + path);
    }
}

void MainDialog::LoadProgram() {
    const platform::FileDialogRequest request = ProgramFileRequest(platform::FileDialogMode::kOpen);
    engine::MovementList& list = Movements();
    StoreMovement(list.currentMovement);
    const QString path = files_.Choose(this, request);
    if (path.isEmpty()) {
        return;
    }
    // The whole file is read and checked before NewList asks, so a refused
    // file never costs the list.
    engine::ProgramContents contents;
    const engine::ProgramFileStatus status = engine::ReadProgramFile(path.toStdString(), contents);
    switch (status) {
        case engine::ProgramFileStatus::kOk:
            break;
        case engine::ProgramFileStatus::kNotAProgram:
        case engine::ProgramFileStatus::kWrongVersion:
            ShowFileError(StatusText(status));
            return;
        default:
            ShowFileError(StatusText(status) + QStringLiteral(":\n") + path);
            return;
    }
    if (!NewList()) {
        return;
    }
    engine::StoreRunSettings(Run().Settings(), contents.settings);
    const int count = static_cast<int>(contents.records.size());
    for (int i = 0; i < count; ++i) {
        list.records[i] = contents.records[i];
    }
    list.movementCount = static_cast<std::uint8_t>(count);
    ListClear(kIdMovementList);
    for (int i = 0; i < count; ++i) {
        ListAppend(kIdMovementList, RecordNameText(list.records[i]));
    }
    list.currentMovement = 0;
    ListSetSelection(kIdMovementList, 0);
    ShowMovement(0);
    if (count > 1) {
        SetDeleteEnabled(true);
        SetCutEnabled(true);
    }
    if (count >= engine::kMaxMovements - 1) {
        MarkListFull();
    }
    if (contents.recordsBeyondLimit > 0) {
        platform::MessageRequest note;
        note.text = QStringLiteral(
                        "Die Datei enthält mehr als %1 Bewegungen.\nNur die ersten %1 wurden "
                        "geladen, %2 weitere wurden übergangen.")
                        .arg(engine::kMaxMovements)
                        .arg(contents.recordsBeyondLimit);
        note.caption = QStringLiteral("Hinweis");
        note.buttons = platform::MessageButtons::kOk;
        note.icon = platform::MessageIcon::kInformation;
        messages_.Show(this, note);
    }
}

}  // namespace kinemo::ui
