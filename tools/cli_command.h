// The commands of kinemo-cli and what they share.
//
// A command is two functions: Parse<Name>Args turns the arguments after its
// name into the command's request, touching no file or port, and RunCommand
// does the work of a request, writing to the standard output stream. Both
// report bad input by throwing CliFailure with one line of text; the
// dispatcher prints that line on standard error and ends the process with exit
// code 2. Output goes to `out` only.
//
// Adding a command: write tools/cli_<name>.cpp with both functions, declare
// them and the request below, add the request to CliRequest in
// tools/cli_dispatch.h, its source to tools/CMakeLists.txt, ONE line to the
// table in tools/cli_dispatch.cpp and its argument form to ToArgs there.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kinemo::cli {

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;   // the command ran but its work failed
inline constexpr int kExitBadInput = 2;  // bad arguments or an unusable file

// Bad input: the message is one line without the program name.
class CliFailure : public std::runtime_error {
  public:
    explicit CliFailure(const std::string& message) : std::runtime_error(message) {}
};

using CommandArgs = std::span<const std::string>;

// The requests, as far as the arguments alone decide them. Numbers whose range
// depends on the program file stay text until the file is read.
struct InfoRequest {
    std::string path;
    bool operator==(const InfoRequest&) const = default;
};
struct PulseRequest {
    double speed = 0;        // percent, 0 to 100
    std::int64_t ticks = 0;  // 1 to kMaxPulseTicks
    bool operator==(const PulseRequest&) const = default;
};
struct TimelineRequest {
    std::string path;
    std::optional<std::string> first;
    std::optional<std::string> last;
    std::string out;  // never empty
    bool operator==(const TimelineRequest&) const = default;
};
struct NewRequest {
    std::string path;
    bool operator==(const NewRequest&) const = default;
};
struct PortsRequest {
    bool operator==(const PortsRequest&) const = default;
};
struct RunRequest {
    std::string path;
    std::string port;   // never empty
    int movement = -1;  // -1: the whole list
    int loop = -1;      // -1: as the file says, else the endlessLoop value
    bool operator==(const RunRequest&) const = default;
};
struct PlotRequest {
    std::string path;
    std::string out;           // ends in .svg or .png, any case
    bool png = false;          // else SVG
    std::optional<int> width;  // 400 to 20000
    std::optional<std::string> movement;
    bool operator==(const PlotRequest&) const = default;
};

inline constexpr std::int64_t kDefaultPulseTicks = 40;
// Enough to see the first on-tick of 0.01 % (tick 9998) many times over.
inline constexpr std::int64_t kMaxPulseTicks = 10'000'000;

InfoRequest ParseInfoArgs(CommandArgs args);
PulseRequest ParsePulseArgs(CommandArgs args);
TimelineRequest ParseTimelineArgs(CommandArgs args);
NewRequest ParseNewArgs(CommandArgs args);
PortsRequest ParsePortsArgs(CommandArgs args);
RunRequest ParseRunArgs(CommandArgs args);
PlotRequest ParsePlotArgs(CommandArgs args);

int RunCommand(const InfoRequest& request, std::FILE* out);
int RunCommand(const PulseRequest& request, std::FILE* out);
int RunCommand(const TimelineRequest& request, std::FILE* out);
int RunCommand(const NewRequest& request, std::FILE* out);
int RunCommand(const PortsRequest& request, std::FILE* out);
int RunCommand(const RunRequest& request, std::FILE* out);
int RunCommand(const PlotRequest& request, std::FILE* out);

}  // namespace kinemo::cli
