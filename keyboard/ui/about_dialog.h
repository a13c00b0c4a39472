// KinemoSpeech's about box ("Info über KinemoSpeech"): program icon, version,
// a short description, the "Echtzeit-Sprach/Tastatur-steuerungs-Version!"
// block, authorship and contact lines, and OK.
#pragma once

#include "platform/dialog_about.h"

namespace kinemo::keyboard::ui {

// Control ids of the texts after the description, so tests find them.
using platform::kAboutIconId;
inline constexpr int kAboutAuthorId = 1204;
inline constexpr int kAboutContactId = 1205;
inline constexpr int kAboutEditionId = 1206;

platform::AboutBoxContent AboutContent();

class AboutDialog : public platform::AboutBox {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace kinemo::keyboard::ui
