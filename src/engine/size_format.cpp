#include "engine/size_format.h"

QString FormatByteCount(qint64 bytes) {
    const bool negative = bytes < 0;
    QString digits = QString::number(negative ? -bytes : bytes);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return negative ? QLatin1Char('-') + digits : digits;
}
