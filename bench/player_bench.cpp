// Cost of one player tick against an in-memory interface: the limit checks of
// four motors, the stop-flag reads and the virtual exchange call. Goal: at
// most 25 ns per tick, so that the player never slows a real interface.
// PlayerTick/1 also publishes the live state for a window after every tick.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "sequencer/engine/player.h"
#include "sequencer/engine/timeline.h"

namespace {

using kinemo::engine::InterfaceLink;

constexpr std::uint32_t kTicksPerRun = 1U << 20;

// Answers with an impulse input that changes every 8 exchanges and sets the
// stop flag after a fixed number of exchanges, which ends the run.
class CountingLink : public InterfaceLink {
  public:
    explicit CountingLink(kinemo::engine::StopFlag& stop) : stop_(stop) {}
    void Arm(std::uint32_t exchanges) { remaining_ = exchanges; }
    std::uint32_t Exchange(std::uint32_t output) override {
        sink_ ^= output;
        if (--remaining_ == 0) {
            stop_.store(1, std::memory_order_relaxed);
        }
        return (remaining_ >> 3) & 1U;
    }
    std::uint32_t Sink() const { return sink_; }

  private:
    kinemo::engine::StopFlag& stop_;
    std::uint32_t remaining_ = 0;
    std::uint32_t sink_ = 0;
};

void PlayerTick(benchmark::State& state) {
    auto timeline = std::make_unique<kinemo::engine::Timeline>();
    for (int row = 0; row < 2; ++row) {
        std::memset(timeline->Row(row), 0x55, kinemo::engine::kTimelineRowLength);
        kinemo::engine::SlotLimits& limits = timeline->Limits(row);
        // Every kind of check in force, none of them ending the movement.
        limits.endSwitchInput = {2, 4, 6, 8};
        limits.impulseInput = {1, 3, 5, 7};
        limits.maxImpulses = {0xFFFFFFFFU, 0xFFFFFFFFU, 0xFFFFFFFFU, 0xFFFFFFFFU};
        limits.maxDuration = {0, 0, 0, 0};
    }
    kinemo::engine::RunSettings settings;
    settings.offSwitchOn = 1;
    settings.offSwitchInput = 6;  // E7, never pressed here
    kinemo::engine::StopFlag stop{0};
    CountingLink link(stop);
    kinemo::engine::LiveRunChannel live;
    const kinemo::engine::PlayerContext context{
        &link, timeline.get(), &settings, &stop, nullptr, state.range(0) != 0 ? &live : nullptr};
    for (auto _ : state) {
        link.Arm(kTicksPerRun);
        kinemo::engine::PlayRun(context, 2);
    }
    benchmark::DoNotOptimize(link.Sink());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kTicksPerRun);
    state.counters["ns_per_tick"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kTicksPerRun,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(PlayerTick)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
