#pragma once

#include <QString>
#include <optional>

// The checking interval as typed in the Options dialog: a decimal number of
// minutes, which may have a fractional part and is rounded to whole minutes
// (halves to the even neighbour, as numbers read from the settings file).
// Nothing when the text is refused: a leading number below 1 (or none at all),
// other characters after the number ("5x"), or more minutes than the
// countdown's seconds can hold in 32 bits (over 35,791,394).
std::optional<qint32> PoolingMinutesFromText(const QString& text);
