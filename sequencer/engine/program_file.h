// Program files (".kmo"): a whole movement list with its run settings.
//
// Layout, little-endian:
//   0   4        magic "KMO3" (the fourth character is the format version)
//   4   1        endlessLoop
//   5   1        offSwitchOn
//   6   1        offSwitchInput (0..7 = E1..E8)
//   7   176 * n  n movement records in list order
// There is no count or trailer: n follows from the file length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sequencer/engine/movement_list.h"

namespace kinemo::engine {

inline constexpr char kProgramMagic[4] = {'K', 'M', 'O', '3'};
inline constexpr std::size_t kProgramHeaderSize = 7;
// Longest file body that can be used: the list holds at most 255 movements.
inline constexpr std::size_t kProgramMaxUsefulSize =
    kProgramHeaderSize + kMovementRecordSize * kMaxMovements;

enum class ProgramFileStatus {
    kOk,
    kCannotOpen,    // the file does not exist or cannot be read
    kReadFailed,    // reading stopped with an error
    kNotAProgram,   // the first three bytes are not "KMO": "Ungültige Datei"
    kWrongVersion,  // "KMO" followed by another version: "Falsche Kinemo-Version"
    kNoMovements,   // valid header but not one complete movement record
    kCannotCreate,  // the file (or its temporary sibling) cannot be created
    kWriteFailed,   // writing, flushing or replacing the file failed
};

// What a program file holds. A file is loaded when it has the magic, the three
// settings bytes and at least one complete record; of a longer body the first
// 255 complete records are loaded and a partial trailing record is ignored.
// Names without a NUL in their 21 bytes are cut to 20 characters.
struct ProgramContents {
    RunSettingsValues settings;
    std::vector<MovementRecord> records;  // 1..255 after a successful read
    bool partialRecordIgnored = false;    // the file ended inside a record
    std::size_t recordsBeyondLimit = 0;   // complete records after the 255th, not loaded
};

// Parses the bytes of a program file. On any status but kOk `contents` is left
// as it was.
ProgramFileStatus ParseProgram(std::span<const std::uint8_t> bytes, ProgramContents& contents);

// Reads and parses a program file. Reads at most what 255 movements need plus
// one byte, so an oversized file costs no memory.
ProgramFileStatus ReadProgramFile(const std::string& path, ProgramContents& contents);

// The bytes of a program file for these settings and records.
std::vector<std::uint8_t> SerializeProgram(const RunSettingsValues& settings,
                                           std::span<const MovementRecord> records);

// Writes a program file for 1..255 records. The bytes go to a new temporary
// file in the same folder, which is flushed to disk and then renamed over the
// target, so a failed save never destroys the previous file and leaves no
// temporary file behind. The result has the same bytes as a direct write; a
// replaced file keeps its permissions, and a save through a symbolic link
// replaces the file it points to. A target that is a folder or any other
// non-regular file is kCannotCreate.
ProgramFileStatus WriteProgramFile(const std::string& path, const RunSettingsValues& settings,
                                   std::span<const MovementRecord> records);

// A short German text for a status, for messages and the command-line tool.
// kNotAProgram and kWrongVersion give exactly "Ungültige Datei" and
// "Falsche Kinemo-Version".
std::string ProgramFileStatusText(ProgramFileStatus status);

}  // namespace kinemo::engine
