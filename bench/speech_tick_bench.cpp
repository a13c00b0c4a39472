// Cost of one KinemoSpeech control-loop tick against an in-memory box: the
// pulse step of four motors, the virtual exchange, decoding eight inputs, the
// end-switch and off-switch checks from the atomic settings and the ratio and
// bit value of every motor. Goal: at most 25 ns per tick. The key handler is
// measured beside it on a full table of 255 entries.
//
// Run by hand: build-*/bench/speech_tick_bench
#include <benchmark/benchmark.h>

#include <cstdint>

#include "keyboard/control_loop.h"
#include "keyboard/key_handler.h"
#include "keyboard/key_table.h"

namespace {

using namespace kinemo::keyboard;

// Answers E6 on every other exchange; no end switch or off switch uses E6.
class MemoryBox final : public BoxLink {
  public:
    std::uint8_t Exchange(std::uint8_t output) override {
        sink_ ^= output;
        ++count_;
        return static_cast<std::uint8_t>((count_ & 1U) << 5);
    }
    std::uint32_t Sink() const { return sink_; }

  private:
    std::uint32_t sink_ = 0;
    std::uint32_t count_ = 0;
};

void Configure(LiveSettings& settings) {
    const std::uint8_t states[kMotorCount] = {kMotorLeft, kMotorRight, kMotorLeft, kMotorLeft};
    const std::uint8_t speeds[kMotorCount] = {30, 75, 50, 100};
    for (int motor = 0; motor < kMotorCount; ++motor) {
        settings.motors[motor].startState.store(states[motor]);
        settings.motors[motor].startSpeed.store(speeds[motor]);
        settings.motors[motor].endSwitches.store(1);  // checked, never struck
    }
    settings.offSwitch.store(1);  // E8, never pressed
}

void SpeechTick(benchmark::State& state) {
    LiveSettings settings;
    Configure(settings);
    RunVariables run;
    MemoryBox box;
    ControlLoop loop(box, settings, run);
    PrepareRun(run, settings);
    loop.Begin();
    for (auto _ : state) {
        loop.Tick();
    }
    benchmark::DoNotOptimize(box.Sink());
    if (run.Stopped() != kNotStopped) {
        state.SkipWithError("the run stopped");
    }
    state.counters["ns_per_tick"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(SpeechTick);

// A typed key against a full table: 254 entries, every eighth one matching.
void SpeechKey(benchmark::State& state) {
    KeyTable table;
    for (int i = 1; i < kMaxKeys; ++i) {
        const int entry = table.Append(i % 8 == 0 ? 'k' : static_cast<std::uint8_t>('a' + i % 7));
        table.SetAction(entry, i % 16 == 0 ? kSetSpeeds : kSetStates);
        table.SetIncluded(entry, i % kMotorCount, true);
        table.SetValue(entry, i % kMotorCount, kMotorRight);
    }
    LiveSettings settings;
    RunVariables run;
    PrepareRun(run, settings);
    for (auto _ : state) {
        benchmark::DoNotOptimize(HandleKey(table, run, 'k'));
    }
    state.counters["ns_per_key"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(SpeechKey);

}  // namespace

BENCHMARK_MAIN();
