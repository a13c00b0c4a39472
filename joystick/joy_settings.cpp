#include "joystick/joy_settings.h"

#include <algorithm>
#include <cstdio>

#include "joystick/joy_texts.h"

namespace kinemo::joy {
namespace {

constexpr const char* kAxisNames[platform::kJoystickMaxAxes] = {"X", "Y", "Z", "R", "U", "V"};

std::string Format(const char* format, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool HasEntry(const std::vector<std::string>& list, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < list.size();
}

// Byte that a list position occupies in a mapping (no selection: 0xFF).
std::uint8_t PositionByte(int index) {
    return index >= 0 && index < kNoSelection ? static_cast<std::uint8_t>(index) : kNoSelection;
}

}  // namespace

ListContents MakeListContents(const JoySettings& settings) {
    ListContents lists;
    lists.axes = {"X", "Y"};
    for (int axis = 2; axis < platform::kJoystickMaxAxes; ++axis) {
        // Z, R, U, V: bits 0..3 of the capability mask.
        if ((settings.joystickCaps >> (axis - 2)) & 1U) {
            lists.axes.emplace_back(kAxisNames[axis]);
        }
    }
    lists.throttle = lists.axes;
    if (settings.joystickCaps & platform::kJoystickHasPov) {
        lists.axes.emplace_back("POV1");
        lists.axes.emplace_back("POV2");
    }
    for (unsigned b = 1; b <= settings.joystickButtons; ++b) {
        lists.buttons.push_back(Format("%2u", b));
    }
    const unsigned inputs = settings.motorCount == 8 ? 16 : 8;
    for (unsigned i = 1; i <= inputs; ++i) {
        lists.inputs.push_back(Format("E%u", i));
        lists.offSwitch.push_back(Format("E%1u", i));
    }
    lists.directions = {"A", "L", "R"};
    lists.modules = {kMainModuleText};
    if (settings.extensionModule != 0) {
        lists.modules.emplace_back(kExtensionModuleText);
    }
    return lists;
}

std::optional<AxisBinding> AxisBindingFromText(std::string_view text) {
    for (int axis = 0; axis < platform::kJoystickMaxAxes; ++axis) {
        if (text == kAxisNames[axis]) {
            return AxisBinding{static_cast<AxisSource>(axis), HatMode::kAxis};
        }
    }
    if (text == "POV1") {
        return AxisBinding{AxisSource::kPov, HatMode::kPov1};
    }
    if (text == "POV2") {
        return AxisBinding{AxisSource::kPov, HatMode::kPov2};
    }
    return std::nullopt;
}

std::optional<ThrottleBinding> ThrottleBindingFromText(std::string_view text) {
    for (int axis = 0; axis < platform::kJoystickMaxAxes; ++axis) {
        if (text == kAxisNames[axis]) {
            return ThrottleBinding{static_cast<AxisSource>(axis)};
        }
    }
    return std::nullopt;
}

bool DeriveAxisBinding(JoySettings& settings, const ListContents& lists, int panel, int index) {
    const int slot = SlotOf(settings.moduleShown, panel);
    if (!HasEntry(lists.axes, index)) {
        settings.axisBindings[slot] = AxisBinding{AxisSource::kNone, HatMode::kAxis};
        return true;
    }
    const std::optional<AxisBinding> binding = AxisBindingFromText(lists.axes[index]);
    if (!binding) {
        return false;
    }
    settings.axisBindings[slot] = *binding;
    return true;
}

void DeriveThrottleBinding(JoySettings& settings, const ListContents& lists, int panel, int index) {
    const int slot = SlotOf(settings.moduleShown, panel);
    if (!HasEntry(lists.throttle, index)) {
        settings.throttleBindings[slot] = ThrottleBinding{AxisSource::kNone};
        return;
    }
    if (const auto binding = ThrottleBindingFromText(lists.throttle[index])) {
        settings.throttleBindings[slot] = *binding;
    }
}

void DeriveAllBindings(JoySettings& settings, const ListContents& lists) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const MotorMapping& mapping = settings.mappings[slot];
        const int axis = mapping.axisIndex;
        AxisBinding binding{AxisSource::kNone, HatMode::kAxis};
        if (HasEntry(lists.axes, axis)) {
            binding = AxisBindingFromText(lists.axes[axis]).value_or(binding);
        }
        settings.axisBindings[slot] = binding;
        ThrottleBinding throttle{AxisSource::kNone};
        if (HasEntry(lists.throttle, mapping.throttleIndex)) {
            throttle =
                ThrottleBindingFromText(lists.throttle[mapping.throttleIndex]).value_or(throttle);
        }
        settings.throttleBindings[slot] = throttle;
    }
}

