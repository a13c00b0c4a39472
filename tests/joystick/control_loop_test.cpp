// The control loop: the arithmetic from joystick position to direction and
// speed, and whole runs read through SDL's virtual joystick (a replay in
// memory) against a link that records every word on the wire.
#include "joystick/control_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "joystick/joystick_source.h"
#include "tests/joystick/joy_test_support.h"

namespace kinemo::joy {
namespace {

using test::At;
using test::Caps;
using test::FreshSettings;
using test::MakeReplay;
using test::RunOnce;
using test::ScriptedLink;
using Words = std::vector<std::uint32_t>;

constexpr AxisBinding kX{AxisSource::kX, HatMode::kAxis};
constexpr AxisBinding kPov1{AxisSource::kPov, HatMode::kPov1};
constexpr AxisBinding kPov2{AxisSource::kPov, HatMode::kPov2};
constexpr AxisBinding kUnbound{AxisSource::kNone, HatMode::kAxis};

TEST(SlotArithmetic, DirectionAndSpeedFromAxisAndHat) {
    struct Case {
        AxisBinding binding;
        std::uint32_t value;  // X for axis bindings, the hat otherwise (X 65535: 102.06 %)
        std::uint8_t direction;
        double speed;
    };
    const Case cases[] = {
        {kX, 32767, 0, 0.0},
        {kX, 32768, 0, 0.0},
        {kX, 13000, 1, 50.0},
        {kX, 0, 1, 100.0},
        {kX, 65535, 2, (65535.0 - 39000.0) / 26000.0 * 100.0},
        {kX, 26000, 0, 0.0},
        {kX, 39000, 0, 0.0},
        {kX, 25999, 1, 1.0 / 26000.0 * 100.0},
        {kX, 39001, 2, 1.0 / 26000.0 * 100.0},
        {kPov1, 0, 0, 0.0},
        {kPov1, 4500, 2, 50.0},
        {kPov1, 9000, 2, 100.0},
        {kPov1, 18000, 0, 0.0},
        {kPov1, 22500, 1, 50.0},
        {kPov1, 27000, 1, 100.0},
        {kPov1, 31500, 1, 50.0},
        {kPov1, 65535, 0, 0.0},
        {kPov2, 0, 1, 100.0},
        {kPov2, 4500, 1, 50.0},
        {kPov2, 9000, 0, 0.0},
        {kPov2, 13500, 2, 50.0},
        {kPov2, 18000, 2, 100.0},
        {kPov2, 27000, 0, 0.0},
        {kPov2, 31500, 1, 50.0},
        {kPov2, 65535, 0, 0.0},
        {kUnbound, 0, 0, 0.0},
        {AxisBinding{AxisSource::kNone, HatMode::kPov2}, 0, 0, 0.0},
    };
    for (const Case& c : cases) {
        const platform::JoystickPosition position =
            c.binding.source == AxisSource::kPov ? At(32768, 32768, c.value) : At(c.value);
        SCOPED_TRACE(testing::Message()
                     << "mode " << static_cast<int>(c.binding.hatMode) << " value " << c.value);
        EXPECT_EQ(AxisDirection(position, c.binding), c.direction);
        EXPECT_DOUBLE_EQ(AxisSpeed(position, c.binding), c.speed);
    }
}

TEST(SlotArithmetic, ThrottleShareOfEachAxisAndUnbound) {
    platform::JoystickPosition position;
    position.axes = {0, 1310, 32768, 62259, 65535, 100};
    const double want[] = {
        0.0,   1310.0 / 65535.0 * 100.0, 32768.0 / 65535.0 * 100.0, 62259.0 / 65535.0 * 100.0,
        100.0, 100.0 / 65535.0 * 100.0};
    for (int axis = 0; axis < 6; ++axis) {
        EXPECT_DOUBLE_EQ(ThrottleShare(position, {static_cast<AxisSource>(axis)}), want[axis]);
    }
    EXPECT_EQ(ThrottleShare(position, {AxisSource::kNone}), 0.0);
    EXPECT_EQ(ThrottleShare(position, {AxisSource::kPov}), 0.0);
}

// One run through the virtual joystick: the check read takes the first
// position, each tick the next, and the run ends when the replay does.
struct Played {
    Words words;
    RunOutcome outcome{};
};

platform::JoystickCaps CapsOf(const JoySettings& settings) {
    return Caps(settings.joystickAxes, settings.joystickButtons,
                (settings.joystickCaps & platform::kJoystickHasPov) != 0);
}

Played Play(const JoySettings& settings, const std::vector<platform::JoystickPosition>& reads,
            std::function<std::uint32_t(std::size_t)> inputs = {}) {
    platform::JoystickSystem system;
    EXPECT_TRUE(system.Ok());
    const Replay replay = MakeReplay(CapsOf(settings), reads);
    ReplaySource source(replay);
    EXPECT_TRUE(source.Opened());
    ScriptedLink link;
    link.inputs = std::move(inputs);
    const RunOutcome outcome = RunOnce(settings, source, link);
    return {link.outputs, outcome};
}

std::vector<platform::JoystickPosition> Repeat(const platform::JoystickPosition& position,
                                               int count) {
    return std::vector<platform::JoystickPosition>(count, position);
}

JoySettings OneMotor(const MotorMapping& m1, ThrottleBinding throttle = {AxisSource::kY}) {
    JoySettings settings = FreshSettings(Caps(2, 4, false));
    settings.mappings[0] = m1;
    settings.throttleBindings[0] = throttle;
    return settings;
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
    struct Case {
        std::uint32_t x, y;
        Words words;  // 6 ticks, then the final all-off
    };
    const Case cases[] = {
        {32767, 32768, {0, 0, 0, 0, 0, 0, 0}},
        {13000, 32768, {0, 1, 0, 1, 0, 1, 0}},  // "L" at 50 %: every second tick
        {0, 32768, {0, 1, 1, 1, 1, 1, 0}},      // "L" at full speed
        {65535, 32768, {0, 2, 2, 2, 2, 2, 0}},  // "R" at full speed
        {25999, 32768, {0, 0, 0, 0, 0, 0, 0}},  // "L" at 0.004 %: once in 26000
        {13000, 13000, {0, 5, 0, 5, 0, 5, 0}},  // M2 "L" in bits 2 and 3
        {32768, 65535, {0, 8, 8, 8, 8, 8, 0}},  // M2 "R"
    };
    for (const Case& c : cases) {
        const Played played = Play(settings, Repeat(At(c.x, c.y), 7));
        EXPECT_EQ(played.words, c.words) << "x " << c.x << " y " << c.y;
        EXPECT_EQ(played.outcome, RunOutcome::kReplayEnded);
    }
}

// The slowest patterns: X just outside the dead zone turns M1 once in 26000
// ticks, a fixed speed of 0 with a direction once in 100000.
TEST(ControlLoopRun, TheSlowestSpeedsDriveTheMotorOnceInTheirPeriod) {
    for (const auto& [settings, x, reads, word] :
         {std::tuple{FreshSettings(Caps(2, 4, false)), 25999U, 26010, 1U},
          std::tuple{OneMotor(Fixed(2, 0)), 32768U, 100010, 2U}}) {
        const Words words = Play(settings, Repeat(At(x), reads)).words;
        EXPECT_EQ(std::count(words.begin(), words.end(), word), 1) << reads;
        EXPECT_GT(std::find(words.begin(), words.end(), word) - words.begin(), reads - 20);
    }
}

// Steps a loop by hand to look at the run variables after each tick.
class SteppedLoop {
  public:
    SteppedLoop(const JoySettings& settings, std::vector<platform::JoystickPosition> reads)
        : replay_(MakeReplay(CapsOf(settings), reads)),
          source_(replay_),
          loop_(live_, source_, link_, stop_) {
        PublishAll(live_, settings);
        EXPECT_TRUE(loop_.BeginRun());
    }
    ControlLoop& loop() { return loop_; }
    LiveSettings& live() { return live_; }

