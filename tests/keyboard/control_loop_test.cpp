// The control loop tick by tick against an in-memory box whose answers and
// key presses are scripted per tick; InterfacePort, and the control thread
// through it, against a pseudo-terminal box.
#include "keyboard/control_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "keyboard/interface_port.h"
#include "keyboard/key_handler.h"
#include "keyboard/key_table.h"
#include "keyboard/run_controller.h"
#include "platform/serial_port.h"
#include "tests/keyboard/box_wire.h"
#include "tests/platform/scoped_port_override.h"

namespace kinemo::keyboard {
namespace {

using namespace testing;
using kinemo::testing::ScopedPortOverride;

// A box that logs every output word, answers by tick and lets a test act
// "during" an exchange, as keys arrive while the control thread waits for the
// line; it stops the run after `maxTicks` exchanges.
struct Fixture : BoxLink {
    std::uint8_t Exchange(std::uint8_t output) override {
        const int tick = static_cast<int>(outputs.size());
        outputs.push_back(output);
        for (const auto& [at, c] : keys) {
            if (at == tick)
                HandleKey(table, run, c);
        }
        if (during)
            during(tick);
        if (tick + 1 >= maxTicks)
            run.RequestStop(kStopButton);
        return answer ? answer(tick) : 0;
    }
    // Start states and speeds, one "L50", "R100" or "-" per motor from M1.
    void Starts(const std::string& motors) {
        std::istringstream in(motors);
        std::string m;
        for (int motor = 0; in >> m; ++motor) {
            settings.motors[motor].startState.store(m[0] == 'L'   ? kMotorLeft
                                                    : m[0] == 'R' ? kMotorRight
                                                                  : kMotorOff);
            settings.motors[motor].startSpeed.store(
                static_cast<std::uint8_t>(m.size() > 1 ? std::stoi(m.substr(1)) : 100));
        }
    }
    // A key entry for `character` on one motor, typed during tick `tick`.
    void KeyAt(int tick, std::uint8_t character, KeyAction action, int motor = 0, int value = 0) {
        AddKey(table, character, action, {{motor, value}});
        keys.emplace_back(tick, character);
    }
    // Motor `motor`'s field in every output word: '-' off, 'L' or 'R'.
    std::string Column(int motor) const {
        std::string column;
        for (const std::uint8_t word : outputs)
            column += "-LR?"[(word >> (2 * motor)) & 3U];
        return column;
    }

