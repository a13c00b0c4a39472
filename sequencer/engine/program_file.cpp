#include "sequencer/engine/program_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kinemo::engine {
namespace {

// Reads up to `limit` bytes of an open descriptor.
bool ReadAtMost(int fd, std::vector<std::uint8_t>& bytes, std::size_t limit) {
    bytes.resize(limit);
    std::size_t filled = 0;
    while (filled < limit) {
        const ssize_t got = ::read(fd, bytes.data() + filled, limit - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return true;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

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
        const auto record =
            bytes.subspan(kProgramHeaderSize + i * kMovementRecordSize).first<kMovementRecordSize>();
        parsed.records.push_back(DecodeMovementRecord(record));
    }
    contents = std::move(parsed);
    return ProgramFileStatus::kOk;
}

ProgramFileStatus ReadProgramFile(const std::string& path, ProgramContents& contents) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return ProgramFileStatus::kCannotOpen;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return ProgramFileStatus::kCannotOpen;
    }
    // One record more than the list holds tells whether records were left out.
    std::vector<std::uint8_t> bytes;
    const bool ok = ReadAtMost(fd, bytes, kProgramMaxUsefulSize + kMovementRecordSize);
    ::close(fd);
    if (!ok) {
        return ProgramFileStatus::kReadFailed;
    }
    const ProgramFileStatus status = ParseProgram(bytes, contents);
    // The read stopped early for an oversized file; its size tells the rest.
    if (status == ProgramFileStatus::kOk && S_ISREG(info.st_mode) &&
        static_cast<std::size_t>(info.st_size) > kProgramMaxUsefulSize) {
        const std::size_t body = static_cast<std::size_t>(info.st_size) - kProgramHeaderSize;
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
    const std::vector<std::uint8_t> bytes = SerializeProgram(settings, records);

    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return ProgramFileStatus::kCannotCreate;
    }
    // mkstemp creates the file for the owner only; give it the usual mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return ProgramFileStatus::kWriteFailed;
    }
    // Make the rename itself durable.
    const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
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
