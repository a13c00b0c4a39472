#include "sequencer/ui/motor_panel_text.h"

namespace kinemo::ui {
namespace {

constexpr int kIntegerChars = 9;
constexpr int kFilterReadChars = 6;
constexpr int kMaxDurationDigits = 5;
constexpr int kMaxDuration = 65535;

bool IsDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The blanks that a C integer reader skips.
bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || (c >= QLatin1Char('\t') && c <= QLatin1Char('\r'));
}

}  // namespace

std::int32_t ParseDialogInteger(const QString& text) {
    const QString head = text.left(kIntegerChars);
    int i = 0;
    while (i < head.size() && IsBlank(head[i])) {
        ++i;
    }
    bool negative = false;
    if (i < head.size() && (head[i] == QLatin1Char('-') || head[i] == QLatin1Char('+'))) {
        negative = head[i] == QLatin1Char('-');
        ++i;
    }
    std::int64_t value = 0;  // at most 9 digits: no overflow
    while (i < head.size() && IsDigit(head[i])) {
        value = value * 10 + (head[i].unicode() - '0');
        ++i;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

QString FormatDialogUnsigned(std::int32_t value) {
    return QString::number(static_cast<std::uint32_t>(value));
}

QString FormatSpeedLabel(int speed, int fine) {
    // "%3.2lf %%" in the C locale: always a decimal point, whatever the
    // user's locale (QString::number never localises).
    return QString::number(fine * 0.01 + speed, 'f', 2) + QStringLiteral(" %");
}

DurationFilterResult FilterDurationText(const QString& text) {
    QString kept = text.left(kFilterReadChars);
    for (int i = 0; i < kept.size(); ++i) {
        if (!IsDigit(kept[i])) {
            kept.truncate(i);
            break;
        }
    }
    if (kept.size() > kMaxDurationDigits) {
        kept.truncate(kMaxDurationDigits);
    }
    if (kept.size() == kMaxDurationDigits && kept.toInt() > kMaxDuration) {
        kept.truncate(kMaxDurationDigits - 1);
    }
    DurationFilterResult result;
    if (kept.isEmpty()) {
        result.text = QStringLiteral("0");
        result.changed = true;
        result.selectAll = true;
        return result;
    }
    result.text = kept;
    result.changed = kept != text;
    return result;
}

}  // namespace kinemo::ui
