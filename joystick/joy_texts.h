// KinemoJoy's own texts: message boxes, captions and status lines, byte for
// byte as the program shows them. The window and kinemo-joy-cli take them
// from here.
#pragma once

#include <string>

#include "platform/joystick.h"

namespace kinemo::joy {

// Caption of message boxes that name no other caption.
inline constexpr char kProgramTitle[] = "KinemoJoy";
inline constexpr char kMainDialogTitle[] =
    "KinemoJoy - Die Echtzeit-Joystickgesteuerte Version von Kinemo";

// Status text 1001.
inline constexpr char kStatusReady[] = "Bereit";
inline constexpr char kStatusRun[] = "Run";

// The check read at the start of a run failed (Abort, Retry, Ignore; Abort
// ends the process with exit code 2).
inline constexpr char kJoystickLostText[] = "Verbindung zum Joystick verloren";
// A run whose interface line went away.
inline constexpr char kLinkLostText[] = "Verbindung zum Interface verloren";

// Connect dialog: no joystick (Retry, Cancel; Cancel ends with exit code 1).
inline constexpr char kNoJoystickText[] =
    "Kein Joystick gefunden.\nÜberprüfen Sie die Verbindung und die Joysticktreiber.";
inline constexpr char kNoJoystickCaption[] = "Verbindung fehlgeschlagen";

// Connect dialog status texts and the failure box.
inline constexpr char kNotConnectedText[] = "Nicht Verbunden";
inline constexpr char kConnectingText[] = "Baue Verbindung zum Interface auf...\n";
inline constexpr char kConnectedText[] = "Verbindung zum Interface erfolgreich\n";
inline constexpr char kNoConnectionText[] = "Keine Verbindung zum Interface!\n";
inline constexpr char kConnectFailedBoxText[] = "Verbindung zum Interface fehlgeschlagen!\n";

// Settings file of another version or damaged (OK, Cancel; Cancel ends with
// exit code 2).
inline constexpr char kForeignFileText[] =
    "Die Einstellungsdatei \"settings.kmj\" wurde von einer anderen Version von KinemoJoy "
    "erzeugt oder ist beschädigt. Alle Einstellungen werden zurückgesetzt und die Datei wird "
    "beim Beenden von KinemoJoy überschrieben.";
inline constexpr char kForeignFileCaption[] = "Achtung";

// No usable settings: the joystick found (OK).
inline constexpr char kJoystickFoundCaption[] = "Verbindung erfolgreich";
std::string JoystickFoundText(const platform::JoystickCaps& caps);

// Another joystick than the stored one (OK).
inline constexpr char kOtherJoystickCaption[] = "Anderer Joystick gefunden!";
std::string OtherJoystickText(const platform::JoystickCaps& caps);

// "Alle Einstellungen zurücksetzen": the question (Yes, No, Cancel) and, for
// No, the restart note (OK, Cancel); OK replaces the file by kDeletedFileText.
inline constexpr char kResetQuestionText[] =
    "Alle Einstellungen gehen verloren!\n\nWollen Sie die aktuellen Interface- und "
    "Joystickeinstellungen beibehalten?";
inline constexpr char kResetQuestionCaption[] = "Achtung";
inline constexpr char kRestartText[] =
    "Das Programm muss zum Ändern der Interfaceeinstellungen neu gestartet werden und wird "
    "beendet. Starten Sie es daraufhin erneut.";
inline constexpr char kRestartCaption[] = "Hinweis";
inline constexpr char kDeletedFileText[] = "DELETED - Bitte starten Sie KinemoJoy neu.";

// The three assertion messages, each followed by kAssertContactLine.
inline constexpr char kAxisAssertText[] =
    "Assertion failed in Funktion OnSelchangeJoyAxisCo()\n(\"Assert\" = Es ist vollkommen "
    "unmöglich dass dieser Fehler auftritt)";
inline constexpr char kJoyAxisChAssertText[] =
    "Assertion failed in Funktion OnJoyAxisCh()\n(\"Assert\" = Es ist vollkommen unmöglich "
    "dass dieser Fehler auftritt)";
inline constexpr char kAxisRadioAssertText[] =
    "Assertion failed in Funktion OnAxisRadio()\n(\"Assert\" = Es ist vollkommen unmöglich "
    "dass dieser Fehler auftritt)";
inline constexpr char kAssertContactLine[] =
    "\n\nBitte melden Sie diesen Fehler mit einer kurzen Beschreibung an den Hersteller.";

// Module list 1230 and the panel titles ("Motor %u").
inline constexpr char kMainModuleText[] = "Hauptmodul";
inline constexpr char kExtensionModuleText[] = "Extensionmodul";
std::string MotorPanelTitle(int module, int panel);

}  // namespace kinemo::joy
