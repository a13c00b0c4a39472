// KinemoJoy's settings: what the joystick offered when it was set up, the
// interface port and module, and for each of the eight motors a MotorMapping
// saying where its direction and speed come from.
//
// Everything here is plain data and pure functions, shared by the window and
// kinemo-joy-cli, so both derive the same lists and the same bindings from the
// same settings.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/joystick.h"

namespace kinemo::joy {

inline constexpr int kSlotCount = 8;
inline constexpr int kPanelCount = 4;  // motor panels per module

// Slot of a motor in the MappingTable: motor index within its module (0..3)
// times 2 plus the module (0 interface, 1 extension module). Slot 0 is M1,
// slot 1 M5, slot 2 M2, ...
constexpr int SlotOf(int module, int motorInModule) {
    return motorInModule * 2 + module;
}
// Motor number k (0 for M1, 4 for M5) of a slot.
constexpr int MotorOfSlot(int slot) {
    return (slot % 2) * 4 + slot / 2;
}

// Sixteen one-byte fields in the order of the settings file. A flag is 1
// when its radio button or check box is checked; an index is a position in a
// drop-down list, counted from 0 (0xFF: no selection).
struct MotorMapping {
    std::uint8_t dirFromAxis = 0;
    std::uint8_t dirFromButtons = 0;
    std::uint8_t dirFixed = 0;
    std::uint8_t endSwitchesOn = 0;
    std::uint8_t speedFromAxis = 0;
    std::uint8_t speedFixed = 0;
    std::uint8_t speedFromThrottle = 0;
    std::uint8_t axisIndex = 0;
    std::uint8_t buttonLeftIndex = 0;
    std::uint8_t buttonRightIndex = 0;
    std::uint8_t fixedDirIndex = 0;  // 0 "A", 1 "L", 2 "R"
    std::uint8_t endSwitchLeftIndex = 0;
    std::uint8_t endSwitchRightIndex = 0;
    std::uint8_t throttleIndex = 0;
    std::uint8_t speedAxisIndex = 0;  // always equal to axisIndex
    std::uint8_t fixedSpeed = 0;      // percent, 0..100

