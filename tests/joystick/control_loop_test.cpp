// The control loop: the arithmetic from joystick position to direction and
// speed, and whole runs read through SDL's virtual joystick (a replay in
// memory) against a link that records every word on the wire.
#include "joystick/control_loop.h"

#include <gtest/gtest.h>

#include <cmath>

#include "joystick/joystick_source.h"
#include "tests/joystick/joy_test_support.h"

namespace kinemo::joy {
namespace {

using test::At;
using test::Caps;
using test::FreshSettings;
using test::MakeReplay;
using test::ScriptedLink;

constexpr AxisBinding kX{AxisSource::kX, HatMode::kAxis};
constexpr AxisBinding kPov1{AxisSource::kPov, HatMode::kPov1};
constexpr AxisBinding kPov2{AxisSource::kPov, HatMode::kPov2};
constexpr AxisBinding kUnbound{AxisSource::kNone, HatMode::kAxis};

TEST(SlotArithmetic, DirectionAndSpeedFromAxisAndHat) {
    struct Case {
        AxisBinding binding;
        std::uint32_t value;  // X for axis bindings, the hat otherwise
        std::uint8_t direction;
        double speed;
    };
    const Case cases[] = {
        {kX, 32767, 0, 0.0},
        {kX, 32768, 0, 0.0},
        {kX, 13000, 1, 50.0},
        {kX, 0, 1, 100.0},
        {kX, 65535, 2, (65535.0 - 39000.0) / 26000.0 * 100.0},  // 102.06 %
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
    std::vector<std::uint32_t> words;
    RunOutcome outcome{};
};

Played Play(const JoySettings& settings, const std::vector<platform::JoystickPosition>& reads,
            std::function<std::uint32_t(std::size_t)> inputs = {}) {
    platform::JoystickSystem system;
    EXPECT_TRUE(system.Ok());
    const platform::JoystickCaps caps =
        Caps(settings.joystickAxes, settings.joystickButtons, (settings.joystickCaps & 16U) != 0);
    const Replay replay = MakeReplay(caps, reads);
    ReplaySource source(replay);
    EXPECT_TRUE(source.Opened());
    ScriptedLink link;
    link.inputs = std::move(inputs);
    LiveSettings live;
    PublishAll(live, settings);
    StopFlag stop{0};
    ControlLoop loop(live, source, link, stop);
    const RunOutcome outcome = loop.Run();
    return {link.outputs, outcome};
}

std::vector<platform::JoystickPosition> Repeat(const platform::JoystickPosition& position,
                                               int count) {
    return std::vector<platform::JoystickPosition>(count, position);
}

TEST(ControlLoopRun, DefaultMappingsDriveM1FromXAndM2FromY) {
    const JoySettings settings = FreshSettings(Caps(2, 4, false));
    struct Case {
        std::uint32_t x, y;
        std::vector<std::uint32_t> words;  // 6 ticks, then the final all-off
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
        SCOPED_TRACE(testing::Message() << "x " << c.x << " y " << c.y);
        const Played played = Play(settings, Repeat(At(c.x, c.y), 7));
        EXPECT_EQ(played.words, c.words);
        EXPECT_EQ(played.outcome, RunOutcome::kReplayEnded);
    }
}

TEST(ControlLoopRun, AnAxisJustOutsideTheDeadZoneDrivesTheMotorOnceIn26000Ticks) {
    const JoySettings settings = FreshSettings(Caps(2, 4, false));
    const Played played = Play(settings, Repeat(At(25999), 26010));
    int onTicks = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < played.words.size(); ++i) {
        if (played.words[i] == 1) {
            first = first == 0 ? i : first;
            ++onTicks;
        }
    }
    EXPECT_EQ(onTicks, 1);
    EXPECT_GT(first, 25990U);
}

// Steps a loop by hand to look at the run variables after each tick.
class SteppedLoop {
  public:
    SteppedLoop(const JoySettings& settings, std::vector<platform::JoystickPosition> reads)
        : replay_(MakeReplay(Caps(settings.joystickAxes, settings.joystickButtons,
                                  (settings.joystickCaps & 16U) != 0),
                             reads)),
          source_(replay_),
          loop_(live_, source_, link_, stop_) {
        PublishAll(live_, settings);
        EXPECT_TRUE(loop_.BeginRun());
    }
    ControlLoop& loop() { return loop_; }
    ScriptedLink& link() { return link_; }
    LiveSettings& live() { return live_; }
    StopFlag& stop() { return stop_; }

