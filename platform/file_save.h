// Saving a whole file so that a reader (or a crash) sees the old contents or
// the new ones, never a part: the bytes go to a new temporary file in the
// same folder, which is then renamed over the old file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kinemo::platform {

// Writes `bytes` as the file at `path`. A symbolic link is followed (the file
// it names is replaced, the link stays; a dangling link is replaced by the
// file); a folder or device is never replaced. The new file keeps the old
// one's permissions; a new file gets the usual mode less the umask. Returns 0,
// or the errno value of the step that failed; then the old file is untouched
// and no temporary file is left. When `created` is given it tells whether the
// temporary file could be made, so a caller can tell a file that cannot be
// created (missing folder, no permission, a folder in the way) from one that
// cannot be written (disk full, size limit).
int SaveFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                       bool* created = nullptr);

}  // namespace kinemo::platform
