// KinemoJoy's about box ("Info über KinemoJoy"): program icon, version, a
// short description, the note on the real-time joystick version, the makers'
// lines and OK.
#pragma once

#include "platform/dialog_window.h"

class QWidget;

namespace kinemo::joy::ui {

// Control ids of the about box's texts and icon, so tests find them.
inline constexpr int kAboutIconId = 1201;
inline constexpr int kAboutVersionId = 1202;
inline constexpr int kAboutDescriptionId = 1203;
inline constexpr int kAboutNoteId = 1204;
inline constexpr int kAboutAuthorId = 1205;
inline constexpr int kAboutContactId = 1206;

inline constexpr char kAboutTitle[] = "Info über KinemoJoy";
inline constexpr char kAboutVersion[] = "KinemoJoy Version 1.4";
inline constexpr char kAboutDescription[] =
    "Programm zur Ansteuerung des Baukasten- Interfaces mit variablen Motorgeschwindigkeiten";
inline constexpr char kAboutNote[] = "Echtzeit-\nJoystick-\nVersion!";

// The about box; it only closes with OK (id 1), Escape or its close box.
class AboutDialog : public platform::DialogWindow {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

// Shows the about box modally over `parent` and returns when it is closed.
void ShowAboutDialog(QWidget* parent);

}  // namespace kinemo::joy::ui
