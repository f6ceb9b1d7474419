#include "records/value_forms.h"

#include <cmath>
#include <limits>

namespace ValueForms {

QString FormatBoolean(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString FormatWhole(qint64 value) {
    return QString::number(value);
}

QString FormatReal(float value) {
    return QString::number(double(value), 'g', std::numeric_limits<float>::max_digits10);
}

static std::optional<double> parseNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<bool> ParseBoolean(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = parseNumber(trimmed))
        return *number != 0.0;
    return std::nullopt;
}

std::optional<qint64> ParseWhole(const QString& text, qint64 min, qint64 max) {
    // A whole number is read exactly; a double holds only 53 bits of one.
    bool whole = false;
    qint64 value = text.trimmed().toLongLong(&whole);
    if (!whole) {
        const auto number = parseNumber(text);
        if (!number)
            return std::nullopt;
        const double rounded = std::nearbyint(*number); // ties to even, the default mode
        // Only values below 2^63 in magnitude convert; beyond is no number of ours.
        constexpr double bound = 9223372036854775808.0;
        if (rounded < -bound || rounded >= bound)
            return std::nullopt;
        value = qint64(rounded);
    }
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<float> ParseReal(const QString& text) {
    // Whatever rounds to a finite float is taken, up to halfway between the
    // largest float and 2^128: FormatReal writes the largest float rounded up
    // ("3.40282347e+38"), a little above it, and must read back.
    constexpr double overflowsFloat = 0x1p128 - 0x1p103;
    const auto number = parseNumber(text);
    if (!number || std::fabs(*number) >= overflowsFloat)
        return std::nullopt;
    return float(*number);
}

} // namespace ValueForms