    LiveSettings settings;
    RunVariables run;
    KeyTable table;
    std::vector<std::uint8_t> outputs;
    std::vector<std::pair<int, std::uint8_t>> keys;  // typed during the exchange of a tick
    std::function<std::uint8_t(int tick)> answer;
    std::function<void(int tick)> during;
    int maxTicks = 40;
};

// The off switch on `input`, the box answering `answer` at tick 6 only.
std::function<void(Fixture&)> OffSwitch(bool on, std::uint8_t input, std::uint8_t answer) {
    return [=](Fixture& f) {
        f.settings.offSwitch.store(on ? 1 : 0);
        f.settings.offSwitchInput.store(input);
        f.answer = [=](int tick) { return tick == 6 ? answer : std::uint8_t{0}; };
    };
}

// Each run ends with the final all-off exchange after its last tick. The
// first tick runs the pulse generator with ratio 0, so patterns start from
// accumulator -1 at the second tick; a key restarts the pattern of the
// motors it changes from accumulator 0.
TEST(ControlLoop, TicksOnTheWire) {
    struct Case {
        const char* name;
        const char* starts;  // see Fixture::Starts
        int maxTicks;
        StopReason reason;
        std::vector<std::string> columns;  // M1, M2, ...; the motors after them stay off
        std::function<void(Fixture&)> setup = nullptr;
    };
    const std::string running20 = "-" + std::string(19, 'L') + "-";
    // clang-format off
    const Case cases[] = {
        {"all at 100 %", "R R R R", 5, kStopButton, {"-RRRR-", "-RRRR-", "-RRRR-", "-RRRR-"}},
        {"30 % three or four apart", "L30", 40, kStopButton,
         {"---L--L--L---L--L--L---L--L--L---L--L--L-"}},
        {"state key changes only its motor", "L50 L25", 16, kStopButton,
         {"--L-L-L-L-R-R-R--", "----L---L---L----"},
         [](Fixture& f) { f.KeyAt(9, 'a', kSetStates, 0, kMotorRight); }},
        {"speed key", "R50", 15, kStopButton, {"--R-R-R--R---R--"},
         [](Fixture& f) { f.KeyAt(6, 'g', kSetSpeeds, 0, 25); }},
        {"Notaus key ends after the tick in progress", "- - L", 40, kStopKey,
         {"------", "------", "-LLLL-"}, [](Fixture& f) { f.KeyAt(4, 'n', kEmergencyStop); }},
        // E1 (left list) from tick 4 on, E4 (right list) from tick 12 on.
        {"end switch of the direction the motor runs", "L", 16, kStopButton, {"-LLLL----RRRR----"},
         [](Fixture& f) {
             f.KeyAt(8, 'r', kSetStates, 0, kMotorRight);
             f.settings.motors[0].endSwitches.store(1);
             f.settings.motors[0].rightInput.store(3);
             f.answer = [](int t) { return std::uint8_t((t >= 4 ? 1 : 0) | (t >= 12 ? 8 : 0)); };
         }},
        {"end switches switched on during a run, E8 active", "- - - R", 9, kStopButton,
         {"----------", "----------", "----------", "-RRRRR----"},
         [](Fixture& f) {
             f.answer = [](int) { return std::uint8_t{0x80}; };
             f.during = [&f](int tick) { f.settings.motors[3].endSwitches.store(tick >= 5); };
         }},
        // The off switch ends the run in the first tick its input is active.
        {"off switch on E8", "L", 20, kOffSwitch, {"-LLLLLL-"}, OffSwitch(true, 7, 0x80)},
        {"off switch on E1", "L", 20, kOffSwitch, {"-LLLLLL-"}, OffSwitch(true, 0, 0x01)},
        {"every other input", "L", 20, kStopButton, {running20}, OffSwitch(true, 7, 0x7F)},
        {"off switch off", "L", 20, kStopButton, {running20}, OffSwitch(false, 7, 0x80)},
    };
    // clang-format on
    for (const Case& c : cases) {
        Fixture f;
        f.Starts(c.starts), f.maxTicks = c.maxTicks;
        if (c.setup)
            c.setup(f);
        PrepareRun(f.run, f.settings);
        EXPECT_EQ(ControlLoop(f, f.settings, f.run).Run(), c.reason) << c.name;
        // Every exchange but the final all-off is a tick.
        EXPECT_EQ(f.run.ticks.load(), f.outputs.size() - 1) << c.name;
        std::vector<std::string> columns = c.columns, shown;
        columns.resize(kMotorCount, std::string(f.outputs.size(), '-'));
        for (int m = 0; m < kMotorCount; ++m)
            shown.push_back(f.Column(m));
        EXPECT_EQ(shown, columns) << c.name;
    }
    Fixture early;  // a stop before the first tick still ends with all-off
    PrepareRun(early.run, early.settings);
    early.run.RequestStop(kStopButton);
    EXPECT_EQ(ControlLoop(early, early.settings, early.run).Run(), kStopButton);
    EXPECT_EQ(early.outputs, std::vector<std::uint8_t>{0});
}

TEST(ControlLoop, WhichEntriesActOnAKey) {
    const struct {
        const char* name;
        std::uint8_t typed;
        int matched;
        MotorState m1, m2;
    } cases[] = {
        {"exact byte", 'a', 1, kMotorRight, kMotorOff},
        {"other case", 'A', 0, kMotorOff, kMotorOff},
        {"byte 0xFC", 0xFC, 1, kMotorOff, kMotorLeft},
        {"both entries in order", 'x', 2, kMotorLeft, kMotorRight},
        {"placeholder", '-', 1, kMotorOff, kMotorOff},
        {"no entry", 'q', 0, kMotorOff, kMotorOff},
    };
    KeyTable table;
    AddKey(table, 'a', kSetStates, {{0, kMotorRight}});
    AddKey(table, 0xFC, kSetStates, {{1, kMotorLeft}});
    AddKey(table, 'x', kSetStates, {{0, kMotorRight}, {1, kMotorRight}});
    AddKey(table, 'x', kSetStates, {{0, kMotorLeft}});
    for (const auto& c : cases) {
        RunVariables run;
        PrepareRun(run, LiveSettings());
        const int matched = HandleKey(table, run, c.typed);
        EXPECT_EQ((std::tuple{matched, run.state[0].load(), run.state[1].load(), run.Stopped()}),
                  (std::tuple{c.matched, c.m1, c.m2, kNotStopped}))
            << c.name;
    }
}

// Each run starts from the start settings, gets its own number and ends with
// all-off; ending the controller ends a run without reporting it.
TEST(RunController, RunsNeedAConnectionStartFromTheStartSettingsAndEndWithAllOff) {
    PtyPeer box;
    ScopedPortOverride com1("COM1", box.DevicePath());
    box.StartBox(2, {0x00});
    InterfacePort port;
    PortLink link(port);
    LiveSettings settings;
    KeyTable table;
    AddKey(table, 's', kEmergencyStop);
    platform::ManualResetEvent ended;
    std::atomic<std::uint32_t> endedRun{0};
    std::atomic<std::uint8_t> endedReason{kNotStopped};
    {
        RunController controller(link, settings, [&](std::uint32_t number, StopReason why) {
            endedRun.store(number);
            endedReason.store(why);
            ended.Set();
        });
        EXPECT_EQ(controller.Start(), StartResult::kNotConnected);
        EXPECT_TRUE(!controller.Running() && box.Requests().empty());
        ASSERT_TRUE(port.connect(1));
        for (std::uint32_t run = 1; run <= 3; ++run) {
            ended.Reset();
            settings.motors[1].startState.store(static_cast<std::uint8_t>(run % 3));
            ASSERT_EQ(controller.Start(), StartResult::kStarted);
            EXPECT_EQ(controller.Variables().state[1].load(), run % 3);
            controller.HandleKey(table, 's');
            ASSERT_TRUE(ended.WaitFor(kGenerousMs));
            EXPECT_EQ(std::pair(endedRun.load(), endedReason.load()),
                      std::pair(run, std::uint8_t{kStopKey}));
            EXPECT_TRUE(controller.WaitUntilIdle(kGenerousMs));
            EXPECT_EQ(box.Requests().back(), (Bytes{0xC1, 0x00}));
            controller.OnRunEnded();
        }
        ended.Reset();
        settings.motors[3].startState.store(kMotorRight);
        ASSERT_EQ(controller.Start(), StartResult::kStarted);
        const std::size_t before = box.Requests().size();
        ASSERT_TRUE(box.WaitForRequests(before + 21, kGenerousMs));
    }
    const std::vector<Bytes> wire = box.Requests();
    EXPECT_EQ(std::tuple(ended.IsSet(), std::vector(wire.end() - 2, wire.end())),
              std::tuple(false, std::vector<Bytes>{{0xC1, 0x80}, {0xC1, 0x00}}));
}

bool DeviceIsFree(const std::string& path) {
    platform::SerialPort probe;
    return probe.Open(path.c_str());
}

// Unmapped, silent, late (after the time-out) and unknown ports fail and
// leave the port closed (busy and unsuitable devices are the serial layer's);
// the box connects with one all-off request and keeps the device; then the
// port survives lost answers and a box that is gone.
TEST(InterfacePort, ConnectsOnlyAnAnsweringMappedPortAndSurvivesLostAnswers) {
    PtyPeer silent, late, box;
    late.SetAnswerDelayMs(1500);
    late.StartBox(2, {0x00});
    ScopedPortOverride com1("COM1", "/dev/kinemo-no-such-port"), com2("COM2", silent.DevicePath()),
        com3("COM3", box.DevicePath()), com4("COM4", late.DevicePath());
    InterfacePort port;
    EXPECT_EQ((std::tuple{port.exchange(0x55), port.readFailed(), port.output()}),
              std::tuple(0, true, 0x55));
    EXPECT_EQ(box.Drain(), Bytes{});
    for (const int number : {1, 2, 4, 0, 5, -1, 12})
        EXPECT_FALSE(port.connect(number)) << number;
    EXPECT_TRUE(port.readFailed() && !port.isOpen() && DeviceIsFree(silent.DevicePath()));
    EXPECT_EQ(std::pair(silent.Read(2), late.Requests().size()), std::pair(Bytes{0xC1, 0x00}, 1UL));
    box.StartBox(2, {0x00});
    EXPECT_TRUE(port.connect(3));  // which clears the failed read
    EXPECT_EQ(std::tuple(port.readFailed(), port.isOpen(), port.output()),
              std::tuple(false, true, 0));
    box.StopBox();
    EXPECT_EQ(box.Requests(), std::vector<Bytes>{Bytes({0xC1, 0x00})});
    EXPECT_EQ(box.Drain(), Bytes{});
    EXPECT_FALSE(DeviceIsFree(box.DevicePath()));

    // Exchanges send the word and return the answer.
    box.StartBox(2, {0x00});
    std::size_t sent = 1;
    for (const std::uint8_t word : Bytes{0x01, 0x08, 0xAA, 0x55, 0x00}) {
        box.SetAnswer({static_cast<std::uint8_t>(~word)});
        EXPECT_EQ(port.exchange(word), static_cast<std::uint8_t>(~word));
        ASSERT_TRUE(box.WaitForRequests(++sent));
        EXPECT_EQ(std::pair(box.Requests().back(), port.output()),
                  std::pair(Bytes{0xC1, word}, word));
    }
    EXPECT_FALSE(port.readFailed());
    // A lost answer reads as no input and sets the flag until the next
    // connection test; so does a box that is gone (without a hang).
    box.SkipAnswers(1);
    EXPECT_EQ((std::tuple{port.exchange(0x01), port.readFailed()}), (std::tuple(0, true)));
    box.SetAnswer({0x3C});
    EXPECT_EQ((std::tuple{port.exchange(0x02), port.readFailed()}), (std::tuple(0x3C, true)));
    box.CloseMaster();
    EXPECT_EQ((std::tuple{port.exchange(0x55), port.readFailed()}), (std::tuple(0, true)));
}

// The box side is played by hand here, with read time-outs long enough that
// no answer is ever late: each step waits for the bytes it expects.
TEST(InterfacePortThreads, ConnectionWaitsForARunningExchangeAndExchangesNeverWait) {
    PtyPeer box;
    ScopedPortOverride com1("COM1", box.DevicePath());
    platform::SerialTimeouts patient;
    patient.readTotalConstantMs = 20000;
    InterfacePort port(patient);
    box.StartBox(2, {0x00});
    ASSERT_TRUE(port.connect(1));
    box.StopBox();

    // An exchange is in flight; a new connection test must not cut into it.
    std::atomic<int> tickInputs{-1};
    std::thread tick([&] { tickInputs.store(port.exchange(0x01)); });
    ASSERT_EQ(box.Read(2), (Bytes{0xC1, 0x01}));
    std::atomic<int> connected{-1};
    std::thread reconnect([&] { connected.store(port.connect(1) ? 1 : 0); });
    EXPECT_EQ(box.Drain(), Bytes{});  // the test waits for the exchange's answer
    ASSERT_TRUE(box.Write({0x42}));
    tick.join();
    EXPECT_EQ(tickInputs.load(), 0x42);

    // While the connection test waits for its answer, a tick returns at once.
    ASSERT_EQ(box.Read(2), (Bytes{0xC1, 0x00}));
    EXPECT_EQ((std::tuple{port.isOpen(), port.exchange(0x55), port.readFailed()}),
              std::tuple(false, 0, true));
    ASSERT_TRUE(box.Write({0x00}));
    reconnect.join();
    // The refused tick neither fails the test nor sends anything.
    EXPECT_EQ((std::tuple{connected.load(), port.isOpen(), box.Drain()}),
              std::tuple(1, true, Bytes{}));
}

}  // namespace
}  // namespace kinemo::keyboard
