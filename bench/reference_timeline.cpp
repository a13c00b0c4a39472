#include "bench/reference_timeline.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kinemo::reference {
namespace {

using engine::kComputedPasses;
using engine::kMotorCount;
using engine::MovementPlan;
using engine::RowWriter;

void ComputeConstantMovement(const MovementPlan& plan, RowWriter& writer) {
    std::array<double, kMotorCount> ratios{};
    std::array<std::uint32_t, kMotorCount> patterns{};
    engine::ComputePulseRatios(plan.startSpeed.data(), ratios.data(), plan.states.data(),
                               patterns.data());
    for (std::uint32_t i = 0; i < kComputedPasses; ++i) {
        engine::EmitTick(writer, patterns.data(), ratios.data());
    }
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
    const std::uint32_t rampLength =
        *std::max_element(plan.accelDuration.begin(), plan.accelDuration.end());
    if (diagnostics != nullptr) {
        std::fprintf(diagnostics, "Höchstdauer: %u\n", rampLength);
    }

    std::array<double, kMotorCount> ratios{};
    std::array<std::uint32_t, kMotorCount> patterns{};
    for (std::uint32_t i = 0; i < kComputedPasses; ++i) {
        if (i < rampLength) {
            engine::ComputePulseRatios(current.data(), ratios.data(), plan.states.data(),
                                       patterns.data());
            engine::EmitTick(writer, patterns.data(), ratios.data());
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
            engine::ComputePulseRatios(plan.targetSpeed.data(), ratios.data(), plan.states.data(),
                                       patterns.data());
        } else {
            engine::EmitTick(writer, patterns.data(), ratios.data());
        }
    }
}

}  // namespace

void ComputeTimeline(const engine::MovementList& list, int first, int last,
                     engine::Timeline& timeline, std::FILE* diagnostics) {
    if (last < first || first < 0 || last >= engine::kMovementSlots) {
        return;
    }
    for (int index = first; index <= last; ++index) {
        const int row = index - first;
        const MovementPlan plan = engine::PlanMovement(list.records[index]);
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

}  // namespace kinemo::reference
