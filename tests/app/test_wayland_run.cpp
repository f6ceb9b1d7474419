#include "engine/history_file.h"
#include "records/account_store.h"
#include "support/sample_account.h"
#include "support/fail_on_warning.h"
#include "support/fake_pop3_server.h"
#include "support/file_contents.h"
#include "support/temp_state.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The window program as a native Wayland client of a headless compositor
// (weston), on a private session bus (dbus-run-session): a pass against the
// fake server shows on the launcher and in `--status`, the notification's
// "Mark as read" clears the count, SIGTERM ends the program, and everything
// is saved. The compositor places the window: only its size is
// restored, and the position stored under X11 is kept.
class TestWaylandRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void passThenSigterm();
};

namespace {

QByteArray Mail(int n) {
    const QByteArray number = QByteArray::number(n);
    return "From: Ann <ann@example.org>\r\nSubject: Note " + number + "\r\nMessage-ID: <" + number +
           "@wayland.example>\r\n\r\nBody\r\n";
}

// Every launcher count heard on the bus.
class LauncherListener : public QObject {
    Q_OBJECT
public:
    LauncherListener() {
        QDBusConnection::sessionBus().connect(QString(), QString(),
                                              "com.canonical.Unity.LauncherEntry", "Update", this,
                                              SLOT(OnUpdate(QString, QVariantMap)));
    }
    QList<qint64> Counts;
private Q_SLOTS:
    void OnUpdate(const QString&, const QVariantMap& properties) {
        Counts << properties.value("count").toLongLong();
    }
};

// The desktop's notification service, with buttons: records each
// notification and lets the test choose one of its actions.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    bool Register() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        return bus.registerObject("/org/freedesktop/Notifications", this,
                                  QDBusConnection::ExportAllSlots) &&
               bus.registerService("org.freedesktop.Notifications");
    }
    void Choose(const QString& action) {
        QDBusMessage message = QDBusMessage::createSignal(
            "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
        message << Shown << action;
        QDBusConnection::sessionBus().send(message);
    }
    QStringList Summaries;
    uint Shown = 0;
public Q_SLOTS:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString&,
                const QStringList&, const QVariantMap&, int) {
        Summaries << summary;
        return Shown = 7;
    }
    QStringList GetCapabilities() { return {"actions", "body"}; }
};

// A headless weston of the test's own, on its own socket in a private
// runtime folder; stopped with the test.
struct Compositor {
    Compositor() {
        process.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        process.setProcessEnvironment(env);
        process.start(QStandardPaths::findExecutable("weston"),
                      {"--backend=headless-backend.so", "--use-pixman", "--width=1024",
                       "--height=700", "--no-config", "--socket=" + kSocket});
    }
    ~Compositor() {
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
    }
    bool Ready() const { return QFile::exists(runtime.path() + "/" + kSocket); }

    static inline const QString kSocket = "wl-larkwatch";
    QTemporaryDir runtime;
    QProcess process;
};

} // namespace

void TestWaylandRun::passThenSigterm() {
    QVERIFY2(!QStandardPaths::findExecutable("weston").isEmpty(),
             "weston is not installed (scripts/setup.sh test installs it)");
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "no session bus: run the test under dbus-run-session");
    Compositor weston;
    QVERIFY(weston.process.waitForStarted());
    QTRY_VERIFY2_WITH_TIMEOUT(weston.Ready(), weston.process.readAll().constData(), 20000);

    FakePop3Server server;
    QVERIFY(server.Listen());
    server.AddMessage(Mail(1));
    server.AddMessage(Mail(2));
    TempState t;
    t.State->Accounts = {FakeServerAccount("Home", server.Port())};
    SaveAccounts(*t.State);
    // A placement from an X11 session: 400 x 300 pixels at (200, 100).
    t.State->Store.WriteSetting("Config", "Left", "3000");
    t.State->Store.WriteSetting("Config", "Top", "1500");
    t.State->Store.WriteSetting("Config", "Width", "6000");
    t.State->Store.WriteSetting("Config", "Height", "4500");
    LauncherListener launcher;
    NotificationService notifications;
    QVERIFY(notifications.Register());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.insert("QT_QPA_PLATFORM", "wayland");
    env.insert("WAYLAND_DISPLAY", Compositor::kSocket);
    env.insert("XDG_RUNTIME_DIR", weston.runtime.path());
    env.insert("XDG_CONFIG_HOME", t.Dir.path() + "/config");
    env.insert("XDG_DATA_HOME", t.Dir.path() + "/data");
    // Every message of the toolkit and the program marked, apart from what a
    // sanitizer may add.
    env.insert("QT_MESSAGE_PATTERN", "QtMessage %{type} %{category}: %{message}");
    // The Wayland client library and a platform plugin unloaded before the
    // leak check leave allocations at exit that LeakSanitizer cannot name (so
    // no suppression matches them); the program's own leaks are checked by
    // the runs on the other platforms.
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
    QProcess program;
    program.setProcessEnvironment(env);
    QSignalSpy finished(&program, &QProcess::finished);
    program.start(LARKWATCH_BINARY, QStringList());
    QVERIFY(program.waitForStarted());

    // The first pass, five seconds after the window shows.
    QTRY_VERIFY_WITH_TIMEOUT(server.Transcript.contains("QUIT"), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(launcher.Counts, QList<qint64>{2}, 10000);
    QProcess status;
    status.setProcessEnvironment(env);
    QSignalSpy statusDone(&status, &QProcess::finished);
    status.start(LARKWATCH_BINARY, {"--status", "--json"});
    QVERIFY(statusDone.wait(30000));
    QCOMPARE(status.exitCode(), 0);
    QCOMPARE(QJsonDocument::fromJson(status.readAllStandardOutput())
                 .object()
                 .value("newMailCount")
                 .toInt(),
             2);
    QTRY_COMPARE(notifications.Summaries, QStringList{"Larkwatch: 2 new messages"});
    notifications.Choose("mark-read");
    QTRY_COMPARE(launcher.Counts, QList<qint64>({2, 0}));
    QCOMPARE(program.state(), QProcess::Running);

    QCOMPARE(::kill(pid_t(program.processId()), SIGTERM), 0);
    QVERIFY2(finished.wait(30000), "the program did not end on SIGTERM");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    // Not a word on the terminal: no warning of the toolkit or the program.
    const QStringList messages = QString::fromUtf8(program.readAllStandardError())
                                     .split('\n')
                                     .filter(QRegularExpression("^QtMessage "));
    QCOMPARE(messages, QStringList());

    auto after = t.Reopen();
    LoadHistory(*after);
    QCOMPARE(after->SeenHeaders.Size(), qsizetype(2));
    auto stored = [&](const char* key) { return after->Store.ReadSetting("Config", key, "-"); };
    QCOMPARE(stored("State"), QString("0"));
    QCOMPARE(stored("Left"), QString("3000"));
    QCOMPARE(stored("Top"), QString("1500"));
    QCOMPARE(stored("Width"), QString("6000"));
    QCOMPARE(stored("Height"), QString("4500"));
}

QTEST_GUILESS_MAIN(TestWaylandRun)
#include "test_wayland_run.moc"
