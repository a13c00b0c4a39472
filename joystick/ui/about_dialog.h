// KinemoJoy's about box ("Info über KinemoJoy"): program icon, version, a
// short description, the note on the real-time joystick version, the makers'
// lines and OK.
#pragma once

#include "platform/dialog_about.h"

namespace kinemo::joy::ui {

// Control ids of the texts after the description, so tests find them.
inline constexpr int kAboutNoteId = 1204;
inline constexpr int kAboutAuthorId = 1205;
inline constexpr int kAboutContactId = 1206;

inline constexpr char kAboutTitle[] = "Info über KinemoJoy";
inline constexpr char kAboutVersion[] = "KinemoJoy Version 1.4";
inline constexpr char kAboutNote[] = "Echtzeit-\nJoystick-\nVersion!";

platform::AboutBoxContent AboutContent();

class AboutDialog : public platform::AboutBox {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace kinemo::joy::ui
