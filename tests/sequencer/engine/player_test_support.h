// An in-memory interface for the player tests: scripts the Input word of every
// exchange and records every Motor output word sent.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/threads.h"
#include "sequencer/engine/player.h"
#include "sequencer/engine/run_control.h"

namespace kinemo::engine::testing {

constexpr int kGenerousWaitMs = 20000;
using Words = std::vector<std::uint32_t>;

struct CountingListener : RunEndedListener {
    void PostRunEnded() override { ++posts, ended.Set(); }
    std::atomic<int> posts{0};
    platform::ManualResetEvent ended;
};

// A movement in which `motor` runs at 100 % in `direction` for `duration` - 1
// ticks (0 = without end) and every other motor stops before the first tick.
inline void SetMovement(MovementList& list, int index, int motor, Direction direction,
                        std::int32_t duration) {
    ResetMovement(list, index);
    MovementRecord& record = list.records[index];
    record.maxDuration = {1, 1, 1, 1};
    record.direction[motor] = direction;
    record.maxDuration[motor] = duration;
    record.maxDurationOn[motor] = duration == 0 ? 0 : 1;
}

// Start and target speed of `motor` in hundredths of a percent; 100.00 % is
// stored as 99 + 1.00, as the dialog does.
inline void SetSpeed(MovementRecord& record, int motor, int hundredths, int target) {
    record.speed[motor] = static_cast<std::uint8_t>(std::min(hundredths / 100, 99));
    record.fineSpeed[motor] = static_cast<std::uint8_t>(hundredths - record.speed[motor] * 100);
    record.targetSpeed[motor] = static_cast<std::uint8_t>(std::min(target / 100, 99));
    record.targetFineSpeed[motor] =
        static_cast<std::uint8_t>(target - record.targetSpeed[motor] * 100);
}

struct ScriptedLink : InterfaceLink {
    std::uint32_t Exchange(std::uint32_t output) override {
        const std::size_t index = outputs.size();
        outputs.push_back(output);
        if (onExchange) {
            onExchange(index, output);
        }
        const std::size_t count = exchanges.fetch_add(1) + 1;
        // Once the flag was seen, the hold is over for good: the run clears
        // the flag at its end and still sends its final all-off.
        while (holdUntil != nullptr && count >= 5000 && !released.load()) {
            released.store(holdUntil->load() != 0);
            std::this_thread::yield();
        }
        return inputs ? inputs(index) : 0U;
    }
    void WaitForExchanges(std::size_t count) const {
        while (exchanges.load() < count) {
            std::this_thread::yield();
        }
    }

    // Input word answered by exchange `index` (0 = the run's opening exchange).
    std::function<std::uint8_t(std::size_t index)> inputs;
    // Called after recording exchange `index`, before it answers.
    std::function<void(std::size_t index, std::uint32_t output)> onExchange;
    Words outputs;
    std::atomic<std::size_t> exchanges{0};
    // When set, an endless run is held after 5000 exchanges until the flag is
    // set, so that a slow test thread never lets `outputs` grow unbounded.
    StopFlag* holdUntil = nullptr;
    std::atomic<bool> released{false};
};

// Collects what a FILE* receives.
struct CapturedText {
    CapturedText() : file(open_memstream(&text, &size)) {}
    ~CapturedText() { std::fclose(file), std::free(text); }
    CapturedText(const CapturedText&) = delete;
    CapturedText& operator=(const CapturedText&) = delete;
    std::FILE* File() { return file; }
    std::string Text() { return std::fflush(file), std::string(text, size); }

    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* file;
};

}  // namespace kinemo::engine::testing
