#include "engine_rig.h"
#include "engine/mail_engine.h"
#include "engine/pop/pop_client.h"
#include "engine/scheduler.h"
#include "engine/seen_messages.h"
#include "records/general_options_store.h"
#include "tree/account_tree_model.h"
#include "support/recording_monitor_host.h"
#include "support/temp_state.h"
#include "support/checked_tree_model.h"
#include "support/fail_on_warning.h"

#include <QtTest>

class TestScheduler : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void countdownText_data();
    void countdownText();
    void tickShowsTimeLeft();
    void tickWithoutAccountsRestartsCountdown();
    void pendingExitClosesOnNextTick();
    void suspendThenResumeKeepsRemainingTime();
    void savingOptionsRestartsCountdown_data();
    void savingOptionsRestartsCountdown();
    void soundSelection_data();
    void soundSelection();
    void noPassStartsInsideAPass();
    void suspendWhileSoundsPlayKeepsTheTimerStopped();
};

struct SchedulerRig {
    TempState t;
    CheckedTreeModel tree;
    PopClient pop;
    RecordingMonitorHost host;
    MailEngine engine{*t.State, tree, pop, host};
    QTimer poolingEvent;
    Scheduler scheduler{*t.State, tree, engine, host, poolingEvent};
    AppState& state = *t.State;
};

void TestScheduler::countdownText_data() {
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("five minutes") << 300 << "05:00";
    QTest::newRow("first tick after a pass") << 299 << "04:59";
    QTest::newRow("under a minute") << 59 << "00:59";
    QTest::newRow("zero") << 0 << "00:00";
    QTest::newRow("100 minutes show last two digits") << 6000 << "00:00";
    QTest::newRow("123 minutes 45 seconds") << 123 * 60 + 45 << "23:45";
}

void TestScheduler::countdownText() {
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(CountdownText(seconds), text);
}

void TestScheduler::tickShowsTimeLeft() {
    SchedulerRig rig;
    rig.state.Accounts.append(MailAccount{});
    rig.state.SecondsLeft = 300;
    rig.scheduler.PoolingEvent_Timer();
    QCOMPARE(rig.state.SecondsLeft, 299);
    QCOMPARE(rig.host.TimeLeft, QString("04:59"));
    QCOMPARE(rig.host.CloseRequests, 0);
}

void TestScheduler::tickWithoutAccountsRestartsCountdown() {
    SchedulerRig rig;
    rig.state.PollMinutes = 7;
    rig.state.SecondsLeft = 1;
    rig.scheduler.PoolingEvent_Timer();
    QCOMPARE(rig.host.TimeLeft, QString("00:00"));
    QCOMPARE(rig.state.SecondsLeft, 7 * 60);
    QVERIFY(rig.host.TrayPictures.isEmpty()); // no pass ran
}

void TestScheduler::pendingExitClosesOnNextTick() {
    SchedulerRig rig;
    rig.state.ExitPending = true;
    rig.state.SecondsLeft = 300;
    rig.scheduler.PoolingEvent.start();
    rig.scheduler.PoolingEvent_Timer();
    QCOMPARE(rig.host.CloseRequests, 1);
    QVERIFY(!rig.scheduler.PoolingEvent.isActive());
}

void TestScheduler::suspendThenResumeKeepsRemainingTime() {
    SchedulerRig rig;
    rig.state.AppSettings.RunInTray = true;
    rig.state.SecondsLeft = 123;
    rig.scheduler.PoolingEvent.start();
    rig.scheduler.mnuSuspend_Click();
    QVERIFY(rig.state.MonitoringSuspended);
    QVERIFY(!rig.scheduler.PoolingEvent.isActive());
    QCOMPARE(rig.host.Caption, QString("Larkwatch (Suspended)"));
    QCOMPARE(rig.host.TrayPictures.last(), 3);
    rig.scheduler.mnuResume_Click();
    QVERIFY(!rig.state.MonitoringSuspended);
    QVERIFY(rig.scheduler.PoolingEvent.isActive());
    QCOMPARE(rig.host.Caption, QString("Larkwatch"));
    QCOMPARE(rig.host.TrayPictures.last(), 0);
    QCOMPARE(rig.host.MenuUpdates, 2);
    QCOMPARE(rig.state.SecondsLeft, 123);
}

void TestScheduler::savingOptionsRestartsCountdown_data() {
    QTest::addColumn<bool>("running");
    QTest::newRow("timer running keeps running") << true;
    QTest::newRow("timer stopped stays stopped") << false;
}

void TestScheduler::savingOptionsRestartsCountdown() {
    QFETCH(bool, running);
    SchedulerRig rig;
    AppState& state = rig.state;
    state.PollMinutes = 5;
    state.SecondsLeft = 3;
    state.AppSettings.PoolingTime = 12;
    if (running)
        rig.poolingEvent.start();
    SaveGeneralOptions(state);
    QCOMPARE(state.PollMinutes, 12);
    QCOMPARE(state.SecondsLeft, 12 * 60);
    QCOMPARE(rig.host.TimeLeft, QString("12:00")); // shown at once, not at the next tick
    QCOMPARE(rig.poolingEvent.isActive(), running);
    QCOMPARE(rig.poolingEvent.interval(), 1000);

    // A scheduler that is gone leaves no hook behind to be called.
    { Scheduler gone{state, rig.tree, rig.engine, rig.host, rig.poolingEvent}; }
    QVERIFY(!state.CountdownRestarted);
    SaveGeneralOptions(state);
    QCOMPARE(state.SecondsLeft, 12 * 60);
}

