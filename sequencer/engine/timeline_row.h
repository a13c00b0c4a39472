// Computation of one timeline row from its movement plan, without printing and
// without touching the row's limits. Rows are independent of each other, so
// ComputeTimeline spreads them over threads.
//
// A row falls into up to three stretches, each written in one go:
//   ramp ticks     - every active motor's speed still moves, so the ratios are
//                    recomputed for every tick;
//   settled ticks  - the rest of the ramp once no speed moves any more: the
//                    ratios of the last ramp tick stay in force;
//   target ticks   - after the ramp, every motor at its target ratio.
// A constant movement is a single stretch of 65535 ticks at the start ratios.
#pragma once

#include <cstdint>

#include "sequencer/engine/timeline.h"

namespace kinemo::engine {

// The stretches of one row.
struct RowLayout {
    std::uint32_t rampTicks = 0;    // positions 0..rampTicks-1 follow the ramp
    std::uint32_t steadyTicks = 0;  // then this many ticks at fixed ratios
    bool steadyAtTarget = false;    // those ratios: target speeds, else start speeds
};

RowLayout LayoutOfRow(const MovementPlan& plan);

// Writes the row with the fastest kernel this processor supports.
void ComputeRow(const MovementPlan& plan, std::uint8_t* row);

// Writes two rows; the vector kernel advances them side by side.
void ComputeRowPair(const MovementPlan& firstPlan, std::uint8_t* firstRow,
                    const MovementPlan& secondPlan, std::uint8_t* secondRow);

// The portable kernel, available everywhere.
void ComputeRowPortable(const MovementPlan& plan, std::uint8_t* row);

// The kernel using 256-bit double vectors (four motors in one register); only
// callable where Avx2Available() is true.
bool Avx2Available();
void ComputeRowAvx2(const MovementPlan& plan, std::uint8_t* row);
void ComputeRowPairAvx2(const MovementPlan& firstPlan, std::uint8_t* firstRow,
                        const MovementPlan& secondPlan, std::uint8_t* secondRow);

}  // namespace kinemo::engine
