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
    // The text gets one more line end so that a last line without one is
    // still a line. An empty line (or no further line end) ends the search,
    // and so does a position at or past the last character of the text.
    const QString text = headerText + HeaderLineEnd;
    qsizetype position = 0;
    for (;;) {
        const qsizetype lineEnd = text.indexOf(HeaderLineEnd, position);
        if (lineEnd <= position)
            return {};
        const QString line = text.mid(position, lineEnd - position);
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            return line;
        position = lineEnd + HeaderLineEnd.size();
        if (position + 1 >= headerText.size())
            return {};
    }
}

QString MessageIdentity(const QString& headerText) {
    const QString messageIdLine = GetHeaderLine(MessageIdPrefix, headerText);
    return messageIdLine.isEmpty() ? headerText : messageIdLine;
}
