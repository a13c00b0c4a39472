#include "sequencer/engine/movement_list.h"

namespace kinemo::engine {

RunSettingsValues LoadRunSettings(const RunSettings& settings) {
    RunSettingsValues values;
    values.endlessLoop = settings.endlessLoop.load(std::memory_order_relaxed);
    values.offSwitchOn = settings.offSwitchOn.load(std::memory_order_relaxed);
    values.offSwitchInput = settings.offSwitchInput.load(std::memory_order_relaxed);
    return values;
}

void StoreRunSettings(RunSettings& settings, const RunSettingsValues& values) {
    settings.endlessLoop.store(values.endlessLoop, std::memory_order_relaxed);
    settings.offSwitchOn.store(values.offSwitchOn, std::memory_order_relaxed);
    settings.offSwitchInput.store(values.offSwitchInput, std::memory_order_relaxed);
}

void ResetMovement(MovementList& list, int index) {
    MovementRecord& record = list.records[index];
    for (int m = 0; m < kMotorCount; ++m) {
        record.speed[m] = 99;
        record.fineSpeed[m] = 100;
        record.targetSpeed[m] = 99;
        record.targetFineSpeed[m] = 100;
        record.direction[m] = kDirectionOff;
        record.accelOn[m] = 0;
        record.accelDuration[m] = 125;
        record.endSwitchOn[m] = 0;
        record.endSwitchInput[m] = 2 * m + 2;
        record.maxDurationOn[m] = 1;
        record.maxDuration[m] = 125;
        record.maxImpulsesOn[m] = 0;
        record.maxImpulses[m] = 0;
        record.impulseInput[m] = static_cast<std::uint8_t>(2 * m + 1);
    }
    SetRecordName(record, kNewMovementName);
}

void FillMovementsAtStartup(MovementList& list) {
    for (int i = 0; i < kMaxMovements; ++i) {
        ResetMovement(list, i);
        MovementRecord& record = list.records[i];
        record.endSwitchInput.fill(0);
        record.impulseInput.fill(0);
        record.maxDurationOn.fill(0);
    }
    list.movementCount = 1;
    list.currentMovement = 0;
}

}  // namespace kinemo::engine
