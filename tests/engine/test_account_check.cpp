#include "engine/history_file.h"
#include "engine_rig.h"
#include "engine/mail_engine.h"
#include "engine/pop/pop_client.h"
#include "engine/scheduler.h"
#include "engine/seen_messages.h"
#include "records/keyring_passwords.h"
#include "support/fake_pop3_server.h"
#include "tree/account_nodes.h"
#include "tree/account_tree_model.h"
#include "support/recording_monitor_host.h"
#include "support/temp_state.h"
#include "support/checked_tree_model.h"
#include "support/fail_on_warning.h"

#include <QtTest>

// Whole passes and single account checks against the scriptable POP3 server:
// what the tree shows, what the server saw, what the window was asked to do.
class TestAccountCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void failureModes_data();
    void failureModes();
    void passOverSeveralAccounts();
    void countAndSizeTexts_data();
    void countAndSizeTexts();
    void filterDeletion_data();
    void filterDeletion();
    void classificationAcrossPasses_data();
    void classificationAcrossPasses();
    void restartKeepsSeenButNotAcknowledged();
    void messagesWithoutIdAreToldApart();
    void largeMailboxIsNotAnnouncedAgain();
    void mailLog_data();
    void mailLog();
    void unwritableMailLogLeavesCheckGoing();
    void updateNowAcknowledgesAroundItsCheck();
    void autoExitStopsPassAfterFailedConnect();
    void checkThatCannotStartLeavesTreeUntouched_data();
    void checkThatCannotStartLeavesTreeUntouched();
};

namespace {

// A message of exactly `size` bytes as the server counts them: its header,
// then body lines filling it up.
QByteArray MakeMail(const QByteArray& subject, const QByteArray& from, const QByteArray& id,
                    qsizetype size) {
    QByteArray raw = "From: " + from + "\r\nTo: ann@example.org\r\nSubject: " + subject +
                     "\r\nMessage-ID: <" + id + ">\r\n\r\n";
    Q_ASSERT(size >= raw.size() + 4);
    while (raw.size() < size) {
        const qsizetype room = size - raw.size();
        if (room <= 160) {
            const qsizetype first = room / 2;
            raw += QByteArray(first - 2, 'y') + "\r\n" + QByteArray(room - first - 2, 'z') + "\r\n";
            break;
        }
        raw += QByteArray(78, 'x') + "\r\n";
    }
    Q_ASSERT(raw.size() == size);
    return raw;
}

// The two messages most cases use, and how their nodes read.
void AddHello(FakePop3Server& server, qsizetype size = 999) {
    server.AddMessage(MakeMail("Hello", "Ann <ann@example.org>", "hello@example.org", size),
                      "uid-hello");
}
void AddLunch(FakePop3Server& server, qsizetype size = 1500) {
    server.AddMessage(MakeMail("Lunch", "Bob <bob@example.org>", "lunch@example.org", size),
                      "uid-lunch");
}
const QString HelloLine = QStringLiteral("Subject : Hello --- From : Ann <ann@example.org>");
const QString LunchLine = QStringLiteral("Subject : Lunch --- From : Bob <bob@example.org>");

// The engine and scheduler of one program run over a given state.
using Monitor = EngineRig;

struct Rig {
    TempState t;
    AppState& state = *t.State;
    FakePop3Server server;
    const bool listening = server.Listen();
    Monitor m{state};

    // The account "Home" with node key "P1" on the fake server.
    MailAccount& AddHome() {
        state.Accounts.append(
            FakeServerAccount(QStringLiteral("Home"), QStringLiteral("P1"), server.Port()));
        return state.Accounts.last();
    }
};

QList<MessageOutcome> Repeat(MessageOutcome outcome, int times) {
    return QList<MessageOutcome>(times, outcome);
}

} // namespace

enum Fault {
    RefusedConnection,
    SilentGreeting,
    WrongPassword,
    PasswordNotInKeyring,
    EmptyMailbox,
    ErrOnList,
    EmptyMessage,
    ErrOnTop,
    DropMidTop,
    NoReplyToTop,
};

