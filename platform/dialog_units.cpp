#include "platform/dialog_units.h"

#include <QFontMetrics>

namespace kinemo::platform {
namespace {

// a * b / c rounded to the nearest integer, as the unit conversion needs it.
int ScaleRounded(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    const long long result = product >= 0 ? (product + half) / c : (product - half) / c;
    return static_cast<int>(result);
}

}  // namespace

DialogUnitBase MeasureDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // Average over 52 letters, rounded to whole pixels.
    DialogUnitBase base;
    base.x = (letters / 26 + 1) / 2;
    base.y = metrics.height();
    if (base.x < 1) {
        base.x = 1;
    }
    if (base.y < 1) {
        base.y = 1;
    }
    return base;
}

int HorizontalUnitsToPixels(const DialogUnitBase& base, int units) {
    return ScaleRounded(units, base.x, 4);
}

int VerticalUnitsToPixels(const DialogUnitBase& base, int units) {
    return ScaleRounded(units, base.y, 8);
}

QRect DialogUnitsToPixels(const DialogUnitBase& base, int x, int y, int width, int height) {
    return QRect(HorizontalUnitsToPixels(base, x), VerticalUnitsToPixels(base, y),
                 HorizontalUnitsToPixels(base, width), VerticalUnitsToPixels(base, height));
}

}  // namespace kinemo::platform
