#pragma once

#include <QString>

// A byte count with the digits grouped in threes by commas and no leading
// zeros ("###,###,###"): 999, 1,234,567. Zero is written "0" rather than
// left empty, so a total never reads "Totaling  bytes.".
QString FormatByteCount(qint64 bytes);
