// Computing a full list of 255 movements, by the engine and by the
// straightforward reference, in the same run:
//   Constant - no motor accelerates: 255 rows of 65535 ticks at fixed ratios;
//   Ramps    - all four motors on and ramping over 65535 ticks between varied
//              speeds, so nearly every tick recomputes four ratios.
// The engine spreads rows over two threads: its CPU column counts both (process
// CPU time), and the OneThread variants run the same kernel for all rows on the
// calling thread, whose CPU time is robust against a busy machine.
// Run by hand on a release build: build-dir/bench/timeline_bench
#include <benchmark/benchmark.h>

#include <array>
#include <memory>

#include "bench/reference_timeline.h"
#include "sequencer/engine/timeline.h"
#include "sequencer/engine/timeline_row.h"

namespace {

using kinemo::engine::MovementList;
using kinemo::engine::Timeline;

// Fractional speeds spread over the whole range, different per motor and row.
std::uint8_t Whole(int row, int motor, int salt) {
    return static_cast<std::uint8_t>((row * 37 + motor * 23 + salt) % 100);
}

std::unique_ptr<MovementList> FullList(bool ramps) {
    auto list = std::make_unique<MovementList>();
    kinemo::engine::FillMovementsAtStartup(*list);
    list->movementCount = kinemo::engine::kMaxMovements;
    for (int row = 0; row < kinemo::engine::kMaxMovements; ++row) {
        auto& record = list->records[row];
        for (int m = 0; m < kinemo::engine::kMotorCount; ++m) {
            record.direction[m] = (row + m) % 2 == 0 ? kinemo::engine::kDirectionLeft
                                                     : kinemo::engine::kDirectionRight;
            record.speed[m] = Whole(row, m, 5);
            record.fineSpeed[m] = static_cast<std::uint8_t>((row * 7 + m * 31) % 101);
            if (ramps) {
                // At least 45 % apart, so no ramp settles before its last ticks.
                record.targetSpeed[m] =
                    static_cast<std::uint8_t>((record.speed[m] + 45 + row % 10) % 100);
                record.targetFineSpeed[m] = static_cast<std::uint8_t>((row * 13 + m * 3) % 101);
                record.accelOn[m] = 1;
                record.accelDuration[m] = 65535;
            } else {
                record.targetSpeed[m] = record.speed[m];
                record.targetFineSpeed[m] = record.fineSpeed[m];
            }
        }
    }
    return list;
}

template <void (*Compute)(const MovementList&, int, int, Timeline&, std::FILE*)>
void ComputeFullList(benchmark::State& state, bool ramps) {
    const auto list = FullList(ramps);
    auto timeline = std::make_unique<Timeline>();
    for (auto _ : state) {
        Compute(*list, 0, kinemo::engine::kMaxMovements - 1, *timeline, nullptr);
        benchmark::DoNotOptimize(timeline->Row(254)[65533]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kinemo::engine::kMaxMovements * 65535LL);
}

// The engine's kernel over all rows on the calling thread, in pairs like the
// engine (limits and diagnostics left out: they cost nothing measurable).
void ComputeOnOneThread(const MovementList& list, int first, int last, Timeline& timeline,
                        std::FILE*) {
    std::array<kinemo::engine::MovementPlan, kinemo::engine::kTimelineRows> plans;
    for (int row = 0; row <= last - first; ++row) {
        plans[row] = kinemo::engine::PlanMovement(list.records[first + row]);
    }
    int row = 0;
    for (; row + 1 <= last - first; row += 2) {
        kinemo::engine::ComputeRowPair(plans[row], timeline.Row(row), plans[row + 1],
                                       timeline.Row(row + 1));
    }
    if (row <= last - first) {
        kinemo::engine::ComputeRow(plans[row], timeline.Row(row));
    }
}

void ReferenceConstant(benchmark::State& state) {
    ComputeFullList<kinemo::reference::ComputeTimeline>(state, false);
}
void EngineConstant(benchmark::State& state) {
    ComputeFullList<kinemo::engine::ComputeTimeline>(state, false);
}
void ReferenceRamps(benchmark::State& state) {
    ComputeFullList<kinemo::reference::ComputeTimeline>(state, true);
}
void EngineRamps(benchmark::State& state) {
    ComputeFullList<kinemo::engine::ComputeTimeline>(state, true);
}
void EngineConstantOneThread(benchmark::State& state) {
    ComputeFullList<ComputeOnOneThread>(state, false);
}
void EngineRampsOneThread(benchmark::State& state) {
    ComputeFullList<ComputeOnOneThread>(state, true);
}

}  // namespace

BENCHMARK(ReferenceConstant)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(EngineConstant)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(EngineConstantOneThread)->Unit(benchmark::kMillisecond);
BENCHMARK(ReferenceRamps)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(EngineRamps)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(EngineRampsOneThread)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
