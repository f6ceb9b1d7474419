#pragma once

#include <QString>
#include <optional>

// The text forms in which every stored value is kept: Booleans "True"/"False",
// whole numbers in decimal, reals as single-precision decimal text. Readers
// return nothing for text that is not of the form, so callers fall back to the
// key's default.
namespace ValueForms {

QString FormatBoolean(bool value);
QString FormatWhole(qint64 value);
QString FormatReal(float value);

// "True"/"False" in any letter case, or a decimal number (0 false, else true).
std::optional<bool> ParseBoolean(const QString& text);
// A decimal number rounded half to even, which must lie in [min, max].
std::optional<qint64> ParseWhole(const QString& text, qint64 min, qint64 max);
std::optional<float> ParseReal(const QString& text);

} // namespace ValueForms
