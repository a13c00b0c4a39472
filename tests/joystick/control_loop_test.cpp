// The control loop: the arithmetic from joystick position to direction and
// speed, and whole runs read through SDL's virtual joystick against a link
// that records every word on the wire.
#include "joystick/control_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "tests/joystick/joy_test_support.h"

namespace kinemo::joy {
namespace {

using namespace test;

constexpr AxisBinding kX{AxisSource::kX, HatMode::kAxis};
constexpr AxisBinding kPov1{AxisSource::kPov, HatMode::kPov1};
constexpr AxisBinding kPov2{AxisSource::kPov, HatMode::kPov2};

TEST(SlotArithmetic, DirectionAndSpeedFromAxisHatAndThrottle) {
    const std::tuple<std::uint32_t, int, double> xs[] = {
        {32767, 0, 0.0},         {32768, 0, 0.0},         {13000, 1, 50.0},
        {0, 1, 100.0},           {26000, 0, 0.0},         {39000, 0, 0.0},
        {25999, 1, 1.0 / 260.0}, {39001, 2, 1.0 / 260.0}, {65535, 2, (65535.0 - 39000.0) / 260.0}};
    for (const auto& [x, direction, speed] : xs) {
        EXPECT_EQ(AxisDirection(At(x), kX), direction) << x;
        EXPECT_DOUBLE_EQ(AxisSpeed(At(x), kX), speed) << x;
    }
    // The hat at 0, 45, ..., 315 degrees and centred: the direction and the
    // speed in steps of 50 %. Bound to nothing, it reads as centred.
    const std::uint32_t hat[] = {0, 4500, 9000, 13500, 18000, 22500, 27000, 31500, 65535};
    for (const auto& [binding, directions, speeds] :
         {std::tuple{kPov1, "022201110", "012101210"},
          {kPov2, "110222010", "210121010"},
          {AxisBinding{AxisSource::kNone, HatMode::kPov2}, "000000000", "000000000"}}) {
        for (int i = 0; i < 9; ++i) {
            const platform::JoystickPosition position = At(0, 0, hat[i]);
            EXPECT_EQ(AxisDirection(position, binding), directions[i] - '0') << hat[i];
            EXPECT_DOUBLE_EQ(AxisSpeed(position, binding), 50.0 * (speeds[i] - '0')) << hat[i];
        }
    }
    platform::JoystickPosition position;
    position.axes = {0, 1310, 32768, 62259, 65535, 100};
    for (int axis = 0; axis < 6; ++axis) {
        EXPECT_DOUBLE_EQ(ThrottleShare(position, {static_cast<AxisSource>(axis)}),
                         position.axes[axis] / 655.35);
    }
    EXPECT_EQ(ThrottleShare(position, {AxisSource::kNone}), 0.0);
    EXPECT_EQ(ThrottleShare(position, {AxisSource::kPov}), 0.0);
}

JoySettings OneMotor(const MotorMapping& m1, ThrottleBinding throttle = {AxisSource::kY}) {
    JoySettings settings = FreshSettings(Caps(2, 4, false));
    settings.mappings[0] = m1;
    settings.throttleBindings[0] = throttle;
    return settings;
}

Answers Always(std::uint32_t inputs) {
    return [inputs](const Words&) { return inputs; };
}

// Direction from the axis, from buttons 1 and 2 or fixed; speed from the
// axis, the throttle or fixed; end switches E1 ("L") and E2 ("R").
constexpr MotorMapping kFromAxis{.dirFromAxis = 1, .speedFromAxis = 1, .endSwitchRightIndex = 1};
constexpr MotorMapping kFromButtons{
    .dirFromButtons = 1, .speedFixed = 1, .buttonRightIndex = 1, .fixedSpeed = 100};
constexpr MotorMapping Fixed(std::uint8_t direction, std::uint8_t speed = 100) {
    return {.dirFixed = 1, .speedFixed = 1, .fixedDirIndex = direction, .fixedSpeed = speed};
}
constexpr MotorMapping kThrottleLeft{.dirFixed = 1, .speedFromThrottle = 1, .fixedDirIndex = 1};

TEST(ControlLoopRun, DefaultMappingsDriveM1FromXAndM2FromY) {
    const JoySettings settings = FreshSettings(Caps(2, 4, false));
    // Six ticks, then the final all-off; "L" at 50 % every second tick, M2 in
    // bits 2 and 3.
    const std::tuple<std::uint32_t, std::uint32_t, Words> cases[] = {
        {32767, 32768, {0, 0, 0, 0, 0, 0, 0}}, {13000, 32768, {0, 1, 0, 1, 0, 1, 0}},
        {0, 32768, {0, 1, 1, 1, 1, 1, 0}},     {65535, 32768, {0, 2, 2, 2, 2, 2, 0}},
        {13000, 13000, {0, 5, 0, 5, 0, 5, 0}}, {32768, 65535, {0, 8, 8, 8, 8, 8, 0}}};
    for (const auto& [x, y, words] : cases) {
        EXPECT_EQ(Play(settings, Reads(7, At(x, y))).words, words) << "x " << x << " y " << y;
    }
    // A slot bound to nothing reads as centred; a run without ticks sends
    // only the final all-off.
    JoySettings unbound = settings;
    unbound.axisBindings[0].source = AxisSource::kNone;
    EXPECT_EQ(Play(unbound, Reads(4, At(0, 0))).words, (Words{0, 4, 4, 0}));
    EXPECT_EQ(Play(settings, {At(0)}).words, (Words{0}));
    EXPECT_EQ(Play(settings, {}).words, (Words{0}));
}

// X just outside the dead zone turns M1 once in 26000 ticks, a fixed speed
// of 0 with a direction once in 100000.
TEST(ControlLoopRun, TheSlowestSpeedsDriveTheMotorOnceInTheirPeriod) {
    for (const auto& [settings, x, reads, word] :
         {std::tuple{FreshSettings(Caps(2, 4, false)), 25999U, 26010, 1U},
          std::tuple{OneMotor(Fixed(2, 0)), 32768U, 100010, 2U}}) {
        const Words words = Play(settings, Reads(reads, At(x))).words;
        EXPECT_EQ(std::count(words.begin(), words.end(), word), 1) << reads;
        EXPECT_GT(std::find(words.begin(), words.end(), word) - words.begin(), reads - 20);
    }
}

// A loop stepped by hand, to look at the run variables after each tick.
struct Stepped {
    Stepped(const JoySettings& settings, const Reads& reads)
        : replay(MakeReplay(CapsOf(settings), reads)) {
        PublishAll(live, settings);
        EXPECT_TRUE(loop.BeginRun());
    }
    platform::JoystickSystem system;
    Replay replay;
    ReplaySource source{replay};
    ScriptedLink link;
    LiveSettings live;
    StopFlag stop{0};
    ControlLoop loop{live, source, link, stop};
};

// The throttle below 2 % is 0 and from 95 % full speed, both restarting the
// pattern; any source's 95 % runs at full speed.
TEST(ControlLoopTick, TwoAndNinetyFivePercentRules) {
    // The mapping, Y (1310: 1.999 %, 62259: 95.0004 %), the speed, and whether
    // the pattern restarted (-1: not checked).
    const std::tuple<MotorMapping, std::uint32_t, double, int> cases[] = {
        {kThrottleLeft, 1310, 0.0, 1},          {kThrottleLeft, 1311, 1311 / 655.35, 0},
        {kThrottleLeft, 62259, kFullSpeed, 1},  {kThrottleLeft, 32768, 32768 / 655.35, 0},
        {Fixed(1, 94), 32768, 94.0, -1},        {Fixed(1, 95), 32768, kFullSpeed, -1},
        {Fixed(1, 100), 32768, kFullSpeed, -1}, {Fixed(1, 0), 32768, 0.0, -1}};
    for (const auto& [mapping, y, speed, restarted] : cases) {
        Stepped run(OneMotor(mapping), Reads(4, At(32768, y)));
        for (int tick = 0; tick < 3; ++tick) {
            run.loop.Tick();
        }
        EXPECT_EQ(std::tuple(run.loop.Speed(0), run.loop.State(0),
                             restarted < 0 ? -1 : run.loop.Accumulator(0) == 0.0),
                  std::tuple(speed, 1, restarted))
            << y << " " << speed;
    }
}

// A change of direction restarts the pattern; a binding published during the
// run takes effect at the next tick.
TEST(ControlLoopTick, ChangesTakeEffectAtTheNextTick) {
    Stepped turn(FreshSettings(Caps(2, 4, false)),
                 {At(13000), At(13000), At(13000), At(52000), At(52000)});
    turn.loop.Tick();
    turn.loop.Tick();
    ASSERT_EQ(std::pair(int{turn.loop.State(0)}, turn.loop.Accumulator(0) != 0.0),
              std::pair(1, true));
    turn.loop.Tick();  // now "R" at 50 %
    EXPECT_EQ(std::tuple(turn.loop.State(0), turn.loop.Accumulator(0), turn.loop.Speed(0)),
              std::tuple(2, 0.0, 50.0));

    Stepped rebound(FreshSettings(Caps(2, 4, false)), Reads(6, At(0)));
    Words words = {rebound.loop.Tick(), rebound.loop.Tick()};
    PublishBindings(rebound.live, 0, {AxisSource::kY, HatMode::kAxis}, {AxisSource::kY});
    words.push_back(rebound.loop.Tick());  // computed before the change
    words.push_back(rebound.loop.Tick());
    EXPECT_EQ(words, (Words{0, 1, 1, 0}));
}

// One mapping on M1 for four reads: the first tick sends 0, the next two the
// word, the end all-off. An end switch is seen in the first tick's answer.
TEST(ControlLoopRun, MappingsOfM1WordForWord) {
    MotorMapping switches = kFromAxis;
    switches.endSwitchesOn = 1;
    // The mapping, the read, the box's inputs and the word: both buttons held
    // give "L"; E1 guards "L", E2 "R".
    using Case = std::tuple<MotorMapping, platform::JoystickPosition, std::uint32_t, std::uint32_t>;
    const auto held = [](std::uint32_t buttons) { return At(32768, 32768, 65535, buttons); };
    std::vector<Case> cases = {{kFromButtons, held(0), 0, 0}, {kFromButtons, held(1), 0, 1},
                               {kFromButtons, held(2), 0, 2}, {kFromButtons, held(3), 0, 1},
                               {kFromButtons, held(4), 0, 0}, {switches, At(0), 0x1, 0},
                               {switches, At(0), 0x2, 1},     {switches, At(65535), 0x1, 2},
                               {switches, At(65535), 0x2, 0}, {switches, At(0), 0x0, 1}};
    // A fixed direction without a selection is off and never puts 3 on the wire.
    for (int index = 0; index < 256; ++index) {
        cases.push_back({Fixed(static_cast<std::uint8_t>(index)), At(32768), 0,
                         index <= 2 ? static_cast<std::uint32_t>(index) : 0U});
    }
    for (const auto& [mapping, at, inputs, word] : cases) {
        EXPECT_EQ(Play(OneMotor(mapping), Reads(4, at), Always(inputs)).words,
                  (Words{0, word, word, 0}))
            << "buttons " << at.buttons << " x " << at.axes[0] << " inputs " << inputs << " fixed "
            << int{mapping.fixedDirIndex};
    }
}

TEST(ControlLoopRun, ExtensionModuleM5RightIsBit9AndE9IsBit8) {
    JoySettings settings = FreshSettings(Caps(2, 4, false), true);
    MotorMapping& m5 = settings.mappings[SlotOf(1, 0)];
    m5 = Fixed(2);
    m5.endSwitchesOn = 1;
    m5.endSwitchLeftIndex = 8;   // E9
    m5.endSwitchRightIndex = 9;  // E10
    for (const auto& [direction, inputs, word] :
         {std::tuple{2, 0U, 1U << 9}, {2, 1U << 9, 0U}, {1, 1U << 8, 0U}, {1, 1U << 9, 1U << 8}}) {
        m5.fixedDirIndex = static_cast<std::uint8_t>(direction);
        EXPECT_EQ(Play(settings, Reads(3, At(32768)), Always(inputs)).words, (Words{0, word, 0}))
            << inputs;
    }
}

// The off switch (E8, in the answer to the fourth tick) and the off button
// (4, held in the third read) end the run after the tick that saw them;
// unchecked, or at a position without an entry, they never fire.
TEST(ControlLoopRun, OffSwitchAndOffButtonEndTheRunAfterTheTickThatSawThem) {
    JoySettings settings = FreshSettings(Caps(2, 4, false));
    settings.offSwitchOn = 1;
    settings.offSwitchInput = 7;
    Played played = Play(settings, Reads(20, At(0)),
                         [](const Words& w) { return w.size() == 3 ? 0x80U : 0x7FU; });
    EXPECT_EQ(played.words, (Words{0, 1, 1, 1, 0}));
    EXPECT_EQ(played.outcome, RunOutcome::kStopped);

    settings.offSwitchOn = 0;
    Reads reads(20, At(0));
    reads[2].buttons = 0x8;
    for (const auto& [on, index, stops] : {std::tuple{1, 3, true}, {0, 3, false}, {1, 40, false}}) {
        settings.offButtonOn = on;
        settings.offButtonIndex = index;
        played = Play(settings, reads);
        Words all(20, 1);
        all.front() = all.back() = 0;
        EXPECT_EQ(played.words, (stops ? Words{0, 1, 0} : all));
        EXPECT_EQ(played.outcome, stops ? RunOutcome::kStopped : RunOutcome::kReplayEnded);
    }
}

}  // namespace
}  // namespace kinemo::joy
