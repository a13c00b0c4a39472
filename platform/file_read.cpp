#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kinemo::platform {

FileStart ReadFileStart(const std::string& path, std::size_t limit, bool pipesAndDevices) {
    FileStart file;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        file.status = errno == ENOENT ? FileReadStatus::kMissing : FileReadStatus::kCannotOpen;
        return file;
    }
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return file;
    }
    const bool regular = S_ISREG(info.st_mode);
    if (!regular && !pipesAndDevices) {
        ::close(fd);
        file.status = FileReadStatus::kNotAFile;
        return file;
    }
    file.size = regular ? static_cast<std::uint64_t>(info.st_size) : 0;
    file.bytes.resize(limit);
    std::size_t filled = 0;
    file.status = FileReadStatus::kOk;
    while (filled < limit) {
        const ssize_t got = ::read(fd, file.bytes.data() + filled, limit - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            file.status = FileReadStatus::kReadFailed;
            filled = 0;
            break;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    ::close(fd);
    file.bytes.resize(filled);
    return file;
}

}  // namespace kinemo::platform
