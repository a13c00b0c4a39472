#include "simulator/symlink_guard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace kinemo::simulator {

namespace {

bool ReadLink(const std::string& path, std::string* target) {
    std::array<char, 4096> buffer{};
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    if (n < 0) {
        return false;
    }
    target->assign(buffer.data(), static_cast<std::size_t>(n));
    return true;
}

}  // namespace

bool SymlinkGuard::Create(const std::string& linkPath, const std::string& target,
                          std::string* error) {
    Remove();
    struct stat info {};
    if (::lstat(linkPath.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            *error = linkPath + " exists and is not a symbolic link";
            return false;
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(target.c_str(), linkPath.c_str()) != 0) {
        *error = "cannot create link " + linkPath + ": " + std::strerror(errno);
        return false;
    }
    linkPath_ = linkPath;
    target_ = target;
    return true;
}

void SymlinkGuard::Remove() {
    if (linkPath_.empty()) {
        return;
    }
    std::string current;
    if (ReadLink(linkPath_, &current) && current == target_) {
        ::unlink(linkPath_.c_str());
    }
    linkPath_.clear();
    target_.clear();
}

}  // namespace kinemo::simulator