void TestAccountCheck::failureModes_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("accountText");
    QTest::addColumn<QStringList>("messageTexts");
    QTest::addColumn<int>("listed");    // MessagesListed after the pass
    QTest::addColumn<bool>("reason");   // a reason on the node's tool tip
    QTest::addColumn<bool>("quitSent"); // the session was still open: QUIT ends it

    QTest::newRow("connection refused") << int(RefusedConnection) << "Home --- Error Connecting!"
                                        << QStringList() << 0 << true << false;
    QTest::newRow("no greeting (time-out)") << int(SilentGreeting) << "Home --- Error Connecting!"
                                            << QStringList() << 0 << true << false;
    QTest::newRow("wrong password") << int(WrongPassword) << "Home --- Bad user ID or Password!"
                                    << QStringList() << 0 << true << false;
    QTest::newRow("password not in the keyring")
        << int(PasswordNotInKeyring) << "Home --- Bad user ID or Password!" << QStringList() << 0
        << true << false;
    QTest::newRow("empty mailbox")
        << int(EmptyMailbox) << "Home --- No messages." << QStringList() << 0 << false << true;
    QTest::newRow("-ERR on LIST") << int(ErrOnList) << "Home --- 2 messages --- Totaling 0 bytes."
                                  << QStringList{"#1 --- Invalid message!",
                                                 "#2 --- Invalid message!"}
                                  << 0 << true << true;
    QTest::newRow("message of 0 bytes")
        << int(EmptyMessage) << "Home --- 2 messages --- Totaling 999 bytes."
        << QStringList{"#1 --- 999 bytes --- " + HelloLine, "#2 --- Invalid message!"} << 1 << false
        << true;
    QTest::newRow("-ERR on TOP") << int(ErrOnTop) << "Home --- 2 messages --- Totaling 2,499 bytes."
                                 << QStringList{"#1 --- 999 bytes --- Error retrieving header!",
                                                "#2 --- 1,500 bytes --- Error retrieving header!"}
                                 << 0 << true << true;
    QTest::newRow("connection dropped mid-way through TOP")
        << int(DropMidTop) << "Home --- 2 messages --- Totaling 999 bytes."
        << QStringList{"#1 --- 999 bytes --- Error retrieving header!", "#2 --- Invalid message!"}
        << 0 << true << false;
    QTest::newRow("header never arrives (time-out)")
        << int(NoReplyToTop) << "Home --- 2 messages --- Totaling 999 bytes."
        << QStringList{"#1 --- 999 bytes --- Error retrieving header!", "#2 --- Invalid message!"}
        << 0 << true << false;
}

void TestAccountCheck::failureModes() {
    QFETCH(int, fault);
    QFETCH(QString, accountText);
    QFETCH(QStringList, messageTexts);
    QFETCH(int, listed);
    QFETCH(bool, reason);
    QFETCH(bool, quitSent);

    Rig rig;
    QVERIFY(rig.listening);
    MailAccount& home = rig.AddHome();
    if (fault != EmptyMailbox) {
        AddHello(rig.server);
        if (fault == EmptyMessage)
            rig.server.AddMessage(QByteArray(), "uid-empty");
        else
            AddLunch(rig.server);
    }
    switch (fault) {
    case RefusedConnection:
        home.Port = FakePop3Server::ClosedPort();
        break;
    case SilentGreeting:
        rig.server.SilentGreeting = true;
        rig.m.pop.ConnectTimeoutMs = 300;
        break;
    case WrongPassword:
        home.Password = QStringLiteral("wrong");
        break;
    case PasswordNotInKeyring:
        home.Password.clear();
        home.PasswordProblem = KeyringProblem::Missing;
        break;
    case ErrOnList:
        rig.server.ErrOn = "LIST";
        break;
    case ErrOnTop:
        rig.server.ErrOn = "TOP";
        break;
    case DropMidTop:
        rig.server.DropMidReplyOn = "TOP";
        break;
    case NoReplyToTop:
        rig.server.NoReplyTo = "TOP";
        rig.m.pop.CommandTimeoutMs = 300;
        break;
    default:
        break;
    }

    rig.m.RunPass();

    QCOMPARE(rig.m.tree.Text("P1"), accountText);
    QCOMPARE(rig.m.Texts("P1"), messageTexts);
    QCOMPARE(int(rig.m.engine.MessagesListed), listed);
    QCOMPARE(int(rig.m.engine.FirstSeenCount), listed);
    // Menus off for the check and on again after it; the pointer balanced.
    QCOMPARE(rig.m.host.MenuStates, (QList<bool>{false, true}));
    QCOMPARE(rig.m.host.BusyStates, (QList<bool>{true, false}));
    QVERIFY(rig.m.host.MenusEnabled);
    QCOMPARE(rig.m.host.BusyPointer, 0);
    QVERIFY(rig.m.host.UpdateNowEnabled);
    QVERIFY(!rig.state.ExitPending);
    QVERIFY(!rig.m.engine.CheckRunning());

    const QString error = rig.m.engine.AccountErrors.value("P1");
    QCOMPARE(!error.isEmpty(), reason);
    QCOMPARE(rig.m.tree.ToolTip("P1"), error);
    if (quitSent)
        QCOMPARE(rig.server.Transcript.last(), QString("QUIT"));
    if (fault == PasswordNotInKeyring) {
        // The reason is the keyring's, and the server was never asked.
        QCOMPARE(error, KeyringProblem::Missing);
        QCOMPARE(rig.server.Transcript, QStringList());
    }
    // Every session is over when the check returns.
    QCOMPARE(rig.m.pop.ConnectionState(), qint16(PopClient::ConnectionClosed));
    QVERIFY(!rig.m.pop.Busy());
}