    friend bool operator==(const MotorMapping&, const MotorMapping&) = default;
};
static_assert(sizeof(MotorMapping) == 16);

inline constexpr std::uint8_t kNoSelection = 0xFF;

// Which joystick value drives a slot's direction and axis speed.
enum class AxisSource : std::uint8_t {
    kX = 0,
    kY,
    kZ,
    kR,
    kU,
    kV,
    kPov,
    kNone,  // bound to nothing: reads as centred (no direction, speed 0)
};
enum class HatMode : std::uint8_t { kAxis = 0, kPov1 = 1, kPov2 = 2 };

struct AxisBinding {
    AxisSource source = AxisSource::kX;
    HatMode hatMode = HatMode::kAxis;
    friend bool operator==(const AxisBinding&, const AxisBinding&) = default;
};
// The throttle is always one of the six axes, or nothing.
struct ThrottleBinding {
    AxisSource source = AxisSource::kX;
    friend bool operator==(const ThrottleBinding&, const ThrottleBinding&) = default;
};

struct JoySettings {
    std::uint8_t joystickButtons = 0;
    std::uint8_t joystickAxes = 0;
    std::uint32_t joystickCaps = 0;  // platform::kJoystickHasZ ...
    std::uint8_t moduleShown = 0;    // 0 "Hauptmodul", 1 "Extensionmodul"
    std::int32_t portNumber = 0;
    std::uint8_t extensionModule = 0;
    std::uint8_t lptPort = 0;
    std::uint32_t motorCount = 4;
    std::array<MotorMapping, kSlotCount> mappings{};  // the MappingTable
    // The off settings ("Aus-Taster:" 1007/1008, "Aus-Button:" 1005/1006): a
    // check state and a list position (-1: none).
    std::int32_t offSwitchOn = 0;
    std::int32_t offButtonOn = 0;
    std::int32_t offSwitchInput = -1;
    std::int32_t offButtonIndex = -1;
    // The hidden "Los-Button:" check box 1009 and list 1010; never saved.
    std::int32_t startButtonOn = 0;
    std::int32_t startButtonIndex = -1;
    // Derived from the lists, never stored.
    std::array<AxisBinding, kSlotCount> axisBindings{};
    std::array<ThrottleBinding, kSlotCount> throttleBindings{};
};

// The texts of MainDialog's lists, as the joystick's capabilities and the
// motor count give them.
struct ListContents {
    std::vector<std::string> axes;        // 1030+m, 1046+m: X, Y, [Z R U V], [POV1 POV2]
    std::vector<std::string> throttle;    // 1062+m: the same without POV1, POV2
    std::vector<std::string> buttons;     // 1038+m, 1054+m, 1006, 1010: "%2u" from 1
    std::vector<std::string> inputs;      // 1014+m, 1022+m: "E%u" from 1 to 2 x motorCount
    std::vector<std::string> offSwitch;   // 1008: "E%1u", same range
    std::vector<std::string> directions;  // 1126+m: "A", "L", "R"
    std::vector<std::string> modules;     // 1230: "Hauptmodul" [, "Extensionmodul"]
};

ListContents MakeListContents(const JoySettings& settings);

// The binding an axis-list text gives: "X" .. "V" an axis, "POV1" and "POV2"
// the hat; nullopt for any other text (the window then shows the
// assertion message kAxisAssertText and the binding stays as it was).
std::optional<AxisBinding> AxisBindingFromText(std::string_view text);
// The binding a "Schubregler:" text gives ("X" .. "V"); nullopt otherwise.
std::optional<ThrottleBinding> ThrottleBindingFromText(std::string_view text);

// DeriveAxisBinding for panel m of the module shown, from list position
// `index` of the direction axis list (the window then selects the same
// position in the speed axis list). Only the binding changes: the mapping's
// list positions reach the MappingTable through StoreMappings, as every other
// panel field does. A position with no entry binds the slot to nothing.
// Returns false when the entry's text is not recognised; the binding then
// stays as it was (the window shows kAxisAssertText + kAssertContactLine).
bool DeriveAxisBinding(JoySettings& settings, const ListContents& lists, int panel, int index);
// DeriveThrottleBinding for panel m: like the above for the "Schubregler:" list.
void DeriveThrottleBinding(JoySettings& settings, const ListContents& lists, int panel, int index);

// Binds every slot from its mapping's axisIndex and throttleIndex (as
// LoadSettings does after reading the file). Positions with no entry bind
// to nothing.
void DeriveAllBindings(JoySettings& settings, const ListContents& lists);

// ResetSettings: every default except the joystick, the port and the module
// choice (which need motorCount already set). Leaves moduleShown 0.
void ResetSettings(JoySettings& settings);

// Port name for the driver: "COM%1d" when lptPort is 0, "LPT%1d" below 4 and
// the plain "LPT" otherwise (at most 7 characters).
std::string PortName(std::int32_t portNumber, std::uint8_t lptPort);
// Port from a position in the connect dialog's port list (0..3 COM1..COM4,
// 4..6 LPT1..LPT3, 7 "LPT").
void PortFromListPosition(int position, std::int32_t& portNumber, std::uint8_t& lptPort);
// The port list of the connect dialog: "COM1" .. "COM4", "LPT1" .. "LPT3", "LPT".
std::vector<std::string> PortListTexts();
// Parses a port name as the list offers it; false for any other text.
bool ParsePortName(std::string_view name, std::int32_t& portNumber, std::uint8_t& lptPort);
// Sets extensionModule and motorCount (4 or 8).
void SetExtensionModule(JoySettings& settings, bool on);

// Takes the counts and mask of the joystick found now.
void TakeJoystickCaps(JoySettings& settings, const platform::JoystickCaps& caps);

}  // namespace kinemo::joy
