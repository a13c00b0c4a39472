// Control ids, texts and picture numbers of the sequencer's main dialog.
#pragma once

namespace kinemo::ui {

inline constexpr int kIdEnd = 1;  // "Ende", the dialog's OK command
inline constexpr int kIdStatus = 1001;
inline constexpr int kIdMovementList = 1003;
inline constexpr int kIdMovementName = 1004;
inline constexpr int kIdAdd = 1005;
inline constexpr int kIdDelete = 1006;
inline constexpr int kIdCredit = 1007;
inline constexpr int kIdCut = 1008;
inline constexpr int kIdCopy = 1009;
inline constexpr int kIdPaste = 1010;
inline constexpr int kIdSave = 1011;
inline constexpr int kIdLoad = 1012;
inline constexpr int kIdNewList = 1013;
inline constexpr int kIdTestMovement = 1017;
inline constexpr int kIdRunList = 1018;
inline constexpr int kIdEmergencyStop = 1020;
inline constexpr int kIdEndlessLoop = 1111;
inline constexpr int kIdOffSwitch = 1112;
inline constexpr int kIdOffSwitchInput = 1113;

// Command number of the "Inf&o über Kinemo..." menu entry.
inline constexpr int kCommandAbout = 16;

// Button pictures: enabled and disabled states of the switchable buttons.
inline constexpr int kBitmapPaste = 131;
inline constexpr int kBitmapCopy = 132;
inline constexpr int kBitmapCut = 133;
inline constexpr int kBitmapDelete = 134;
inline constexpr int kBitmapCutDisabled = 136;
inline constexpr int kBitmapDeleteDisabled = 137;
inline constexpr int kBitmapPasteDisabled = 138;
inline constexpr int kBitmapAdd = 139;
inline constexpr int kBitmapAddDisabled = 140;
inline constexpr int kBitmapNewList = 141;
inline constexpr int kBitmapSave = 142;
inline constexpr int kBitmapLoad = 143;

inline constexpr char kProgramIconPath[] = ":/kinemo/icon128.png";

// Status line texts (UTF-8).
inline constexpr char kStatusReady[] = "Bereit";
inline constexpr char kStatusComputing[] = "Berechnen...";
inline constexpr char kStatusRunning[] = "Ausführen...";
inline constexpr char kStatusFinished[] = "Fertig";
inline constexpr char kStatusStopped[] = "Abgebrochen";
inline constexpr char kStatusListFull[] = "Max. Anzahl erreicht";

// The copy buffer is empty while its name is this.
inline constexpr char kEmptyCopyBufferName[] = "__Leer__";

}  // namespace kinemo::ui