void ResetSettings(JoySettings& settings) {
    const ListContents lists = MakeListContents(settings);
    const std::uint8_t lastAxis = PositionByte(static_cast<int>(settings.joystickAxes) - 1);
    for (int module = 0; module < 2; ++module) {
        for (int m = 0; m < kPanelCount; ++m) {
            const int slot = SlotOf(module, m);
            const bool oddMotor = (m % 2) != 0;  // M2, M4, M6, M8
            MotorMapping mapping;
            mapping.dirFixed = 1;
            mapping.speedFixed = 1;
            mapping.axisIndex = oddMotor ? 1 : 0;
            mapping.speedAxisIndex = mapping.axisIndex;
            mapping.buttonLeftIndex = 0;
            mapping.buttonRightIndex = 1;
            mapping.fixedDirIndex = 0;
            mapping.throttleIndex = lastAxis;
            mapping.fixedSpeed = 100;
            const int firstInput = module == 1 && settings.motorCount == 8 ? 2 * m + 8 : 2 * m;
            mapping.endSwitchLeftIndex = static_cast<std::uint8_t>(firstInput);
            mapping.endSwitchRightIndex = static_cast<std::uint8_t>(firstInput + 1);
            if (module == 0 && m < 2) {
                // M1 follows X and M2 follows Y, direction and speed.
                mapping.dirFromAxis = 1;
                mapping.dirFixed = 0;
                mapping.speedFromAxis = 1;
                mapping.speedFixed = 0;
            }
            settings.mappings[slot] = mapping;
            settings.axisBindings[slot] =
                AxisBinding{oddMotor ? AxisSource::kY : AxisSource::kX, HatMode::kAxis};
            ThrottleBinding throttle{AxisSource::kNone};
            if (HasEntry(lists.throttle, mapping.throttleIndex)) {
                throttle = ThrottleBindingFromText(lists.throttle[mapping.throttleIndex])
                               .value_or(throttle);
            }
            settings.throttleBindings[slot] = throttle;
        }
    }
    settings.offSwitchOn = 0;
    settings.offSwitchInput = settings.motorCount == 8 ? 15 : 7;
    settings.offButtonOn = 0;
    settings.offButtonIndex = static_cast<int>(settings.joystickButtons) - 1;
    settings.startButtonOn = 0;
    settings.startButtonIndex = static_cast<int>(settings.joystickButtons) - 2;
    // A list with fewer entries shows no selection.
    if (settings.startButtonIndex < 0) {
        settings.startButtonIndex = -1;
    }
    settings.moduleShown = 0;
}

std::string PortName(std::int32_t portNumber, std::uint8_t lptPort) {
    // Formatted in full, then cut to the 7 characters the driver's buffer holds.
    char name[16];
    if (lptPort == 0) {
        std::snprintf(name, sizeof name, "COM%1d", static_cast<int>(portNumber));
    } else if (portNumber < 4) {
        std::snprintf(name, sizeof name, "LPT%1d", static_cast<int>(portNumber));
    } else {
        std::snprintf(name, sizeof name, "LPT");
    }
    return std::string(name).substr(0, 7);
}

void PortFromListPosition(int position, std::int32_t& portNumber, std::uint8_t& lptPort) {
    if (position >= 0 && position <= 3) {
        lptPort = 0;
        portNumber = position + 1;
    } else {
        lptPort = 1;
        portNumber = position - 3;
    }
}

std::vector<std::string> PortListTexts() {
    std::vector<std::string> list;
    for (int position = 0; position < 8; ++position) {
        std::int32_t number = 0;
        std::uint8_t lpt = 0;
        PortFromListPosition(position, number, lpt);
        list.push_back(PortName(number, lpt));
    }
    return list;
}

bool ParsePortName(std::string_view name, std::int32_t& portNumber, std::uint8_t& lptPort) {
    const std::vector<std::string> list = PortListTexts();
    const auto found = std::find(list.begin(), list.end(), name);
    if (found == list.end()) {
        return false;
    }
    PortFromListPosition(static_cast<int>(found - list.begin()), portNumber, lptPort);
    return true;
}

void SetExtensionModule(JoySettings& settings, bool on) {
    settings.extensionModule = on ? 1 : 0;
    settings.motorCount = on ? 8 : 4;
}

void TakeJoystickCaps(JoySettings& settings, const platform::JoystickCaps& caps) {
    settings.joystickButtons = static_cast<std::uint8_t>(caps.buttons);
    settings.joystickAxes = static_cast<std::uint8_t>(caps.axes);
    settings.joystickCaps = caps.mask;
}

}  // namespace kinemo::joy
