// Control ids of KinemoJoy's main window and connect dialog; every control's
// objectName is its id. The texts the windows show are the engine's
// (joystick/joy_texts.h), shared with kinemo-joy-cli.
#pragma once

namespace kinemo::joy::ui {

// --- Main window (dialog resource 103). ---
inline constexpr int kMainDialogResource = 103;
inline constexpr int kIdEnd = 1;  // "Ende"
inline constexpr int kIdStatus = 1001;
inline constexpr int kIdCredit = 1002;
inline constexpr int kIdStart = 1003;          // "LOS!"
inline constexpr int kIdEmergencyStop = 1004;  // "NOT-AUS", the default button
inline constexpr int kIdOffButton = 1005;      // "Aus-Button:"
inline constexpr int kIdOffButtonIndex = 1006;
inline constexpr int kIdOffSwitch = 1007;  // "Aus-Taster:"
inline constexpr int kIdOffSwitchInput = 1008;
inline constexpr int kIdStartButton = 1009;  // "Los-Button:", hidden
inline constexpr int kIdStartButtonIndex = 1010;
inline constexpr int kIdReset = 1224;   // "Alle Einstellungen zurücksetzen"
inline constexpr int kIdModule = 1230;  // "Einstellungen für:"
inline constexpr int kIdApply = 1231;   // "Übernehmen"
// Recording a run into a replay file: the check box beside "LOS!".
inline constexpr int kIdRecord = 1232;  // "Aufnehmen"

// The about box's entry of the window's context menu.
inline constexpr int kCommandAbout = 16;
inline constexpr char kAboutMenuText[] = "Inf&o über KinemoJoy...";

// Controls of motor panel m (0 to 3): the id of the first panel plus m.
inline constexpr int kIdPanelGroup = 1110;
inline constexpr int kIdDirAxis = 1070;          // radio "Achse:", starts the direction group
inline constexpr int kIdDirButtons = 1078;       // radio "Buttons (L/R):"
inline constexpr int kIdDirFixed = 1150;         // radio "Fest:"
inline constexpr int kIdEndSwitches = 1118;      // check "Endtaster (L/R):"
inline constexpr int kIdSpeedAxis = 1142;        // radio "Achse:", starts the speed group
inline constexpr int kIdSpeedThrottle = 1086;    // radio "Schubregler:"
inline constexpr int kIdSpeedFixed = 1094;       // radio "Fest:"
inline constexpr int kIdAxisList = 1030;         // direction axis list
inline constexpr int kIdButtonLeftList = 1038;   // "L"
inline constexpr int kIdButtonRightList = 1054;  // "R"
inline constexpr int kIdFixedDirList = 1126;     // "A", "L", "R"
inline constexpr int kIdEndLeftList = 1014;      // "L"
inline constexpr int kIdEndRightList = 1022;     // "R"
inline constexpr int kIdSpeedAxisList = 1046;
inline constexpr int kIdThrottleList = 1062;
inline constexpr int kIdSpeedSlider = 1102;
inline constexpr int kIdSpeedLabel = 1134;

// --- Connect dialog (dialog resource 129). ---
inline constexpr int kConnectDialogResource = 129;
inline constexpr int kIdConnect = 1;  // "Verbinden"
inline constexpr int kIdCancel = 2;   // "Abbrechen"
inline constexpr int kIdPortList = 1226;
inline constexpr int kIdExtension = 1009;  // "Extension- Modul"
inline constexpr int kIdConnectStatus = 1229;

// Exit codes of the program.
inline constexpr int kExitNoJoystick = 1;
inline constexpr int kExitJoystickLost = 2;
inline constexpr int kExitBadSettings = 2;

}  // namespace kinemo::joy::ui
