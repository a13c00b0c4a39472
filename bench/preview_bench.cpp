// The preview of a worst-case list: 255 movements of 65535 ticks each (no
// maximum durations, so every row is shown whole), all four motors ramping.
// Timed is what follows the timeline's computation: reading the rows into the
// profile, laying out the picture, and writing it as SVG or drawing it as an
// image. The goal is well under 0.5 s for all of it.
// Run by hand on a release build: build-dir/bench/preview_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "sequencer/engine/profile_plot.h"
#include "sequencer/engine/speed_profile.h"

#ifdef KINEMO_BENCH_HAVE_PAINTER
#include <QGuiApplication>

#include "sequencer/ui/preview_painter.h"
#endif

namespace {

using namespace kinemo::engine;

struct WorstCase {
    std::unique_ptr<MovementList> list = std::make_unique<MovementList>();
    std::unique_ptr<Timeline> timeline = std::make_unique<Timeline>();

    WorstCase() {
        FillMovementsAtStartup(*list);
        list->movementCount = kMaxMovements;
        for (int row = 0; row < kMaxMovements; ++row) {
            MovementRecord& record = list->records[static_cast<std::size_t>(row)];
            for (int m = 0; m < kMotorCount; ++m) {
                record.direction[m] = (row + m) % 2 == 0 ? kDirectionLeft : kDirectionRight;
                record.speed[m] = static_cast<std::uint8_t>((row * 13 + m * 29) % 100);
                record.targetSpeed[m] = static_cast<std::uint8_t>((row * 13 + m * 29 + 50) % 100);
                record.accelOn[m] = 1;
                record.accelDuration[m] = 40000 + row * 97;
                record.maxDurationOn[m] = 0;
            }
        }
        std::FILE* sink = std::fopen("/dev/null", "w");
        ComputeTimeline(*list, 0, kMaxMovements - 1, *timeline, sink);
        std::fclose(sink);
    }
};

WorstCase& Shared() {
    static WorstCase worstCase;
    return worstCase;
}

void Profile(benchmark::State& state) {
    WorstCase& w = Shared();
    for (auto _ : state) {
        SpeedProfile profile = BuildSpeedProfile(*w.timeline, *w.list, 0, kMaxMovements - 1);
        benchmark::DoNotOptimize(profile.windows.data());
    }
    state.SetItemsProcessed(state.iterations() * kMaxMovements * 65535LL);
}
BENCHMARK(Profile)->Unit(benchmark::kMillisecond);

void ProfileAndSvg(benchmark::State& state) {
    WorstCase& w = Shared();
    for (auto _ : state) {
        const SpeedProfile profile = BuildSpeedProfile(*w.timeline, *w.list, 0, kMaxMovements - 1);
        std::string svg = SceneToSvg(BuildPlotScene(profile));
        benchmark::DoNotOptimize(svg.data());
    }
}
BENCHMARK(ProfileAndSvg)->Unit(benchmark::kMillisecond);

#ifdef KINEMO_BENCH_HAVE_PAINTER
void ProfileAndImage(benchmark::State& state) {
    WorstCase& w = Shared();
    for (auto _ : state) {
        const SpeedProfile profile = BuildSpeedProfile(*w.timeline, *w.list, 0, kMaxMovements - 1);
        QImage image = kinemo::ui::RenderPlotScene(BuildPlotScene(profile));
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(ProfileAndImage)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef KINEMO_BENCH_HAVE_PAINTER
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
