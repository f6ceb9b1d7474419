#include "support/fail_on_warning.h"
#include "engine/header_text.h"
#include "engine/seen_messages.h"
#include "engine/size_format.h"
#include "support/temp_state.h"
#include "engine_rig.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <ctime>

// A hostile server at every step of a POP3 conversation: for each step and
// each fault, the check ends with the status it is meant to end with, the
// menus and the pointer come back, the other account is checked as if nothing
// happened, nothing is deleted, the account's seen memory is kept, and the
// event loop keeps turning. The steps of the message commands (RETR, DELE) are driven on
// the POP client itself.
class TestHostileServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void matrix_data();
    void matrix();
    void cleanupTestCase();

private:
    qint64 m_worstWallMs = 0;
    qint64 m_worstCpuMs = 0;
    QString m_worstWallRow;
    QString m_worstCpuRow;
};

void TestHostileServer::init() {
    FailOnUnexpectedWarnings();
}

namespace {

enum Fault { Drop, Stall, Garbage, HugeLine, Endless, WrongCount };
// How Home's check ends.
enum Outcome {
    Fine,            // as if nothing had happened
    ConnectError,    // " --- Error Connecting!"
    LogonError,      // " --- Bad user ID or Password!"
    SizesLost,       // the connection went during LIST: every message invalid
    FirstHeaderLost, // it went at the first header: #1 header error, the rest invalid
    LastSizeMissing, // LIST without the last message: #3 invalid
    OneMessageFewer, // STAT counts two: two messages listed
    MessageFails,    // RETR: the message view gets state 4, the connection is gone
    MessageArrives,  // RETR: the message arrives, the connection stays
    NotDeleted,      // DELE: no Delete event, the connection is gone
    DeleteThenFault, // DELE: "+OK", then the connection is gone (no QUIT commits it)
};

constexpr int kTimeoutMs = 1000;

// Worst lateness of a 10 ms timer, and the most CPU time this thread spent
// between two of its ticks: the first shows any stall, the second only the
// stalls the program itself causes (a loaded machine does not add to it).
// The lateness leaves out the time the thread was ready to run but waited
// for a core (the kernel's run-queue wait), so a machine busy with other
// work does not pass for a loop that stood still.
class StallProbe {
public:
    StallProbe() {
        m_timer.setInterval(kTickMs);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    }
    void Start() {
        m_worstWallMs = m_worstCpuMs = 0;
        m_clock.start();
        m_lastWall = 0;
        m_lastCpu = CpuNs();
        m_lastWaitNs = RunQueueWaitNs();
        m_timer.start();
    }
    void Stop() {
        Tick();
        m_timer.stop();
    }
    qint64 WorstWallMs() const { return m_worstWallMs; }
    qint64 WorstCpuMs() const { return m_worstCpuMs; }

private:
    static constexpr int kTickMs = 10;
    static qint64 CpuNs() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    }
    // The second figure of /proc/thread-self/schedstat; 0 where the kernel
    // does not keep it.
    static qint64 RunQueueWaitNs() {
        QFile file(QStringLiteral("/proc/thread-self/schedstat"));
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        return file.readAll().split(' ').value(1).toLongLong();
    }
    void Tick() {
        const qint64 wall = m_clock.elapsed();
        const qint64 cpu = CpuNs();
        const qint64 waitNs = RunQueueWaitNs();
        const qint64 waitedMs = (waitNs - m_lastWaitNs) / 1000000;
        m_worstWallMs = std::max(m_worstWallMs, wall - m_lastWall - waitedMs - kTickMs);
        m_worstCpuMs = std::max(m_worstCpuMs, (cpu - m_lastCpu) / 1000000);
        m_lastWall = wall;
        m_lastCpu = cpu;
        m_lastWaitNs = waitNs;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastWall = 0, m_lastCpu = 0, m_lastWaitNs = 0;
    qint64 m_worstWallMs = 0, m_worstCpuMs = 0;
};

void SetFault(FakePop3Server& server, const QByteArray& command, Fault fault) {
    server.DropMidReplyOn = fault == Drop ? command : QByteArray();
    server.NoReplyTo = fault == Stall ? command : QByteArray();
    server.GarbageStatusOn = fault == Garbage ? command : QByteArray();
    server.OversizedLineOn = fault == HugeLine ? command : QByteArray();
    server.EndlessReplyOn = fault == Endless ? command : QByteArray();
    server.WrongCountOn = fault == WrongCount ? command : QByteArray();
}

void ClearFaults(FakePop3Server& server) {
    SetFault(server, QByteArray(), Drop);
}

QStringList Ids(const FakePop3Server& server) {
    QStringList ids;
    for (const FakePop3Server::Message& m : server.Mailbox)
        ids.append(QString::fromLatin1(m.UniqueId));
    return ids;
}

bool WaitIdle(const PopClient& pop) {
    QElapsedTimer clock;
    clock.start();
    while (pop.Busy() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return !pop.Busy();
}

} // namespace

void TestHostileServer::matrix_data() {
    QTest::addColumn<QByteArray>("command"); // the command the fault strikes
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("startTls"); // Home uses STARTTLS
    QTest::addColumn<bool>("offerTop"); // without TOP, headers come from RETR

    const struct {
        const char* name;
        QByteArray command;
        bool startTls;
        bool offerTop;
        // The outcome of a drop, a stall, garbage and a huge line (all four
        // end the connection), of an endless reply and of a wrong count.
        Outcome broken;
        Outcome endless;
        Outcome wrongCount;
    } steps[] = {
        {"greeting", "GREETING", false, true, ConnectError, ConnectError, Fine},
        {"CAPA", "CAPA", false, true, ConnectError, ConnectError, ConnectError},
        {"STLS", "STLS", true, true, ConnectError, ConnectError, ConnectError},
        {"log-on", "PASS", false, true, LogonError, LogonError, LogonError},
        {"STAT", "STAT", false, true, LogonError, LogonError, OneMessageFewer},
        {"LIST", "LIST", false, true, SizesLost, SizesLost, LastSizeMissing},
        {"UIDL", "UIDL", false, true, FirstHeaderLost, FirstHeaderLost, Fine},
        {"TOP", "TOP", false, true, FirstHeaderLost, FirstHeaderLost, Fine},
        {"RETR for a header (no TOP)", "RETR", false, false, FirstHeaderLost, FirstHeaderLost,
         Fine},
        {"RETR", "RETR", false, true, MessageFails, MessageFails, MessageArrives},
        {"DELE", "DELE", false, true, NotDeleted, DeleteThenFault, DeleteThenFault},
        {"QUIT", "QUIT", false, true, Fine, Fine, Fine},
    };
    const struct {
        const char* name;
        Fault fault;
    } faults[] = {{"drop", Drop},
                  {"stall past the time-out", Stall},
                  {"garbage", Garbage},
                  {"a line of 10 MiB", HugeLine},
                  {"endless multi-line reply", Endless},
                  {"wrong count", WrongCount}};
    for (const auto& step : steps) {
        for (const auto& fault : faults) {
            const Outcome outcome = fault.fault == WrongCount ? step.wrongCount
                                    : fault.fault == Endless  ? step.endless
                                                              : step.broken;
            QTest::addRow("%s, %s", step.name, fault.name)
                << step.command << int(fault.fault) << int(outcome) << step.startTls
                << step.offerTop;
        }
    }
}

void TestHostileServer::matrix() {
    QFETCH(QByteArray, command);
    QFETCH(int, fault);
    QFETCH(int, outcome);
    QFETCH(bool, startTls);
    QFETCH(bool, offerTop);

    TempState t;
    AppState& state = *t.State;
    FakePop3Server hostile, good;
    QVERIFY(hostile.Listen());
    QVERIFY(good.Listen());
    FillMailbox(hostile, "home", 3);
    FillMailbox(good, "work", 2);
    hostile.OfferTop = offerTop;
    hostile.OfferStls = startTls;
    hostile.OversizedLineBytes = 10 * 1024 * 1024;
    const QStringList hostileIds = Ids(hostile);
    StallProbe probe;
    const QString row = QString::fromLatin1(QTest::currentDataTag());
    auto noteStall = [&](qint64 passMs) {
        qInfo("%s: pass %lld ms, worst timer lateness (less waits for a core) %lld ms, worst CPU "
              "between ticks %lld ms",
              qPrintable(row), passMs, probe.WorstWallMs(), probe.WorstCpuMs());
        if (probe.WorstWallMs() > m_worstWallMs) {
            m_worstWallMs = probe.WorstWallMs();
            m_worstWallRow = row;
        }
        if (probe.WorstCpuMs() > m_worstCpuMs) {
            m_worstCpuMs = probe.WorstCpuMs();
            m_worstCpuRow = row;
        }
        // The program's own work never holds the loop for long. The bound
        // leaves room for a sanitizer build and a machine shared with other
        // builds; the worst figure of the run is printed at the end. A message
        // cut short at the size cap (64 MiB) is decoded beside the loop and
        // handed over a chunk per turn.
        QVERIFY2(probe.WorstCpuMs() < 250, "the event loop was busy for 250 ms or more");
        QVERIFY2(probe.WorstWallMs() < 1000, "the event loop stood still for a second");
    };

    if (outcome >= MessageFails) {
        // RETR and DELE belong to the message commands: the client itself.
        PopClient pop;
        pop.ConnectTimeoutMs = pop.CommandTimeoutMs = kTimeoutMs;
        pop.ServerHost = "127.0.0.1";
        pop.ServerPort = hostile.Port();
        pop.UserName = "ann";
        pop.UserPassword = "secret";
        QList<PopDocument> documents;
        int deletes = 0;
        connect(&pop, &PopClient::DocOutput, [&](const PopDocument& d) { documents.append(d); });
        connect(&pop, &PopClient::Delete, [&] { ++deletes; });
        pop.Connect();
        QVERIFY(WaitIdle(pop));
        pop.Authenticate();
        QVERIFY(WaitIdle(pop));
        QCOMPARE(pop.LogonState(), PopClient::LoggedOn);

        SetFault(hostile, command, Fault(fault));
        QElapsedTimer clock;
        clock.start();
        probe.Start();
        if (command == "RETR")
            pop.RetrieveMessage(1);
        else
            pop.DeleteMessage(1);
        QVERIFY(WaitIdle(pop));
        probe.Stop();
        noteStall(clock.elapsed());

        const bool connectionKept = outcome == MessageArrives;
        QCOMPARE(pop.ConnectionState(),
                 connectionKept ? PopClient::ConnectionIdle : PopClient::ConnectionClosed);
        QCOMPARE(pop.LastError().isEmpty(), connectionKept);
        if (command == "RETR") {
            QVERIFY(!documents.isEmpty());
            if (connectionKept) {
                QCOMPARE(documents.first().State, PopDocument::HeadersReady);
                QCOMPARE(documents.size(), 2);
                QVERIFY(documents.last().GetData().contains("Body of home 1."));
            } else if (documents.first().State == PopDocument::Failed) {
                QCOMPARE(documents.size(), 1); // nothing of the message arrived
            } else {
                // A message cut short is delivered as far as it arrived; the
                // closed connection and LastError tell the view it is incomplete.
                QCOMPARE(documents.first().State, PopDocument::HeadersReady);
            }
        } else {
            QCOMPARE(deletes, outcome == DeleteThenFault ? 1 : 0);
        }
        pop.Quit();
        QVERIFY(WaitIdle(pop));
        // Only a QUIT after the DELE deletes; the connection never got there.
        QCOMPARE(Ids(hostile), hostileIds);
        if (fault == Endless)
            QVERIFY(hostile.BytesSent < hostile.EndlessReplyLimit);

        // The same client serves the next account as if nothing had happened.
        ClearFaults(hostile);
        documents.clear();
        pop.ServerPort = good.Port();
        pop.Connect();
        QVERIFY(WaitIdle(pop));
        pop.Authenticate();
        QVERIFY(WaitIdle(pop));
        pop.RetrieveHeaders(2);
        QVERIFY(WaitIdle(pop));
        QCOMPARE(documents.size(), 1);
        QCOMPARE(GetHeaderLine("Subject : ", BuildHeaderText(documents.first().Headers)),
                 QString("Subject : work note 2"));
        pop.Quit();
        QVERIFY(WaitIdle(pop));
        QVERIFY(pop.LastError().isEmpty());
        return;
    }

    // Home on the hostile server first, then Work: a fault must not spill over.
    MailAccount home = FakeServerAccount("Home", "P1", hostile.Port());
    if (startTls) {
        home.Security = "STARTTLS";
        home.CertSHA256 = hostile.CertificateSha256();
    }
    state.Accounts = {home, FakeServerAccount("Work", "P2", good.Port())};
    EngineRig rig(state);
    rig.pop.ConnectTimeoutMs = rig.pop.CommandTimeoutMs = kTimeoutMs;

    rig.RunPass();
    const QString homeText = rig.tree.Text("P1");
    const QStringList homeTexts = rig.Texts("P1");
    const QString workText = rig.tree.Text("P2");
    const QStringList workTexts = rig.Texts("P2");
    QCOMPARE(homeTexts.size(), 3);
    QCOMPARE(workTexts.size(), 2);
    QCOMPARE(int(rig.engine.FirstSeenCount), 5);
    QVERIFY(rig.engine.AccountErrors.isEmpty());
    const QString homeMailbox = MailboxName(home);
    QCOMPARE(state.SeenHeaders.CountOf(homeMailbox), qsizetype(3));

    SetFault(hostile, command, Fault(fault));
    rig.pop.ClearHeaderCache(); // or the headers of the first pass would be served from memory
    QElapsedTimer clock;
    clock.start();
    probe.Start();
    rig.RunPass();
    probe.Stop();
    noteStall(clock.elapsed());

    // The status the check ends with, built from the first pass's node texts.
    qint64 sizes[3] = {};
    for (int i = 0; i < 3; ++i)
        sizes[i] = hostile.Mailbox.at(i).Raw.size();
    auto totaling = [](int count, qint64 bytes) {
        return QString("Home --- %1 messages --- Totaling %2 bytes.")
            .arg(count)
            .arg(FormatByteCount(bytes));
    };
    auto invalid = [](int n) { return QString("#%1 --- Invalid message!").arg(n); };
    QString expectedText;
    QStringList expectedTexts;
    switch (Outcome(outcome)) {
    case Fine:
        expectedText = homeText;
        expectedTexts = homeTexts;
        break;
    case ConnectError:
        expectedText = "Home --- Error Connecting!";
        break;
    case LogonError:
        expectedText = "Home --- Bad user ID or Password!";
        break;
    case SizesLost:
        expectedText = totaling(3, 0);
        expectedTexts = {invalid(1), invalid(2), invalid(3)};
        break;
    case FirstHeaderLost:
        expectedText = totaling(3, sizes[0]);
        expectedTexts = {
            QString("#1 --- %1 bytes --- Error retrieving header!").arg(FormatByteCount(sizes[0])),
            invalid(2), invalid(3)};
        break;
    case LastSizeMissing:
        expectedText = totaling(3, sizes[0] + sizes[1]);
        expectedTexts = {homeTexts[0], homeTexts[1], invalid(3)};
        break;
    case OneMessageFewer:
        expectedText = totaling(2, sizes[0] + sizes[1]);
        expectedTexts = homeTexts.mid(0, 2);
        break;
    default:
        QFAIL("not an outcome of a check");
    }
    QCOMPARE(rig.Texts("P1"), expectedTexts);
    QCOMPARE(rig.tree.Text("P1"), expectedText);
    // A connection that failed says why on the account node.
    const bool failed = outcome == ConnectError || outcome == LogonError || outcome == SizesLost ||
                        outcome == FirstHeaderLost;
    QCOMPARE(rig.engine.AccountErrors.contains("P1"), failed);

    // The menus and the pointer came back after each check.
    QCOMPARE(rig.host.MenuStates, (QList<bool>{false, true, false, true}));
    QCOMPARE(rig.host.BusyStates, (QList<bool>{true, false, true, false}));
    QVERIFY(rig.host.UpdateNowEnabled);
    QVERIFY(!rig.engine.CheckRunning());
    QVERIFY(!rig.pop.Busy());
    QCOMPARE(rig.pop.ConnectionState(), PopClient::ConnectionClosed);
    // The other account as if nothing had happened.
    QCOMPARE(rig.tree.Text("P2"), workText);
    QCOMPARE(rig.Texts("P2"), workTexts);
    QVERIFY(!rig.engine.AccountErrors.contains("P2"));
    // Nothing deleted, nothing announced, nothing forgotten.
    QVERIFY(!hostile.Transcript.contains("DELE", Qt::CaseInsensitive));
    QCOMPARE(Ids(hostile), hostileIds);
    QCOMPARE(good.Mailbox.size(), qsizetype(2));
    QCOMPARE(int(rig.engine.FirstSeenCount), 0);
    QCOMPARE(state.SeenHeaders.CountOf(homeMailbox), qsizetype(3));
    if (fault == Endless) // the client gave up on it, not the server
        QVERIFY(hostile.BytesSent < hostile.EndlessReplyLimit);

    // The server mends: the next pass announces nothing again.
    ClearFaults(hostile);
    rig.RunPass();
    QCOMPARE(rig.tree.Text("P1"), homeText);
    QCOMPARE(rig.Texts("P1"), homeTexts);
    QCOMPARE(rig.Texts("P2"), workTexts);
    QCOMPARE(int(rig.engine.FirstSeenCount), 0);
    QCOMPARE(int(rig.engine.MessagesListed), 5);
}

void TestHostileServer::cleanupTestCase() {
    qInfo("worst timer lateness %lld ms (%s); worst CPU between ticks %lld ms (%s)", m_worstWallMs,
          qPrintable(m_worstWallRow), m_worstCpuMs, qPrintable(m_worstCpuRow));
}

QTEST_MAIN(TestHostileServer)
#include "test_hostile_server.moc"
