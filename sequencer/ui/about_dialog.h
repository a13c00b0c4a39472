// The about box of the sequencer ("Info über Kinemo"): program icon, version,
// a short description, authorship, contact and web address, and OK.
#pragma once

#include "platform/dialog_about.h"

namespace kinemo::ui {

// Control ids of the texts after the description, so tests find them.
inline constexpr int kAboutAuthorId = 1204;
inline constexpr int kAboutContactId = 1205;
inline constexpr int kAboutWebId = 1206;

// The box, 235 x 95 dialog units.
platform::AboutBoxContent AboutContent();

class AboutDialog : public platform::AboutBox {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace kinemo::ui
