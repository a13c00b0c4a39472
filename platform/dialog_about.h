// The about box every program shows: its icon at the top left, its texts and
// OK as the default button. It closes only with OK, Escape or its close box.
#pragma once

#include <QString>
#include <span>

#include "platform/dialog_window.h"

namespace kinemo::platform {

// Dialog resource number of an about box (its objectName).
inline constexpr int kAboutBoxResource = 100;

// One text of an about box, at its rectangle in dialog units.
struct AboutText {
    int id;
    QString text;
    int x, y, w, h;
    Qt::Alignment align = Qt::AlignLeft;
    bool wordWrap = false;
};

// Fills `dialog` as an about box: the picture `iconPath` as window icon and as
// control `iconId` at the top left, `texts` in their order, then OK (id 1).
void BuildAboutBox(DialogWindow& dialog, const QString& iconPath, int iconId,
                   std::span<const AboutText> texts);

}  // namespace kinemo::platform
