#include "sequencer/engine/program_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/file_read.h"
#include "platform/file_save.h"

namespace kinemo::engine {

ProgramFileStatus ParseProgram(std::span<const std::uint8_t> bytes, ProgramContents& contents) {
    if (bytes.size() < 4 || std::memcmp(bytes.data(), kProgramMagic, 3) != 0) {
        return ProgramFileStatus::kNotAProgram;
    }
    if (bytes[3] != static_cast<std::uint8_t>(kProgramMagic[3])) {
        return ProgramFileStatus::kWrongVersion;
    }
    if (bytes.size() < kProgramHeaderSize + kMovementRecordSize) {
        return ProgramFileStatus::kNoMovements;
    }

    ProgramContents parsed;
    parsed.settings.endlessLoop = bytes[4];
    parsed.settings.offSwitchOn = bytes[5];
    parsed.settings.offSwitchInput = bytes[6];

    const std::size_t body = bytes.size() - kProgramHeaderSize;
    const std::size_t complete = body / kMovementRecordSize;
    const std::size_t loaded = std::min<std::size_t>(complete, kMaxMovements);
    parsed.partialRecordIgnored = body % kMovementRecordSize != 0;
    parsed.recordsBeyondLimit = complete - loaded;
    parsed.records.reserve(loaded);
    for (std::size_t i = 0; i < loaded; ++i) {
        const auto record = bytes.subspan(kProgramHeaderSize + i * kMovementRecordSize)
                                .first<kMovementRecordSize>();
        parsed.records.push_back(DecodeMovementRecord(record));
    }
    contents = std::move(parsed);
    return ProgramFileStatus::kOk;
}

ProgramFileStatus ReadProgramFile(const std::string& path, ProgramContents& contents) {
    // One record more than the list holds tells whether records were left out.
    const platform::FileStart file = platform::ReadFileStart(
        path, kProgramMaxUsefulSize + kMovementRecordSize, /*pipesAndDevices=*/true);
    if (file.status == platform::FileReadStatus::kReadFailed) {
        return ProgramFileStatus::kReadFailed;
    }
    if (file.status != platform::FileReadStatus::kOk) {
        return ProgramFileStatus::kCannotOpen;
    }
    const ProgramFileStatus status = ParseProgram(file.bytes, contents);
    // The read stopped early for an oversized file; its size tells the rest.
    if (status == ProgramFileStatus::kOk && file.size > kProgramMaxUsefulSize) {
        const std::size_t body = static_cast<std::size_t>(file.size) - kProgramHeaderSize;
        contents.recordsBeyondLimit = body / kMovementRecordSize - kMaxMovements;
        contents.partialRecordIgnored = body % kMovementRecordSize != 0;
    }
    return status;
}

std::vector<std::uint8_t> SerializeProgram(const RunSettingsValues& settings,
                                           std::span<const MovementRecord> records) {
    std::vector<std::uint8_t> bytes(kProgramHeaderSize + kMovementRecordSize * records.size());
    std::memcpy(bytes.data(), kProgramMagic, 4);
    bytes[4] = settings.endlessLoop;
    bytes[5] = settings.offSwitchOn;
    bytes[6] = settings.offSwitchInput;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto out = std::span(bytes)
                             .subspan(kProgramHeaderSize + i * kMovementRecordSize)
                             .first<kMovementRecordSize>();
        EncodeMovementRecord(records[i], out);
    }
    return bytes;
}

ProgramFileStatus WriteProgramFile(const std::string& path, const RunSettingsValues& settings,
                                   std::span<const MovementRecord> records) {
    if (path.empty()) {
        return ProgramFileStatus::kCannotCreate;
    }
    const std::vector<std::uint8_t> bytes = SerializeProgram(settings, records);
    bool created = false;
    if (platform::SaveFileAtomically(path, bytes, &created) != 0) {
        return created ? ProgramFileStatus::kWriteFailed : ProgramFileStatus::kCannotCreate;
    }
    return ProgramFileStatus::kOk;
}

std::string ProgramFileStatusText(ProgramFileStatus status) {
    switch (status) {
        case ProgramFileStatus::kOk:
            return "OK";
        case ProgramFileStatus::kCannotOpen:
            return "Datei kann nicht geöffnet werden";
        case ProgramFileStatus::kReadFailed:
            return "Datei kann nicht gelesen werden";
        case ProgramFileStatus::kNotAProgram:
            return "Ungültige Datei";
        case ProgramFileStatus::kWrongVersion:
            return "Falsche Kinemo-Version";
        case ProgramFileStatus::kNoMovements:
            return "Die Datei enthält keine vollständige Bewegung";
        case ProgramFileStatus::kCannotCreate:
            return "Datei kann nicht angelegt werden";
        case ProgramFileStatus::kWriteFailed:
            return "Datei kann nicht geschrieben werden";
    }
    return "Unbekannter Fehler";
}

}  // namespace kinemo::engine
