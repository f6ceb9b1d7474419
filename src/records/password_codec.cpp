#include "records/password_codec.h"

#include <QStringDecoder>

namespace {
constexpr int kFirstCode = 59; // ";"
constexpr int kLastCode = 122; // "z"
} // namespace

QString EncodePasswordBytes(const QByteArray& bytes) {
    QString out;
    out.reserve((bytes.size() * 4 + 2) / 3);
    auto put = [&out](unsigned value) { out.append(QChar(char16_t(kFirstCode + (value & 0x3F)))); };
    for (qsizetype i = 0; i < bytes.size(); i += 3) {
        const unsigned b0 = 255u - quint8(bytes[i]);
        const bool has1 = i + 1 < bytes.size();
        const bool has2 = i + 2 < bytes.size();
        const unsigned b1 = has1 ? 255u - quint8(bytes[i + 1]) : 0u;
        const unsigned b2 = has2 ? 255u - quint8(bytes[i + 2]) : 0u;
        put(b0 >> 2);
        put(((b0 & 0x03) << 4) | (b1 >> 4));
        if (has1)
            put(((b1 & 0x0F) << 2) | (b2 >> 6));
        if (has2)
            put(b2);
    }
    return out;
}

QByteArray DecodePasswordBytes(const QString& stored) {
    QByteArray out;
    out.reserve(stored.size());
    for (qsizetype i = 0; i + 1 < stored.size(); ++i) {
        const int a = stored[i].unicode() - kFirstCode;
        const int b = stored[i + 1].unicode() - kFirstCode;
        int byte;
        switch (i % 4) {
        case 0:
            byte = a * 4 + b / 16;
            break;
        case 1:
            byte = (a % 16) * 16 + b / 4;
            break;
        case 2:
            byte = (a % 4) * 64 + b;
            break;
        default:
            continue;
        }
        out.append(char(quint8(255 - (byte & 0xFF))));
    }
    return out;
}

QString EncodePassword(const QString& password) {
    return EncodePasswordBytes(password.toUtf8());
}

QString DecodePassword(const QString& stored) {
    const QByteArray bytes = DecodePasswordBytes(stored);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

bool IsLegacyPasswordForm(const QString& stored) {
    for (const QChar c : stored) {
        if (c.unicode() < kFirstCode || c.unicode() > kLastCode)
            return true;
    }
    return false;
}

QString DecodeLegacyPassword(const QString& stored, const QString& key) {
    QString out;
    if (key.isEmpty())
        return out;
    const qint64 length = stored.size();
    qint64 j = 1;
    for (qint64 i = 1; i <= length; ++i) {
        const qint64 k = key[j - 1].unicode();
        j = j + 1;
        if (j > key.size())
            j = 1;
        qint64 v = qint64(stored[i - 1].unicode()) - 40 - i * j - length - k;
        if (v < 0)
            v += ((-v + 127) / 128) * 128; // add 128 until it is no longer negative
        out.append(QChar(char16_t(v & 0xFFFF)));
    }
    return out;
}
