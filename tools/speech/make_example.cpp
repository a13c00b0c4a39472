// kinemo-speech-make-example FILE
//
// Writes the example settings file of KinemoSpeech with the engine's own code:
//   l / r / a      M1 runs left / right / stops
//   L / R / A      the same for M2
//   ü              M3 right and M4 left (a key of byte value 0xFC)
//   1 .. 9, 0      M1 and M2 at 10 % .. 90 %, 100 %
//   x              Notaus
// All motors start off at 100 %; no end switch, no off switch.
#include <cstdio>

#include "keyboard/settings_file.h"

namespace {

namespace kb = kinemo::keyboard;

void AddKey(kb::KeyTable& keys, std::uint8_t character, kb::KeyAction action,
            std::initializer_list<std::pair<int, int>> motors) {
    const int entry = keys.Append(character);
    kb::ChooseAction(keys, entry, action);
    for (const auto& [motor, value] : motors) {
        keys.SetIncluded(entry, motor, true);
        keys.SetValue(entry, motor, static_cast<std::uint8_t>(value));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: kinemo-speech-make-example DATEI\n");
        return 2;
    }
    kb::KeyboardSettings settings;
    kb::KeyTable& keys = settings.keys;
    const struct {
        std::uint8_t character;
        int motor;
        int state;
    } states[] = {{'l', 0, kb::kMotorLeft}, {'r', 0, kb::kMotorRight}, {'a', 0, kb::kMotorOff},
                  {'L', 1, kb::kMotorLeft}, {'R', 1, kb::kMotorRight}, {'A', 1, kb::kMotorOff}};
    for (const auto& key : states) {
        AddKey(keys, key.character, kb::kSetStates, {{key.motor, key.state}});
    }
    AddKey(keys, 0xFC, kb::kSetStates, {{2, kb::kMotorRight}, {3, kb::kMotorLeft}});
    for (int digit = 1; digit <= 10; ++digit) {
        const auto character = static_cast<std::uint8_t>('0' + digit % 10);
        AddKey(keys, character, kb::kSetSpeeds, {{0, 10 * digit}, {1, 10 * digit}});
    }
    AddKey(keys, 'x', kb::kEmergencyStop, {});
    const kb::SaveResult saved = kb::SaveSettingsFile(argv[1], settings);
    if (!saved.ok) {
        std::fprintf(stderr, "%s\n", kb::SaveFailedMessage(saved).c_str());
        return 1;
    }
    return 0;
}
