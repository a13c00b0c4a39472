// Programs run as child processes by the tests: kinemo-cli, kinemo-sim, the
// window programs' probes. Output goes to files rather than pipes, so a large
// output can never block a child while the test waits for it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace kinemo::cli::test {

using Environment = std::vector<std::pair<std::string, std::string>>;

struct ProcessResult {
    int exitCode = -1;  // -1 when the process did not exit normally
    int signal = 0;     // the signal that ended it, if any
    std::string out;
    std::string err;
    friend bool operator==(const ProcessResult&, const ProcessResult&) = default;
    friend std::ostream& operator<<(std::ostream& os, const ProcessResult& r) {
        return os << "exit " << r.exitCode << " signal " << r.signal << "\nout: " << r.out
                  << "\nerr: " << r.err;
    }
};

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

// One started program. Its environment is the test's own without any
// KINEMO_PORT_* variable, plus `environment` (name, value). A child still
// running at destruction is killed. Standard input is read from the file
// `standardInput` (an absolute path; a named pipe lets a test type into the
// child as it runs).
class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& workingFolder,
                 const Environment& environment = {},
                 const std::string& standardInput = "/dev/null");
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const;
    // Waits for the end (killing the child after a generous bound); a child
    // that never started gives exit code -1.
    ProcessResult Wait();
    // Waits until standard output (or error) holds `text`.
    bool WaitForText(const std::string& text, bool inErr = false) const;
    // Line `index` of standard output once it is complete; empty if it never comes.
    std::string WaitForLine(std::size_t index) const;

  private:
    std::string Captured(bool err) const;

    TempFolder capture_;
    pid_t pid_ = -1;
    bool ended_ = false;
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& workingFolder,
                         const Environment& environment = {});

// `program` followed by `args`, as an argument vector.
inline std::vector<std::string> Command(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), program);
    return args;
}

#ifdef KINEMO_CLI_PATH
// Runs the built kinemo-cli with `args` in `workingFolder`.
inline ProcessResult RunCliProcess(const std::vector<std::string>& args,
                                   const std::string& workingFolder,
                                   const Environment& environment = {}) {
    return RunProcess(Command(KINEMO_CLI_PATH, args), workingFolder, environment);
}
#endif

std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    const std::string text = ReadFileText(path);
    return {text.begin(), text.end()};
}
inline void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    WriteFileText(path, std::string(bytes.begin(), bytes.end()));
}

}  // namespace kinemo::cli::test
