#include "engine/fresh_check_triggers.h"
#include "engine/scheduler.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "support/fail_on_warning.h"
#include "support/fake_pop3_server.h"
#include "support/temp_state.h"
#include "window_rig.h"
#include "tree/account_tree_model.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

// The window told of a suspend and a wake as logind tells it: over D-Bus,
// from the owner of "org.freedesktop.login1". The private bus of
// dbus-run-session stands in for the system bus.
class TestResumeChecks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init() { FailOnUnexpectedWarnings(); }
    void wakeBringsACheckWithinSeconds();
    void connectionOpenAcrossSuspendIsEnded();
    void signalFromAnotherSenderIsIgnored();
};

namespace {

const QString kBusAddress = QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS"));

// A connection of its own on the bus, sending logind's signal.
class BusSender {
public:
    explicit BusSender(const QString& connectionName)
        : m_bus(QDBusConnection::connectToBus(kBusAddress, connectionName)) {}
    ~BusSender() { QDBusConnection::disconnectFromBus(m_bus.name()); }
    bool Connected() const { return m_bus.isConnected(); }
    bool OwnLogindName() { return m_bus.registerService("org.freedesktop.login1"); }
    bool PrepareForSleep(bool goingToSleep) {
        QDBusMessage message = QDBusMessage::createSignal(
            "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
        message << goingToSleep;
        return m_bus.send(message);
    }
    // A round trip to the bus: what this connection sent before has been
    // handed on to its receivers.
    bool Sync() {
        const QDBusMessage reply = m_bus.call(QDBusMessage::createMethodCall(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId"));
        return reply.type() == QDBusMessage::ReplyMessage;
    }

private:
    QDBusConnection m_bus;
};

void FillTwo(FakePop3Server& server) {
    server.AddMessage("Subject: First\r\nFrom: Ann <ann@example.org>\r\nMessage-ID: <1@x>\r\n\r\n"
                      "Hi\r\n",
                      "uid-1");
    server.AddMessage("Subject: Second\r\nFrom: Bob <bob@example.org>\r\nMessage-ID: <2@x>\r\n\r\n"
                      "Ho\r\n",
                      "uid-2");
}

} // namespace

void TestResumeChecks::initTestCase() {
    QVERIFY2(!kBusAddress.isEmpty(), "no private bus: run the test under dbus-run-session");
    // Read when the system bus is first asked for, which is in Form_Load.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", kBusAddress.toLocal8Bit());
}

void TestResumeChecks::wakeBringsACheckWithinSeconds() {
    FakePop3Server server;
    QVERIFY(server.Listen());
    FillTwo(server);
    BusSender logind("fake-logind-wake");
    QVERIFY(logind.Connected());
    QVERIFY(logind.OwnLogindName());
    WindowRig rig(server.Port());
    rig.t.State->SecondsLeft = 3600; // no pass of its own: only the wake brings one
    QVERIFY(rig.window->FreshChecks().WatchesLogind());

    QVERIFY(logind.PrepareForSleep(true));
    QVERIFY(logind.PrepareForSleep(false));
    QElapsedTimer sinceWake;
    sinceWake.start();
    QTRY_VERIFY(rig.t.State->SecondsLeft <= Scheduler::SoonSeconds);
    QVERIFY(rig.window->TimeLeftBox().text() <= QString("00:05"));
    QTRY_COMPARE_WITH_TIMEOUT(server.Transcript.count("<CONNECT>"), 1,
                              (Scheduler::SoonSeconds + 10) * 1000);
    QVERIFY(sinceWake.elapsed() < (Scheduler::SoonSeconds + 10) * 1000);
    QTRY_VERIFY(rig.window->Model().Text(rig.Key()).startsWith("Home --- 2 messages"));
    // The pass ran as any timer pass: the full interval follows it.
    QTRY_VERIFY(rig.t.State->SecondsLeft > Scheduler::SoonSeconds);
    QVERIFY(rig.window->PoolingEvent().isActive());
}

void TestResumeChecks::connectionOpenAcrossSuspendIsEnded() {
    FakePop3Server server;
    QVERIFY(server.Listen());
    FillTwo(server);
    server.NoReplyTo = "TOP"; // the header request hangs, as over a connection lost in sleep
    BusSender logind("fake-logind-stall");
    QVERIFY(logind.OwnLogindName());
    WindowRig rig(server.Port());
    rig.t.State->SecondsLeft = 3600; // no pass of its own: only the wake brings one
    QVERIFY(rig.window->FreshChecks().WatchesLogind());

    // While the pass waits for the server, the machine sleeps and wakes.
    QTimer watch;
    watch.setInterval(5);
    bool slept = false;
    connect(&watch, &QTimer::timeout, &watch, [&] {
        const bool waiting =
            std::any_of(server.Transcript.cbegin(), server.Transcript.cend(),
                        [](const QString& line) { return line.startsWith("TOP"); });
        if (!waiting)
            return;
        watch.stop();
        server.NoReplyTo.clear();
        slept = logind.PrepareForSleep(true) && logind.PrepareForSleep(false);
    });
    watch.start();
    rig.t.State->SecondsLeft = 1;

    // Far less than the client's own time-out of a minute.
    QTRY_VERIFY_WITH_TIMEOUT(slept, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(server.Transcript.count("<CONNECT>"), 2,
                              (Scheduler::SoonSeconds + 10) * 1000);
    QTRY_VERIFY(rig.window->Model().Text(rig.Key()).startsWith("Home --- 2 messages"));
    // The stalled session was dropped without QUIT; the fresh one ended with it.
    QTRY_COMPARE(server.Transcript.count("QUIT"), 1);
    QVERIFY(server.Transcript.indexOf("QUIT") > server.Transcript.lastIndexOf("<CONNECT>"));
    QCOMPARE(rig.window->Model().ChildKeys(rig.Key()).size(), 2);
    QVERIFY(!rig.t.State->ExitPending);
}

void TestResumeChecks::signalFromAnotherSenderIsIgnored() {
    BusSender logind("fake-logind-owner");
    BusSender impostor("not-logind");
    QVERIFY(logind.OwnLogindName());
    FakePop3Server server;
    QVERIFY(server.Listen());
    WindowRig rig(server.Port());
    rig.t.State->SecondsLeft = 3600; // no pass of its own: only the wake brings one
    QSignalSpy soon(&rig.window->FreshChecks(), &FreshCheckTriggers::CheckSoon);
    QSignalSpy stale(&rig.window->FreshChecks(), &FreshCheckTriggers::ConnectionsStale);

    QVERIFY(impostor.PrepareForSleep(false));
    QVERIFY(impostor.Sync());
    // logind's own signal comes after the impostor's: once it is in, so would that be.
    QVERIFY(logind.PrepareForSleep(true));
    QTRY_COMPARE(stale.count(), 1);
    QCOMPARE(soon.count(), 0);
    QCOMPARE(rig.t.State->SecondsLeft > Scheduler::SoonSeconds, true);
}

QTEST_MAIN(TestResumeChecks)
#include "test_resume_checks.moc"