void TestScheduler::soundSelection_data() {
    QTest::addColumn<bool>("autoMarkRead");
    QTest::addColumn<QStringList>("expected");
    // Messages: new from Ann (b.wav), new from Bob (a.wav), acknowledged from
    // Eve (e.wav), new from Carl (no action), new from Dora (B.wav), new from
    // Ann again (b.wav, played once).
    QTest::newRow("every message counts")
        << false << QStringList{"/s/B.wav", "/s/a.wav", "/s/b.wav", "/s/e.wav"};
    QTest::newRow("only unacknowledged new mail")
        << true << QStringList{"/s/B.wav", "/s/a.wav", "/s/b.wav"};
}

void TestScheduler::soundSelection() {
    QFETCH(bool, autoMarkRead);
    QFETCH(QStringList, expected);
    SchedulerRig rig;
    rig.state.AppSettings.AutoMarkRead = autoMarkRead;
    auto action = [](const QString& sender, const QString& file) {
        WavAction a;
        a.SenderText = sender;
        a.SenderMatch = false;
        a.Active = true;
        a.WavFile = file;
        return a;
    };
    rig.state.WavActionList = {action("ann", "/s/b.wav"), action("bob", "/s/a.wav"),
                               action("dora", "/s/B.wav"), action("eve", "/s/e.wav")};
    rig.tree.AddAccountNode("P1", "Home", "NoMail");
    auto message = [&](const QString& key, const QString& from, const QString& image) {
        const QString tag = "From : " + from + "\r\nMessage-Id : <" + key + "@x>\r\n";
        rig.tree.AddMessageNode("P1", key, "#", image);
        rig.tree.SetTag(key, tag);
        return tag;
    };
    message("C1", "Ann", "NewMail");
    message("C2", "Bob", "NewMail");
    const QString eve = message("C3", "Eve", "Mail");
    AcknowledgeShownMessages(rig.state, {eve});
    message("C4", "Carl", "NewMail");
    message("C5", "Dora", "NewMail");
    message("C6", "Ann", "NewMail");
    QCOMPARE(WavFilesForPass(rig.state, rig.tree), expected);
}

// While a pass waits between its sounds the program takes input: a dialog
// closed then starts the timer again, with the countdown still at 0, and
// Update Now may be chosen. Neither starts a pass inside the running one.
void TestScheduler::noPassStartsInsideAPass() {
    TempState t;
    FakePop3Server server;
    server.Listen();
    FillMailbox(server, "home", 1);
    t.State->Accounts.append(FakeServerAccount("Home", "P1", server.Port()));
    t.State->AppSettings.PlayWav = true;
    t.State->PollMinutes = 5;
    EngineRig rig(*t.State);
    connect(&rig.poolingEvent, &QTimer::timeout, &rig.scheduler, &Scheduler::PoolingEvent_Timer);
    bool ticked = false;
    rig.host.WhileSoundsPlay = [&] {
        if (std::exchange(ticked, true))
            return;
        rig.poolingEvent.start(); // as a dialog's command does when it ends
        QSignalSpy tick(&rig.poolingEvent, &QTimer::timeout);
        QVERIFY(tick.wait(10000));
        rig.scheduler.mnuUpdateNow_Click();
    };
    rig.state.SecondsLeft = 1;
    rig.scheduler.PoolingEvent_Timer(); // the countdown reaches 0

    QVERIFY(ticked);
    QCOMPARE(server.Transcript.count("<CONNECT>"), 1);
    QCOMPARE(rig.host.Sounds.size(), 1);
    QCOMPARE(rig.state.SecondsLeft, 5 * 60); // the pass ended as usual
    QVERIFY(rig.poolingEvent.isActive());
    rig.poolingEvent.stop();
}

void TestScheduler::suspendWhileSoundsPlayKeepsTheTimerStopped() {
    TempState t;
    FakePop3Server server;
    server.Listen();
    FillMailbox(server, "home", 1);
    t.State->Accounts.append(FakeServerAccount("Home", "P1", server.Port()));
    t.State->AppSettings.PlayWav = true;
    EngineRig rig(*t.State);
    rig.host.WhileSoundsPlay = [&] { rig.scheduler.mnuSuspend_Click(); };
    rig.state.SecondsLeft = 1;
    rig.scheduler.PoolingEvent_Timer();

    QVERIFY(rig.state.MonitoringSuspended);
    QVERIFY(!rig.poolingEvent.isActive());
}
QTEST_MAIN(TestScheduler)
#include "test_scheduler.moc"
