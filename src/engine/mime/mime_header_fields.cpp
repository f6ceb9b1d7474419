#include "engine/mime/mime_header_fields.h"

#include "engine/mime/mime_words.h"

namespace {

// The lines of `raw` without their line ends; `nextOffsets` gets, for each
// line, the offset just past its line end.
QList<QByteArray> SplitLines(const QByteArray& raw, QList<qsizetype>* nextOffsets) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < raw.size()) {
        qsizetype end = raw.indexOf('\n', start);
        if (end < 0)
            end = raw.size();
        qsizetype length = end - start;
        if (length > 0 && raw.at(start + length - 1) == '\r')
            --length;
        lines.append(raw.mid(start, length));
        nextOffsets->append(std::min(end + 1, raw.size()));
        start = end + 1;
    }
    return lines;
}

bool IsIndented(const QByteArray& line) {
    return !line.isEmpty() && (line.at(0) == ' ' || line.at(0) == '\t');
}

// Length of the field name when the line is "Name:", else -1.
qsizetype FieldNameLength(const QByteArray& line) {
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return -1;
    qsizetype nameEnd = colon;
    while (nameEnd > 0 && (line.at(nameEnd - 1) == ' ' || line.at(nameEnd - 1) == '\t'))
        --nameEnd;
    if (nameEnd == 0)
        return -1;
    for (qsizetype i = 0; i < nameEnd; ++i) {
        const unsigned char c = static_cast<unsigned char>(line.at(i));
        if (c <= 32 || c >= 127)
            return -1;
    }
    return nameEnd;
}

QString Clean(QString text) {
    // No line breaks may survive inside a name or value.
    text.replace(QChar(u'\r'), QChar(u' '));
    text.replace(QChar(u'\n'), QChar(u' '));
    text.replace(QChar(u'\0'), QChar(u' '));
    return text;
}

struct RawField {
    QByteArray name;
    QByteArray value;
};

// Reads the header fields at the start of `raw`; `headerLength` gets the
// number of bytes they take, the empty line after them included.
QList<RawField> ScanHeader(const QByteArray& raw, qsizetype* headerLength) {
    const qsizetype bom = raw.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    QList<qsizetype> nextOffsets;
    const QList<QByteArray> lines = SplitLines(raw.mid(bom), &nextOffsets);
    qsizetype first = 0;
    if (!lines.isEmpty() && lines.first().startsWith("From "))
        first = 1;
    *headerLength = first > 0 ? bom + nextOffsets.at(0) : bom;

    QList<RawField> fields;
    for (qsizetype i = first; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        if (line.isEmpty()) {
            *headerLength = bom + nextOffsets.at(i);
            break;
        }
        if (IsIndented(line)) {
            if (!fields.isEmpty())
                fields.last().value.append(line); // unfolding removes only the line break
            *headerLength = bom + nextOffsets.at(i);
            continue;
        }
        const qsizetype nameLength = FieldNameLength(line);
        if (nameLength < 0) {
            const bool moreHeader = i + 1 < lines.size() && (IsIndented(lines.at(i + 1)) ||
                                                             FieldNameLength(lines.at(i + 1)) > 0);
            if (!moreHeader || fields.isEmpty())
                break;
            fields.last().value.append(' ');
            fields.last().value.append(line);
            *headerLength = bom + nextOffsets.at(i);
            continue;
        }
        fields.append({line.left(nameLength), line.mid(line.indexOf(':') + 1)});
        *headerLength = bom + nextOffsets.at(i);
    }
    return fields;
}

} // namespace

QList<HeaderField> MimeParseHeaderFields(const QByteArray& raw) {
    qsizetype headerLength = 0;
    const QList<RawField> fields = ScanHeader(raw, &headerLength);
    QList<HeaderField> result;
    result.reserve(fields.size());
    for (const RawField& field : fields) {
        result.append({Clean(QString::fromLatin1(field.name)),
                       Clean(MimeDecodeHeaderValue(field.value.trimmed()))});
    }
    return result;
}

QByteArray MimeHeaderBlock(const QByteArray& rawMessage) {
    qsizetype headerLength = 0;
    ScanHeader(rawMessage, &headerLength);
    return rawMessage.left(headerLength);
}
