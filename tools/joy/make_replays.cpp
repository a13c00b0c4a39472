// kinemo-joy-make-examples FOLDER
//
// Writes the example replay files of examples/ with the engine's own replay
// format code. Every value is integer arithmetic, so the files come out the
// same on every machine.
#include <cstdio>
#include <string>
#include <vector>

#include "joystick/joystick_source.h"
#include "platform/joystick.h"

namespace {

using kinemo::platform::JoystickCaps;
using kinemo::platform::JoystickPosition;

struct Example {
    std::string file;
    std::string comment;  // second line, without "# "
    JoystickCaps caps;
    std::vector<JoystickPosition> reads;
};

// `count` reads moving one axis linearly from `from` to `to` (both included
// at the ends), the rest of the position as `base`.
void Ramp(std::vector<JoystickPosition>& reads, JoystickPosition base, int axis, int from, int to,
          int count) {
    for (int i = 0; i < count; ++i) {
        const int value = from + (to - from) * i / (count - 1);
        base.axes[axis] = static_cast<std::uint32_t>(value);
        reads.push_back(base);
    }
}

void Hold(std::vector<JoystickPosition>& reads, const JoystickPosition& position, int count) {
    reads.insert(reads.end(), count, position);
}

Example Sweep() {
    Example example{"joy_sweep.replay",
                    "X nach links, dann nach rechts; dann Y vor und zurück (M1 und M2)",
                    {"Beispiel-Joystick", 2, 4, false, 0},
                    {}};
    auto& r = example.reads;
    const JoystickPosition centre;
    Hold(r, centre, 32);
    Ramp(r, centre, 0, 32768, 0, 320);
    JoystickPosition left = centre;
    left.axes[0] = 0;
    Hold(r, left, 320);
    Ramp(r, centre, 0, 0, 65535, 640);
    JoystickPosition right = centre;
    right.axes[0] = 65535;
    Hold(r, right, 320);
    Ramp(r, centre, 0, 65535, 32768, 320);
    Ramp(r, centre, 1, 32768, 65535, 320);
    Ramp(r, centre, 1, 65535, 0, 640);
    Ramp(r, centre, 1, 0, 32768, 320);
    Hold(r, centre, 32);
    return example;
}

Example HatAndButtons() {
    Example example{"joy_hat_buttons.replay",
                    "X und Y im Kreis (Dreieckswellen), der Hut einmal rundherum, Buttons 1 und 2, "
                    "am Ende Button 8",
                    {"Beispiel-Joystick mit Hut", 4, 8, true, 0},
                    {}};
    auto& r = example.reads;
    // Triangle waves a quarter period apart: X and Y trace a diamond.
    constexpr int kPeriod = 640;
    const auto triangle = [](int t) {
        const int phase = t % kPeriod;
        const int half = kPeriod / 2;
        const int up = phase < half ? phase : kPeriod - phase;  // 0..half
        return static_cast<std::uint32_t>(up * 65535 / half);
    };
    for (int t = 0; t < 2 * kPeriod; ++t) {
        JoystickPosition p;
        p.axes[0] = triangle(t);
        p.axes[1] = triangle(t + kPeriod / 4);
        p.axes[2] = static_cast<std::uint32_t>(t * 65535 / (2 * kPeriod - 1));  // Z as throttle
        // The hat once round, 80 reads per direction, then centred.
        p.pov = t < 640 ? static_cast<std::uint32_t>((t / 80) * 4500) : 65535;
        if (t >= 700 && t < 900) {
            p.buttons = 1;  // button 1
        } else if (t >= 900 && t < 1100) {
            p.buttons = 2;  // button 2
        }
        r.push_back(p);
    }
    JoystickPosition last;
    last.buttons = 1U << 7;  // button 8: the default off button, when checked
    Hold(r, last, 10);
    Hold(r, JoystickPosition{}, 22);
    return example;
}

bool Write(const std::string& folder, const Example& example) {
    const std::string path = folder + "/" + example.file;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "%s: Datei kann nicht angelegt werden\n", path.c_str());
        return false;
    }
    JoystickCaps caps = example.caps;
    caps.mask = kinemo::platform::JoystickCapsMask(caps.axes, caps.hasHat);
    const std::string header = kinemo::joy::ReplayHeaderLine(caps);
    std::fputs(header.c_str(), file);
    std::fprintf(file, "# %s\n", example.comment.c_str());
    for (const JoystickPosition& position : example.reads) {
        char line[kinemo::joy::kReplayLineMax];
        const std::size_t length = kinemo::joy::FormatReplayLine(position, line);
        std::fwrite(line, 1, length, file);
    }
    const bool ok = std::ferror(file) == 0;
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: kinemo-joy-make-examples ORDNER\n");
        return 2;
    }
    for (const Example& example : {Sweep(), HatAndButtons()}) {
        if (!Write(argv[1], example)) {
            return 1;
        }
    }
    return 0;
}
