// Program files as the kinemo-cli commands use them.
#pragma once

#include <string>

#include "sequencer/engine/movement_list.h"
#include "sequencer/engine/program_file.h"

namespace kinemo::cli {

// Reads a program file; throws CliFailure "PATH: reason" when it is refused.
engine::ProgramContents LoadProgramOrFail(const std::string& path);

// Puts loaded contents into a movement table the way loading does in the
// sequencer: every usable slot first gets the defaults of a new movement, then
// the file's records fill slots 0..n-1 and the count becomes n.
void FillList(const engine::ProgramContents& contents, engine::MovementList& list,
              engine::RunSettingsValues& settings);

}  // namespace kinemo::cli
