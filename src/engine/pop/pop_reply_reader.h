#pragma once

#include <QByteArray>
#include <QString>

// One reply of a POP3 server: the status line and, for a multi-line reply, its
// body with the dot-stuffing removed and every line ended by CR LF.
struct PopReply {
    bool Ok = false;           // "+OK" (or a "+" continuation) rather than "-ERR"
    bool Continuation = false; // a bare "+" line asking for more (SASL)
    QByteArray StatusText;     // what follows the status word, trimmed
    QByteArray Body;           // multi-line replies after "+OK" only
};

// The text of a status line as a person may read it: without the response
// code in brackets, and no longer than 200 characters.
QString PopServerText(const QByteArray& statusText);

// What the reader should expect for the reply it is reading now.
struct PopReplyShape {
    bool MultiLine = false;
    qint64 MaxBodyBytes = 0;     // kept body bytes allowed; more ends the connection
    bool KeepHeaderOnly = false; // keep lines up to the first empty one, drop the rest
    qint64 MaxSkippedBytes = 0;  // KeepHeaderOnly: dropped bytes allowed; more ends the connection
};

// Cuts the byte stream of a POP3 connection into replies. Lines may end with
// CR LF or a bare LF. A line longer than MaxLineBytes, a status line that is
// neither "+OK", "+" nor "-ERR", or a body over its cap is a fault of the
// connection: Take() reports Failed with a short reason in Error().
class PopReplyReader {
public:
    enum class Result { NeedMore, Complete, Failed };

    qint64 MaxLineBytes = 1024 * 1024;

    void Append(const QByteArray& bytes);
    Result Take(const PopReplyShape& shape, PopReply* reply);
    QString Error() const { return m_error; }
    void Reset();
    bool HasBufferedData() const { return m_buffer.size() > m_readPos; }
    // The body read so far of the multi-line reply in progress (empty when
    // none is), and whether the last failure was a body over its cap: what a
    // caller may still show of a message cut short.
    QByteArray PartialBody() const { return m_inBody ? m_current.Body : QByteArray(); }
    bool BodyOverCap() const { return m_bodyOverCap; }

private:
    enum class LineResult { NeedMore, Line, TooLong };
    LineResult NextLine(QByteArray* line);
    Result Fail(const QString& error);

    QByteArray m_buffer;
    qsizetype m_readPos = 0;
    bool m_inBody = false;     // status "+OK" of a multi-line reply seen
    bool m_headerDone = false; // KeepHeaderOnly: the empty line was kept
    bool m_bodyOverCap = false;
    qint64 m_skipped = 0; // KeepHeaderOnly: body bytes dropped so far
    PopReply m_current;
    QString m_error;
};
