#include "engine/header_text.h"
#include "support/fail_on_warning.h"

#include <QtTest>

class TestHeaderText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void getHeaderLine_data();
    void getHeaderLine();
    void buildsOneLinePerField();
    void lineBreaksInsideAFieldCannotForgeLines();
    void identity_data();
    void identity();
};

void TestHeaderText::getHeaderLine_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString subject = "Subject : ";
    QTest::newRow("first line") << subject << "Subject : Hello\r\nFrom : Ann\r\n"
                                << "Subject : Hello";
    QTest::newRow("field name in capitals") << subject << "From : Ann\r\nSUBJECT : Hello\r\n"
                                            << "SUBJECT : Hello";
    QTest::newRow("prefix in capitals") << "FROM : "
                                        << "Subject : x\r\nfrom : Ann\r\n"
                                        << "from : Ann";
    QTest::newRow("no subject line") << subject << "From : Ann\r\nTo : Bob\r\n"
                                     << "";
    QTest::newRow("first of two matching lines") << subject << "Subject : one\r\nSubject : two\r\n"
                                                 << "Subject : one";
    QTest::newRow("matching line is the last one")
        << subject << "From : Ann\r\nTo : Bob\r\nSubject : last\r\n"
        << "Subject : last";
    QTest::newRow("last line without line end") << subject << "From : Ann\r\nSubject : end"
                                                << "Subject : end";
    QTest::newRow("empty line stops the search")
        << subject << "From : Ann\r\n\r\nSubject : hidden\r\n"
        << "";
    QTest::newRow("empty first line") << subject << "\r\nSubject : hidden\r\n"
                                      << "";
    QTest::newRow("empty value") << subject << "From : Ann\r\nSubject : \r\n"
                                 << "Subject : ";
    QTest::newRow("separator must match") << subject << "Subject: Hello\r\n"
                                          << "";
    QTest::newRow("prefix inside a line does not count") << subject << "X-Note : Subject : no\r\n"
                                                         << "";
    QTest::newRow("line shorter than the prefix") << subject << "Subj\r\n"
                                                  << "";
    QTest::newRow("bare line feed is no line end") << subject << "From : Ann\nSubject : x\r\n"
                                                   << "";
    QTest::newRow("empty text") << subject << ""
                                << "";
}

void TestHeaderText::getHeaderLine() {
    QFETCH(QString, prefix);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(GetHeaderLine(prefix, text), expected);
}

void TestHeaderText::buildsOneLinePerField() {
    const QList<HeaderField> fields = {
        {"Subject", "Grüße"}, {"FROM", "Ann <ann@example.org>"}, {"X-Empty", ""}};
    QCOMPARE(BuildHeaderText(fields),
             QString("Subject : Grüße\r\nFROM : Ann <ann@example.org>\r\nX-Empty : \r\n"));
    QCOMPARE(BuildHeaderText({}), QString());
}

void TestHeaderText::lineBreaksInsideAFieldCannotForgeLines() {
    // A decoded encoded word may carry CR LF; it must not make a second line.
    const QString text = BuildHeaderText(
        {{"Subject", "Hi\r\nMessage-Id : <forged@x>"}, {"From", "Ann\nBob"}, {"X\r\n", "y"}});
    QCOMPARE(text,
             QString("Subject : Hi  Message-Id : <forged@x>\r\nFrom : Ann Bob\r\nX   : y\r\n"));
    QCOMPARE(GetHeaderLine(MessageIdPrefix, text), QString());
}

void TestHeaderText::identity_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("sameMessage");

    QTest::newRow("same Message-Id, other fields differ")
        << "Message-Id : <1@x>\r\nSubject : a\r\n"
        << "Subject : b\r\nStatus : RO\r\nMessage-Id : <1@x>\r\n"
        << true;
    QTest::newRow("different Message-Ids") << "Message-Id : <1@x>\r\nSubject : a\r\n"
                                           << "Message-Id : <2@x>\r\nSubject : a\r\n"
                                           << false;
    QTest::newRow("Message-Id compared with its letter case") << "Message-Id : <A@x>\r\n"
                                                              << "Message-Id : <a@x>\r\n"
                                                              << false;
    QTest::newRow("two different headers without Message-Id") << "Subject : one\r\nFrom : Ann\r\n"
                                                              << "Subject : two\r\nFrom : Ann\r\n"
                                                              << false;
    QTest::newRow("the same header without Message-Id") << "Subject : one\r\nFrom : Ann\r\n"
                                                        << "Subject : one\r\nFrom : Ann\r\n"
                                                        << true;
    QTest::newRow("one with, one without Message-Id") << "Message-Id : <1@x>\r\n"
                                                      << "Subject : Message-Id : <1@x>\r\n"
                                                      << false;
}

void TestHeaderText::identity() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, sameMessage);
    QCOMPARE(MessageIdentity(first) == MessageIdentity(second), sameMessage);
}

QTEST_GUILESS_MAIN(TestHeaderText)
#include "test_header_text.moc"
