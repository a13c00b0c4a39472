// Shared pieces of the KinemoJoy engine tests: settings for a joystick of
// given counts, replays built in memory, and whole runs against a link that
// records every word and answers as the test says.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "joystick/control_loop.h"
#include "joystick/joy_settings.h"
#include "joystick/joystick_source.h"
#include "platform/joystick.h"

namespace kinemo::joy::test {

using Words = std::vector<std::uint32_t>;
// The box's answer to the next exchange, from the words sent before it.
using Answers = std::function<std::uint32_t(const Words& sent)>;
using Reads = std::vector<platform::JoystickPosition>;

inline platform::JoystickCaps Caps(unsigned axes, unsigned buttons, bool hat,
                                   const std::string& name = "Testknüppel") {
    return platform::JoystickCaps{name, axes, buttons, hat, platform::JoystickCapsMask(axes, hat)};
}

inline platform::JoystickCaps CapsOf(const JoySettings& settings) {
    return Caps(settings.joystickAxes, settings.joystickButtons,
                (settings.joystickCaps & platform::kJoystickHasPov) != 0);
}

// The settings after a first start with this joystick and module choice.
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

inline Replay MakeReplay(const platform::JoystickCaps& caps, const Reads& reads) {
    Replay replay;
    replay.header = ReplayHeader{caps.name, static_cast<int>(caps.axes),
                                 static_cast<int>(caps.buttons), caps.hasHat ? 1 : 0};
    for (const platform::JoystickPosition& position : reads) {
        replay.reads.push_back(ReadOf(position));
    }
    return replay;
}

class ScriptedLink : public InterfaceLink {
  public:
    std::uint32_t Exchange(std::uint32_t output) override {
        const std::uint32_t input = answers ? answers(outputs) : 0;
        outputs.push_back(output);
        return input;
    }
    Words outputs;
    Answers answers;
};

struct Played {
    Words words;
    RunOutcome outcome{};
};

// One whole run of the control loop with `settings` published.
inline Played PlayOn(const JoySettings& settings, JoystickSource& source, Answers answers = {}) {
    ScriptedLink link;
    link.answers = std::move(answers);
    LiveSettings live;
    PublishAll(live, settings);
    StopFlag stop{0};
    const RunOutcome outcome = ControlLoop(live, source, link, stop).Run();
    return {link.outputs, outcome};
}

// `reads` through SDL's virtual joystick: the check read takes the first,
// each tick the next, and the run ends with the replay.
inline Played Play(const JoySettings& settings, const Reads& reads, Answers answers = {}) {
    platform::JoystickSystem system;
    const Replay replay = MakeReplay(CapsOf(settings), reads);
    ReplaySource source(replay);
    EXPECT_TRUE(system.Ok() && source.Opened());
    return PlayOn(settings, source, std::move(answers));
}

}  // namespace kinemo::joy::test
