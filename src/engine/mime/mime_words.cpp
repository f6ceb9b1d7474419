#include "engine/mime/mime_words.h"

#include "engine/mime/mime_message.h"

#include <QStringDecoder>

#include <optional>

namespace {

bool IsLinearWhiteSpace(const QByteArray& bytes) {
    for (const char c : bytes) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

bool IsValidUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

QByteArray DecodeQ(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '_') {
            out.append(' ');
        } else if (c == '=' && i + 2 < text.size()) {
            bool ok = false;
            const int value = text.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(value));
                i += 2;
            } else {
                out.append(c);
            }
        } else {
            out.append(c);
        }
    }
    return out;
}

QByteArray DecodeB(const QByteArray& text) {
    // Lenient: characters outside the base64 alphabet are skipped.
    QByteArray clean;
    clean.reserve(text.size());
    for (const char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '+' || c == '/')
            clean.append(c);
    }
    return QByteArray::fromBase64(clean);
}

// One encoded word "=?charset?B|Q?text?=" starting at `start`; on success
// returns its decoded text and sets `end` just past it.
std::optional<QString> DecodeEncodedWord(const QByteArray& raw, qsizetype start, qsizetype* end) {
    const qsizetype charsetEnd = raw.indexOf('?', start + 2);
    if (charsetEnd < 0 || charsetEnd + 2 >= raw.size() || raw.at(charsetEnd + 2) != '?')
        return std::nullopt;
    const char encoding = raw.at(charsetEnd + 1);
    const qsizetype textStart = charsetEnd + 3;
    const qsizetype textEnd = raw.indexOf("?=", textStart);
    if (textEnd < 0)
        return std::nullopt;
    QByteArray charset = raw.mid(start + 2, charsetEnd - start - 2);
    const QByteArray text = raw.mid(textStart, textEnd - textStart);
    if (charset.isEmpty() || charset.contains(' ') || text.contains(' ') || text.contains('\t'))
        return std::nullopt;
    const qsizetype language = charset.indexOf('*'); // RFC 2231 language suffix
    if (language >= 0)
        charset.truncate(language);

    QByteArray bytes;
    if (encoding == 'Q' || encoding == 'q')
        bytes = DecodeQ(text);
    else if (encoding == 'B' || encoding == 'b')
        bytes = DecodeB(text);
    else
        return std::nullopt;

    // A word whose charset is unknown or whose bytes do not fit it stays raw:
    // no character is dropped or replaced by a guess.
    std::optional<QString> decoded = MimeConvertCharset(bytes, charset);
    if (!decoded)
        return std::nullopt;
    *end = textEnd + 2;
    return decoded;
}

} // namespace

QString MimeBytesToText(const QByteArray& bytes) {
    return IsValidUtf8(bytes) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

QString MimeDecodeHeaderValue(const QByteArray& raw) {
    const bool utf8 = IsValidUtf8(raw);
    auto plain = [utf8](const QByteArray& bytes) {
        return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    };

    QString result;
    qsizetype pos = 0;
    qsizetype plainStart = 0;
    bool lastWasEncoded = false;
    while (pos < raw.size()) {
        const qsizetype candidate = raw.indexOf("=?", pos);
        if (candidate < 0)
            break;
        qsizetype end = 0;
        const std::optional<QString> word = DecodeEncodedWord(raw, candidate, &end);
        if (!word) {
            pos = candidate + 2;
            continue;
        }
        const QByteArray between = raw.mid(plainStart, candidate - plainStart);
        if (!(lastWasEncoded && IsLinearWhiteSpace(between)))
            result += plain(between);
        result += *word;
        lastWasEncoded = true;
        pos = plainStart = end;
    }
    result += plain(raw.mid(plainStart));
    return result;
}
