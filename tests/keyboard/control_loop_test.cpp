// The control loop tick by tick against an in-memory box whose answers and
// key presses are scripted per tick.
#include "keyboard/control_loop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "keyboard/key_handler.h"
#include "keyboard/key_table.h"

namespace kinemo::keyboard {
namespace {

// A box that logs every output word, answers by tick and lets a test act
// "during" an exchange, the way keys arrive while the control thread waits
// for the line. It stops the run after `maxTicks` exchanges in any case.
class ScriptedBox : public BoxLink {
  public:
    std::uint8_t Exchange(std::uint8_t output) override {
        const int tick = static_cast<int>(outputs.size());
        outputs.push_back(output);
        if (during) {
            during(tick);
        }
        if (run != nullptr && tick + 1 >= maxTicks) {
            run->RequestStop(kStopButton);
        }
        return answer ? answer(tick) : 0;
    }

    std::vector<std::uint8_t> outputs;
    std::function<std::uint8_t(int tick)> answer;
    std::function<void(int tick)> during;
    RunVariables* run = nullptr;
    int maxTicks = 40;
};

struct Fixture {
    Fixture() { box.run = &run; }

    StopReason Run() {
        PrepareRun(run, settings);
        ControlLoop loop(box, settings, run);
        return loop.Run();
    }
    void Start(int motor, MotorState state, int speed) {
        settings.motors[motor].startState.store(state);
        settings.motors[motor].startSpeed.store(static_cast<std::uint8_t>(speed));
    }
    // A key entry acting on the motors given as (motor, value) pairs.
    int AddKey(std::uint8_t character, KeyAction action,
               std::vector<std::pair<int, int>> motors = {}) {
        const int entry = table.Append(character);
        table.SetAction(entry, action);
        for (const auto& [motor, value] : motors) {
            table.SetIncluded(entry, motor, true);
            table.SetValue(entry, motor, static_cast<std::uint8_t>(value));
        }
        return entry;
    }
    // Types `character` during the exchange of tick `tick`.
    void TypeAt(int tick, std::uint8_t character) {
        keys.push_back({tick, character});
        box.during = [this](int now) {
            for (const auto& [at, c] : keys) {
                if (at == now) {
                    HandleKey(table, run, c);
                }
            }
        };
    }
    // '1' where motor `motor`'s field holds `state` in the output, else '0'.
    std::string Pattern(int motor, MotorState state, std::size_t from = 0) const {
        std::string bits;
        for (std::size_t t = from; t < box.outputs.size(); ++t) {
            bits += ((box.outputs[t] >> (2 * motor)) & 3U) == state ? '1' : '0';
        }
        return bits;
    }

