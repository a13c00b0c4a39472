// The about box of the sequencer ("Info über Kinemo"): program icon, version,
// a short description, authorship, contact and web address, and OK.
#pragma once

#include "platform/dialog_window.h"

class QWidget;

namespace kinemo::ui {

// Control ids of the about box's texts and icon, so tests find them.
inline constexpr int kAboutIconId = 1201;
inline constexpr int kAboutVersionId = 1202;
inline constexpr int kAboutDescriptionId = 1203;
inline constexpr int kAboutAuthorId = 1204;
inline constexpr int kAboutContactId = 1205;
inline constexpr int kAboutWebId = 1206;

// The about box, 235 x 95 dialog units; it only closes with OK (id 1), Escape
// or its close box.
class AboutDialog : public platform::DialogWindow {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

// Shows the about box modally over `parent` and returns when it is closed.
void ShowAboutDialog(QWidget* parent);

}  // namespace kinemo::ui
