// Shared pieces of the KinemoJoy engine tests: settings for a joystick of
// given counts, a replay built in memory, an interface link that records
// every word and answers with scripted inputs, and one whole run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "joystick/control_loop.h"
#include "joystick/joy_settings.h"
#include "joystick/joystick_source.h"
#include "platform/joystick.h"

namespace kinemo::joy::test {

inline platform::JoystickCaps Caps(unsigned axes, unsigned buttons, bool hat,
                                   const std::string& name = "Testknüppel") {
    return platform::JoystickCaps{name, axes, buttons, hat, platform::JoystickCapsMask(axes, hat)};
}

// The settings as the program has them after a first start with this
// joystick and module choice.
inline JoySettings FreshSettings(const platform::JoystickCaps& caps, bool extension = false) {
    JoySettings settings;
    TakeJoystickCaps(settings, caps);
    SetExtensionModule(settings, extension);
    ResetSettings(settings);
    return settings;
}

inline platform::JoystickPosition At(std::uint32_t x, std::uint32_t y = 32768,
                                     std::uint32_t pov = 65535, std::uint32_t buttons = 0) {
    platform::JoystickPosition position;
    position.axes[0] = x;
    position.axes[1] = y;
    position.pov = pov;
    position.buttons = buttons;
    return position;
}

inline Replay MakeReplay(const platform::JoystickCaps& caps,
                         const std::vector<platform::JoystickPosition>& reads) {
    Replay replay;
    replay.header = ReplayHeader{caps.name, static_cast<int>(caps.axes),
                                 static_cast<int>(caps.buttons), caps.hasHat ? 1 : 0};
    for (const platform::JoystickPosition& position : reads) {
        replay.reads.push_back(ReadOf(position));
    }
    return replay;
}

// Records every output word; the answer of exchange n (0 first) comes from
// `inputs` (none: 0).
class ScriptedLink : public InterfaceLink {
  public:
    std::uint32_t Exchange(std::uint32_t output) override {
        const std::uint32_t input = inputs ? inputs(outputs.size()) : 0;
        outputs.push_back(output);
        return input;
    }
    std::vector<std::uint32_t> outputs;
    std::function<std::uint32_t(std::size_t)> inputs;
};

// A joystick that can no longer be read.
struct GoneSource : JoystickSource {
    ReadResult Read(platform::JoystickPosition&) override { return ReadResult::kFailed; }
};

// One whole run of the control loop with `settings` published.
inline RunOutcome RunOnce(const JoySettings& settings, JoystickSource& source,
                          InterfaceLink& link) {
    LiveSettings live;
    PublishAll(live, settings);
    StopFlag stop{0};
    ControlLoop loop(live, source, link, stop);
    return loop.Run();
}

}  // namespace kinemo::joy::test
