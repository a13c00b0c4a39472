// Reading the start of a file the user named, without ever hanging: a pipe
// without a writer or a device of that name must not stop a program's start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kinemo::platform {

enum class FileReadStatus {
    kOk,
    kMissing,     // no such file
    kCannotOpen,  // any other failed open, or a folder
    kNotAFile,    // a pipe or device where only plain files are read
    kReadFailed,
};

struct FileStart {
    FileReadStatus status = FileReadStatus::kCannotOpen;
    std::uint64_t size = 0;           // a plain file's whole size; 0 for a pipe or device
    std::vector<std::uint8_t> bytes;  // at most the limit asked for; empty unless kOk
};

// Reads up to `limit` bytes of the plain file `path`. The open never waits,
// and a pipe or device is not read unless `pipesAndDevices`: then a pipe
// without a writer reads as empty, and reading blocks as usual once open.
FileStart ReadFileStart(const std::string& path, std::size_t limit, bool pipesAndDevices = false);

}  // namespace kinemo::platform
