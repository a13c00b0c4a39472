#include "tests/tools/cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

extern char** environ;

namespace kinemo::cli::test {
namespace {

constexpr int kGenerousWaitMs = 60'000;

// Polls the captured output files until `ready` holds or the bound passes.
template <typename Ready>
bool PollUntil(Ready ready) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousWaitMs);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));  // polling a file
    }
    return true;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TempFolder::TempFolder() {
    path_ = (std::filesystem::temp_directory_path() / "kinemo-test-XXXXXX").string();
    if (::mkdtemp(path_.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argvStrings,
                           const std::string& workingFolder, const Environment& environment,
                           const std::string& standardInput) {
    // Ours without port overrides and without the names set here, plus `environment`.
    std::vector<std::string> args = argvStrings, envStrings;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry), name = text.substr(0, text.find('='));
        if (name.rfind("KINEMO_PORT_", 0) != 0 &&
            std::none_of(environment.begin(), environment.end(),
                         [&](const auto& pair) { return pair.first == name; })) {
            envStrings.emplace_back(text);
        }
    }
    for (const auto& [name, value] : environment) {
        envStrings.push_back(name + "=" + value);
    }
    const std::vector<char*> argv = Pointers(args), envp = Pointers(envStrings);
    const std::string outPath = capture_.File("stdout"), errPath = capture_.File("stderr");
    pid_ = ::fork();
    if (pid_ == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = ::open(standardInput.c_str(), O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            ::dup2(in, 0) < 0 || ::chdir(workingFolder.c_str()) != 0) {
            ::_exit(127);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
}

ChildProcess::~ChildProcess() {
    Signal(SIGKILL);
    if (pid_ > 0 && !ended_) {
        ::waitpid(pid_, nullptr, 0);
    }
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0 && !ended_) {
        ::kill(pid_, signal);
    }
}

ProcessResult ChildProcess::Wait() {
    if (pid_ <= 0 || ended_) {
        return {};
    }
    // Blocks on the process descriptor until the child ends or the bound passes.
    pollfd ready{static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)), POLLIN, 0};
    if (ready.fd >= 0 && ::poll(&ready, 1, kGenerousWaitMs) == 0) {
        ::kill(pid_, SIGKILL);
    }
    if (ready.fd >= 0) {
        ::close(ready.fd);
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("waitpid failed");
        }
    }
    ended_ = true;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            WIFSIGNALED(status) ? WTERMSIG(status) : 0, Captured(false), Captured(true)};
}

std::string ChildProcess::Captured(bool err) const {
    return ReadFileText(capture_.File(err ? "stderr" : "stdout"));
}

bool ChildProcess::WaitForText(const std::string& text, bool inErr) const {
    return PollUntil([&] { return Captured(inErr).find(text) != std::string::npos; });
}

std::string ChildProcess::WaitForLine(std::size_t index) const {
    std::string line;
    const bool complete = PollUntil([&] {
        std::istringstream lines(Captured(false));
        std::size_t n = 0;
        while (std::getline(lines, line) && !lines.eof() && n < index) {
            ++n;
        }
        return n == index && lines && !lines.eof();  // the line ends with its '\n'
    });
    return complete ? line : "";
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& workingFolder,
                         const Environment& environment) {
    return ChildProcess(argv, workingFolder, environment).Wait();
}

}  // namespace kinemo::cli::test
