#include "engine/size_format.h"
#include "support/fail_on_warning.h"
#include "support/temp_state.h"
#include "engine_rig.h"

#include <QtTest>

// A check shows the same nodes whatever the header requests in flight: one at
// a time, a few, or a whole large mailbox at once, also when a reply ends the
// connection part-way.
class TestPipelinedCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void sameNodesWithAndWithoutPipelining_data();
    void sameNodesWithAndWithoutPipelining();
    void laterCheckAsksForTheListingsWithStat_data();
    void laterCheckAsksForTheListingsWithStat();
};

namespace {

struct Pass {
    QStringList Texts;
    qint64 FaultBytes = 0; // the size of the message the fault strikes
    QString AccountText;
    int Tops = 0;
    int MostInFlight = 0;
};

enum Fault { NoFault, OversizedHeader, SilentServer };

// One pass over a mailbox of `count` messages; from message `at` on, `fault`.
Pass CheckOnce(int count, bool pipelining, qint64 pipelineBytes, Fault fault, int at, int delayMs) {
    FakePop3Server server;
    server.Listen();
    server.OfferPipelining = pipelining;
    server.ReplyDelayMs = delayMs;
    FillMailbox(server, "box", count);
    if (fault == OversizedHeader)
        server.Mailbox[at - 1].Raw.prepend("X-Long: " + QByteArray(5000, 'x') + "\r\n");
    if (fault == SilentServer)
        server.SilentAfterMessages = at - 1;
    Pass pass;
    if (fault != NoFault)
        pass.FaultBytes = server.Mailbox.at(at - 1).Raw.size();
    TempState t;
    t.State->Accounts = {FakeServerAccount("Box", "P1", server.Port())};
    EngineRig rig(*t.State);
    rig.pop.MaxHeaderBytes = 4096;
    rig.pop.PipelineBytes = pipelineBytes;
    rig.pop.CommandTimeoutMs = 500;
    rig.RunPass();
    pass.Texts = rig.Texts(QStringLiteral("P1"));
    pass.AccountText = rig.tree.Text(QStringLiteral("P1"));
    pass.Tops = int(server.Transcript.filter(QStringLiteral("TOP ")).size());
    pass.MostInFlight = server.MaxCommandsInFlight;
    return pass;
}

} // namespace

void TestPipelinedCheck::sameNodesWithAndWithoutPipelining_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<qint64>("pipelineBytes");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("at");      // the message the fault strikes
    QTest::addColumn<int>("delayMs"); // of every reply; long enough to count the requests in flight
    QTest::addColumn<int>("minInFlight");

    QTest::newRow("a few in flight") << 60 << qint64(1500) << int(NoFault) << 0 << 5 << 3;
    QTest::newRow("the whole mailbox in flight")
        << 60 << qint64(1 << 20) << int(NoFault) << 0 << 20 << 33;
    QTest::newRow("large mailbox") << 2500 << qint64(1 << 20) << int(NoFault) << 0 << 1 << 2;
    // Read ahead, the fault still ends the check at its own message.
    QTest::newRow("a header over the cap")
        << 60 << qint64(1 << 20) << int(OversizedHeader) << 25 << 1 << 2;
    QTest::newRow("a header over the cap, a few in flight")
        << 60 << qint64(1500) << int(OversizedHeader) << 25 << 1 << 2;
    QTest::newRow("no reply from a message on")
        << 60 << qint64(1 << 20) << int(SilentServer) << 30 << 1 << 2;
}

void TestPipelinedCheck::sameNodesWithAndWithoutPipelining() {
    QFETCH(int, count);
    QFETCH(qint64, pipelineBytes);
    QFETCH(int, fault);
    QFETCH(int, at);
    QFETCH(int, delayMs);
    QFETCH(int, minInFlight);

    const Pass serial = CheckOnce(count, false, pipelineBytes, Fault(fault), at, delayMs);
    QCOMPARE(serial.MostInFlight, 1);
    QCOMPARE(serial.Texts.size(), count);
    if (fault != NoFault)
        QCOMPARE(serial.Texts.at(at - 1),
                 QStringLiteral("#%1 --- %2 bytes --- Error retrieving header!")
                     .arg(at)
                     .arg(FormatByteCount(serial.FaultBytes)));
    else
        QCOMPARE(serial.Tops, count);

    const Pass pipelined = CheckOnce(count, true, pipelineBytes, Fault(fault), at, delayMs);
    QVERIFY2(pipelined.MostInFlight >= minInFlight,
             qPrintable(QString::number(pipelined.MostInFlight)));
    QCOMPARE(pipelined.AccountText, serial.AccountText);
    QCOMPARE(pipelined.Texts, serial.Texts);
}

void TestPipelinedCheck::laterCheckAsksForTheListingsWithStat_data() {
    QTest::addColumn<bool>("pipelining");
    QTest::addColumn<int>("inFlight"); // most commands sent before a reply came
    QTest::newRow("pipelining") << true << 2;
    QTest::newRow("one at a time") << false << 1;
}

// A check of a mailbox whose headers are all remembered reads no header; with
// PIPELINING its LIST and UIDL go out together, one round trip instead of
// two, and it shows what the first check showed.
void TestPipelinedCheck::laterCheckAsksForTheListingsWithStat() {
    QFETCH(bool, pipelining);
    QFETCH(int, inFlight);
    FakePop3Server server;
    server.Listen();
    server.OfferPipelining = pipelining;
    FillMailbox(server, "box", 12);
    TempState t;
    t.State->Accounts = {FakeServerAccount("Box", "P1", server.Port())};
    EngineRig rig(*t.State);
    rig.RunPass();
    const QStringList first = rig.Texts(QStringLiteral("P1"));
    QCOMPARE(first.size(), 12);

    // Replies slow enough that the commands sent together are seen together.
    server.ReplyDelayMs = 50;
    server.Transcript.clear();
    server.MaxCommandsInFlight = 0;
    rig.RunPass();
    QCOMPARE(rig.Texts(QStringLiteral("P1")), first);
    QCOMPARE(server.Transcript.filter(QStringLiteral("TOP ")).size(), 0);
    const qsizetype stat = server.Transcript.indexOf(QStringLiteral("STAT"));
    QVERIFY(stat > 0);
    QCOMPARE(server.Transcript.mid(stat, 3),
             (QStringList{QStringLiteral("STAT"), QStringLiteral("LIST"), QStringLiteral("UIDL")}));
    QCOMPARE(server.MaxCommandsInFlight, inFlight);
}

QTEST_GUILESS_MAIN(TestPipelinedCheck)
#include "test_pipelined_check.moc"