void TestAccountCheck::passOverSeveralAccounts() {
    Rig rig;
    QVERIFY(rig.listening);
    FakePop3Server stalled; // never sends a header
    QVERIFY(stalled.Listen());
    AddHello(stalled);
    stalled.NoReplyTo = "TOP";
    rig.m.pop.CommandTimeoutMs = 500;
    AddHello(rig.server);
    AddLunch(rig.server);

    rig.state.Accounts.append(FakeServerAccount("Home", "P1", stalled.Port()));
    MailAccount old = FakeServerAccount("Old", "P2", rig.server.Port());
    old.Disabled = true;
    rig.state.Accounts.append(old);
    MailAccount work = FakeServerAccount("Work", "P3", rig.server.Port());
    work.Password = "wrong";
    rig.state.Accounts.append(work);
    rig.state.Accounts.append(FakeServerAccount("Shop", "P4", rig.server.Port()));

    rig.m.RunPass();

    // Each account shows its own outcome; a failure never spills into the next.
    QCOMPARE(rig.m.tree.Text("P1"), QString("Home --- 1 message --- Totaling 999 bytes."));
    QCOMPARE(rig.m.Texts("P1"), QStringList{"#1 --- 999 bytes --- Error retrieving header!"});
    QCOMPARE(rig.m.tree.Text("P2"), QString("Old--- Disabled."));
    QCOMPARE(rig.m.tree.Image("P2"), NodeImage::Closed);
    QCOMPARE(rig.m.tree.Text("P3"), QString("Work --- Bad user ID or Password!"));
    QCOMPARE(rig.m.tree.Text("P4"), QString("Shop --- 2 messages --- Totaling 2,499 bytes."));
    QCOMPARE(rig.m.Texts("P4"), (QStringList{"#1 --- 999 bytes --- " + HelloLine,
                                             "#2 --- 1,500 bytes --- " + LunchLine}));
    QCOMPARE(rig.m.tree.Keys(),
             (QStringList{"P1", rig.m.tree.ChildKeys("P1").first(), "P2", "P3", "P4",
                          rig.m.tree.ChildKeys("P4").at(0), rig.m.tree.ChildKeys("P4").at(1)}));
    QCOMPARE(int(rig.m.engine.MessagesListed), 2);
    QCOMPARE(int(rig.m.engine.FirstSeenCount), 2);

    QVERIFY(!rig.m.engine.AccountErrors.value("P1").isEmpty());
    QVERIFY(!rig.m.engine.AccountErrors.value("P3").isEmpty());
    QVERIFY(!rig.m.engine.AccountErrors.contains("P2"));
    QVERIFY(!rig.m.engine.AccountErrors.contains("P4"));
    QCOMPARE(rig.m.tree.ToolTip("P4"), QString());
    // Three checks, each with the menus off and on again; the pass ends idle.
    QCOMPARE(rig.m.host.MenuStates, (QList<bool>{false, true, false, true, false, true}));
    QCOMPARE(rig.m.host.BusyPointer, 0);
    QCOMPARE(rig.m.host.Caption, QString("Larkwatch"));
    QVERIFY(rig.m.host.UpdateNowEnabled);
    QCOMPARE(rig.state.SecondsLeft, rig.state.PollMinutes * 60);
}

