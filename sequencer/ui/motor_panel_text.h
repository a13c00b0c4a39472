// Text rules of the motor panels: the integer reading of edit texts, the
// number filter of the duration edits and the speed label format.
#pragma once

#include <QString>
#include <cstdint>

namespace kinemo::ui {

// Reads an edit text as a movement value: at most its first 9 characters,
// leading blanks and one sign allowed, reading stops at the first non-digit;
// no digits give 0. Nine characters always fit in 32 bits.
std::int32_t ParseDialogInteger(const QString& text);

// Shows a stored value as its unsigned 32-bit number ("%u"): -5 shows as
// 4294967291.
QString FormatDialogUnsigned(std::int32_t value);

// The speed of a slider row in percent, speed + fine * 0.01, formatted with
// two decimals, a blank and a percent sign: "100.00 %", "37.25 %".
QString FormatSpeedLabel(int speed, int fine);

// The number filter of the duration edits. It keeps 1 to 5 digits with a
// value of 0..65535: from the first 6 characters it keeps those before the
// first non-digit, cuts to 5, cuts a 5-digit value above 65535 to 4, and turns
// an empty text into a selected "0".
struct DurationFilterResult {
    QString text;
    bool changed = false;    // the edit must be rewritten with `text`
    bool selectAll = false;  // the rewritten "0" is selected for overtyping
};
DurationFilterResult FilterDurationText(const QString& text);

}  // namespace kinemo::ui
