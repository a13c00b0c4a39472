#include "tools/cli_program.h"

#include "tools/cli_command.h"

namespace kinemo::cli {

engine::ProgramContents LoadProgramOrFail(const std::string& path) {
    engine::ProgramContents contents;
    const engine::ProgramFileStatus status = engine::ReadProgramFile(path, contents);
    if (status != engine::ProgramFileStatus::kOk) {
        throw CliFailure(path + ": " + engine::ProgramFileStatusText(status));
    }
    return contents;
}

void FillList(const engine::ProgramContents& contents, engine::MovementList& list,
              engine::RunSettingsValues& settings) {
    for (int i = 0; i < engine::kMaxMovements; ++i) {
        engine::ResetMovement(list, i);
    }
    for (std::size_t i = 0; i < contents.records.size(); ++i) {
        list.records[i] = contents.records[i];
    }
    list.movementCount = static_cast<std::uint8_t>(contents.records.size());
    list.currentMovement = 0;
    settings = contents.settings;
}

}  // namespace kinemo::cli