void TestAccountCheck::countAndSizeTexts_data() {
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QString>("accountText");
    QTest::addColumn<QStringList>("messageTexts");

    QTest::newRow("one message of 999 bytes")
        << QList<int>{999} << "Home --- 1 message --- Totaling 999 bytes."
        << QStringList{"#1 --- 999 bytes --- " + HelloLine};
    QTest::newRow("two messages, 999 and 1,234,567 bytes")
        << QList<int>{999, 1234567} << "Home --- 2 messages --- Totaling 1,235,566 bytes."
        << QStringList{"#1 --- 999 bytes --- " + HelloLine,
                       "#2 --- 1,234,567 bytes --- " + LunchLine};
    QTest::newRow("1,000 bytes") << QList<int>{1000}
                                 << "Home --- 1 message --- Totaling 1,000 bytes."
                                 << QStringList{"#1 --- 1,000 bytes --- " + HelloLine};
}

void TestAccountCheck::countAndSizeTexts() {
    QFETCH(QList<int>, sizes);
    QFETCH(QString, accountText);
    QFETCH(QStringList, messageTexts);

    Rig rig;
    QVERIFY(rig.listening);
    rig.AddHome();
    AddHello(rig.server, sizes.at(0));
    if (sizes.size() > 1)
        AddLunch(rig.server, sizes.at(1));

    rig.m.RunPass();

    QCOMPARE(rig.m.tree.Text("P1"), accountText);
    QCOMPARE(rig.m.Texts("P1"), messageTexts);
    QCOMPARE(rig.m.Images("P1"), QStringList(sizes.size(), NodeImage::NewMail));
    QCOMPARE(int(rig.m.engine.MessagesListed), int(sizes.size()));
    QVERIFY(rig.m.engine.AccountErrors.isEmpty());
    // Each node carries its header as captured.
    const QString tag = rig.m.tree.Tag(rig.m.tree.ChildKeys("P1").first());
    QVERIFY(tag.contains("Subject : Hello\r\n"));
    QVERIFY(tag.contains("Message-ID : <hello@example.org>\r\n"));
}

void TestAccountCheck::filterDeletion_data() {
    // empty, "-ERR" or "drop" (at DELE), "-ERR at QUIT" or "drop at QUIT"
    QTest::addColumn<QByteArray>("deleFault");
    QTest::addColumn<QStringList>("messageTexts");
    QTest::addColumn<int>("firstSeen");
    QTest::addColumn<int>("mailboxAfter");
    QTest::addColumn<QString>("total");

    QTest::newRow("deleted on the server")
        << QByteArray()
        << QStringList{"(Deleted) --- " + HelloLine, "#1 --- 1,500 bytes --- " + LunchLine} << 1
        << 1 << "2,499";
    QTest::newRow("server refuses DELE")
        << QByteArray("-ERR")
        << QStringList{"#1 --- 999 bytes --- Unable to Delete message!",
                       "#1 --- 1,500 bytes --- " + LunchLine}
        << 1 << 2 << "2,499";
    // A dropped session never commits a deletion: the server keeps both.
    QTest::newRow("connection lost during DELE")
        << QByteArray("drop")
        << QStringList{"#1 --- 999 bytes --- Unable to Delete message!", "#1 --- Invalid message!"}
        << 0 << 2 << "999";
    // DELE answered, but the server removes the message only at QUIT's +OK.
    for (const char* quitFault : {"-ERR at QUIT", "drop at QUIT"})
        QTest::newRow(quitFault) << QByteArray(quitFault)
                                 << QStringList{"#1 --- 999 bytes --- Unable to Delete message!",
                                                "#1 --- 1,500 bytes --- " + LunchLine}
                                 << 1 << 2 << "2,499";
}

