#include "engine/header_text.h"
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
    void displayAloneNeverForgets();
    void forgetsOnlyWhatAWholeCheckNoLongerFinds_data();
    void forgetsOnlyWhatAWholeCheckNoLongerFinds();
    void mailboxIsUserHostAndPort();
    void boundedPerMailbox();
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

void TestSeenMessages::displayAloneNeverForgets() {
    TempState t;
    AppState& s = *t.State;
    // 101 distinct messages, one on display at a time: no cap of 100 drops
    // the oldest.
    for (int n = 1; n <= 101; ++n)
        RememberShownMessages(s, {header(n)});
    QCOMPARE(s.SeenHeaders.Size(), qsizetype(101));
    QCOMPARE(s.SeenHeaders.Texts(), headers(1, 101)); // oldest first
}

static MailAccount account(const QString& user, const QString& host = "pop.example.org") {
    MailAccount a;
    a.Title = user;
    a.User = user;
    a.Host = host;
    return a;
}

enum CheckKind { Whole, Partial };

// What one check of one of two accounts leaves in a seen list that holds
// messages 1-40 of "ann" and 41-160 of "bob", message 40 on both.
void TestSeenMessages::forgetsOnlyWhatAWholeCheckNoLongerFinds_data() {
    QTest::addColumn<QString>("checked");   // the account checked
    QTest::addColumn<QStringList>("found"); // what the check found
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("forgotten");
    QTest::addColumn<int>("annCount");
    QTest::addColumn<int>("bobCount");

    QTest::newRow("whole check finds all")
        << "bob" << headers(40, 160) << int(Whole) << QStringList() << 40 << 121;
    QTest::newRow("whole check, two gone from the server")
        << "bob" << headers(40, 158) << int(Whole) << headers(159, 160) << 40 << 119;
    // The mailbox is empty now; message 40 is still on ann's.
    QTest::newRow("whole check of an empty mailbox")
        << "bob" << QStringList() << int(Whole) << headers(41, 160) << 40 << 0;
    QTest::newRow("failed check (no connection)")
        << "bob" << QStringList() << int(Partial) << QStringList() << 40 << 121;
    QTest::newRow("check that failed part-way")
        << "bob" << headers(40, 100) << int(Partial) << QStringList() << 40 << 121;
    QTest::newRow("the other account's whole check")
        << "ann" << headers(1, 39) << int(Whole) << QStringList() << 39 << 121;
    QTest::newRow("new mail on a partial check is remembered")
        << "bob" << headers(161, 162) << int(Partial) << QStringList() << 40 << 123;
}

void TestSeenMessages::forgetsOnlyWhatAWholeCheckNoLongerFinds() {
    QFETCH(QString, checked);
    QFETCH(QStringList, found);
    QFETCH(int, kind);
    QFETCH(QStringList, forgotten);
    TempState t;
    AppState& s = *t.State;
    const MailAccount ann = account("ann");
    const MailAccount bob = account("bob");
    s.Accounts = {ann, bob};
    RememberCheckedMessages(s, ann, headers(1, 40), true);
    RememberCheckedMessages(s, bob, headers(40, 160), true);
    QCOMPARE(s.SeenHeaders.Size(), qsizetype(160));
    QCOMPARE(s.SeenHeaders.MailboxesOf(MessageIdentity(header(40))),
             (QStringList{MailboxName(ann), MailboxName(bob)}));

    RememberCheckedMessages(s, checked == "ann" ? ann : bob, found, kind == Whole);

    for (int n = 1; n <= 162; ++n) {
        const bool expected =
            !forgotten.contains(header(n)) && (n <= 160 || found.contains(header(n)));
        QVERIFY2(IsSeenHeader(s, header(n)) == expected, qPrintable(header(n)));
    }
    QTEST(int(s.SeenHeaders.CountOf(MailboxName(ann))), "annCount");
    QTEST(int(s.SeenHeaders.CountOf(MailboxName(bob))), "bobCount");
}

void TestSeenMessages::mailboxIsUserHostAndPort() {
    MailAccount a = account("ann", "POP.Example.org");
    a.Port = 995;
    QCOMPARE(MailboxName(a), QString("ann@pop.example.org:995"));
    MailAccount renamed = a;
    renamed.Title = "Other title";
    renamed.Password = "changed";
    renamed.Security = "TLS";
    QCOMPARE(MailboxName(renamed), MailboxName(a));
    MailAccount other = a;
    other.User = "bob";
    QVERIFY(MailboxName(other) != MailboxName(a));
}

void TestSeenMessages::boundedPerMailbox() {
    TempState t;
    AppState& s = *t.State;
    const MailAccount ann = account("ann");
    const MailAccount bob = account("bob");
    s.Accounts = {ann, bob};
    const int limit = int(SeenPerMailbox);
    // A mailbox that never lists whole keeps growing: only the bound stops it.
    RememberCheckedMessages(s, ann, headers(1, limit), false);
    RememberCheckedMessages(s, bob, headers(100001, 100010), true);
    QCOMPARE(s.SeenHeaders.CountOf(MailboxName(ann)), qsizetype(limit));
    RememberCheckedMessages(s, ann, headers(limit + 1, limit + 3), false);
    QCOMPARE(s.SeenHeaders.CountOf(MailboxName(ann)), qsizetype(limit));
    QVERIFY(!IsSeenHeader(s, header(1)));
    QVERIFY(!IsSeenHeader(s, header(3)));
    QVERIFY(IsSeenHeader(s, header(4)));
    QVERIFY(IsSeenHeader(s, header(limit + 3)));
    // The other mailbox keeps all of its own.
    QCOMPARE(s.SeenHeaders.CountOf(MailboxName(bob)), qsizetype(10));

    // Entries no configured account holds (an older history file, a removed
    // account) share one bound of their own, the oldest going first.
    s.Accounts = {bob};
    RememberCheckedMessages(s, bob, headers(100001, 100010), true);
    QCOMPARE(s.SeenHeaders.Size(), qsizetype(limit + 10));
    AppendHeader(s.SeenHeaders, header(200000));
    RememberCheckedMessages(s, bob, headers(100001, 100010), true);
    QCOMPARE(s.SeenHeaders.Size(), qsizetype(limit + 10));
    QVERIFY(!IsSeenHeader(s, header(4)));
    QVERIFY(IsSeenHeader(s, header(200000)));
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
