#include "engine/seen_messages.h"
#include "support/temp_state.h"
#include "support/fail_on_warning.h"

#include <QtTest>

class TestSeenMessages : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void classifiesAcrossPasses();
    void headersWithoutMessageIdAreDifferentMessages();
    void sameMessageOnTwoAccountsIsRememberedOnce();
    void nodesWithoutHeaderAreNotRemembered();
    void keepsTheLastHundredWithFewMessagesOnDisplay();
    void keepsEveryMessageOnDisplayBeyondAHundred();
    void forgetsMessagesGoneFromDisplayFirst();
    void acknowledgingReplacesTheAcknowledgedList();
};

static QString header(int n) {
    return QString("Subject : message %1\r\nFrom : Ann\r\nMessage-Id : <%1@example.org>\r\n")
        .arg(n);
}

static QStringList headers(int from, int to) {
    QStringList list;
    for (int n = from; n <= to; ++n)
        list.append(header(n));
    return list;
}

void TestSeenMessages::classifiesAcrossPasses() {
    TempState t;
    AppState& s = *t.State;
    const QString first = header(1);
    QVERIFY(!IsSeenHeader(s, first)); // first seen

    RememberShownMessages(s, {first}); // end of a pass
    QVERIFY(IsSeenHeader(s, first));   // still new: seen, not acknowledged
    QVERIFY(!IsAcknowledgedHeader(s, first));

    s.NewMailCount = 3;
    AcknowledgeShownMessages(s, {first});
    QVERIFY(IsSeenHeader(s, first));
    QVERIFY(IsAcknowledgedHeader(s, first));
    QCOMPARE(s.NewMailCount, qint16(0));
    QCOMPARE(s.SeenHeaders.Texts(), QStringList{first}); // the text itself is kept

    // The same message with a changed field (the server added a Status line)
    // is still the same message.
    const QString changed = first + "Status : RO\r\n";
    QVERIFY(IsSeenHeader(s, changed));
    QVERIFY(IsAcknowledgedHeader(s, changed));
}

void TestSeenMessages::headersWithoutMessageIdAreDifferentMessages() {
    TempState t;
    AppState& s = *t.State;
    const QString one = "Subject : one\r\nFrom : Ann\r\n";
    const QString two = "Subject : two\r\nFrom : Ann\r\n";
    RememberShownMessages(s, {one});
    QVERIFY(IsSeenHeader(s, one));
    QVERIFY(!IsSeenHeader(s, two));
    RememberShownMessages(s, {one, two});
    QCOMPARE(s.SeenHeaders.Texts(), (QStringList{one, two}));
}

void TestSeenMessages::sameMessageOnTwoAccountsIsRememberedOnce() {
    TempState t;
    AppState& s = *t.State;
    const QString onHome = "Message-Id : <7@x>\r\nSubject : copy\r\n";
    const QString onWork = "Subject : copy\r\nMessage-Id : <7@x>\r\nX-Work : yes\r\n";
    RememberShownMessages(s, {onHome, onWork});
    QCOMPARE(s.SeenHeaders.Texts(), QStringList{onHome});
}

void TestSeenMessages::nodesWithoutHeaderAreNotRemembered() {
    TempState t;
    AppState& s = *t.State;
    AcknowledgeShownMessages(s, {QString(), header(1), QString()});
    QCOMPARE(s.SeenHeaders.Texts(), QStringList{header(1)});
    QCOMPARE(s.AcknowledgedHeaders.Texts(), QStringList{header(1)});
    QVERIFY(!IsSeenHeader(s, QString()));
}

void TestSeenMessages::keepsTheLastHundredWithFewMessagesOnDisplay() {
    TempState t;
    AppState& s = *t.State;
    // 101 distinct messages, one on display at a time.
    for (int n = 1; n <= 101; ++n)
        RememberShownMessages(s, {header(n)});
    QCOMPARE(s.SeenHeaders.Size(), qsizetype(100));
    QVERIFY(!IsSeenHeader(s, header(1)));
    QVERIFY(IsSeenHeader(s, header(2)));
    QCOMPARE(s.SeenHeaders.Texts().first(), header(2));
    QCOMPARE(s.SeenHeaders.Texts().last(), header(101));
}

void TestSeenMessages::keepsEveryMessageOnDisplayBeyondAHundred() {
    TempState t;
    AppState& s = *t.State;
    // 150 messages on the servers: none may drop out and count as first seen
    // again on the next pass.
    const QStringList shown = headers(1, 150);
    RememberShownMessages(s, shown);
    RememberShownMessages(s, shown);
    QCOMPARE(s.SeenHeaders.Size(), qsizetype(150));
    for (const QString& h : shown)
        QVERIFY2(IsSeenHeader(s, h), qPrintable(h));

    // One more arrives.
    RememberShownMessages(s, headers(1, 151));
    QCOMPARE(s.SeenHeaders.Size(), qsizetype(151));
    QVERIFY(IsSeenHeader(s, header(1)));
}

void TestSeenMessages::forgetsMessagesGoneFromDisplayFirst() {
    TempState t;
    AppState& s = *t.State;
    RememberShownMessages(s, headers(1, 150));
    // Message 75 was deleted on the server and message 151 arrived: the list
    // is full, and the one to forget is 75, not the oldest one still listed.
    QStringList shown = headers(1, 151);
    shown.removeAll(header(75));
    RememberShownMessages(s, shown);
    QCOMPARE(s.SeenHeaders.Size(), qsizetype(150));
    QVERIFY(!IsSeenHeader(s, header(75)));
    for (const QString& h : shown)
        QVERIFY2(IsSeenHeader(s, h), qPrintable(h));

    // Back to a few messages on display: the cap falls to 100, the newest
    // 100 stay, and what is on display stays whatever its age.
    RememberShownMessages(s, {header(1)});
    QCOMPARE(s.SeenHeaders.Size(), qsizetype(100));
    QVERIFY(IsSeenHeader(s, header(1)));
    QVERIFY(!IsSeenHeader(s, header(2)));
    QVERIFY(IsSeenHeader(s, header(151)));
    QCOMPARE(s.SeenHeaders.Texts().first(), header(1)); // order kept
}

void TestSeenMessages::acknowledgingReplacesTheAcknowledgedList() {
    TempState t;
    AppState& s = *t.State;
    AcknowledgeShownMessages(s, headers(1, 2));
    AcknowledgeShownMessages(s, headers(2, 3));
    QVERIFY(!IsAcknowledgedHeader(s, header(1)));
    QVERIFY(IsAcknowledgedHeader(s, header(2)));
    QVERIFY(IsAcknowledgedHeader(s, header(3)));
    QVERIFY(IsSeenHeader(s, header(1))); // still seen
}

QTEST_GUILESS_MAIN(TestSeenMessages)
#include "test_seen_messages.moc"