  private:
    platform::JoystickSystem system_;
    Replay replay_;
    ReplaySource source_;
    ScriptedLink link_;
    LiveSettings live_;
    StopFlag stop_{0};
    ControlLoop loop_;
};

JoySettings OneMotor(const MotorMapping& m1, ThrottleBinding throttle = {AxisSource::kY}) {
    JoySettings settings = FreshSettings(Caps(2, 4, false));
    settings.mappings[0] = m1;
    settings.throttleBindings[0] = throttle;
    return settings;
}

MotorMapping Mapping(std::uint8_t dirAxis, std::uint8_t dirButtons, std::uint8_t dirFixed,
                     std::uint8_t speedAxis, std::uint8_t speedThrottle, std::uint8_t speedFixed) {
    MotorMapping m;
    m.dirFromAxis = dirAxis;
    m.dirFromButtons = dirButtons;
    m.dirFixed = dirFixed;
    m.speedFromAxis = speedAxis;
    m.speedFromThrottle = speedThrottle;
    m.speedFixed = speedFixed;
    m.buttonLeftIndex = 0;
    m.buttonRightIndex = 1;
    m.endSwitchLeftIndex = 0;
    m.endSwitchRightIndex = 1;
    return m;
}

TEST(ControlLoopTick, ThrottleAtTwoAndNinetyFivePercentRestartsThePattern) {
    struct Case {
        std::uint32_t y;
        double speed;
        bool accumulatorReset;
    };
    const Case cases[] = {
        {1310, 0.0, true},  // 1.999 %: speed 0
        {1311, 1311.0 / 65535.0 * 100.0, false},
        {62259, kFullSpeed, true},  // 95.0004 %: 100, then the 95 % rule
        {32768, 32768.0 / 65535.0 * 100.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        MotorMapping m = Mapping(0, 0, 1, 0, 1, 0);
        m.fixedDirIndex = 1;
        SteppedLoop run(OneMotor(m), Repeat(At(32768, c.y), 4));
        run.loop().Tick();
        run.loop().Tick();
        run.loop().Tick();
        EXPECT_DOUBLE_EQ(run.loop().Speed(0), c.speed);
        EXPECT_EQ(run.loop().Accumulator(0) == 0.0, c.accumulatorReset);
    }
}

TEST(ControlLoopTick, NinetyFivePercentFromAnySourceRunsAtFullSpeed) {
    struct Case {
        std::uint8_t fixedSpeed;
        double speed;
    };
    for (const Case c :
         {Case{94, 94.0}, Case{95, kFullSpeed}, Case{100, kFullSpeed}, Case{0, 0.0}}) {
        MotorMapping m = Mapping(0, 0, 1, 0, 0, 1);
        m.fixedDirIndex = 1;
        m.fixedSpeed = c.fixedSpeed;
        SteppedLoop run(OneMotor(m), Repeat(At(32768), 3));
        run.loop().Tick();
        EXPECT_DOUBLE_EQ(run.loop().Speed(0), c.speed);
        EXPECT_EQ(run.loop().State(0), 1);
    }
}

TEST(ControlLoopRun, SpeedZeroWithADirectionStillDrivesTheMotorOnceIn100000Ticks) {
    MotorMapping m = Mapping(0, 0, 1, 0, 0, 1);
    m.fixedDirIndex = 2;
    m.fixedSpeed = 0;
    const Played played = Play(OneMotor(m), Repeat(At(32768), 100010));
    int onTicks = 0;
    for (const std::uint32_t word : played.words) {
        onTicks += word == 2 ? 1 : 0;
    }
    EXPECT_EQ(onTicks, 1);
}

TEST(ControlLoopRun, DirectionFromButtonsBothHeldRunsLeft) {
    MotorMapping m = Mapping(0, 1, 0, 0, 0, 1);
    m.fixedSpeed = 100;
    struct Case {
        std::uint32_t buttons;
        std::uint32_t word;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{2, 2}, Case{3, 1}, Case{4, 0}}) {
        const Played played = Play(OneMotor(m), Repeat(At(32768, 32768, 65535, c.buttons), 3));
        EXPECT_EQ(played.words, (std::vector<std::uint32_t>{0, c.word, 0})) << c.buttons;
    }
}

TEST(ControlLoopRun, EndSwitchesStopOnlyTheDirectionTheyGuard) {
    MotorMapping m = Mapping(1, 0, 0, 1, 0, 0);
    m.endSwitchesOn = 1;
    struct Case {
        std::uint32_t x;
        std::uint32_t inputs;  // E1 guards "L", E2 guards "R"
        std::uint32_t word;
    };
    const Case cases[] = {
        {0, 0x1, 0}, {0, 0x2, 1}, {65535, 0x1, 2}, {65535, 0x2, 0}, {0, 0x0, 1},
    };
    for (const Case& c : cases) {
        const Played played =
            Play(OneMotor(m), Repeat(At(c.x), 4), [&c](std::size_t) { return c.inputs; });
        // The switch is seen in the first tick's answer, so the second tick
        // already sends the result.
        EXPECT_EQ(played.words, (std::vector<std::uint32_t>{0, c.word, c.word, 0}))
            << c.x << " inputs " << c.inputs;
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

TEST(ControlLoopRun, ExtensionModuleM5RightIsBit9AndE9IsBit8) {
    JoySettings settings = FreshSettings(Caps(2, 4, false), true);
    MotorMapping m5 = Mapping(0, 0, 1, 0, 0, 1);
    m5.fixedDirIndex = 2;
    m5.fixedSpeed = 100;
    m5.endSwitchesOn = 1;
    m5.endSwitchLeftIndex = 8;   // E9
    m5.endSwitchRightIndex = 9;  // E10
    settings.mappings[SlotOf(1, 0)] = m5;
    Played played = Play(settings, Repeat(At(32768), 3));
    EXPECT_EQ(played.words, (std::vector<std::uint32_t>{0, 1U << 9, 0}));

    // "R" guarded by E10 (bit 9 of the answer); "L" by E9 (bit 8).
    played = Play(settings, Repeat(At(32768), 3), [](std::size_t) { return 1U << 9; });
    EXPECT_EQ(played.words, (std::vector<std::uint32_t>{0, 0, 0}));
    settings.mappings[SlotOf(1, 0)].fixedDirIndex = 1;
    played = Play(settings, Repeat(At(32768), 3), [](std::size_t) { return 1U << 8; });
    EXPECT_EQ(played.words, (std::vector<std::uint32_t>{0, 0, 0}));
    played = Play(settings, Repeat(At(32768), 3), [](std::size_t) { return 1U << 9; });
    EXPECT_EQ(played.words, (std::vector<std::uint32_t>{0, 1U << 8, 0}));
}

TEST(ControlLoopRun, OffSwitchAndOffButtonEndTheRunAfterTheTickThatSawThem) {
    JoySettings settings = FreshSettings(Caps(2, 4, false));
    // Off switch at E8: the answer of exchange 3 (the fourth tick) has E8.
    settings.offSwitchOn = 1;
    settings.offSwitchInput = 7;
    Played played =
        Play(settings, Repeat(At(0), 20), [](std::size_t n) { return n == 3 ? 0x80U : 0x7FU; });
    EXPECT_EQ(played.words, (std::vector<std::uint32_t>{0, 1, 1, 1, 0}));
    EXPECT_EQ(played.outcome, RunOutcome::kStopped);

    // Off button 4 (list position 3), held in the third read (second tick).
    settings.offSwitchOn = 0;
    settings.offButtonOn = 1;
    settings.offButtonIndex = 3;
    std::vector<platform::JoystickPosition> reads = Repeat(At(0), 20);
    reads[2].buttons = 0x8;
    played = Play(settings, reads);
    EXPECT_EQ(played.words, (std::vector<std::uint32_t>{0, 1, 0}));
    EXPECT_EQ(played.outcome, RunOutcome::kStopped);

    // Unchecked, or at a position without an entry, they never fire.
    settings.offButtonOn = 0;
    played = Play(settings, reads);
    EXPECT_EQ(played.words.size(), 20U);
    settings.offButtonOn = 1;
    settings.offButtonIndex = 40;
    played = Play(settings, reads);
    EXPECT_EQ(played.words.size(), 20U);
}

TEST(ControlLoopRun, ASlotBoundToNothingReadsAsCentred) {
    JoySettings settings = FreshSettings(Caps(2, 4, false));
    settings.axisBindings[0] = kUnbound;
    const Played played = Play(settings, Repeat(At(0, 0), 4));
    EXPECT_EQ(played.words, (std::vector<std::uint32_t>{0, 4, 4, 0}));  // M2 only
}

TEST(ControlLoopRun, AFixedDirectionWithoutSelectionIsOffAndNeverPutsThreeOnTheWire) {
    for (int index = 0; index < 256; ++index) {
        MotorMapping m = Mapping(0, 0, 1, 0, 0, 1);
        m.fixedDirIndex = static_cast<std::uint8_t>(index);
        m.fixedSpeed = 100;
        const Played played = Play(OneMotor(m), Repeat(At(32768), 3));
        EXPECT_EQ(played.words[1], index <= 2 ? static_cast<std::uint32_t>(index) : 0U) << index;
    }
}

TEST(ControlLoopRun, AReplayWithOnlyItsCheckReadSendsJustTheFinalAllOff) {
    const Played played = Play(FreshSettings(Caps(2, 4, false)), {At(0)});
    EXPECT_EQ(played.words, (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(Play(FreshSettings(Caps(2, 4, false)), {}).words, (std::vector<std::uint32_t>{0}));
}

TEST(ControlLoopRun, TheCheckReadFailingSendsNothing) {
    ScriptedLink link;
    LiveSettings live;
    StopFlag stop{0};
    struct Gone : JoystickSource {
        ReadResult Read(platform::JoystickPosition&) override { return ReadResult::kFailed; }
    } gone;
    ControlLoop loop(live, gone, link, stop);
    EXPECT_EQ(loop.Run(), RunOutcome::kJoystickLost);
    EXPECT_TRUE(link.outputs.empty());
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

}  // namespace
}  // namespace kinemo::joy
