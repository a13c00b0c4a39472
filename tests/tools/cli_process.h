// Runs the built kinemo-cli as a child process and captures what it leaves.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kinemo::cli::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when the process did not exit normally
    int signal = 0;     // the signal that ended it, if any
    std::string out;
    std::string err;
};

// Runs kinemo-cli with `args` in `workingFolder`. The child inherits the
// environment without any KINEMO_PORT_* variable, plus `environment`
// (name, value).
ProcessResult RunCliProcess(
    const std::vector<std::string>& args, const std::string& workingFolder,
    const std::vector<std::pair<std::string, std::string>>& environment = {});

// A fresh temporary folder, removed with everything in it on destruction.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace kinemo::cli::test
