// KinemoSpeech's about box ("Info über KinemoSpeech"): program icon, version,
// a short description, the "Echtzeit-Sprach/Tastatur-steuerungs-Version!"
// block, authorship and contact lines, and OK.
#pragma once

#include "platform/dialog_window.h"

class QWidget;

namespace kinemo::keyboard::ui {

// Control ids of the about box's texts and icon, so tests find them.
inline constexpr int kAboutIconId = 1201;
inline constexpr int kAboutVersionId = 1202;
inline constexpr int kAboutDescriptionId = 1203;
inline constexpr int kAboutAuthorId = 1204;
inline constexpr int kAboutContactId = 1205;
inline constexpr int kAboutEditionId = 1206;

// The about box; it only closes with OK (id 1), Escape or its close box.
class AboutDialog : public platform::DialogWindow {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

// Shows the about box modally over `parent` and returns when it is closed.
void ShowAboutDialog(QWidget* parent);

}  // namespace kinemo::keyboard::ui
