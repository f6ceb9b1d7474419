#include "dialogs/pooling_text.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace {
// The most minutes whose seconds still fit a 32-bit signed integer.
constexpr double kMostMinutes = std::numeric_limits<qint32>::max() / 60;
} // namespace

std::optional<qint32> PoolingMinutesFromText(const QString& text) {
    // Digits with an optional fractional part and nothing else but blanks
    // around them; a sign, an exponent or any other character is refused.
    static const QRegularExpression number(QStringLiteral("^\\s*(\\d*\\.?\\d*)\\s*$"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    if (!ok || value < 1.0)
        return std::nullopt;
    const double minutes = std::nearbyint(value); // ties to even, the default mode
    if (minutes > kMostMinutes)
        return std::nullopt;
    return qint32(minutes);
}
