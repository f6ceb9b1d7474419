#include "engine/pop/pop_reply_reader.h"
#include "support/fail_on_warning.h"

#include <QTest>

Q_DECLARE_METATYPE(PopReplyShape)

class TestPopReplyReader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void readsReplies_data();
    void readsReplies();
    void waitsForTheRestOfAReply();
    void endsOnFaults_data();
    void endsOnFaults();
};

void TestPopReplyReader::readsReplies_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("multiLine");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("single +OK") << QByteArray("+OK 2 320\r\n") << false << true
                                << QByteArray("2 320") << QByteArray();
    QTest::newRow("-ERR ends a multi-line request at once")
        << QByteArray("-ERR no such message\r\n") << true << false << QByteArray("no such message")
        << QByteArray();
    QTest::newRow("bare +OK") << QByteArray("+OK\r\n") << false << true << QByteArray()
                              << QByteArray();
    QTest::newRow("dot-stuffed lines are unstuffed, a lone stuffed dot stays")
        << QByteArray("+OK\r\n..env\r\n..\r\n...\r\nplain\r\n.\r\n") << true << true << QByteArray()
        << QByteArray(".env\r\n.\r\n..\r\nplain\r\n");
    QTest::newRow("bare LF line ends")
        << QByteArray("+OK x\nline one\n\nline two\n.\n") << true << true << QByteArray("x")
        << QByteArray("line one\r\n\r\nline two\r\n");
    QTest::newRow("empty multi-line body")
        << QByteArray("+OK\r\n.\r\n") << true << true << QByteArray() << QByteArray();
}

void TestPopReplyReader::readsReplies() {
    QFETCH(QByteArray, input);
    QFETCH(bool, multiLine);
    PopReplyReader reader;
    reader.Append(input);
    PopReplyShape shape;
    shape.MultiLine = multiLine;
    shape.MaxBodyBytes = 1000;
    PopReply reply;
    QCOMPARE(reader.Take(shape, &reply), PopReplyReader::Result::Complete);
    QTEST(reply.Ok, "ok");
    QTEST(reply.StatusText, "status");
    QTEST(reply.Body, "body");
    QVERIFY(!reader.HasBufferedData());
}

void TestPopReplyReader::waitsForTheRestOfAReply() {
    // Byte by byte, then two pipelined replies in one piece.
    const QByteArray stream = "+OK\r\nSubject: a\r\n\r\n.\r\n+OK\r\nSubject: b\r\n\r\n.\r\n";
    PopReplyReader reader;
    PopReplyShape shape{true, 1000, false};
    QList<QByteArray> bodies;
    PopReply reply;
    for (const char c : stream.left(20)) {
        reader.Append(QByteArray(1, c));
        while (reader.Take(shape, &reply) == PopReplyReader::Result::Complete)
            bodies << reply.Body;
    }
    reader.Append(stream.mid(20));
    while (reader.Take(shape, &reply) == PopReplyReader::Result::Complete)
        bodies << reply.Body;
    QCOMPARE(bodies, (QList<QByteArray>{"Subject: a\r\n\r\n", "Subject: b\r\n\r\n"}));
}

void TestPopReplyReader::endsOnFaults_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<PopReplyShape>("shape");
    QTest::addColumn<QString>("error");

    QTest::newRow("garbage status line")
        << QByteArray("HELLO\r\n") << PopReplyShape{} << "Malformed reply from the server";
    QTest::newRow("+OKAY is not +OK")
        << QByteArray("+OKAY\r\n") << PopReplyShape{} << "Malformed reply from the server";
    QTest::newRow("line over the limit without an end")
        << QByteArray(300, 'x') << PopReplyShape{} << "Reply line too long";
    QTest::newRow("line over the limit with an end")
        << QByteArray("+OK\r\n") + QByteArray(300, 'x') + "\r\n.\r\n"
        << PopReplyShape{true, 100000, false} << "Reply line too long";
    QTest::newRow("body over its cap")
        << QByteArray("+OK\r\n") + QByteArray(100, 'x') + "\r\n" + QByteArray(100, 'y') + "\r\n"
        << PopReplyShape{true, 150, false} << "Reply too large";
    // Only the header is kept, but what follows it is counted all the same.
    QTest::newRow("header-only reply over its cap for the rest")
        << QByteArray("+OK\r\nSubject: a\r\n\r\n") + QByteArray(100, 'x') + "\r\n" +
               QByteArray(100, 'y') + "\r\n"
        << PopReplyShape{true, 150, true, 150} << "Reply too large";
}

void TestPopReplyReader::endsOnFaults() {
    QFETCH(QByteArray, input);
    QFETCH(PopReplyShape, shape);
    PopReplyReader reader;
    reader.MaxLineBytes = 200;
    reader.Append(input);
    PopReply reply;
    QCOMPARE(reader.Take(shape, &reply), PopReplyReader::Result::Failed);
    QTEST(reader.Error(), "error");
}

QTEST_GUILESS_MAIN(TestPopReplyReader)
#include "test_pop_reply_reader.moc"
