// kinemo-cli timeline FILE.kmo [--first A] [--last B] --out ROWS.bin
//
// Computes records A..B of a program file into timeline rows 0..B-A exactly as
// the sequencer does before a run, in a fresh (zeroed) timeline, and writes
// those rows to ROWS.bin, 65536 one-byte Motor output words each. Standard
// output carries the computation's diagnostic lines, then one line per row and
// motor:
//   limits ROW MOTOR ENDSWITCHINPUT IMPULSEINPUT MAXIMPULSES MAXDURATION
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "sequencer/engine/timeline.h"
#include "tools/cli_args.h"
#include "tools/cli_command.h"
#include "tools/cli_program.h"

namespace kinemo::cli {
namespace {

// Writes rows 0..rowCount-1; throws on any failure, including a full disk
// found at close. An empty file is written when rowCount is 0.
void WriteRows(const std::string& path, const engine::Timeline& timeline, int rowCount) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw CliFailure(path + ": Datei kann nicht angelegt werden");
    }
    bool ok = true;
    for (int row = 0; row < rowCount && ok; ++row) {
        ok = std::fwrite(timeline.Row(row), 1, engine::kTimelineRowLength, file) ==
             engine::kTimelineRowLength;
    }
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) {
        throw CliFailure(path + ": Datei kann nicht geschrieben werden");
    }
}

}  // namespace

int RunTimelineCommand(CommandArgs args, std::FILE* out) {
    const ParsedArgs parsed(args, {{"--first", true}, {"--last", true}, {"--out", true}});
    const std::string path = parsed.Positional({"DATEI.kmo"})[0];
    const std::optional<std::string> rowsPath = parsed.Value("--out");
    if (!rowsPath || rowsPath->empty()) {
        throw CliFailure("Option --out ZEILEN.bin fehlt");
    }
    const engine::ProgramContents contents = LoadProgramOrFail(path);
    const auto lastIndex = static_cast<std::int64_t>(contents.records.size()) - 1;
    const auto first = static_cast<int>(
        parsed.Has("--first") ? ParseInteger(*parsed.Value("--first"), 0, lastIndex, "--first")
                              : 0);
    const auto last = static_cast<int>(
        parsed.Has("--last") ? ParseInteger(*parsed.Value("--last"), 0, lastIndex, "--last")
                             : lastIndex);

    auto list = std::make_unique<engine::MovementList>();
    engine::RunSettingsValues settings;
    FillList(contents, *list, settings);
    auto timeline = std::make_unique<engine::Timeline>();
    engine::ComputeTimeline(*list, first, last, *timeline, out);

    const int rowCount = last < first ? 0 : last - first + 1;
    WriteRows(*rowsPath, *timeline, rowCount);
    for (int row = 0; row < rowCount; ++row) {
        const engine::SlotLimits& limits = timeline->Limits(row);
        for (int m = 0; m < engine::kMotorCount; ++m) {
            std::fprintf(out, "limits %d %d %u %u %" PRIu32 " %" PRIu32 "\n", row, m + 1,
                         limits.endSwitchInput[m], limits.impulseInput[m], limits.maxImpulses[m],
                         limits.maxDuration[m]);
        }
    }
    return kExitOk;
}

}  // namespace kinemo::cli