    LiveSettings settings;
    RunVariables run;
    KeyTable table;
    ScriptedBox box;
    std::vector<std::pair<int, std::uint8_t>> keys;
};

TEST(ControlLoop, FirstAndLastExchangeSendAllOff) {
    Fixture f;
    for (int motor = 0; motor < kMotorCount; ++motor) {
        f.Start(motor, kMotorRight, 100);
    }
    f.box.maxTicks = 5;
    EXPECT_EQ(f.Run(), kStopButton);
    // Five ticks and the final exchange; 100 % keeps every motor on in between.
    EXPECT_EQ(f.box.outputs, (std::vector<std::uint8_t>{0x00, 0xAA, 0xAA, 0xAA, 0xAA, 0x00}));
    EXPECT_EQ(f.run.ticks.load(), 5U);

    // A stop before the first tick still ends with all-off.
    Fixture early;
    PrepareRun(early.run, early.settings);
    early.run.RequestStop(kStopButton);
    EXPECT_EQ(ControlLoop(early.box, early.settings, early.run).Run(), kStopButton);
    EXPECT_EQ(early.box.outputs, std::vector<std::uint8_t>{0});
}

TEST(ControlLoop, StartPatternsFollowThePulseGeneratorFromTheSecondTick) {
    // The first tick runs the generator with ratio 0, so patterns start from
    // accumulator -1 at the second tick.
    struct Case {
        int speed;
        const char* pattern;  // from tick 0, M1 running "L"
    };
    const Case cases[] = {
        {30, "0001001001000100100100010010010001001001"},  // three or four apart
        {50, "00101010101010"},
        {25, "00001000100010"},
        {75, "01110111011101"},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.Start(0, kMotorLeft, c.speed);
        f.box.maxTicks = static_cast<int>(std::strlen(c.pattern));
        f.Run();
        EXPECT_EQ(f.Pattern(0, kMotorLeft).substr(0, f.box.maxTicks), c.pattern) << c.speed;
    }
}

TEST(ControlLoop, KeyChangesTheNextComputedWordAndRestartsOnlyItsMotorsPattern) {
    Fixture f;
    f.Start(0, kMotorLeft, 50);
    f.Start(1, kMotorLeft, 25);
    f.AddKey('a', kSetStates, {{0, kMotorRight}});
    f.TypeAt(9, 'a');
    f.box.maxTicks = 16;
    f.Run();
    // M1 left until the key, then right at 50 % from accumulator 0: on, off, ...
    EXPECT_EQ(f.Pattern(0, kMotorLeft), "00101010100000000");
    EXPECT_EQ(f.Pattern(0, kMotorRight), "00000000001010100");
    // M2 keeps its state and its pattern.
    EXPECT_EQ(f.Pattern(1, kMotorLeft), "00001000100010000");
}

TEST(ControlLoop, SpeedKeyRestartsThePatternAtTheNewSpeed) {
    Fixture f;
    f.Start(0, kMotorRight, 50);
    f.AddKey('g', kSetSpeeds, {{0, 25}});
    f.TypeAt(6, 'g');
    f.box.maxTicks = 15;
    f.Run();
    // 25 % from accumulator 0 gives 0010 0010.
    EXPECT_EQ(f.Pattern(0, kMotorRight),
              "0010101"
              "00100010"
              "0");
}

TEST(ControlLoop, WhichEntriesActOnAKey) {
    struct Case {
        const char* name;
        std::uint8_t typed;
        int matched;
        MotorState m1;
        MotorState m2;
    };
    const Case cases[] = {
        {"exact byte", 'a', 1, kMotorRight, kMotorOff},
        {"other case", 'A', 0, kMotorOff, kMotorOff},
        {"byte 0xFC", 0xFC, 1, kMotorOff, kMotorLeft},
        {"both entries in order", 'x', 2, kMotorLeft, kMotorRight},
        {"placeholder", '-', 1, kMotorOff, kMotorOff},
        {"no entry", 'q', 0, kMotorOff, kMotorOff},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.AddKey('a', kSetStates, {{0, kMotorRight}});
        f.AddKey(0xFC, kSetStates, {{1, kMotorLeft}});
        f.AddKey('x', kSetStates, {{0, kMotorRight}, {1, kMotorRight}});
        f.AddKey('x', kSetStates, {{0, kMotorLeft}});
        PrepareRun(f.run, f.settings);
        EXPECT_EQ(HandleKey(f.table, f.run, c.typed), c.matched) << c.name;
        EXPECT_EQ(f.run.state[0].load(), c.m1) << c.name;
        EXPECT_EQ(f.run.state[1].load(), c.m2) << c.name;
        EXPECT_EQ(f.run.Stopped(), kNotStopped) << c.name;
    }
}

TEST(ControlLoop, NotausKeyEndsTheRunAfterTheTickInProgress) {
    Fixture f;
    f.Start(2, kMotorLeft, 100);
    f.AddKey('n', kEmergencyStop);
    f.TypeAt(4, 'n');
    EXPECT_EQ(f.Run(), kStopKey);
    ASSERT_EQ(f.box.outputs.size(), 6U);
    EXPECT_EQ(f.box.outputs.back(), 0);
    EXPECT_EQ(f.box.outputs[4], 0x10);
}

TEST(ControlLoop, EndSwitchUsesTheListOfTheDirectionTheMotorRuns) {
    Fixture f;
    f.Start(0, kMotorLeft, 100);
    f.settings.motors[0].endSwitches.store(1);
    f.settings.motors[0].leftInput.store(0);   // E1
    f.settings.motors[0].rightInput.store(3);  // E4
    f.AddKey('r', kSetStates, {{0, kMotorRight}});
    f.TypeAt(8, 'r');
    // E1 active from tick 4 on, E4 from tick 12 on.
    f.box.answer = [](int tick) -> std::uint8_t {
        return static_cast<std::uint8_t>((tick >= 4 ? 0x01 : 0) | (tick >= 12 ? 0x08 : 0));
    };
    f.box.maxTicks = 16;
    f.Run();
    EXPECT_EQ(f.Pattern(0, kMotorLeft), "01111000000000000");
    EXPECT_EQ(f.Pattern(0, kMotorRight), "00000000011110000");
}

TEST(ControlLoop, EndSwitchSettingsChangedDuringARunApplyFromTheNextTick) {
    Fixture f;
    f.Start(3, kMotorRight, 100);
    f.box.answer = [](int) -> std::uint8_t { return 0x80; };  // E8
    f.box.during = [&](int tick) {
        if (tick == 5) {
            f.settings.motors[3].endSwitches.store(1);
        }
    };
    f.box.maxTicks = 9;
    f.Run();
    EXPECT_EQ(f.Pattern(3, kMotorRight), "0111110000");
}

TEST(ControlLoop, OffSwitchEndsTheRunInTheFirstTickItsInputIsActive) {
    struct Case {
        bool on;
        std::uint8_t input;
        std::uint8_t answer;
        StopReason reason;
        std::size_t exchanges;
    };
    const Case cases[] = {
        {true, 7, 0x80, kOffSwitch, 8},     // E8: ticks 0..6 and the final exchange
        {true, 7, 0x7F, kStopButton, 21},   // every input but E8
        {false, 7, 0x80, kStopButton, 21},  // switch off
        {true, 0, 0x01, kOffSwitch, 8},     // E1
    };
    for (const Case& c : cases) {
        Fixture f;
        f.Start(0, kMotorLeft, 100);
        f.settings.offSwitch.store(c.on ? 1 : 0);
        f.settings.offSwitchInput.store(c.input);
        f.box.answer = [&](int tick) -> std::uint8_t { return tick == 6 ? c.answer : 0; };
        f.box.maxTicks = 20;
        EXPECT_EQ(f.Run(), c.reason);
        EXPECT_EQ(f.box.outputs.size(), c.exchanges);
        EXPECT_EQ(f.box.outputs.back(), 0);
    }
}

}  // namespace
}  // namespace kinemo::keyboard
