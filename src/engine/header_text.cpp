#include "engine/header_text.h"

static QString withoutLineBreaks(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString BuildHeaderText(const QList<HeaderField>& fields) {
    QString text;
    for (const HeaderField& field : fields) {
        text += withoutLineBreaks(field.Name);
        text += QStringLiteral(" : ");
        text += withoutLineBreaks(field.Value);
        text += HeaderLineEnd;
    }
    return text;
}

QString GetHeaderLine(const QString& prefix, const QString& headerText) {
    // A last line without a line end is still a line. An empty line (or no
    // further line end) ends the search, and so does a position at or past
    // the last character of the text. Read in place: every message's header
    // is searched several times a pass.
    const QStringView text(headerText);
    qsizetype position = 0;
    for (;;) {
        qsizetype lineEnd = text.indexOf(HeaderLineEnd, position);
        if (lineEnd < 0)
            lineEnd = text.size();
        if (lineEnd <= position)
            return {};
        const QStringView line = text.sliced(position, lineEnd - position);
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            return line.toString();
        position = lineEnd + HeaderLineEnd.size();
        if (position + 1 >= text.size())
            return {};
    }
}

QString MessageIdentity(const QString& headerText) {
    const QString messageIdLine = GetHeaderLine(MessageIdPrefix, headerText);
    return messageIdLine.isEmpty() ? headerText : messageIdLine;
}
