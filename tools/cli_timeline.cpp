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

// Output file of the rows, opened before anything is computed so that an
// unusable path is refused before any output.
class RowsFile {
  public:
    explicit RowsFile(const std::string& path)
        : path_(path), file_(std::fopen(path.c_str(), "wb")) {
        if (file_ == nullptr) {
            throw CliFailure(path + ": Datei kann nicht angelegt werden");
        }
    }
    ~RowsFile() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    RowsFile(const RowsFile&) = delete;
    RowsFile& operator=(const RowsFile&) = delete;

    // Writes rows 0..rowCount-1 and closes the file; a full disk may only show
    // at the close, so its result counts too.
    void Write(const engine::Timeline& timeline, int rowCount) {
        bool ok = true;
        for (int row = 0; row < rowCount && ok; ++row) {
            ok = std::fwrite(timeline.Row(row), 1, engine::kTimelineRowLength, file_) ==
                 engine::kTimelineRowLength;
        }
        ok = (std::fclose(file_) == 0) && ok;
        file_ = nullptr;
        if (!ok) {
            throw CliFailure(path_ + ": Datei kann nicht geschrieben werden");
        }
    }

  private:
    std::string path_;
    std::FILE* file_;
};

}  // namespace

TimelineRequest ParseTimelineArgs(CommandArgs args) {
    const ParsedArgs parsed(args, {{"--first", true}, {"--last", true}, {"--out", true}});
    TimelineRequest request;
    request.path = parsed.Positional({"DATEI.kmo"})[0];
    const std::optional<std::string> rowsPath = parsed.Value("--out");
    if (!rowsPath || rowsPath->empty()) {
        throw CliFailure("Option --out ZEILEN.bin fehlt");
    }
    request.out = *rowsPath;
    request.first = parsed.Value("--first");
    request.last = parsed.Value("--last");
    return request;
}

int RunCommand(const TimelineRequest& request, std::FILE* out) {
    const engine::ProgramContents contents = LoadProgramOrFail(request.path);
    const auto lastIndex = static_cast<std::int64_t>(contents.records.size()) - 1;
    const auto first =
        static_cast<int>(request.first ? ParseInteger(*request.first, 0, lastIndex, "--first") : 0);
    const auto last = static_cast<int>(
        request.last ? ParseInteger(*request.last, 0, lastIndex, "--last") : lastIndex);

    RowsFile rowsFile(request.out);
    auto list = std::make_unique<engine::MovementList>();
    engine::RunSettingsValues settings;
    FillList(contents, *list, settings);
    auto timeline = std::make_unique<engine::Timeline>();
    engine::ComputeTimeline(*list, first, last, *timeline, out);

    const int rowCount = last < first ? 0 : last - first + 1;
    rowsFile.Write(*timeline, rowCount);
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
