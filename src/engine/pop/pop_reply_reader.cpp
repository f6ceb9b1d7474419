#include "engine/pop/pop_reply_reader.h"

#include <QRegularExpression>

QString PopServerText(const QByteArray& statusText) {
    QString result = QString::fromUtf8(statusText).trimmed();
    result.remove(QRegularExpression(QStringLiteral("^\\[[^\\]]*\\]\\s*"))); // RESP-CODES
    return result.left(200);
}

void PopReplyReader::Append(const QByteArray& bytes) {
    // Drop what has been consumed before growing the buffer, so a long
    // session never holds more than the reply being read.
    if (m_readPos > 0 && m_readPos >= m_buffer.size() / 2) {
        m_buffer.remove(0, m_readPos);
        m_readPos = 0;
    }
    m_buffer.append(bytes);
}

void PopReplyReader::Reset() {
    m_buffer.clear();
    m_readPos = 0;
    m_inBody = false;
    m_headerDone = false;
    m_bodyOverCap = false;
    m_skipped = 0;
    m_current = PopReply();
    m_error.clear();
}

PopReplyReader::LineResult PopReplyReader::NextLine(QByteArray* line) {
    const qsizetype end = m_buffer.indexOf('\n', m_readPos);
    if (end < 0) {
        if (m_buffer.size() - m_readPos > MaxLineBytes)
            return LineResult::TooLong;
        return LineResult::NeedMore;
    }
    qsizetype length = end - m_readPos;
    if (length > MaxLineBytes)
        return LineResult::TooLong;
    if (length > 0 && m_buffer.at(end - 1) == '\r')
        --length;
    *line = m_buffer.mid(m_readPos, length);
    m_readPos = end + 1;
    return LineResult::Line;
}

PopReplyReader::Result PopReplyReader::Fail(const QString& error) {
    m_error = error;
    return Result::Failed;
}

PopReplyReader::Result PopReplyReader::Take(const PopReplyShape& shape, PopReply* reply) {
    QByteArray line;
    while (true) {
        const LineResult got = NextLine(&line);
        if (got == LineResult::NeedMore)
            return Result::NeedMore;
        if (got == LineResult::TooLong)
            return Fail(QStringLiteral("Reply line too long"));

        if (!m_inBody) {
            PopReply status;
            if (line.startsWith("+OK") && (line.size() == 3 || line.at(3) == ' ')) {
                status.Ok = true;
                status.StatusText = line.mid(3).trimmed();
            } else if (line.startsWith("-ERR") && (line.size() == 4 || line.at(4) == ' ')) {
                status.StatusText = line.mid(4).trimmed();
            } else if (line == "+" || line.startsWith("+ ")) {
                status.Ok = true;
                status.Continuation = true;
                status.StatusText = line.mid(1).trimmed();
            } else {
                return Fail(QStringLiteral("Malformed reply from the server"));
            }
            if (!shape.MultiLine || !status.Ok || status.Continuation) {
                *reply = status;
                return Result::Complete;
            }
            m_current = status;
            m_inBody = true;
            m_headerDone = false;
            m_skipped = 0;
            continue;
        }

        if (line == ".") {
            *reply = m_current;
            m_current = PopReply();
            m_inBody = false;
            return Result::Complete;
        }
        if (line.startsWith('.'))
            line.remove(0, 1);
        if (shape.KeepHeaderOnly && m_headerDone) {
            // Dropped, but counted: a reply without end must still end.
            m_skipped += line.size() + 2;
            if (m_skipped > shape.MaxSkippedBytes)
                return Fail(QStringLiteral("Reply too large"));
            continue;
        }
        if (m_current.Body.size() + line.size() + 2 > shape.MaxBodyBytes) {
            m_bodyOverCap = true;
            return Fail(QStringLiteral("Reply too large"));
        }
        m_current.Body.append(line);
        m_current.Body.append("\r\n");
        if (line.isEmpty())
            m_headerDone = true;
    }
}
