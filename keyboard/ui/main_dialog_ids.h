// Control ids and texts of KinemoSpeech's main dialog, and the program's
// title. Ids of the per-motor controls are the first motor's; motor j (0 for
// M1) adds j.
#pragma once

#include "keyboard/status_texts.h"

namespace kinemo::keyboard::ui {

// The program's title: window captions and the caption of its message boxes.
inline constexpr const char* kProgramTitle = kProgramName;
inline constexpr char kMainDialogTitle[] = "KinemoSpeech - Baukasten-Echtzeit-Sprachsteuerung";
inline constexpr int kMainDialogResource = 103;

// Run area.
inline constexpr int kIdEnd = 1;  // "&Ende", the dialog's OK command
inline constexpr int kIdStatus = 1001;
inline constexpr int kIdCredit = 1002;
inline constexpr int kIdStart = 1003;          // "&LOS!"
inline constexpr int kIdEmergencyStop = 1004;  // "NOT-&AUS", the default button
inline constexpr int kIdOffSwitch = 1007;
inline constexpr int kIdOffSwitchInput = 1008;
inline constexpr int kIdReset = 1224;
inline constexpr int kIdInputField = 1236;

// Motor panels (start settings).
inline constexpr int kIdEndSwitchInputLeft = 1014;   // + j
inline constexpr int kIdEndSwitchInputRight = 1022;  // + j
inline constexpr int kIdStartSpeed = 1102;           // + j
inline constexpr int kIdMotorGroup = 1110;           // + j
inline constexpr int kIdEndSwitches = 1118;          // + j
inline constexpr int kIdStartState = 1126;           // + j
inline constexpr int kIdStartSpeedLabel = 1134;      // + j

// Key editor.
inline constexpr int kIdKeyList = 1227;
inline constexpr int kIdAction = 1228;
inline constexpr int kIdInclude = 1229;          // + j
inline constexpr int kIdValueState = 1130;       // + j
inline constexpr int kIdValueSpeed = 1106;       // + j
inline constexpr int kIdValueSpeedLabel = 1138;  // + j
inline constexpr int kIdAddKey = 1233;
inline constexpr int kIdRemoveKey = 1234;
inline constexpr int kIdNewKey = 1235;

// Speech input: the "Spracheingabe" box, the word list's field and its "..."
// button, and the line that shows the word heard last.
inline constexpr int kIdVoiceInput = 1240;
inline constexpr int kIdWordList = 1241;
inline constexpr int kIdChooseWordList = 1242;
inline constexpr int kIdHeardWord = 1243;
// What the heard-word line shows: the word after this (as kinemo-speech-cli
// prints it), or one of the two states before any word.
inline constexpr char kHeardPrefix[] = "Gehört: ";
inline constexpr char kVoiceLoadingText[] = "Lädt die Wortliste...";
inline constexpr char kVoiceListeningText[] = "Hört zu...";

// Command number of the "Inf&o über KinemoSpeech..." menu entry.
inline constexpr int kCommandAbout = 16;

}  // namespace kinemo::keyboard::ui
