// KinemoSpeech at the simulated box's line timing (9600 baud, 3.125 ms per
// exchange): ticks per second of the control thread against the line limit
// of 320 per second (goal: at least 97 %), side by side with Kinemo's player
// on the same kind of line through the driver library. Blocks of the two
// alternate, so a change of the machine's load hits both alike.
//
// Run by hand: build-*/bench/speech_line_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "keyboard/box_link.h"
#include "keyboard/interface_port.h"
#include "keyboard/run_controller.h"
#include "platform/threads.h"
#include "sequencer/engine/interface_binding.h"
#include "sequencer/engine/player.h"
#include "sequencer/engine/timeline.h"
#include "simulator/simulated_box.h"

namespace {

namespace kb = kinemo::keyboard;
namespace engine = kinemo::engine;
using Clock = std::chrono::steady_clock;

constexpr double kLineLimitPerSecond = 1e6 / 3125.0;
constexpr std::uint32_t kBlockTicks = 320;

// The program's serial link, ending the run after a given number of ticks.
class CountedPortLink final : public kb::BoxLink {
  public:
    explicit CountedPortLink(kb::InterfacePort& port) : link_(port) {}
    void Arm(kb::RunVariables* run, std::uint32_t ticks) {
        run_ = run;
        remaining_ = ticks;
    }
    std::uint8_t Exchange(std::uint8_t output) override {
        if (remaining_ > 0 && --remaining_ == 0) {
            run_->RequestStop(kb::kStopButton);
        }
        return link_.Exchange(output);
    }
    bool Connected() const override { return link_.Connected(); }

  private:
    kb::PortLink link_;
    kb::RunVariables* run_ = nullptr;
    std::uint32_t remaining_ = 0;
};

// The driver link, ending the player's run after a given number of ticks.
class CountedDriverLink final : public engine::InterfaceLink {
  public:
    explicit CountedDriverLink(engine::StopFlag& stop) : stop_(stop) {}
    void Arm(std::uint32_t ticks) { remaining_ = ticks; }
    std::uint32_t Exchange(std::uint32_t output) override {
        if (remaining_ > 0 && --remaining_ == 0) {
            stop_.store(1, std::memory_order_relaxed);
        }
        return driver.Exchange(output);
    }
    engine::DriverLink driver;

  private:
    engine::StopFlag& stop_;
    std::uint32_t remaining_ = 0;
};

void SpeechBesidePlayer(benchmark::State& state) {
    kinemo::simulator::SimulatedBox speechBox;
    kinemo::simulator::SimulatedBox playerBox;
    const std::string speechPath = speechBox.Start();
    const std::string playerPath = playerBox.Start();
    if (speechPath.empty() || playerPath.empty()) {
        state.SkipWithError("cannot start the boxes");
        return;
    }

    ::setenv("KINEMO_PORT_COM1", speechPath.c_str(), 1);
    kb::InterfacePort port;
    const bool speechConnected = port.connect(1);
    ::setenv("KINEMO_PORT_COM1", playerPath.c_str(), 1);
    engine::StopFlag stop{0};
    CountedDriverLink driver(stop);
    const bool playerConnected =
        engine::ConnectInterface(driver.driver, "COM1", [](const char*) {});
    ::unsetenv("KINEMO_PORT_COM1");
    if (!speechConnected || !playerConnected) {
        state.SkipWithError("no connection to a box");
        return;
    }

    CountedPortLink link(port);
    kb::LiveSettings settings;
    for (int motor = 0; motor < kb::kMotorCount; ++motor) {
        settings.motors[motor].startState.store(kb::kMotorLeft);
        settings.motors[motor].startSpeed.store(static_cast<std::uint8_t>(25 * motor + 20));
    }
    kinemo::platform::ManualResetEvent ended;
    kb::RunController controller(link, settings,
                                 [&ended](std::uint32_t, kb::StopReason) { ended.Set(); });

    auto timeline = std::make_unique<engine::Timeline>();
    std::memset(timeline->Row(0), 0x55, engine::kTimelineRowLength);
    engine::SlotLimits& limits = timeline->Limits(0);
    limits.endSwitchInput = {0, 0, 0, 0};
    limits.impulseInput = {0, 0, 0, 0};
    limits.maxImpulses = {0xFFFFFFFFU, 0xFFFFFFFFU, 0xFFFFFFFFU, 0xFFFFFFFFU};
    limits.maxDuration = {0, 0, 0, 0};
    engine::RunSettings runSettings;
    const engine::PlayerContext context{&driver, timeline.get(), &runSettings, &stop, nullptr};

    Clock::duration speechTime{};
    Clock::duration playerTime{};
    std::uint64_t speechTicks = 0;
    std::uint64_t playerTicks = 0;
    for (auto _ : state) {
        // One speech run of kBlockTicks ticks plus its final all-off exchange.
        ended.Reset();
        link.Arm(&controller.Variables(), kBlockTicks);
        auto begin = Clock::now();
        if (controller.Start() != kb::StartResult::kStarted || !ended.WaitFor(60000)) {
            state.SkipWithError("the speech run did not end");
            return;
        }
        speechTime += Clock::now() - begin;
        speechTicks += kBlockTicks + 1;
        controller.OnRunEnded();

        // One player run of as many ticks (its final all-off included).
        stop.store(0);
        driver.Arm(kBlockTicks);
        begin = Clock::now();
        engine::PlayRun(context, 1);
        playerTime += Clock::now() - begin;
        playerTicks += kBlockTicks + 1;
    }
    const double speechRate =
        static_cast<double>(speechTicks) / std::chrono::duration<double>(speechTime).count();
    const double playerRate =
        static_cast<double>(playerTicks) / std::chrono::duration<double>(playerTime).count();
    state.counters["speech_ticks_per_s"] = speechRate;
    state.counters["speech_limit_pct"] = 100.0 * speechRate / kLineLimitPerSecond;
    state.counters["player_ticks_per_s"] = playerRate;
    state.counters["player_limit_pct"] = 100.0 * playerRate / kLineLimitPerSecond;
}
BENCHMARK(SpeechBesidePlayer)->UseRealTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
