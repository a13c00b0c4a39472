#include "sequencer/engine/timeline.h"

#include <algorithm>

#include "sequencer/engine/timeline_row.h"
#include "sequencer/engine/timeline_workers.h"

namespace kinemo::engine {
namespace {

struct RowJob {
    const MovementPlan* plans;
    Timeline* timeline;
    int rowCount;
};

// Task `pair` computes rows 2 * pair and 2 * pair + 1 together.
void ComputeRowsOfJob(int pair, void* context) {
    const auto& job = *static_cast<const RowJob*>(context);
    const int row = 2 * pair;
    if (row + 1 < job.rowCount) {
        ComputeRowPair(job.plans[row], job.timeline->Row(row), job.plans[row + 1],
                       job.timeline->Row(row + 1));
    } else {
        ComputeRow(job.plans[row], job.timeline->Row(row));
    }
}

}  // namespace

Timeline::Timeline()
    : words_(std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(kTimelineRows) *
                                              kTimelineRowLength)) {}

pulse::MotorState MotorStateOfDirection(std::uint8_t direction) {
    switch (direction) {
        case kDirectionLeft:
            return pulse::kMotorLeft;
        case kDirectionRight:
            return pulse::kMotorRight;
        default:
            return pulse::kMotorOff;
    }
}

MovementPlan PlanMovement(const MovementRecord& record) {
    MovementPlan plan;
    std::int64_t accelSum = 0;
    for (int m = 0; m < kMotorCount; ++m) {
        plan.states[m] = MotorStateOfDirection(record.direction[m]);
        plan.startSpeed[m] = StartSpeedPercent(record, m);
        plan.targetSpeed[m] = TargetSpeedPercent(record, m);
        plan.accelDuration[m] =
            record.accelOn[m] != 0 ? static_cast<std::uint32_t>(record.accelDuration[m]) : 0;
        accelSum += record.accelOn[m];

        SlotLimits& limits = plan.limits;
        limits.endSwitchInput[m] =
            record.endSwitchOn[m] != 0 ? static_cast<std::uint8_t>(record.endSwitchInput[m]) : 0;
        const bool impulsesOn = record.maxImpulsesOn[m] != 0;
        limits.impulseInput[m] = impulsesOn ? record.impulseInput[m] : 0;
        limits.maxImpulses[m] = impulsesOn ? static_cast<std::uint32_t>(record.maxImpulses[m]) : 0;
        limits.maxDuration[m] =
            record.maxDurationOn[m] != 0 ? static_cast<std::uint32_t>(record.maxDuration[m]) : 0;
    }
    // The record decides by the sum of its acceleration flags.
    plan.accelerated = accelSum > 0;
    return plan;
}

void ComputePulseRatios(const double* speeds, double* ratios, const pulse::MotorState* states,
                        std::uint32_t* patterns) {
    for (int m = 0; m < kMotorCount; ++m) {
        ratios[m] = pulse::ComputePulseRatio(speeds[m]);
        patterns[m] = pulse::MotorPattern(states[m], m);
    }
}

std::uint32_t RampLength(const MovementPlan& plan) {
    return *std::max_element(plan.accelDuration.begin(), plan.accelDuration.end());
}

void ComputeTimeline(const MovementList& list, int first, int last, Timeline& timeline,
                     std::FILE* diagnostics) {
    if (last < first || first < 0 || last >= kMovementSlots) {
        return;
    }
    const int rowCount = last - first + 1;
    // Limits and diagnostic lines come first, in row order, from this thread;
    // the rows' words are then computed in parallel.
    std::array<MovementPlan, kTimelineRows> plans;
    for (int row = 0; row < rowCount; ++row) {
        plans[row] = PlanMovement(list.records[first + row]);
        timeline.Limits(row) = plans[row].limits;
        if (plans[row].accelerated && diagnostics != nullptr) {
            std::fprintf(diagnostics, "Höchstdauer: %u\n", RampLength(plans[row]));
        }
    }
    RowJob job{plans.data(), &timeline, rowCount};
    RunRowsInParallel((rowCount + 1) / 2, ComputeRowsOfJob, &job);
}

}  // namespace kinemo::engine
