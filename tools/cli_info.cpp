// kinemo-cli info FILE.kmo: the run settings and every movement of a program
// file, one readable block per movement.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "tools/cli_args.h"
#include "tools/cli_command.h"
#include "tools/cli_program.h"

namespace kinemo::cli {
namespace {

using engine::MovementRecord;

const char* OnOff(std::int32_t flag) {
    return flag != 0 ? "an" : "aus";
}

// Names are shown as stored; control characters, quotes and backslashes are
// escaped so that every name stays on its line.
std::string PrintableName(const MovementRecord& record) {
    std::string shown;
    for (const char c : engine::RecordName(record)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '"' || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string DirectionText(std::uint8_t direction) {
    switch (direction) {
        case engine::kDirectionLeft:
            return "Links";
        case engine::kDirectionOff:
            return "Aus";
        case engine::kDirectionRight:
            return "Rechts";
        default:
            return "ungültig (" + std::to_string(direction) + ")";
    }
}

// A 1-based input number of a record: 1..8 = E1..E8, 0 = none.
std::string InputText(std::int64_t input) {
    if (input == 0) {
        return "keiner";
    }
    if (input >= 1 && input <= 8) {
        return "E" + std::to_string(input);
    }
    return "ungültig (" + std::to_string(input) + ")";
}

void PrintMotor(std::FILE* out, const MovementRecord& r, int m) {
    std::fprintf(out, "  M%d: %s\n", m + 1, DirectionText(r.direction[m]).c_str());
    std::fprintf(out, "    Geschwindigkeit: %3.2f %% (%u + %u)\n", engine::StartSpeedPercent(r, m),
                 r.speed[m], r.fineSpeed[m]);
    std::fprintf(out, "    Zielgeschwindigkeit: %3.2f %% (%u + %u)\n",
                 engine::TargetSpeedPercent(r, m), r.targetSpeed[m], r.targetFineSpeed[m]);
    std::fprintf(out, "    Beschleunigung: %s, Beschl. dauer: %" PRId32 " Ticks\n",
                 OnOff(r.accelOn[m]), r.accelDuration[m]);
    std::fprintf(out, "    Endtaster: %s, Eingang %s\n", OnOff(r.endSwitchOn[m]),
                 InputText(r.endSwitchInput[m]).c_str());
    std::fprintf(out, "    Max. dauer: %s, %" PRId32 " Ticks\n", OnOff(r.maxDurationOn[m]),
                 r.maxDuration[m]);
    std::fprintf(out, "    Max. Impulse: %s, %" PRIu32 " Impulse an Eingang %s\n",
                 OnOff(r.maxImpulsesOn[m]), static_cast<std::uint32_t>(r.maxImpulses[m]),
                 InputText(r.impulseInput[m]).c_str());
}

}  // namespace

InfoRequest ParseInfoArgs(CommandArgs args) {
    return {ParsedArgs(args, {}).Positional({"DATEI.kmo"})[0]};
}

int RunCommand(const InfoRequest& request, std::FILE* out) {
    const std::string& path = request.path;
    const engine::ProgramContents contents = LoadProgramOrFail(path);
    const engine::RunSettingsValues& s = contents.settings;

    std::fprintf(out, "Datei: %s\n", path.c_str());
    std::fprintf(out, "Bewegungen: %zu\n", contents.records.size());
    if (contents.recordsBeyondLimit != 0) {
        std::fprintf(out, "Nicht geladen: %zu weitere Bewegungen (höchstens 255)\n",
                     contents.recordsBeyondLimit);
    }
    if (contents.partialRecordIgnored) {
        std::fprintf(out, "Nicht geladen: unvollständige Bewegung am Dateiende\n");
    }
    std::fprintf(out, "Endlosschleife: %s\n", OnOff(s.endlessLoop));
    // The off switch's input is stored 0-based.
    std::fprintf(out, "Aus-Taster: %s, Eingang %s\n", OnOff(s.offSwitchOn),
                 InputText(static_cast<std::int64_t>(s.offSwitchInput) + 1).c_str());
    for (std::size_t i = 0; i < contents.records.size(); ++i) {
        const MovementRecord& record = contents.records[i];
        std::fprintf(out, "\nBewegung %zu: \"%s\"\n", i, PrintableName(record).c_str());
        for (int m = 0; m < engine::kMotorCount; ++m) {
            PrintMotor(out, record, m);
        }
    }
    return kExitOk;
}

}  // namespace kinemo::cli