void TestAccountCheck::filterDeletion() {
    QFETCH(QByteArray, deleFault);
    QFETCH(QStringList, messageTexts);
    QFETCH(int, firstSeen);
    QFETCH(int, mailboxAfter);
    QFETCH(QString, total);

    Rig rig;
    QVERIFY(rig.listening);
    rig.AddHome();
    AddHello(rig.server);
    AddLunch(rig.server);
    if (deleFault == "-ERR")
        rig.server.ErrOn = "DELE";
    else if (deleFault == "drop")
        rig.server.DropMidReplyOn = "DELE";
    else if (deleFault == "-ERR at QUIT")
        rig.server.ErrOn = "QUIT";
    else if (deleFault == "drop at QUIT")
        rig.server.DropOn = "QUIT";
    FilterRule fromAnn;
    fromAnn.SenderText = "ann";
    fromAnn.SenderMatch = false;
    fromAnn.Active = true;
    rig.state.FilterList = {fromAnn};

    rig.m.RunPass();

    QCOMPARE(rig.m.tree.Text("P1"), "Home --- 2 messages --- Totaling " + total + " bytes.");
    // The message after the deleted one takes its display number.
    QCOMPARE(rig.m.Texts("P1"), messageTexts);
    QCOMPARE(rig.m.Images("P1"), (QStringList{NodeImage::Deleted, NodeImage::NewMail}));
    // The deleted message is listed but neither new nor logged.
    QCOMPARE(int(rig.m.engine.MessagesListed), 1 + firstSeen);
    QCOMPARE(int(rig.m.engine.FirstSeenCount), firstSeen);
    QCOMPARE(int(rig.state.NewMailCount), firstSeen);
    QCOMPARE(rig.m.engine.AccountErrors.isEmpty(), deleFault.isEmpty());

    const QStringList& said = rig.server.Transcript;
    QVERIFY(!said.contains("DELE 2"));
    QCOMPARE(said.count("DELE 1"), 1);
    if (deleFault != "drop") {
        QCOMPARE(said.last(), QString("QUIT"));
        QVERIFY(said.indexOf("DELE 1") < said.indexOf("QUIT"));
    }
    QCOMPARE(int(rig.server.Mailbox.size()), mailboxAfter);
    QVERIFY(rig.server.Mailbox.last().Raw.contains("Subject: Lunch"));
    // What `--check --json` reports: "deleted" only once the server removed it.
    QCOMPARE(rig.m.Outcomes("P1").first(),
             deleFault.isEmpty() ? MessageOutcome::Deleted : MessageOutcome::Failed);
    if (deleFault.isEmpty()) {
        QCOMPARE(rig.m.Outcomes("P1"),
                 (QList<MessageOutcome>{MessageOutcome::Deleted, MessageOutcome::FirstSeen}));
    }
}

void TestAccountCheck::classificationAcrossPasses_data() {
    QTest::addColumn<bool>("viaMarkAllRead");
    QTest::newRow("AcknowledgeShownMessages") << false;
    QTest::newRow("MarkAllRead") << true;
}

void TestAccountCheck::classificationAcrossPasses() {
    QFETCH(bool, viaMarkAllRead);

    Rig rig;
    QVERIFY(rig.listening);
    rig.AddHome();
    AddHello(rig.server);
    AddLunch(rig.server);
    const QStringList allNew(2, NodeImage::NewMail);

    rig.m.RunPass(); // first seen
    QCOMPARE(rig.m.Images("P1"), allNew);
    QCOMPARE(int(rig.m.engine.FirstSeenCount), 2);
    QCOMPARE(int(rig.state.NewMailCount), 2);
    QCOMPARE(rig.m.Outcomes("P1"), Repeat(MessageOutcome::FirstSeen, 2));

    rig.m.RunPass(); // seen, not acknowledged: still new
    QCOMPARE(rig.m.Images("P1"), allNew);
    QCOMPARE(int(rig.m.engine.FirstSeenCount), 0);
    QCOMPARE(int(rig.state.NewMailCount), 2);
    QCOMPARE(rig.m.Outcomes("P1"), Repeat(MessageOutcome::Known, 2));

    if (viaMarkAllRead) {
        rig.m.engine.MarkAllRead();
        QCOMPARE(rig.m.Images("P1"), QStringList(2, NodeImage::Mail));
    } else {
        rig.m.engine.AcknowledgeShownMessages();
    }
    QCOMPARE(int(rig.state.NewMailCount), 0);

    // A third message arrives: only it is new.
    rig.server.AddMessage(MakeMail("Later", "Cy <cy@example.org>", "later@example.org", 700),
                          "uid-later");
    rig.m.RunPass();
    QCOMPARE(rig.m.Images("P1"),
             (QStringList{NodeImage::Mail, NodeImage::Mail, NodeImage::NewMail}));
    QCOMPARE(int(rig.m.engine.FirstSeenCount), 1);
    QCOMPARE(int(rig.state.NewMailCount), 1);
    QCOMPARE(int(rig.m.engine.MessagesListed), 3);
    QCOMPARE(rig.m.Outcomes("P1"),
             (QList<MessageOutcome>{MessageOutcome::Known, MessageOutcome::Known,
                                    MessageOutcome::FirstSeen}));

    // Reports are kept for the nodes on display only, however many passes ran.
    QStringList reported = rig.m.engine.Reports.keys();
    QStringList shown = rig.m.tree.ChildKeys("P1");
    reported.sort();
    shown.sort();
    QCOMPARE(reported, shown);
}

