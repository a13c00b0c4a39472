// Ahead-of-time computation of the output words of a movement list.
//
// Every movement of a run becomes one timeline row: one Motor output word per
// tick, in which each motor is switched on in only as many ticks as its speed
// asks for (the pulse generator), accelerations included. The limits that end a
// motor's part of a movement cannot be precomputed; they are copied beside the
// row as SlotLimits for the player.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "pulse/pulse_generator.h"
#include "sequencer/engine/movement_list.h"

namespace kinemo::engine {

inline constexpr int kTimelineRows = 256;
inline constexpr std::uint32_t kTimelineRowLength = 65536;  // words per row
// Ticks a computation writes into a row: 65535 for a constant movement
// (positions 0..65534); an accelerated one writes 65534, or 65535 when its
// longest ramp is 65535 ticks or more.
inline constexpr std::uint32_t kComputedPasses = 65535;

// Limits of one motor in one row, all 0 when the limit is not in force.
struct SlotLimits {
    std::array<std::uint8_t, kMotorCount> endSwitchInput{};  // 1..8 = E1..E8
    std::array<std::uint8_t, kMotorCount> impulseInput{};    // 1..8 = E1..E8
    std::array<std::uint32_t, kMotorCount> maxImpulses{};
    std::array<std::uint32_t, kMotorCount> maxDuration{};  // ticks

    bool operator==(const SlotLimits&) const = default;
};

// 256 rows of 65536 one-byte words (16 MiB) and their limits. Reserved once for
// the life of the program and zero at start; never cleared, so a computation
// leaves every position it does not write as it was.
class Timeline {
  public:
    Timeline();

    std::uint8_t* Row(int row) {
        return words_.get() + static_cast<std::size_t>(row) * kTimelineRowLength;
    }
    const std::uint8_t* Row(int row) const {
        return words_.get() + static_cast<std::size_t>(row) * kTimelineRowLength;
    }
    SlotLimits& Limits(int row) { return limits_[row]; }
    const SlotLimits& Limits(int row) const { return limits_[row]; }

  private:
    std::unique_ptr<std::uint8_t[]> words_;
    std::array<SlotLimits, kTimelineRows> limits_{};
};

// The derived per-motor values of one movement.
struct MovementPlan {
    std::array<pulse::MotorState, kMotorCount> states{};
    std::array<double, kMotorCount> startSpeed{};            // percent
    std::array<double, kMotorCount> targetSpeed{};           // percent
    std::array<std::uint32_t, kMotorCount> accelDuration{};  // ticks, 0 = no ramp
    SlotLimits limits;
    bool accelerated = false;
};

// MotorState of a record's direction: left 0 -> 1, off 1 -> 0, right 2 -> 2.
pulse::MotorState MotorStateOfDirection(std::uint8_t direction);

MovementPlan PlanMovement(const MovementRecord& record);

// Length of the movement's ramp: the largest acceleration duration, compared as
// unsigned 32-bit numbers.
std::uint32_t RampLength(const MovementPlan& plan);

// Turns four speeds in percent into four pulse ratios and four motor states
// into four patterns (state shifted left by 2m).
void ComputePulseRatios(const double* speeds, double* ratios, const pulse::MotorState* states,
                        std::uint32_t* patterns);

// Write state of one row being computed.
struct RowWriter {
    std::uint8_t* row = nullptr;
    std::uint32_t position = 0;
    std::array<pulse::PulseAccumulator, kMotorCount> accumulators{};
};

// Advances the pulse generator by one tick for all four motors and stores the
// output word at the writer's position, then advances the position.
inline void EmitTick(RowWriter& writer, const std::uint32_t* patterns, const double* ratios) {
    const std::uint32_t word =
        pulse::PulseStep(ratios, writer.accumulators.data(), patterns, kMotorCount);
    writer.row[writer.position] = static_cast<std::uint8_t>(word);
    ++writer.position;
}

// Computes records first..last of the list into rows 0..last-first. Nothing is
// computed when last < first or the range leaves the table. Each accelerated
// movement writes "Höchstdauer: %u\n" with its ramp length to `diagnostics`, in
// row order. Rows are spread over the caller and a persistent helper thread
// (started by the first call); the call returns when all are complete and
// allocates nothing.
void ComputeTimeline(const MovementList& list, int first, int last, Timeline& timeline,
                     std::FILE* diagnostics = stdout);

}  // namespace kinemo::engine
