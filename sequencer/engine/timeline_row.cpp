#include "sequencer/engine/timeline_row.h"

#include <array>
#include <cmath>

namespace kinemo::engine {
namespace {

struct PortableRamp {
    std::array<double, kMotorCount> current{};
    std::array<double, kMotorCount> step{};
    std::array<bool, kMotorCount> moves{};  // on, with a ramp of its own
};

PortableRamp StartRamp(const MovementPlan& plan) {
    PortableRamp ramp;
    ramp.current = plan.startSpeed;
    for (int m = 0; m < kMotorCount; ++m) {
        if (plan.accelDuration[m] != 0) {
            ramp.step[m] = (std::fabs(plan.targetSpeed[m] - plan.startSpeed[m]) + 1.0) /
                           static_cast<double>(plan.accelDuration[m]);
        }
        ramp.moves[m] = plan.states[m] != pulse::kMotorOff && plan.accelDuration[m] != 0;
    }
    return ramp;
}

// Moves every ramping speed one step towards its target. Returns false once no
// speed moved: a speed that failed its test stands still and so fails it again,
// which freezes the ratios for the rest of the ramp.
bool AdvanceRamp(const MovementPlan& plan, PortableRamp& ramp) {
    bool moved = false;
    for (int m = 0; m < kMotorCount; ++m) {
        if (!ramp.moves[m]) {
            continue;
        }
        const double target = plan.targetSpeed[m];
        if (plan.startSpeed[m] < target) {
            if (ramp.current[m] < target - ramp.step[m]) {
                ramp.current[m] += ramp.step[m];
                moved = true;
            }
        } else if (ramp.current[m] > target + ramp.step[m]) {
            ramp.current[m] -= ramp.step[m];
            moved = true;
        }
    }
    return moved;
}

}  // namespace

RowLayout LayoutOfRow(const MovementPlan& plan) {
    RowLayout layout;
    if (!plan.accelerated) {
        layout.steadyTicks = kComputedPasses;
        return layout;
    }
    // Pass rampLength switches to the targets without a tick of its own.
    const std::uint32_t rampLength = RampLength(plan);
    if (rampLength >= kComputedPasses) {
        layout.rampTicks = kComputedPasses;
        return layout;
    }
    layout.rampTicks = rampLength;
    layout.steadyTicks = kComputedPasses - 1 - rampLength;
    layout.steadyAtTarget = true;
    return layout;
}

void ComputeRowPortable(const MovementPlan& plan, std::uint8_t* row) {
    const RowLayout layout = LayoutOfRow(plan);
    RowWriter writer;
    writer.row = row;
    std::array<double, kMotorCount> ratios{};
    std::array<std::uint32_t, kMotorCount> patterns{};

    PortableRamp ramp = StartRamp(plan);
    bool moving = true;
    while (writer.position < layout.rampTicks) {
        if (moving) {
            ComputePulseRatios(ramp.current.data(), ratios.data(), plan.states.data(),
                               patterns.data());
            EmitTick(writer, patterns.data(), ratios.data());
            moving = AdvanceRamp(plan, ramp);
        } else {
            EmitTick(writer, patterns.data(), ratios.data());
        }
    }

    const auto& steadySpeeds = layout.steadyAtTarget ? plan.targetSpeed : plan.startSpeed;
    ComputePulseRatios(steadySpeeds.data(), ratios.data(), plan.states.data(), patterns.data());
    const std::uint32_t end = writer.position + layout.steadyTicks;
    while (writer.position < end) {
        EmitTick(writer, patterns.data(), ratios.data());
    }
}

void ComputeRow(const MovementPlan& plan, std::uint8_t* row) {
    if (Avx2Available()) {
        ComputeRowAvx2(plan, row);
    } else {
        ComputeRowPortable(plan, row);
    }
}

void ComputeRowPair(const MovementPlan& firstPlan, std::uint8_t* firstRow,
                    const MovementPlan& secondPlan, std::uint8_t* secondRow) {
    if (Avx2Available()) {
        ComputeRowPairAvx2(firstPlan, firstRow, secondPlan, secondRow);
    } else {
        ComputeRowPortable(firstPlan, firstRow);
        ComputeRowPortable(secondPlan, secondRow);
    }
}

}  // namespace kinemo::engine
