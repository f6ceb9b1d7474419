#include "engine/history_file.h"
#include "engine/seen_messages.h"
#include "engine/size_format.h"
#include "support/file_contents.h"
#include "support/temp_state.h"
#include "tree/account_nodes.h"
#include "engine_rig.h"

#include <QRegularExpression>
#include <QtTest>

// The seen memory across an outage of one of two accounts: whatever keeps the
// second account from being checked for one pass, no message is announced as
// new or written to the mail log a second time once it is back, with or
// without a restart of the program in between.
class TestSeenMemory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void outageOfOneAccount_data();
    void outageOfOneAccount();
};

namespace {

enum Outage { Unreachable, LogonFailure, DroppedMidList, DroppedMidHeaders, Disabled, LeftOut };
enum Restart { NoRestart, RestartBefore, RestartAfter };

// The Message-IDs in a mail log, in order.
QStringList LoggedIds(const QString& path) {
    QStringList ids;
    static const QRegularExpression id(QStringLiteral("Message-ID : (<[^>]+>)\r\n"),
                                       QRegularExpression::CaseInsensitiveOption);
    auto it = id.globalMatch(QString::fromUtf8(ReadWholeFile(path)));
    while (it.hasNext())
        ids.append(it.next().captured(1));
    return ids;
}

QStringList Ids(const QByteArray& box, int count) {
    QStringList ids;
    for (int n = 1; n <= count; ++n)
        ids.append(QStringLiteral("<%1.%2@example.org>").arg(n).arg(QString::fromLatin1(box)));
    return ids;
}

} // namespace

void TestSeenMemory::outageOfOneAccount_data() {
    QTest::addColumn<int>("outage");
    QTest::addColumn<int>("restart");
    QTest::addColumn<QString>("workStatus"); // Work's node during the outage

    const QString connectError = "Work --- Error Connecting!";
    const QString logonError = "Work --- Bad user ID or Password!";
    const QString midList = "Work --- 120 messages --- Totaling 0 bytes.";
    const QString disabled = "Work--- Disabled.";
    const struct {
        const char* name;
        Outage outage;
        QString status;
    } outages[] = {
        {"unreachable", Unreachable, connectError},
        {"log-on refused", LogonFailure, logonError},
        {"connection dropped mid-list", DroppedMidList, midList},
        {"connection dropped mid-way through the headers", DroppedMidHeaders, QString()},
        {"disabled for a pass", Disabled, disabled},
        {"only the other account checked", LeftOut, QString()},
    };
    const struct {
        const char* name;
        Restart restart;
    } restarts[] = {{"", NoRestart},
                    {", killed and restarted before the outage", RestartBefore},
                    {", killed and restarted after the outage", RestartAfter}};
    for (const auto& o : outages) {
        for (const auto& r : restarts)
            QTest::addRow("%s%s", o.name, r.name) << int(o.outage) << int(r.restart) << o.status;
    }
}

void TestSeenMemory::outageOfOneAccount() {
    QFETCH(int, outage);
    QFETCH(int, restart);
    QFETCH(QString, workStatus);

    TempState t;
    FakePop3Server home, work;
    QVERIFY(home.Listen());
    QVERIFY(work.Listen());
    const quint16 workPort = work.Port();
    FillMailbox(home, "home", 40);
    FillMailbox(work, "work", 120);
    const QString logs = t.Dir.path() + "/logs/";

    // One program run over the files in t; a restart is a new run that never
    // had the chance to end normally.
    std::unique_ptr<AppState> state;
    std::unique_ptr<EngineRig> rig;
    auto start = [&] {
        rig.reset();
        state = t.Reopen();
        state->Accounts = {FakeServerAccount("Home", "P1", home.Port()),
                           FakeServerAccount("Work", "P2", workPort)};
        state->AppSettings.LogDisabled = false;
        state->AppSettings.LogAllInOne = false;
        state->AppSettings.LogFilesPath = logs;
        LoadHistory(*state);
        rig = std::make_unique<EngineRig>(*state);
        rig->pop.CommandTimeoutMs = 2000;
    };
    start();

    rig->RunPass();
    QCOMPARE(int(rig->engine.FirstSeenCount), 160);

    if (restart == RestartBefore)
        start();
    switch (outage) {
    case Unreachable:
        work.close();
        break;
    case LogonFailure:
        work.Password = "changed meanwhile";
        break;
    case DroppedMidList:
        work.DropMidReplyOn = "LIST";
        break;
    case DroppedMidHeaders:
        work.DropAfterMessages = 60;
        break;
    case Disabled:
        state->Account(2).Disabled = true;
        break;
    case LeftOut:
        break;
    }
    if (outage == LeftOut) {
        // An account command checks one account and acknowledges what is on display.
        ShowAccountsUnchecked(*state, rig->tree);
        rig->tree.SetDropHighlight("P1");
        state->CurrentAccount = 1;
        rig->engine.FirstSeenCount = 0;
        rig->engine.CheckAccount();
        rig->engine.AcknowledgeShownMessages();
        QCOMPARE(rig->tree.Text("P2"), QString("Work --- Unchecked."));
    } else {
        rig->RunPass();
        if (workStatus.isEmpty()) // part-way: some headers came, then the drop
            QVERIFY2(rig->tree.Text("P2").startsWith("Work --- 120 messages --- Totaling "),
                     qPrintable(rig->tree.Text("P2")));
        else
            QCOMPARE(rig->tree.Text("P2"), workStatus);
    }
    qint64 homeBytes = 0;
    for (const FakePop3Server::Message& m : home.Mailbox)
        homeBytes += m.Raw.size();
    QCOMPARE(rig->tree.Text("P1"),
             "Home --- 40 messages --- Totaling " + FormatByteCount(homeBytes) + " bytes.");
    QCOMPARE(int(rig->engine.FirstSeenCount), 0);

    // Back as it was.
    if (outage == Unreachable)
        QVERIFY(work.listen(QHostAddress::LocalHost, workPort));
    work.Password = "secret";
    work.DropMidReplyOn.clear();
    work.DropAfterMessages = 0;
    state->Account(2).Disabled = false;
    if (restart == RestartAfter)
        start();
    rig->RunPass();

    QVERIFY2(rig->tree.Text("P2").startsWith("Work --- 120 messages --- Totaling "),
             qPrintable(rig->tree.Text("P2")));
    QCOMPARE(int(rig->engine.MessagesListed), 160);
    QCOMPARE(int(rig->engine.FirstSeenCount), 0);
    QCOMPARE(rig->Outcomes("P2"), QList<MessageOutcome>(120, MessageOutcome::Known));
    // Each message was logged once, when it was first seen.
    QCOMPARE(LoggedIds(logs + "Home.doc"), Ids("home", 40));
    QCOMPARE(LoggedIds(logs + "Work.doc"), Ids("work", 120));
    // And the history file on disk holds them all (written after the pass).
    auto next = t.Reopen();
    LoadHistory(*next);
    QCOMPARE(int(next->SeenHeaders.Size()), 160);
    QCOMPARE(int(next->SeenHeaders.CountOf(MailboxName(state->Account(2)))), 120);
}

QTEST_MAIN(TestSeenMemory)
#include "test_seen_memory.moc"
