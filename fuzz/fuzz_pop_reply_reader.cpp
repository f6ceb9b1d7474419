// The POP3 reply reader on whatever a server may send.
//
// An input whose first byte has the high bit set is a raw byte stream: the
// first byte chooses the line cap, the body cap, header-only replies and the
// size of the pieces the stream arrives in, the second which replies are
// multi-line; the rest is what the server sends. The reader must take it
// apart without fault and every reply it completes must keep its promises.
//
// Any other input (a sample message, say) is a message body: it is sent as a
// RETR reply, dot-stuffed, and the reader must give back exactly its lines.

#include "engine/pop/pop_reply_reader.h"
#include "fuzz_check.h"

#include <QList>

namespace {

bool IsTrimmed(const QByteArray& text) {
    return text == text.trimmed();
}

// Every line of a body ends with CR LF; no line is longer than the cap.
void CheckBodyLines(const QByteArray& body, qint64 maxLineBytes) {
    FUZZ_CHECK(body.isEmpty() || body.endsWith("\r\n"));
    qsizetype start = 0;
    while (start < body.size()) {
        const qsizetype end = body.indexOf('\n', start);
        FUZZ_CHECK(end > start && body.at(end - 1) == '\r');
        FUZZ_CHECK(end - 1 - start <= maxLineBytes);
        start = end + 1;
    }
}

void CheckReply(const PopReply& reply, const PopReplyShape& shape, qint64 maxLineBytes) {
    FUZZ_CHECK(!reply.Continuation || reply.Ok);
    FUZZ_CHECK(IsTrimmed(reply.StatusText));
    FUZZ_CHECK(!reply.StatusText.contains('\n'));
    if (!shape.MultiLine || !reply.Ok || reply.Continuation)
        FUZZ_CHECK(reply.Body.isEmpty());
    FUZZ_CHECK(reply.Body.size() <= shape.MaxBodyBytes);
    CheckBodyLines(reply.Body, maxLineBytes);
    if (shape.KeepHeaderOnly) {
        // Nothing after the first empty line.
        const qsizetype empty = reply.Body.startsWith("\r\n") ? 0 : reply.Body.indexOf("\r\n\r\n");
        if (empty >= 0)
            FUZZ_CHECK(reply.Body.size() == empty + (empty == 0 ? 2 : 4));
    }
}

void FuzzStream(const QByteArray& input) {
    const quint8 options = quint8(input.at(0));
    const quint8 multiLineMask = input.size() > 1 ? quint8(input.at(1)) : 0;
    const QByteArray stream = input.mid(2);

    static const qint64 bodyCaps[] = {0, 16, 300, 1 << 20};
    PopReplyReader reader;
    reader.MaxLineBytes = (options & 0x01) ? 40 : 1 << 20;
    const qint64 bodyCap = bodyCaps[(options >> 1) & 3];
    const bool headerOnly = options & 0x08;
    const int piece = (options >> 4) & 7;
    const qsizetype pieceSize = piece == 7 ? stream.size() + 1 : piece + 1;

    int replies = 0;
    auto shapeOf = [&](int index) {
        PopReplyShape shape;
        shape.MultiLine = multiLineMask & (1u << (index % 8));
        shape.MaxBodyBytes = bodyCap;
        shape.KeepHeaderOnly = headerOnly;
        return shape;
    };
    for (qsizetype at = 0; at < stream.size(); at += pieceSize) {
        reader.Append(stream.mid(at, pieceSize));
        for (;;) {
            const PopReplyShape shape = shapeOf(replies);
            PopReply reply;
            const PopReplyReader::Result result = reader.Take(shape, &reply);
            if (result == PopReplyReader::Result::NeedMore)
                break;
            if (result == PopReplyReader::Result::Failed) {
                FUZZ_CHECK(!reader.Error().isEmpty());
                return; // the client drops the connection
            }
            CheckReply(reply, shape, reader.MaxLineBytes);
            ++replies;
        }
    }
    // A reader reset for the next connection starts clean.
    reader.Reset();
    FUZZ_CHECK(!reader.HasBufferedData());
}

// The lines of a message as the POP3 server's mailbox holds them: split at
// LF, one CR before it belonging to the line end.
QList<QByteArray> MessageLines(const QByteArray& message) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < message.size()) {
        qsizetype end = message.indexOf('\n', start);
        if (end < 0)
            end = message.size();
        QByteArray line = message.mid(start, end - start);
        if (end < message.size() && line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = end + 1;
    }
    return lines;
}

void FuzzMessageBody(const QByteArray& message) {
    const QList<QByteArray> lines = MessageLines(message);
    // A bare LF after each line only where no line ends with CR itself.
    bool bareLf = message.size() % 2 == 1;
    for (const QByteArray& line : lines)
        bareLf = bareLf && !line.endsWith('\r');
    const QByteArray lineEnd = bareLf ? "\n" : "\r\n";

    PopReplyShape shape;
    shape.MultiLine = true;
    shape.KeepHeaderOnly = message.size() % 5 == 0;
    shape.MaxBodyBytes = message.size() % 3 == 0 ? message.size() / 2 : 1 << 20;
    shape.MaxSkippedBytes = message.size() % 4 == 0 ? message.size() / 4 : 1 << 20;

    QByteArray sent = "+OK message follows" + lineEnd;
    QByteArray expected;
    qint64 skipped = 0;
    bool headerDone = false;
    for (const QByteArray& line : lines) {
        sent += (line.startsWith('.') ? "." + line : line) + lineEnd;
        if (!(shape.KeepHeaderOnly && headerDone))
            expected += line + "\r\n";
        else
            skipped += line.size() + 2;
        headerDone = headerDone || line.isEmpty();
    }
    sent += "." + lineEnd;

    PopReplyReader reader;
    const qsizetype pieceSize = message.size() % 7 + 1;
    PopReply reply;
    PopReplyReader::Result result = PopReplyReader::Result::NeedMore;
    for (qsizetype at = 0; at < sent.size(); at += pieceSize) {
        FUZZ_CHECK(result == PopReplyReader::Result::NeedMore);
        reader.Append(sent.mid(at, pieceSize));
        result = reader.Take(shape, &reply);
        if (result == PopReplyReader::Result::Failed)
            break;
    }
    if (expected.size() > shape.MaxBodyBytes || skipped > shape.MaxSkippedBytes) {
        FUZZ_CHECK(result == PopReplyReader::Result::Failed);
        return;
    }
    FUZZ_CHECK(result == PopReplyReader::Result::Complete);
    FUZZ_CHECK(reply.Ok && reply.StatusText == "message follows");
    FUZZ_CHECK(reply.Body == expected);
    FUZZ_CHECK(!reader.HasBufferedData());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const QByteArray input = FuzzBytes(data, size);
    if (quint8(input.at(0)) & 0x80)
        FuzzStream(input);
    else
        FuzzMessageBody(input);
    return 0;
}