void TestAccountCheck::restartKeepsSeenButNotAcknowledged() {
    Rig rig;
    QVERIFY(rig.listening);
    rig.AddHome();
    AddHello(rig.server);
    AddLunch(rig.server);

    rig.m.RunPass();
    rig.m.engine.AcknowledgeShownMessages(); // as the window does when it unloads
    QString why;
    QVERIFY2(SaveHistory(rig.state, &why), qPrintable(why));

    // The next run of the program: same files, fresh lists.
    std::unique_ptr<AppState> reopened = rig.t.Reopen();
    reopened->Accounts = rig.state.Accounts;
    LoadHistory(*reopened);
    QCOMPARE(int(reopened->SeenHeaders.Size()), 2);
    Monitor next(*reopened);
    next.RunPass();

    QCOMPARE(next.Texts("P1"), (QStringList{"#1 --- 999 bytes --- " + HelloLine,
                                            "#2 --- 1,500 bytes --- " + LunchLine}));
    QCOMPARE(int(next.engine.FirstSeenCount), 0);
    QCOMPARE(next.Images("P1"), QStringList(2, NodeImage::NewMail));
    QCOMPARE(int(reopened->NewMailCount), 2);
    QCOMPARE(next.Outcomes("P1"), Repeat(MessageOutcome::Known, 2));
}

void TestAccountCheck::messagesWithoutIdAreToldApart() {
    Rig rig;
    QVERIFY(rig.listening);
    rig.AddHome();
    auto withoutId = [](const QByteArray& subject) {
        return "From: Ann <ann@example.org>\r\nSubject: " + subject + "\r\n\r\nHi.\r\n";
    };
    rig.server.AddMessage(withoutId("One"), "uid-one");
    rig.m.RunPass();
    QCOMPARE(int(rig.m.engine.FirstSeenCount), 1);

    // Another message without a Message-Id is a different message, not the same one.
    rig.server.AddMessage(withoutId("Two"), "uid-two");
    rig.m.RunPass();
    QCOMPARE(rig.m.Outcomes("P1"),
             (QList<MessageOutcome>{MessageOutcome::Known, MessageOutcome::FirstSeen}));
    QCOMPARE(int(rig.m.engine.FirstSeenCount), 1);
}

void TestAccountCheck::largeMailboxIsNotAnnouncedAgain() {
    Rig rig;
    QVERIFY(rig.listening);
    rig.AddHome();
    const int count = 130; // more than the seen list's usual 100 entries
    for (int n = 1; n <= count; ++n) {
        const QByteArray id = "m" + QByteArray::number(n);
        rig.server.AddMessage(MakeMail("Note " + QByteArray::number(n), "Ann <ann@example.org>",
                                       id + "@example.org", 400),
                              "uid-" + id);
    }
    rig.m.RunPass();
    QCOMPARE(int(rig.m.engine.FirstSeenCount), count);
    rig.m.RunPass();
    QCOMPARE(int(rig.m.engine.FirstSeenCount), 0);
    QCOMPARE(int(rig.m.engine.MessagesListed), count);
    QCOMPARE(rig.m.Outcomes("P1"), Repeat(MessageOutcome::Known, count));
}

void TestAccountCheck::mailLog_data() {
    QTest::addColumn<bool>("logDisabled");
    QTest::addColumn<bool>("allInOne");
    QTest::addColumn<bool>("helloAtWork"); // Work's mailbox holds the same Hello
    // "file=subject,subject": the file and the messages it holds, in order.
    QTest::addColumn<QStringList>("files");

    QTest::newRow("one master log")
        << false << true << false << QStringList{"Master.doc=Hello,Lunch,Budget"};
    QTest::newRow("one log per account")
        << false << false << false << QStringList{"Home.doc=Hello,Lunch", "Work.doc=Budget"};
    QTest::newRow("logging off") << true << true << false << QStringList();
    // Both accounts meet it for the first time in this pass.
    QTest::newRow("a message in both accounts, one log per account")
        << false << false << true << QStringList{"Home.doc=Hello,Lunch", "Work.doc=Hello,Budget"};
    QTest::newRow("a message in both accounts, one master log")
        << false << true << true << QStringList{"Master.doc=Hello,Lunch,Hello,Budget"};
}

