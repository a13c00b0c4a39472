// kinemo-cli new FILE.kmo: writes the program file of a new list, one movement
// "Neue Bewegung" with the defaults of a new movement, endless loop off, off
// switch off on E8. An existing file is replaced, as saving does.
#include <cstdio>
#include <memory>
#include <string>

#include "sequencer/engine/program_file.h"
#include "tools/cli_args.h"
#include "tools/cli_command.h"

namespace kinemo::cli {

NewRequest ParseNewArgs(CommandArgs args) {
    return {ParsedArgs(args, {}).Positional({"DATEI.kmo"})[0]};
}

int RunCommand(const NewRequest& request, std::FILE* /*out*/) {
    const std::string& path = request.path;

    auto list = std::make_unique<engine::MovementList>();
    engine::ResetMovement(*list, 0);
    const engine::RunSettingsValues newListSettings{0, 0, 7};
    const engine::ProgramFileStatus status =
        engine::WriteProgramFile(path, newListSettings, std::span(list->records).first(1));
    if (status != engine::ProgramFileStatus::kOk) {
        throw CliFailure(path + ": " + engine::ProgramFileStatusText(status));
    }
    return kExitOk;
}

}  // namespace kinemo::cli
