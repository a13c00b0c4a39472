// The speed profile of a computed timeline: what each motor will do over a
// whole run, reduced to a few thousand windows of ticks so that it can be drawn.
//
// The profile is read from the timeline rows themselves, the words the player
// sends, so it shows exactly the ticks a run will play. Per movement a motor is
// on for its maximum duration minus one tick (the player masks it before the
// N-th word); a movement in which every motor has a maximum duration lasts as
// long as the longest of them, one exchange per tick. Impulse and end-switch
// limits depend on the model and cannot be known before a run: they become
// marks, and a movement that only they could end is shown over its whole
// computed row and flagged open.
//
// Per window of ticks and motor the profile holds the exact number of ticks in
// which the motor is on to the left and to the right, so the share of on-ticks
// is a moving average of the real pattern. Building a profile reads every
// played word once and allocates only its result.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "pulse/pulse_generator.h"
#include "sequencer/engine/movement_list.h"
#include "sequencer/engine/timeline.h"

namespace kinemo::engine {

// Exchanges per second at the line limit of the box (9600 baud, three bytes
// out and one back per exchange).
inline constexpr double kLineTicksPerSecond = 320.0;

// One movement of the profiled run.
struct ProfileMovement {
    int record = 0;                // index of the movement in the list
    std::string name;              // its name as the list shows it
    std::uint64_t startTick = 0;   // first tick of the movement in the run
    std::uint32_t length = 0;      // ticks shown (exchanges, the last one all off when known)
    bool open = false;             // some motor has no maximum duration: may end earlier or later
    std::uint32_t rampLength = 0;  // ticks of acceleration, 0 when no motor accelerates
    std::array<pulse::MotorState, kMotorCount> states{};
    // Ticks in which each motor may be on, from the movement's start.
    std::array<std::uint32_t, kMotorCount> motorTicks{};
};

enum class LimitKind : std::uint8_t {
    kMaxDuration,  // the motor stops after `value` ticks (the dialog's "Max. dauer")
    kImpulses,     // ... after `value` impulses on `input`
    kEndSwitch,    // ... when the end switch on `input` closes
};

// A limit of one motor in one movement, placed at the tick where it is known
// to act (the end of a maximum duration) or may act from (the movement's start).
struct LimitMark {
    int movement = 0;  // index into SpeedProfile::movements
    int motor = 0;     // 0 = M1
    LimitKind kind = LimitKind::kMaxDuration;
    std::uint64_t tick = 0;
    std::uint8_t input = 0;   // 1..8 = E1..E8
    std::uint32_t value = 0;  // ticks or impulses
};

// "Max. dauer: 125", "bis E3: 10 Impulse", "bis E4: Endtaster" (UTF-8).
std::string LimitMarkText(const LimitMark& mark);

// On-ticks of one window, per motor and direction.
struct ProfileWindow {
    std::uint32_t ticks = 0;  // ticks in the window (the last window may be shorter)
    std::array<std::uint32_t, kMotorCount> leftOn{};
    std::array<std::uint32_t, kMotorCount> rightOn{};

    // Share of on-ticks of motor m, 0..1.
    double Share(int m) const {
        return ticks == 0 ? 0.0 : static_cast<double>(leftOn[m] + rightOn[m]) / ticks;
    }
    // The share signed by direction: right positive, left negative.
    double SignedShare(int m) const {
        return ticks == 0
                   ? 0.0
                   : (static_cast<double>(rightOn[m]) - static_cast<double>(leftOn[m])) / ticks;
    }
    bool operator==(const ProfileWindow&) const = default;
};

struct SpeedProfile {
    std::uint64_t totalTicks = 0;
    std::uint32_t windowTicks = 1;
    std::vector<ProfileMovement> movements;
    std::vector<ProfileWindow> windows;  // window k covers ticks [k*W, (k+1)*W)
    std::vector<LimitMark> marks;        // in movement order, then motor order
};

struct ProfileOptions {
    // Ticks per window; 0 chooses the smallest window that gives at most
    // `maxWindows` windows, but no fewer than `minWindowTicks` ticks, so that
    // a short list shows speeds rather than single pulses.
    std::uint32_t windowTicks = 0;
    std::uint32_t maxWindows = 2000;
    std::uint32_t minWindowTicks = 25;
};

// Ticks shown for one movement and whether its end is open (see above), from
// the limits of its row and whether its row ramps.
struct MovementSpan {
    std::uint32_t length = 0;
    bool open = false;
    std::array<std::uint32_t, kMotorCount> motorTicks{};
};
MovementSpan SpanOfMovement(const SlotLimits& limits, const MovementPlan& plan);

// The profile of records first..last of `list`, which must have been computed
// into rows 0..last-first of `timeline` (ComputeTimeline with the same range).
// An empty range gives an empty profile.
SpeedProfile BuildSpeedProfile(const Timeline& timeline, const MovementList& list, int first,
                               int last, const ProfileOptions& options = {});

}  // namespace kinemo::engine
