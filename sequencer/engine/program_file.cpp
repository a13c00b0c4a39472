#include "sequencer/engine/program_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

// A save through a symbolic link replaces the file the link points to, not the
// link itself. A dangling link is replaced by the file.
std::string ResolveLink(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return path;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string target(resolved);
    std::free(resolved);
    return target;
}

// Creates a new, empty file beside `target` for the bytes of a save. Its name
// is unique to this process and call, so parallel saves never share one.
int CreateSibling(const std::string& target, std::string& name) {
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        // A short hidden name, so that a target name near the length limit
        // still leaves room for it.
        name = FolderOf(target) + "/.kinemo-save-" + std::to_string(::getpid()) + "-" +
               std::to_string(serial.fetch_add(1, std::memory_order_relaxed));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
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
        const auto record = bytes.subspan(kProgramHeaderSize + i * kMovementRecordSize)
                                .first<kMovementRecordSize>();
        parsed.records.push_back(DecodeMovementRecord(record));
    }
    contents = std::move(parsed);
    return ProgramFileStatus::kOk;
}

ProgramFileStatus ReadProgramFile(const std::string& path, ProgramContents& contents) {
    // Opened without waiting so that a pipe without a writer cannot hang the
    // caller (it then reads as empty); reading itself blocks as usual.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return ProgramFileStatus::kCannotOpen;
    }
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
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
    if (path.empty()) {
        return ProgramFileStatus::kCannotCreate;
    }
    const std::vector<std::uint8_t> bytes = SerializeProgram(settings, records);
    const std::string target = ResolveLink(path);

    struct stat existing {};
    const bool targetExists = ::stat(target.c_str(), &existing) == 0;
    if (targetExists && !S_ISREG(existing.st_mode)) {
        return ProgramFileStatus::kCannotCreate;  // a folder or device is never replaced
    }

    std::string temporary;
    const int fd = CreateSibling(target, temporary);
    if (fd < 0) {
        return ProgramFileStatus::kCannotCreate;
    }
    // The replacement keeps the permissions of the file it replaces; a new file
    // gets the usual mode (0666 less the umask, applied by open).
    bool ok = !targetExists || ::fchmod(fd, existing.st_mode & 07777) == 0;
    ok = ok && WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return ProgramFileStatus::kWriteFailed;
    }
    // Make the rename itself durable.
    const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
