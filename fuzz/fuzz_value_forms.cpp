// The readers of stored settings values, on any text a hand-edited settings
// file may hold: a value read is one the key can take, and writing it gives
// text that reads back as the same value.

#include "fuzz_check.h"
#include "records/value_forms.h"

#include <cmath>
#include <limits>

namespace {

struct Range {
    qint64 Min;
    qint64 Max;
};

// The ranges the program reads whole numbers in, and the widest there is.
constexpr Range Ranges[] = {
    {1, 65535},
    {0, 32766},
    {std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()},
    {std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()},
    {std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()},
};

void CheckText(const QString& text) {
    if (const auto value = ValueForms::ParseBoolean(text))
        FUZZ_CHECK(ValueForms::ParseBoolean(ValueForms::FormatBoolean(*value)) == *value);
    for (const Range& range : Ranges) {
        if (const auto value = ValueForms::ParseWhole(text, range.Min, range.Max)) {
            FUZZ_CHECK(*value >= range.Min && *value <= range.Max);
            FUZZ_CHECK(ValueForms::ParseWhole(ValueForms::FormatWhole(*value), range.Min,
                                              range.Max) == *value);
        }
    }
    if (const auto value = ValueForms::ParseReal(text)) {
        FUZZ_CHECK(std::isfinite(*value));
        FUZZ_CHECK(ValueForms::ParseReal(ValueForms::FormatReal(*value)) == *value);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = FuzzBytes(data, size);
    // As the settings file gives text: UTF-8, and as UTF-16 code units of any value.
    CheckText(QString::fromUtf8(bytes));
    CheckText(QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2));
    return 0;
}
