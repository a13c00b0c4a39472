// KinemoJoy: the control loop's own work per tick, against an in-memory
// interface: one joystick read through SDL's virtual joystick (set from the
// next position, then updated and read by the normal path), eight motors
// mapped to every kind of source, the pulse step. Each tick is timed on its
// own; prints the median and the 99th percentile. Goal: median at most 1 us.
//
// Run by hand: build-*/bench/joy_tick_bench [TICKS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "joystick/control_loop.h"
#include "joystick/joy_settings.h"
#include "joystick/joystick_source.h"
#include "platform/joystick.h"

namespace {

namespace joy = kinemo::joy;
namespace platform = kinemo::platform;
using Clock = std::chrono::steady_clock;

// Positions cycling through a table, through the virtual joystick.
class CyclingStick : public joy::JoystickSource {
  public:
    CyclingStick() {
        stick_.Attach("Messknueppel", 6, 12, 1);
        device_.Open(stick_.Index());
        for (std::uint32_t i = 0; i < kPositions; ++i) {
            platform::JoystickPosition& p = positions_[i];
            for (int axis = 0; axis < 6; ++axis) {
                p.axes[axis] =
                    (i * 2654435761U + static_cast<std::uint32_t>(axis) * 40503U) % 65536U;
            }
            p.pov = (i / 64) % 9 == 8 ? 65535 : ((i / 64) % 9) * 4500;
            p.buttons = (i / 32) % 4;
        }
    }
    bool Ok() const { return device_.IsOpen(); }
    joy::ReadResult Read(platform::JoystickPosition& position) override {
        stick_.Set(positions_[next_++ % kPositions]);
        return device_.Read(position) ? joy::ReadResult::kOk : joy::ReadResult::kFailed;
    }

  private:
    static constexpr std::uint32_t kPositions = 4096;
    platform::VirtualJoystick stick_;
    platform::JoystickDevice device_;
    platform::JoystickPosition positions_[kPositions];
    std::uint32_t next_ = 0;
};

class MemoryLink : public joy::InterfaceLink {
  public:
    std::uint32_t Exchange(std::uint32_t output) override {
        sink_ ^= output;
        return (++count_ >> 4) & 0x5555U;  // inputs change, end switches now and then
    }
    std::uint32_t sink_ = 0;
    std::uint32_t count_ = 0;
};

joy::JoySettings EightMotors() {
    joy::JoySettings settings;
    joy::TakeJoystickCaps(settings, {"", 6, 12, true, platform::JoystickCapsMask(6, true)});
    joy::SetExtensionModule(settings, true);
    joy::ResetSettings(settings);
    const joy::ListContents lists = joy::MakeListContents(settings);
    for (int slot = 0; slot < joy::kSlotCount; ++slot) {
        joy::MotorMapping& m = settings.mappings[slot];
        m = joy::MotorMapping{};
        m.endSwitchesOn = 1;
        m.endSwitchLeftIndex = static_cast<std::uint8_t>(2 * (slot % 8));
        m.endSwitchRightIndex = static_cast<std::uint8_t>(2 * (slot % 8) + 1);
        m.buttonLeftIndex = 0;
        m.buttonRightIndex = 1;
        m.fixedDirIndex = 2;
        m.fixedSpeed = 60;
        switch (slot % 4) {
            case 0:
                m.dirFromAxis = 1;
                m.speedFromAxis = 1;
                break;
            case 1:
                m.dirFromAxis = 1;
                m.speedFromThrottle = 1;
                break;
            case 2:
                m.dirFromButtons = 1;
                m.speedFixed = 1;
                break;
            default:
                m.dirFixed = 1;
                m.speedFromAxis = 1;
                break;
        }
        // Axes X..V and both hat modes across the slots.
        m.axisIndex = static_cast<std::uint8_t>(slot % lists.axes.size());
        m.speedAxisIndex = m.axisIndex;
        m.throttleIndex = static_cast<std::uint8_t>(slot % lists.throttle.size());
    }
    joy::DeriveAllBindings(settings, lists);
    settings.offSwitchOn = 1;
    settings.offSwitchInput = 15;
    return settings;
}

}  // namespace

int main(int argc, char** argv) {
    const long ticks = argc > 1 ? std::atol(argv[1]) : 1'000'000;
    platform::JoystickSystem system;
    CyclingStick stick;
    if (!system.Ok() || !stick.Ok() || ticks < 100) {
        std::fprintf(stderr, "joy_tick_bench: no virtual joystick (%s)\n", system.Error().c_str());
        return 1;
    }
    MemoryLink link;
    joy::LiveSettings live;
    joy::PublishAll(live, EightMotors());
    joy::StopFlag stop{0};
    joy::ControlLoop loop(live, stick, link, stop);
    loop.BeginRun();
    std::vector<double> ns(static_cast<std::size_t>(ticks));
    for (long i = 0; i < ticks; ++i) {
        const auto start = Clock::now();
        loop.Tick();
        const auto end = Clock::now();
        ns[static_cast<std::size_t>(i)] =
            std::chrono::duration<double, std::nano>(end - start).count();
    }
    loop.EndRun();
    // The clock's own cost, to read the figures against.
    std::vector<double> clock(10000);
    for (double& c : clock) {
        const auto a = Clock::now();
        const auto b = Clock::now();
        c = std::chrono::duration<double, std::nano>(b - a).count();
    }
    const auto percentile = [](std::vector<double>& v, double p) {
        const auto at =
            v.begin() + static_cast<std::ptrdiff_t>(p * static_cast<double>(v.size() - 1));
        std::nth_element(v.begin(), at, v.end());
        return *at;
    };
    const double median = percentile(ns, 0.5);
    const double p99 = percentile(ns, 0.99);
    std::printf("ticks %ld (8 motors, virtual joystick read through SDL)\n", ticks);
    std::printf("median %.0f ns, p99 %.0f ns per tick (clock pair: median %.0f ns)\n", median, p99,
                percentile(clock, 0.5));
    std::printf("goal: median at most 1000 ns: %s\n", median <= 1000.0 ? "met" : "NOT met");
    std::printf("(sink %u)\n", link.sink_);
    return 0;
}
