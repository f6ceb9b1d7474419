#include "engine/fresh_check_triggers.h"
#include "engine_rig.h"
#include "support/fail_on_warning.h"
#include "support/temp_state.h"
#include "tree/node_texts.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

// What asks for a check soon (a resume seen through logind or through the
// clocks, the network's return) and what the scheduler does when asked: idle,
// suspended, and in the middle of a pass with a server connection open.
class TestFreshChecks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void clockJump_data();
    void clockJump();
    void oneWakeIsToldOnce_data();
    void oneWakeIsToldOnce();
    void networkReturn_data();
    void networkReturn();
    void checkSoonBetweenPasses_data();
    void checkSoonBetweenPasses();
    void triggerMidPassEndsConnectionAndFreshPassFollows_data();
    void triggerMidPassEndsConnectionAndFreshPassFollows();
};

namespace {

// Clocks the test moves by hand.
struct HandClocks : WakeClocks {
    qint64 Wall = 1'800'000'000'000;
    qint64 Monotonic = 1000;
    qint64 WallMs() const override { return Wall; }
    qint64 MonotonicMs() const override { return Monotonic; }
};

struct Triggers {
    Triggers() : Triggers(std::make_unique<HandClocks>()) {}
    explicit Triggers(std::unique_ptr<HandClocks> owned)
        : clocks(owned.get()), watch(std::make_unique<FreshCheckTriggers>(std::move(owned))) {}
    // Both clocks go on by `awakeMs`, the wall clock by `asleepMs` more; then
    // the clocks are compared as the timer does.
    void Pass(qint64 awakeMs, qint64 asleepMs = 0) {
        clocks->Monotonic += awakeMs;
        clocks->Wall += awakeMs + asleepMs;
        watch->CompareClocks();
    }

    HandClocks* clocks = nullptr;
    std::unique_ptr<FreshCheckTriggers> watch;
    QSignalSpy stale{watch.get(), &FreshCheckTriggers::ConnectionsStale};
    QSignalSpy soon{watch.get(), &FreshCheckTriggers::CheckSoon};
};

} // namespace

void TestFreshChecks::clockJump_data() {
    QTest::addColumn<qint64>("wallMs");
    QTest::addColumn<qint64>("monotonicMs");
    QTest::addColumn<bool>("resume");
    QTest::newRow("one tick awake") << qint64(2000) << qint64(2000) << false;
    QTest::newRow("stalled machine, both clocks alike") << qint64(90000) << qint64(90000) << false;
    QTest::newRow("wall ahead just under the limit") << qint64(31900) << qint64(2000) << false;
    QTest::newRow("wall ahead just over the limit") << qint64(32100) << qint64(2000) << true;
    QTest::newRow("an hour asleep") << qint64(3'602'000) << qint64(2000) << true;
    QTest::newRow("clock set back an hour") << qint64(-3'598'000) << qint64(2000) << false;
}

void TestFreshChecks::clockJump() {
    QFETCH(qint64, wallMs);
    QFETCH(qint64, monotonicMs);
    QFETCH(bool, resume);
    Triggers t;
    t.Pass(monotonicMs, wallMs - monotonicMs);
    QCOMPARE(t.soon.count(), resume ? 1 : 0);
    QCOMPARE(t.stale.count(), resume ? 1 : 0);
    // The next comparison measures from this one: the jump is not told again.
    t.Pass(2000);
    QCOMPARE(t.soon.count(), resume ? 1 : 0);
}

void TestFreshChecks::oneWakeIsToldOnce_data() {
    // Events: "sleep" and "wake" are logind's PrepareForSleep(true/false),
    // "jump" a comparison after ten minutes asleep, "tick" one after two
    // seconds awake.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("checks");
    QTest::addColumn<int>("staleNotes");
    QTest::newRow("logind first, then the clocks")
        << QStringList{"sleep", "wake", "jump", "tick"} << 1 << 2;
    QTest::newRow("the clocks first, logind late")
        << QStringList{"sleep", "jump", "wake", "tick"} << 1 << 2;
    QTest::newRow("no logind signal (hibernation)") << QStringList{"jump", "tick"} << 1 << 1;
    QTest::newRow("two suspends in quick succession")
        << QStringList{"sleep", "wake", "jump", "tick", "sleep", "wake", "jump"} << 2 << 4;
    QTest::newRow("second suspend before the clocks were compared")
        << QStringList{"sleep", "wake", "sleep", "jump", "wake"} << 2 << 4;
    QTest::newRow("two hibernations") << QStringList{"jump", "tick", "jump"} << 2 << 2;
    QTest::newRow("suspend that did not happen")
        << QStringList{"sleep", "wake", "tick", "tick"} << 1 << 2;
    QTest::newRow("going to sleep only") << QStringList{"sleep"} << 0 << 1;
}

