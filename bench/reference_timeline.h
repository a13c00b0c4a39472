// The straightforward timeline computation, one tick after the other on the
// calling thread: ratios recomputed for every ramp tick, every motor stepped
// through the scalar pulse generator. Kept as the yardstick that the engine's
// fast computation must match byte for byte and is measured against.
#pragma once

#include <cstdio>

#include "sequencer/engine/movement_list.h"
#include "sequencer/engine/timeline.h"

namespace kinemo::reference {

// Same contract as engine::ComputeTimeline.
void ComputeTimeline(const engine::MovementList& list, int first, int last,
                     engine::Timeline& timeline, std::FILE* diagnostics = stdout);

}  // namespace kinemo::reference
