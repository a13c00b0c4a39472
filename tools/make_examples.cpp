// kinemo-make-examples FOLDER
//
// Writes the example program files that show the sequencer's features. They
// are made for the simulated box, where every on-tick moves a motor's carriage
// one step, Mk's impulse input E(2k-1) changes level every 8 steps and its end
// switch E(2k) closes at either end of a 2000-step travel (start: 1000).
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sequencer/engine/movement_list.h"
#include "sequencer/engine/program_file.h"

namespace {

using kinemo::engine::Direction;
using kinemo::engine::MovementRecord;
using kinemo::engine::RunSettingsValues;

// A movement in which every motor is off and stops before the first tick, so
// that only the motors an example sets up take part.
MovementRecord Movement(const char* name) {
    kinemo::engine::MovementList list;
    kinemo::engine::ResetMovement(list, 0);
    MovementRecord record = list.records[0];
    kinemo::engine::SetRecordName(record, name);
    record.maxDuration = {1, 1, 1, 1};
    return record;
}

// Speed in hundredths of a percent, 0..10000.
void SetSpeed(std::array<std::uint8_t, 4>& whole, std::array<std::uint8_t, 4>& fine, int motor,
              int hundredths) {
    const int percent = hundredths / 100 > 99 ? 99 : hundredths / 100;
    whole[motor] = static_cast<std::uint8_t>(percent);
    fine[motor] = static_cast<std::uint8_t>(hundredths - percent * 100);
}

// Motor `motor` runs in `direction` at `hundredths`; its maximum duration is
// `duration` ticks (0: no maximum duration).
void Drive(MovementRecord& record, int motor, Direction direction, int hundredths,
           std::int32_t duration) {
    record.direction[motor] = direction;
    SetSpeed(record.speed, record.fineSpeed, motor, hundredths);
    SetSpeed(record.targetSpeed, record.targetFineSpeed, motor, hundredths);
    record.maxDurationOn[motor] = duration != 0 ? 1 : 0;
    record.maxDuration[motor] = duration != 0 ? duration : 125;
}

void Ramp(MovementRecord& record, int motor, int targetHundredths, std::int32_t ticks) {
    SetSpeed(record.targetSpeed, record.targetFineSpeed, motor, targetHundredths);
    record.accelOn[motor] = 1;
    record.accelDuration[motor] = ticks;
}

void ImpulseLimit(MovementRecord& record, int motor, int input, std::int32_t changes) {
    record.maxImpulsesOn[motor] = 1;
    record.impulseInput[motor] = static_cast<std::uint8_t>(input);
    record.maxImpulses[motor] = changes;
}

void EndSwitch(MovementRecord& record, int motor, int input) {
    record.endSwitchOn[motor] = 1;
    record.endSwitchInput[motor] = input;
}

struct Example {
    std::string file;
    RunSettingsValues settings;
    std::vector<MovementRecord> records;
};

std::vector<Example> Examples() {
    std::vector<Example> examples;

    // M1 speeds up from 0 % to 100 % in 500 ticks and runs on at full speed,
    // then comes back, slowing from 100 % to 20 %.
    MovementRecord up = Movement("M1 anfahren");
    Drive(up, 0, kinemo::engine::kDirectionLeft, 0, 800);
    Ramp(up, 0, 10000, 500);
    MovementRecord down = Movement("M1 abbremsen");
    Drive(down, 0, kinemo::engine::kDirectionRight, 10000, 600);
    Ramp(down, 0, 2000, 300);
    examples.push_back({"ramp.kmo", {}, {up, down}});

    // M2 runs right at half speed until its impulse input E3 has changed 20
    // times (160 steps), then left at full speed for 10 changes (80 steps).
    MovementRecord out = Movement("M2 20 Impulse");
    Drive(out, 1, kinemo::engine::kDirectionRight, 5000, 0);
    ImpulseLimit(out, 1, 3, 20);
    MovementRecord back = Movement("M2 10 Impulse");
    Drive(back, 1, kinemo::engine::kDirectionLeft, 10000, 0);
    ImpulseLimit(back, 1, 3, 10);
    examples.push_back({"impulse_limit.kmo", {}, {out, back}});

    // M3 runs left until its end switch E6 closes at the end of the travel
    // (1000 steps), then right at 75 % for 400 ticks.
    MovementRecord home = Movement("M3 bis Endtaster");
    Drive(home, 2, kinemo::engine::kDirectionLeft, 10000, 0);
    EndSwitch(home, 2, 6);
    MovementRecord away = Movement("M3 zurück");
    Drive(away, 2, kinemo::engine::kDirectionRight, 7500, 400);
    examples.push_back({"end_switch.kmo", {}, {home, away}});

    // Endless loop: M4 goes 299 steps left and 199 right in every pass, so it
    // creeps towards the end of its travel; there its end switch E8 closes,
    // which is the off switch, and the run ends by itself.
    MovementRecord left = Movement("M4 links");
    Drive(left, 3, kinemo::engine::kDirectionLeft, 10000, 300);
    MovementRecord right = Movement("M4 rechts");
    Drive(right, 3, kinemo::engine::kDirectionRight, 10000, 200);
    RunSettingsValues loop;
    loop.endlessLoop = 1;
    loop.offSwitchOn = 1;
    loop.offSwitchInput = 7;  // E8
    examples.push_back({"endless_loop.kmo", loop, {left, right}});

    return examples;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: kinemo-make-examples ORDNER\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (const Example& example : Examples()) {
        const std::string path = folder + "/" + example.file;
        const auto status =
            kinemo::engine::WriteProgramFile(path, example.settings, example.records);
        if (status != kinemo::engine::ProgramFileStatus::kOk) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(),
                         kinemo::engine::ProgramFileStatusText(status).c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
