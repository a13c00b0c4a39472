// Dialog units: the font-relative coordinates in which every window of the
// programs is laid out.
//
// One horizontal unit is a quarter of the dialog font's average character
// width, one vertical unit an eighth of its character height. The average
// width is taken over the 52 letters "A".."Z" and "a".."z", rounded to whole
// pixels, so a layout keeps its proportions on every screen.
#pragma once

#include <QFont>
#include <QRect>

namespace kinemo::platform {

// Pixels of 4 horizontal and of 8 vertical dialog units.
struct DialogUnitBase {
    int x = 0;
    int y = 0;
};

// Measures the base units of `font`.
DialogUnitBase MeasureDialogUnits(const QFont& font);

// Converts one horizontal or vertical length, rounded to the nearest pixel.
int HorizontalUnitsToPixels(const DialogUnitBase& base, int units);
int VerticalUnitsToPixels(const DialogUnitBase& base, int units);

// Converts a rectangle given as x, y, width, height in dialog units.
QRect DialogUnitsToPixels(const DialogUnitBase& base, int x, int y, int width, int height);

}  // namespace kinemo::platform
