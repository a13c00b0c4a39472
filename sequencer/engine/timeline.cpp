#include "sequencer/engine/timeline.h"

#include <algorithm>
#include <cmath>

namespace kinemo::engine {
namespace {

void ComputeConstantMovement(const MovementPlan& plan, RowWriter& writer) {
    std::array<double, kMotorCount> ratios{};
    std::array<std::uint32_t, kMotorCount> patterns{};
    ComputePulseRatios(plan.startSpeed.data(), ratios.data(), plan.states.data(), patterns.data());
    for (std::uint32_t i = 0; i < kComputedPasses; ++i) {
        EmitTick(writer, patterns.data(), ratios.data());
    }
}

std::uint32_t RampLength(const MovementPlan& plan) {
    return *std::max_element(plan.accelDuration.begin(), plan.accelDuration.end());
}

void ComputeAcceleratedMovement(const MovementPlan& plan, RowWriter& writer,
                                std::FILE* diagnostics) {
    std::array<double, kMotorCount> step{};
    std::array<double, kMotorCount> current = plan.startSpeed;
    for (int m = 0; m < kMotorCount; ++m) {
        if (plan.accelDuration[m] != 0) {
            step[m] = (std::fabs(plan.targetSpeed[m] - plan.startSpeed[m]) + 1.0) /
                      static_cast<double>(plan.accelDuration[m]);
        }
    }
    const std::uint32_t rampLength = RampLength(plan);
    if (diagnostics != nullptr) {
        std::fprintf(diagnostics, "Höchstdauer: %u\n", rampLength);
    }

    std::array<double, kMotorCount> ratios{};
    std::array<std::uint32_t, kMotorCount> patterns{};
    for (std::uint32_t i = 0; i < kComputedPasses; ++i) {
        if (i < rampLength) {
            ComputePulseRatios(current.data(), ratios.data(), plan.states.data(), patterns.data());
            EmitTick(writer, patterns.data(), ratios.data());
            for (int m = 0; m < kMotorCount; ++m) {
                if (plan.states[m] == pulse::kMotorOff) {
                    continue;
                }
                const double target = plan.targetSpeed[m];
                if (plan.startSpeed[m] < target) {
                    if (current[m] < target - step[m]) {
                        current[m] += step[m];
                    }
                } else if (current[m] > target + step[m]) {
                    current[m] -= step[m];
                }
            }
        } else if (i == rampLength) {
            ComputePulseRatios(plan.targetSpeed.data(), ratios.data(), plan.states.data(),
                               patterns.data());
        } else {
            EmitTick(writer, patterns.data(), ratios.data());
        }
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

void ComputeTimeline(const MovementList& list, int first, int last, Timeline& timeline,
                     std::FILE* diagnostics) {
    if (last < first || first < 0 || last >= kMovementSlots) {
        return;
    }
    for (int index = first; index <= last; ++index) {
        const int row = index - first;
        const MovementPlan plan = PlanMovement(list.records[index]);
        RowWriter writer;
        writer.row = timeline.Row(row);
        timeline.Limits(row) = plan.limits;
        if (plan.accelerated) {
            ComputeAcceleratedMovement(plan, writer, diagnostics);
        } else {
            ComputeConstantMovement(plan, writer);
        }
    }
}

}  // namespace kinemo::engine
