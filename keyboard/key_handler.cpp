#include "keyboard/key_handler.h"

namespace kinemo::keyboard {

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}  // namespace

void PrepareRun(RunVariables& run, const LiveSettings& settings) {
    for (int motor = 0; motor < kMotorCount; ++motor) {
        run.state[motor].store(settings.motors[motor].startState.load(kRelaxed), kRelaxed);
        run.speed[motor].store(settings.motors[motor].startSpeed.load(kRelaxed), kRelaxed);
    }
    run.restartPatterns.store(0, kRelaxed);
    run.stopRequested.store(kNotStopped, kRelaxed);
    run.ticks.store(0, kRelaxed);
    run.lastOutput.store(0, kRelaxed);
    run.lastInput.store(0, kRelaxed);
}

int HandleKey(const KeyTable& table, RunVariables& run, std::uint8_t character) {
    int matched = 0;
    const int count = table.Count();
    for (int entry = 0; entry < count; ++entry) {
        if (table.Character(entry) != character) {
            continue;
        }
        ++matched;
        const KeyAction action = table.Action(entry);
        if (action == kEmergencyStop) {
            run.RequestStop(kStopKey);
            continue;
        }
        if (action != kSetStates && action != kSetSpeeds) {
            continue;
        }
        std::uint8_t restart = 0;
        for (int motor = 0; motor < kMotorCount; ++motor) {
            if (!table.Included(entry, motor)) {
                continue;
            }
            auto& target = action == kSetStates ? run.state[motor] : run.speed[motor];
            target.store(table.Value(entry, motor), kRelaxed);
            restart = static_cast<std::uint8_t>(restart | (1U << motor));
        }
        if (restart != 0) {
            run.restartPatterns.fetch_or(restart, kRelaxed);
        }
    }
    return matched;
}

}  // namespace kinemo::keyboard
