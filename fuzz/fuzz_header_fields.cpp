// The header parser and the header text built from it, on any bytes a server
// may send as a message or as TOP's header block: the fields keep their
// promises (a name, no line break), the header block reads as the whole
// message does, and GetHeaderLine finds each field of the header text. The
// input read as header text itself (as "log.tmp" may hold it) must not upset
// GetHeaderLine or MessageIdentity either.

#include "engine/header_text.h"
#include "engine/mime/mime_header_fields.h"
#include "fuzz_check.h"

#include <QSet>
#include <QStringList>

namespace {

bool HasLineBreakOrNul(const QString& text) {
    return text.contains(QChar(u'\r')) || text.contains(QChar(u'\n')) ||
           text.contains(QChar(u'\0'));
}

bool SameFields(const QList<HeaderField>& a, const QList<HeaderField>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].Name != b[i].Name || a[i].Value != b[i].Value)
            return false;
    }
    return true;
}

void CheckHeaderLine(const QString& prefix, const QString& text) {
    const QString line = GetHeaderLine(prefix, text);
    if (line.isEmpty())
        return;
    FUZZ_CHECK(line.startsWith(prefix, Qt::CaseInsensitive));
    FUZZ_CHECK(!line.contains(HeaderLineEnd));
    FUZZ_CHECK(text.contains(line));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray raw = FuzzBytes(data, size);

    const QList<HeaderField> fields = MimeParseHeaderFields(raw);
    for (const HeaderField& field : fields) {
        FUZZ_CHECK(!field.Name.isEmpty());
        FUZZ_CHECK(!HasLineBreakOrNul(field.Name) && !HasLineBreakOrNul(field.Value));
        FUZZ_CHECK(!field.Name.contains(QChar(u' ')) && !field.Name.contains(QChar(u':')));
    }
    const QByteArray block = MimeHeaderBlock(raw);
    FUZZ_CHECK(raw.startsWith(block));
    FUZZ_CHECK(SameFields(MimeParseHeaderFields(block), fields));

    // Each field name finds the line of its first field.
    const QString text = BuildHeaderText(fields);
    const QStringList lines = text.split(HeaderLineEnd, Qt::SkipEmptyParts);
    FUZZ_CHECK(lines.size() == fields.size());
    QSet<QString> namesSeen;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString name = fields[i].Name.toLower();
        if (namesSeen.contains(name))
            continue;
        namesSeen.insert(name);
        FUZZ_CHECK(GetHeaderLine(fields[i].Name + QStringLiteral(" : "), text) == lines[i]);
    }
    FUZZ_CHECK(MessageIdentity(text).isEmpty() == text.isEmpty());

    // The input as a stored header text, with the prefixes the program asks for
    // and with its own first line as a prefix.
    const QString stored = QString::fromUtf8(raw);
    for (const QString& prefix : {QStringLiteral("Subject : "), QStringLiteral("From : "),
                                  MessageIdPrefix, QString(), stored.left(stored.indexOf(u'\n'))})
        CheckHeaderLine(prefix, stored);
    FUZZ_CHECK(MessageIdentity(stored).isEmpty() == stored.isEmpty());
    return 0;
}