void TestAccountCheck::mailLog() {
    QFETCH(bool, logDisabled);
    QFETCH(bool, allInOne);
    QFETCH(bool, helloAtWork);
    QFETCH(QStringList, files);

    Rig rig;
    QVERIFY(rig.listening);
    FakePop3Server work;
    QVERIFY(work.Listen());
    rig.AddHome();
    rig.state.Accounts.append(FakeServerAccount("Work", "P2", work.Port()));
    AddHello(rig.server);
    AddLunch(rig.server);
    if (helloAtWork)
        AddHello(work);
    work.AddMessage(MakeMail("Budget", "Eve <eve@example.org>", "budget@example.org", 800),
                    "uid-budget");
    // A folder that does not exist yet: logging creates it.
    const QString folder = rig.t.Dir.path() + "/mail logs/";
    rig.state.AppSettings.LogDisabled = logDisabled;
    rig.state.AppSettings.LogAllInOne = allInOne;
    rig.state.AppSettings.LogFilesPath = folder;

    rig.m.RunPass();
    // Logging or not, first-seen messages are counted and remembered.
    QCOMPARE(int(rig.m.engine.FirstSeenCount), helloAtWork ? 4 : 3);
    QCOMPARE(rig.m.Outcomes("P2"), Repeat(MessageOutcome::FirstSeen, helloAtWork ? 2 : 1));
    QCOMPARE(int(rig.state.SeenHeaders.Size()), 3);
    QVERIFY(rig.m.engine.AccountErrors.isEmpty());

    // Each file holds the captured headers of its messages, one entry each.
    auto tagOf = [&](const QString& subject) {
        for (const QString& key : rig.m.tree.Keys()) {
            const QString tag = rig.m.tree.Tag(key);
            if (tag.contains("Subject : " + subject + "\r\n"))
                return tag;
        }
        return QString();
    };
    QMap<QString, QByteArray> expected;
    for (const QString& file : files) {
        QByteArray& content = expected[file.section('=', 0, 0)];
        for (const QString& subject : file.section('=', 1).split(',')) {
            const QString tag = tagOf(subject);
            QVERIFY2(!tag.isEmpty(), qPrintable(subject));
            content += "[Begin Header]\r\n" + tag.toUtf8() + "[End Header]\r\n";
        }
    }
    auto checkFiles = [&] {
        QCOMPARE(QDir(folder).exists(), !logDisabled);
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), expected.keys());
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            QFile file(folder + it.key());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), it.value());
        }
    };
    checkFiles();
    if (QTest::currentTestFailed())
        return;

    // The same messages again: nothing more is logged.
    rig.m.RunPass();
    QCOMPARE(int(rig.m.engine.FirstSeenCount), 0);
    checkFiles();
}

void TestAccountCheck::unwritableMailLogLeavesCheckGoing() {
    Rig rig;
    QVERIFY(rig.listening);
    rig.AddHome();
    AddHello(rig.server);
    AddLunch(rig.server);
    // The log folder's place is taken by a file.
    QFile blocker(rig.t.Dir.path() + "/blocker");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    rig.state.AppSettings.LogDisabled = false;
    rig.state.AppSettings.LogFilesPath = blocker.fileName() + "/";

    rig.m.RunPass();

    QCOMPARE(rig.m.tree.Text("P1"), QString("Home --- 2 messages --- Totaling 2,499 bytes."));
    QCOMPARE(rig.m.Texts("P1"), (QStringList{"#1 --- 999 bytes --- " + HelloLine,
                                             "#2 --- 1,500 bytes --- " + LunchLine}));
    QCOMPARE(int(rig.m.engine.FirstSeenCount), 2);
    const QString error = rig.m.engine.AccountErrors.value("P1");
    QVERIFY2(error.startsWith("Mail log not written"), qPrintable(error));
    QCOMPARE(rig.m.tree.ToolTip("P1"), error);
    QCOMPARE(rig.m.host.MenuStates, (QList<bool>{false, true}));
    QCOMPARE(rig.server.Transcript.last(), QString("QUIT"));
}