void TestFreshChecks::oneWakeIsToldOnce() {
    QFETCH(QStringList, events);
    QFETCH(int, checks);
    QFETCH(int, staleNotes);
    Triggers t;
    for (const QString& event : events) {
        if (event == "sleep")
            t.watch->OnPrepareForSleep(true);
        else if (event == "wake")
            t.watch->OnPrepareForSleep(false);
        else if (event == "jump")
            t.Pass(2000, 600'000);
        else
            t.Pass(2000);
    }
    QCOMPARE(t.soon.count(), checks);
    QCOMPARE(t.stale.count(), staleNotes);
}

void TestFreshChecks::networkReturn_data() {
    using R = QNetworkInformation::Reachability;
    QTest::addColumn<R>("before");
    QTest::addColumn<R>("after");
    QTest::addColumn<bool>("check");
    QTest::newRow("disconnected to online") << R::Disconnected << R::Online << true;
    QTest::newRow("local network only to online") << R::Local << R::Online << true;
    QTest::newRow("site only to online") << R::Site << R::Online << true;
    QTest::newRow("backend starting up") << R::Unknown << R::Online << false;
    QTest::newRow("network lost") << R::Online << R::Disconnected << false;
    QTest::newRow("back to the local network only") << R::Disconnected << R::Local << false;
    QTest::newRow("online told again") << R::Online << R::Online << false;
}

void TestFreshChecks::networkReturn() {
    QFETCH(QNetworkInformation::Reachability, before);
    QFETCH(QNetworkInformation::Reachability, after);
    QFETCH(bool, check);
    Triggers t;
    t.watch->OnReachabilityChanged(before);
    t.soon.clear();
    t.watch->OnReachabilityChanged(after);
    QCOMPARE(t.soon.count(), check ? 1 : 0);
    // A connection may well have lived through a short outage: it is kept.
    QCOMPARE(t.stale.count(), 0);
}

void TestFreshChecks::checkSoonBetweenPasses_data() {
    QTest::addColumn<int>("secondsLeft");
    QTest::addColumn<bool>("suspended");
    QTest::addColumn<bool>("exitPending");
    QTest::addColumn<bool>("timerRunning");
    QTest::addColumn<int>("calls");
    QTest::addColumn<int>("secondsAfter");
    QTest::addColumn<QString>("shown"); // empty: nothing shown
    QTest::newRow("running countdown") << 300 << false << false << true << 1 << 5 << "00:05";
    QTest::newRow("three triggers in a row") << 300 << false << false << true << 3 << 5 << "00:05";
    QTest::newRow("already sooner") << 3 << false << false << true << 1 << 3 << "00:03";
    QTest::newRow("timer held by a command") << 300 << false << false << false << 1 << 5 << "00:05";
    QTest::newRow("monitoring suspended") << 300 << true << false << false << 1 << 300 << "";
    QTest::newRow("program closing") << 300 << false << true << true << 1 << 300 << "";
}

void TestFreshChecks::checkSoonBetweenPasses() {
    QFETCH(int, secondsLeft);
    QFETCH(bool, suspended);
    QFETCH(bool, exitPending);
    QFETCH(bool, timerRunning);
    QFETCH(int, calls);
    QFETCH(int, secondsAfter);
    QFETCH(QString, shown);
    TempState t;
    FakePop3Server server;
    QVERIFY(server.Listen());
    t.State->Accounts.append(FakeServerAccount("Home", "P1", server.Port()));
    EngineRig rig(*t.State);
    rig.state.SecondsLeft = secondsLeft;
    rig.state.MonitoringSuspended = suspended;
    rig.state.ExitPending = exitPending;
    if (timerRunning)
        rig.poolingEvent.start();

    for (int n = 0; n < calls; ++n)
        rig.scheduler.CheckSoon();

    QCOMPARE(rig.state.SecondsLeft, secondsAfter);
    QCOMPARE(rig.host.TimeLeft, shown);
    QCOMPARE(rig.poolingEvent.isActive(), timerRunning); // neither started nor stopped
    QCOMPARE(rig.state.MonitoringSuspended, suspended);
    QVERIFY(server.Transcript.isEmpty()); // no pass runs at once
    rig.poolingEvent.stop();

    // Brought down, the countdown runs out in SoonSeconds ticks and one pass follows.
    if (secondsAfter <= Scheduler::SoonSeconds && !exitPending) {
        for (int tick = 0; tick < secondsAfter; ++tick)
            rig.scheduler.PoolingEvent_Timer();
        rig.poolingEvent.stop();
        QCOMPARE(server.Transcript.count("<CONNECT>"), 1);
        QCOMPARE(rig.state.SecondsLeft, 300);
    }
}

void TestFreshChecks::triggerMidPassEndsConnectionAndFreshPassFollows_data() {
    QTest::addColumn<QByteArray>("stalledOn"); // the server never answers this
    QTest::addColumn<bool>("goingToSleep");    // DropConnection rather than CheckSoon
    QTest::addColumn<int>("triggers");
    QTest::newRow("connecting, woke") << QByteArray("GREETING") << false << 1;
    QTest::newRow("logging on, network back") << QByteArray("PASS") << false << 1;
    QTest::newRow("reading headers, woke twice") << QByteArray("TOP") << false << 2;
    QTest::newRow("reading headers, going to sleep") << QByteArray("TOP") << true << 1;
}

void TestFreshChecks::triggerMidPassEndsConnectionAndFreshPassFollows() {
    QFETCH(QByteArray, stalledOn);
    QFETCH(bool, goingToSleep);
    QFETCH(int, triggers);
    TempState t;
    FakePop3Server stalled;
    FakePop3Server second;
    QVERIFY(stalled.Listen());
    QVERIFY(second.Listen());
    FillMailbox(stalled, "home", 3);
    FillMailbox(second, "work", 1);
    if (stalledOn == "GREETING")
        stalled.SilentGreeting = true;
    else
        stalled.NoReplyTo = stalledOn;
    AppState& state = *t.State;
    state.Accounts.append(FakeServerAccount("Home", "P1", stalled.Port()));
    state.Accounts.append(FakeServerAccount("Work", "P2", second.Port()));
    state.AppSettings.AutoExit = true; // a failed connection would close the program
    EngineRig rig(state);
    // Far beyond the test's patience: only the cancel can end the wait in time.
    rig.pop.ConnectTimeoutMs = 120000;
    rig.pop.CommandTimeoutMs = 120000;

    // The trigger arrives while the pass waits for the stalled server.
    const QByteArray marker = stalledOn == "GREETING" ? QByteArray("<CONNECT>") : stalledOn;
    QTimer watch;
    watch.setInterval(5);
    int fired = 0;
    connect(&watch, &QTimer::timeout, &watch, [&] {
        const bool waiting =
            std::any_of(stalled.Transcript.cbegin(), stalled.Transcript.cend(),
                        [&](const QString& line) { return line.toLatin1().startsWith(marker); });
        if (!waiting)
            return;
        watch.stop();
        for (; fired < triggers; ++fired) {
            if (goingToSleep)
                rig.scheduler.DropConnection();
            else
                rig.scheduler.CheckSoon();
        }
    });
    watch.start();
    QElapsedTimer clock;
    clock.start();
    rig.RunPass();
    QCOMPARE(fired, triggers);
    QVERIFY2(clock.elapsed() < 60000, "the pass waited for a time-out");

    // Ended without the program closing; the account after it was not reached.
    QVERIFY(!state.ExitPending);
    QCOMPARE(rig.host.CloseRequests, 0);
    QCOMPARE(rig.pop.ConnectionState(), qint16(PopClient::ConnectionClosed));
    QVERIFY(!stalled.Transcript.contains("QUIT"));
    QCOMPARE(stalled.Transcript.count("<CONNECT>"), 1);
    QVERIFY(rig.engine.CheckCancelled());
    QVERIFY(!rig.engine.AccountErrors.value("P1").isEmpty());
    QVERIFY(second.Transcript.isEmpty());
    QCOMPARE(rig.tree.Text("P2"), "Work" + AccountStatus::Unchecked);
    // No further message was asked for after the one that stalled.
    QVERIFY(rig.tree.ChildKeys("P1").size() <= 1);
    QCOMPARE(rig.host.MenuStates.last(), true);
    QCOMPARE(rig.host.BusyPointer, 0);

    // The countdown comes back at SoonSeconds, once however many triggers came.
    QCOMPARE(rig.state.SecondsLeft, Scheduler::SoonSeconds);
    stalled.SilentGreeting = false;
    stalled.NoReplyTo.clear();
    for (int tick = 0; tick < Scheduler::SoonSeconds; ++tick)
        rig.scheduler.PoolingEvent_Timer();
    rig.poolingEvent.stop();
    QCOMPARE(stalled.Transcript.count("<CONNECT>"), 2);
    QCOMPARE(second.Transcript.count("<CONNECT>"), 1);
    QCOMPARE(rig.tree.ChildKeys("P1").size(), 3);
    QCOMPARE(rig.tree.ChildKeys("P2").size(), 1);
    QVERIFY(!rig.engine.CheckCancelled());
    QCOMPARE(rig.state.SecondsLeft, 300);
}

QTEST_MAIN(TestFreshChecks)
#include "test_fresh_checks.moc"
