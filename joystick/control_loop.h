// KinemoJoy's control loop: per tick one joystick read and one exchange with
// the interface, for up to eight motors (M5..M8 in bits 8..15 of the words).
//
// The dialog thread publishes the mappings, bindings and off settings into a
// LiveSettings of single atomic bytes; the loop reads them anew every tick,
// so each change takes effect at the next tick without a lock or a request
// to the dialog thread. A tick allocates nothing.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "joystick/joy_settings.h"
#include "joystick/joystick_source.h"
#include "platform/joystick.h"
#include "pulse/pulse_generator.h"

namespace kinemo::joy {

// One exchange with the interface: sends the output word (M1..M4 in bits
// 0..7, M5..M8 in 8..15), returns the input word (E1..E8, E9..E16).
class InterfaceLink {
  public:
    virtual ~InterfaceLink() = default;
    virtual std::uint32_t Exchange(std::uint32_t output) = 0;
    // True once the line itself is gone (hangup, I/O error): exchanges then
    // return at once unanswered. Read after every exchange.
    virtual bool LinkLost() { return false; }
    // At the start of a run: after a lost line, tries to open the same port
    // again (a replugged box works again); otherwise does nothing.
    virtual void Reopen() {}
};

using StopFlag = std::atomic<std::uint8_t>;

// The settings the loop reads on every tick, one atomic byte each.
struct LiveSlot {
    std::array<std::atomic<std::uint8_t>, sizeof(MotorMapping)> fields{};
    std::atomic<std::uint8_t> axisSource{static_cast<std::uint8_t>(AxisSource::kX)};
    std::atomic<std::uint8_t> hatMode{0};
    std::atomic<std::uint8_t> throttleSource{static_cast<std::uint8_t>(AxisSource::kX)};
};

struct LiveSettings {
    std::array<LiveSlot, kSlotCount> motorSlots{};
    std::atomic<std::uint8_t> motorCount{4};
    std::atomic<std::uint8_t> joystickButtons{0};
    std::atomic<std::uint8_t> offSwitchOn{0};
    std::atomic<std::uint8_t> offSwitchInput{kNoSelection};
    std::atomic<std::uint8_t> offButtonOn{0};
    std::atomic<std::uint8_t> offButtonIndex{kNoSelection};
};

// Publishing, on the dialog thread. "Übernehmen", "LOS!" and a change of the
// module shown publish the mappings; a new choice in an axis list publishes
// that slot's bindings at once; the off settings are published as soon as
// they change.
void PublishMapping(LiveSettings& live, int slot, const MotorMapping& mapping);
void PublishBindings(LiveSettings& live, int slot, const AxisBinding& axis,
                     const ThrottleBinding& throttle);
// offSwitchInput and offButtonIndex are list positions (-1 or out of range:
// none, the off switch or button then never fires).
void PublishOffSettings(LiveSettings& live, std::int32_t offSwitchOn, std::int32_t offSwitchInput,
                        std::int32_t offButtonOn, std::int32_t offButtonIndex);
// Everything at once: motor count, button count, all eight mappings and
// bindings and the off settings.
void PublishAll(LiveSettings& live, const JoySettings& settings);

// ---- the arithmetic of one slot, pure ----

inline constexpr std::uint32_t kDeadZoneLow = 26000;   // below: "L"
inline constexpr std::uint32_t kDeadZoneHigh = 39000;  // above: "R"
inline constexpr double kAxisDivisor = 26000.0;
inline constexpr double kFullSpeedFrom = 95.0;  // this or more runs at kFullSpeed
inline constexpr double kFullSpeed = 99.999;

// The value a binding reads from a position (kNone reads as centred).
std::uint32_t BoundValue(const platform::JoystickPosition& position, AxisSource source);
// Direction from the axis or hat binding: 0 off, 1 "L", 2 "R".
std::uint8_t AxisDirection(const platform::JoystickPosition& position, AxisBinding binding);
// Speed in percent from the deflection of the axis or hat (0 unbound).
double AxisSpeed(const platform::JoystickPosition& position, AxisBinding binding);
// Throttle share s = v / 65535 x 100 (0 for an unbound throttle).
double ThrottleShare(const platform::JoystickPosition& position, ThrottleBinding binding);

// ---- the loop ----

// Why a run ended.
enum class RunOutcome : std::uint8_t {
    kStopped,       // "NOT-AUS", "Ende", the off button or the off switch
    kReplayEnded,   // a replay had no line left (ended as by "NOT-AUS")
    kJoystickLost,  // the check read at the start failed: nothing was sent
    kLinkLost,      // the interface's line went away (ended as by "NOT-AUS")
};

// The run variables and the loop itself. One instance per program; BeginRun,
// Tick and EndRun run on the control thread.
class ControlLoop {
  public:
    ControlLoop(LiveSettings& live, JoystickSource& source, InterfaceLink& link, StopFlag& stop)
        : live_(live), source_(&source), link_(link), stop_(stop) {}

    // Exchanges the joystick source between runs (the replay or recorder).
    void SetSource(JoystickSource& source) { source_ = &source; }

    // The check read; false when the joystick is unreadable. Clears every run
    // variable and flag. A replay with no line left sets the stop flag.
    bool BeginRun();
    // One tick: read, exchange the word computed in the previous tick, work
    // out every motor from the mappings and the off rules. Returns the output
    // word it sent.
    std::uint32_t Tick();
    // The final all-off exchange.
    void EndRun();
    // The whole run: BeginRun, ticks while the stop flag is clear, EndRun.
    RunOutcome Run();

    // For tests: what the last tick read and computed.
    std::uint32_t LastInputWord() const { return inputWord_; }
    std::uint8_t State(int motor) const { return state_[motor]; }
    double Speed(int motor) const { return speed_[motor]; }
    double Accumulator(int motor) const { return accumulators_[motor]; }
    const platform::JoystickPosition& Position() const { return position_; }
    bool ReplayEnded() const { return replayEnded_; }

  private:
    void ReadJoystick();

    LiveSettings& live_;
    JoystickSource* source_;
    InterfaceLink& link_;
    StopFlag& stop_;

    platform::JoystickPosition position_{};
    std::array<std::uint8_t, pulse::kMaxMotors> state_{};
    std::array<std::uint8_t, pulse::kMaxMotors> previousState_{};
    std::array<double, pulse::kMaxMotors> speed_{};
    std::array<pulse::PulseRatio, pulse::kMaxMotors> ratios_{};
    std::array<pulse::PulseAccumulator, pulse::kMaxMotors> accumulators_{};
    std::array<std::uint32_t, pulse::kMaxMotors> bitValues_{};
    std::array<std::uint8_t, platform::kJoystickMaxButtons + 1> buttonStates_{};
    std::array<std::uint8_t, 16> inputStates_{};
    std::uint32_t inputWord_ = 0;
    bool replayEnded_ = false;
    bool linkLost_ = false;
};

}  // namespace kinemo::joy