void TestAccountCheck::updateNowAcknowledgesAroundItsCheck() {
    Rig rig;
    QVERIFY(rig.listening);
    rig.AddHome();
    AddHello(rig.server);
    rig.state.AppSettings.AutoDialog = true;
    rig.state.PollMinutes = 5;
    rig.m.RunPass();
    QCOMPARE(rig.m.Images("P1"), QStringList{NodeImage::NewMail});
    rig.m.host.DialogCalls.clear();

    AddLunch(rig.server);
    rig.m.host.MenuStates.clear();
    rig.m.scheduler.mnuUpdateNow_Click();
    rig.m.poolingEvent.stop();

    // What was on display counts as read; only the message that arrived is new.
    QCOMPARE(rig.m.Texts("P1"), (QStringList{"#1 --- 999 bytes --- " + HelloLine,
                                             "#2 --- 1,500 bytes --- " + LunchLine}));
    QCOMPARE(rig.m.Images("P1"), (QStringList{NodeImage::Mail, NodeImage::NewMail}));
    QCOMPARE(rig.m.host.DialogCalls, QList<bool>{false}); // shown, not focused
    // Update Now acknowledges what it listed, and restarts the full countdown.
    QCOMPARE(int(rig.state.NewMailCount), 0);
    QVERIFY(IsAcknowledgedHeader(rig.state, rig.m.tree.Tag(rig.m.tree.ChildKeys("P1").last())));
    QCOMPARE(rig.state.SecondsLeft, 300);
    QCOMPARE(rig.m.host.MenuStates, (QList<bool>{false, true}));
    QCOMPARE(rig.m.host.BusyPointer, 0);
}

void TestAccountCheck::autoExitStopsPassAfterFailedConnect() {
    Rig rig;
    QVERIFY(rig.listening);
    rig.state.Accounts.append(FakeServerAccount("Home", "P1", FakePop3Server::ClosedPort()));
    rig.state.Accounts.append(FakeServerAccount("Work", "P2", rig.server.Port()));
    AddHello(rig.server);
    rig.state.AppSettings.AutoExit = true;
    rig.state.AppSettings.AutoDialog = true;
    rig.state.AppSettings.PlayWav = true;

    rig.m.RunPass();

    QVERIFY(rig.state.ExitPending);
    QCOMPARE(rig.m.tree.Text("P1"), QString("Home --- Error Connecting!"));
    QVERIFY(!rig.m.engine.AccountErrors.value("P1").isEmpty());
    // The pass stopped before the next account: no node, no connection.
    QVERIFY(!rig.m.tree.HasNode("P2"));
    QVERIFY(rig.server.Transcript.isEmpty());
    // The program is about to close: the menus stay off, nothing is announced.
    QCOMPARE(rig.m.host.MenuStates, QList<bool>{false});
    QVERIFY(!rig.m.host.MenusEnabled);
    QCOMPARE(rig.m.host.BusyPointer, 0);
    QVERIFY(rig.m.host.DialogCalls.isEmpty());
    QVERIFY(rig.m.host.Sounds.isEmpty());
    QCOMPARE(rig.m.pop.ConnectionState(), qint16(PopClient::ConnectionClosed));

    // The next tick closes the program.
    rig.m.scheduler.PoolingEvent_Timer();
    QCOMPARE(rig.m.host.CloseRequests, 1);
}

enum Blocker { Suspended, NoDropHighlight, DisabledAccount };

void TestAccountCheck::checkThatCannotStartLeavesTreeUntouched_data() {
    QTest::addColumn<int>("blocker");
    QTest::newRow("monitoring suspended") << int(Suspended);
    QTest::newRow("no drop-highlighted node") << int(NoDropHighlight);
    QTest::newRow("disabled account") << int(DisabledAccount);
}

void TestAccountCheck::checkThatCannotStartLeavesTreeUntouched() {
    QFETCH(int, blocker);

    Rig rig;
    QVERIFY(rig.listening);
    MailAccount& home = rig.AddHome();
    AddHello(rig.server);
    home.Disabled = blocker == DisabledAccount;
    rig.state.MonitoringSuspended = blocker == Suspended;
    ShowAccountsUnchecked(rig.state, rig.m.tree);
    const QString before = rig.m.tree.Text("P1");
    if (blocker != NoDropHighlight) {
        rig.m.tree.SetDropHighlight("P1");
        rig.m.tree.SetSelectedKey("P1");
    }
    rig.state.CurrentAccount = 1;

    rig.m.engine.CheckAccount();

    QCOMPARE(rig.m.tree.Text("P1"), before);
    QCOMPARE(rig.m.tree.NodeCount(), 1);
    QVERIFY(rig.m.host.MenuStates.isEmpty());
    QVERIFY(rig.m.host.BusyStates.isEmpty());
    QVERIFY(rig.server.Transcript.isEmpty());
    QCOMPARE(int(rig.m.engine.MessagesListed), 0);
}

QTEST_MAIN(TestAccountCheck)
#include "test_account_check.moc"
