// Key to wire: from a character written into kinemo-speech-cli's standard
// input to the first exchange on the wire whose output word carries its
// effect, at the simulated box's line timing. 1000 keys alternately set M1
// "L" and "R" at 100 %; the figures are the median, the 99th percentile and
// the largest delay in milliseconds. Goal: the 99th percentile at most two
// ticks (6.25 ms) beyond the tick in progress, so at most 9.4 ms.
//
// Run by hand: build-*/bench/speech_key_bench [KEYS]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "keyboard/settings_file.h"
#include "simulator/simulated_box.h"

extern char** environ;

namespace {

namespace kb = kinemo::keyboard;
using Clock = std::chrono::steady_clock;

constexpr double kTickMs = 3.125;

// "l" sets M1 "L", "r" sets M1 "R"; M1 starts "L" at 100 %.
kb::KeyboardSettings Settings() {
    kb::KeyboardSettings settings;
    settings.start.motors[0].startState = kb::kMotorLeft;
    for (const auto& [character, state] :
         {std::pair{'l', kb::kMotorLeft}, std::pair{'r', kb::kMotorRight}}) {
        const int entry = settings.keys.Append(static_cast<std::uint8_t>(character));
        settings.keys.SetAction(entry, kb::kSetStates);
        settings.keys.SetIncluded(entry, 0, true);
        settings.keys.SetValue(entry, 0, state);
    }
    return settings;
}

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[index];
}

}  // namespace

int main(int argc, char** argv) {
    const int keys = argc > 1 ? std::atoi(argv[1]) : 1000;
    kinemo::simulator::SimulatedBox box;  // line timing
    const std::string device = box.Start();
    if (device.empty() || keys < 1) {
        std::fprintf(stderr, "cannot start the box\n");
        return 1;
    }
    char folderPattern[] = "/tmp/kinemo-speech-bench-XXXXXX";
    if (::mkdtemp(folderPattern) == nullptr) {
        return 1;
    }
    const std::string folder = folderPattern;
    const std::string settingsPath = folder + "/settings.kms";
    if (!kb::SaveSettingsFile(settingsPath, Settings()).ok) {
        return 1;
    }

    int input[2];
    if (::pipe(input) != 0) {
        return 1;
    }
    ::setenv("KINEMO_PORT_COM1", device.c_str(), 1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    const std::string program = KINEMO_SPEECH_CLI_PATH;
    std::vector<std::string> args = {program, "run", "--settings", settingsPath};
    std::vector<char*> argvChild;
    for (std::string& arg : args) {
        argvChild.push_back(arg.data());
    }
    argvChild.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argvChild.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", program.c_str());
        return 1;
    }
    ::close(input[0]);

    // Wait for the run to be under way.
    const auto startDeadline = Clock::now() + std::chrono::seconds(20);
    while (box.Snapshot().ticks < 20 && Clock::now() < startDeadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    std::vector<double> delaysMs;
    delaysMs.reserve(static_cast<std::size_t>(keys));
    for (int i = 0; i < keys; ++i) {
        const bool right = i % 2 == 0;
        const char key = right ? 'r' : 'l';
        const unsigned wanted = right ? kb::kMotorRight : kb::kMotorLeft;
        // Let a random part of a tick pass, so keys meet every phase of it.
        std::this_thread::sleep_for(std::chrono::microseconds(500 + (i * 7919) % 3000));
        const auto sent = Clock::now();
        if (::write(input[1], &key, 1) != 1) {
            std::fprintf(stderr, "the program ended early\n");
            return 1;
        }
        const auto deadline = sent + std::chrono::seconds(5);
        while ((box.Snapshot().outputs & 3U) != wanted) {
            if (Clock::now() > deadline) {
                std::fprintf(stderr, "key %d never reached the wire\n", i);
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        delaysMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    }
    ::close(input[1]);  // end of input: the run ends with all-off
    int status = 0;
    ::waitpid(child, &status, 0);
    const bool allOff = box.Snapshot().outputs == 0;
    box.Stop();
    std::filesystem::remove_all(folder);

    const double median = Percentile(delaysMs, 0.5);
    const double p99 = Percentile(delaysMs, 0.99);
    const double largest = Percentile(delaysMs, 1.0);
    std::printf(
        "keys %d  median %.2f ms  p99 %.2f ms  max %.2f ms  (tick %.3f ms; goal p99 <= %.2f ms)\n",
        keys, median, p99, largest, kTickMs, kTickMs * 3);
    std::printf("exit code %d, all motors off at the end: %s\n",
                WIFEXITED(status) ? WEXITSTATUS(status) : -1, allOff ? "yes" : "no");
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && allOff ? 0 : 1;
}