  private:
    platform::JoystickSystem system_;
    Replay replay_;
    ReplaySource source_;
    ScriptedLink link_;
    LiveSettings live_;
    StopFlag stop_{0};
    ControlLoop loop_;
};

// The throttle below 2 % is 0 and from 95 % full speed, both restarting the
// pattern; any source's 95 % runs at full speed.
TEST(ControlLoopTick, TwoAndNinetyFivePercentRules) {
    struct Case {
        MotorMapping mapping;
        std::uint32_t y;
        double speed;
        int accumulatorReset;  // -1: not checked
    };
    const Case cases[] = {
        {kThrottleLeft, 1310, 0.0, 1},  // 1.999 %
        {kThrottleLeft, 1311, 1311.0 / 65535.0 * 100.0, 0},
        {kThrottleLeft, 62259, kFullSpeed, 1},  // 95.0004 %: 100, then the 95 % rule
        {kThrottleLeft, 32768, 32768.0 / 65535.0 * 100.0, 0},
        {Fixed(1, 94), 32768, 94.0, -1},
        {Fixed(1, 95), 32768, kFullSpeed, -1},
        {Fixed(1, 100), 32768, kFullSpeed, -1},
        {Fixed(1, 0), 32768, 0.0, -1},
    };
    for (const Case& c : cases) {
        SteppedLoop run(OneMotor(c.mapping), Repeat(At(32768, c.y), 4));
        for (int tick = 0; tick < 3; ++tick) {
            run.loop().Tick();
        }
        EXPECT_DOUBLE_EQ(run.loop().Speed(0), c.speed) << c.y << " " << c.speed;
        EXPECT_EQ(run.loop().State(0), 1);
        if (c.accumulatorReset >= 0) {
            EXPECT_EQ(run.loop().Accumulator(0) == 0.0, c.accumulatorReset == 1) << c.y;
        }
    }
}

TEST(ControlLoopTick, AChangeOfDirectionRestartsThePattern) {
    SteppedLoop run(FreshSettings(Caps(2, 4, false)),
                    {At(13000), At(13000), At(13000), At(52000), At(52000)});
    run.loop().Tick();
    run.loop().Tick();
    ASSERT_EQ(run.loop().State(0), 1);
    EXPECT_NE(run.loop().Accumulator(0), 0.0);
    run.loop().Tick();  // now "R" at 50 %
    EXPECT_EQ(run.loop().State(0), 2);
    EXPECT_EQ(run.loop().Accumulator(0), 0.0);
    EXPECT_DOUBLE_EQ(run.loop().Speed(0), 50.0);
}

TEST(ControlLoopTick, PublishedChangesTakeEffectAtTheNextTick) {
    SteppedLoop run(FreshSettings(Caps(2, 4, false)), Repeat(At(0), 6));
    EXPECT_EQ(run.loop().Tick(), 0U);
    EXPECT_EQ(run.loop().Tick(), 1U);
    // Rebind M1 to Y (centred) at once, as a new choice in its axis list does.
    PublishBindings(run.live(), 0, AxisBinding{AxisSource::kY, HatMode::kAxis},
                    ThrottleBinding{AxisSource::kY});
    EXPECT_EQ(run.loop().Tick(), 1U);  // computed before the change
    EXPECT_EQ(run.loop().Tick(), 0U);
}

// One mapping on M1 for a whole run of four reads: the first tick sends 0,
// the next two the word, the end all-off. An end switch is seen in the first
// tick's answer, so the second tick already sends its result.
TEST(ControlLoopRun, MappingsOfM1WordForWord) {
    MotorMapping switches = kFromAxis;
    switches.endSwitchesOn = 1;
    struct Case {
        MotorMapping mapping;
        platform::JoystickPosition at;
        std::uint32_t inputs;
        std::uint32_t word;
    };
    std::vector<Case> cases = {
        {kFromButtons, At(32768, 32768, 65535, 0), 0, 0},
        {kFromButtons, At(32768, 32768, 65535, 1), 0, 1},
        {kFromButtons, At(32768, 32768, 65535, 2), 0, 2},
        {kFromButtons, At(32768, 32768, 65535, 3), 0, 1},  // both held: "L"
        {kFromButtons, At(32768, 32768, 65535, 4), 0, 0},
        {switches, At(0), 0x1, 0},  // E1 guards "L"
        {switches, At(0), 0x2, 1},
        {switches, At(65535), 0x1, 2},
        {switches, At(65535), 0x2, 0},  // E2 guards "R"
        {switches, At(0), 0x0, 1},
    };
    // A fixed direction without a selection is off and never puts 3 on the wire.
    for (int index = 0; index < 256; ++index) {
        cases.push_back({Fixed(static_cast<std::uint8_t>(index)), At(32768), 0,
                         index <= 2 ? static_cast<std::uint32_t>(index) : 0U});
    }
    for (const Case& c : cases) {
        const Played played =
            Play(OneMotor(c.mapping), Repeat(c.at, 4), [&c](std::size_t) { return c.inputs; });
        EXPECT_EQ(played.words, (Words{0, c.word, c.word, 0}))
            << "buttons " << c.at.buttons << " x " << c.at.axes[0] << " inputs " << c.inputs
            << " fixed " << int{c.mapping.fixedDirIndex};
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
        const std::uint32_t answer = inputs;
        EXPECT_EQ(
            Play(settings, Repeat(At(32768), 3), [answer](std::size_t) { return answer; }).words,
            (Words{0, word, 0}))
            << inputs;
    }
}

TEST(ControlLoopRun, OffSwitchAndOffButtonEndTheRunAfterTheTickThatSawThem) {
    JoySettings settings = FreshSettings(Caps(2, 4, false));
    // Off switch at E8: the answer of exchange 3 (the fourth tick) has E8.
    settings.offSwitchOn = 1;
    settings.offSwitchInput = 7;
    Played played =
        Play(settings, Repeat(At(0), 20), [](std::size_t n) { return n == 3 ? 0x80U : 0x7FU; });
    EXPECT_EQ(played.words, (Words{0, 1, 1, 1, 0}));
    EXPECT_EQ(played.outcome, RunOutcome::kStopped);

    // Off button 4 (list position 3), held in the third read (second tick).
    settings.offSwitchOn = 0;
    settings.offButtonOn = 1;
    settings.offButtonIndex = 3;
    std::vector<platform::JoystickPosition> reads = Repeat(At(0), 20);
    reads[2].buttons = 0x8;
    played = Play(settings, reads);
    EXPECT_EQ(played.words, (Words{0, 1, 0}));
    EXPECT_EQ(played.outcome, RunOutcome::kStopped);

    // Unchecked, or at a position without an entry, they never fire.
    settings.offButtonOn = 0;
    EXPECT_EQ(Play(settings, reads).words.size(), 20U);
    settings.offButtonOn = 1;
    settings.offButtonIndex = 40;
    EXPECT_EQ(Play(settings, reads).words.size(), 20U);
}

TEST(ControlLoopRun, ASlotBoundToNothingReadsAsCentred) {
    JoySettings settings = FreshSettings(Caps(2, 4, false));
    settings.axisBindings[0] = kUnbound;
    const Played played = Play(settings, Repeat(At(0, 0), 4));
    EXPECT_EQ(played.words, (Words{0, 4, 4, 0}));  // M2 only
}

TEST(ControlLoopRun, ARunWithoutTicksSendsOnlyTheFinalAllOffAndAFailedCheckReadNothing) {
    const JoySettings settings = FreshSettings(Caps(2, 4, false));
    EXPECT_EQ(Play(settings, {At(0)}).words, (Words{0}));
    EXPECT_EQ(Play(settings, {}).words, (Words{0}));
    ScriptedLink link;
    test::GoneSource gone;
    EXPECT_EQ(RunOnce(settings, gone, link), RunOutcome::kJoystickLost);
    EXPECT_TRUE(link.outputs.empty());
}

}  // namespace
}  // namespace kinemo::joy
