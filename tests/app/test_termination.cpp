#include "support/sample_account.h"
#include "support/fail_on_warning.h"
#include "app/termination_signals.h"
#include "engine/history_file.h"
#include "engine/mail_engine.h"
#include "engine/pop/pop_client.h"
#include "engine/scheduler.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "support/fake_pop3_server.h"
#include "support/file_contents.h"
#include "support/temp_state.h"
#include "tree/account_nodes.h"
#include "tree/account_tree_model.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

#include <csignal>

// SIGTERM, SIGINT and SIGHUP end the window program as the end of the desktop
// session does, and nothing it has seen is lost: in the window in this
// process, and in the real program started as a user starts it.
class TestTermination : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void endsAsASessionEndDoes_data();
    void endsAsASessionEndDoes();
    void cutsOffAStalledCheck();
    void dismissesTheExitQuestion();
    void programKeepsWhatItSaw_data();
    void programKeepsWhatItSaw();
};

void TestTermination::init() {
    FailOnUnexpectedWarnings();
}

namespace {

QByteArray Mail(int n) {
    const QByteArray number = QByteArray::number(n);
    return "From: Ann <ann@example.org>\r\nSubject: Note " + number + "\r\nMessage-ID: <" + number +
           "@term.example>\r\n\r\nBody " + number + "\r\n";
}

struct WindowRig {
    explicit WindowRig(const QList<MailAccount>& accounts) {
        t.State->Accounts = accounts;
        SaveAccounts(*t.State);
        window = std::make_unique<MainWindow>(*t.State);
        window->Form_Load();
        window->PoolingEvent().stop(); // the test runs the passes
        QObject::connect(&signals, &TerminationSignals::Received, window.get(),
                         [this] { EndWindowProgram(*window, *t.State); });
    }
    QString Stored(const QString& key) const {
        return t.State->Store.ReadSetting("Config", key, "(absent)");
    }

    TempState t;
    std::unique_ptr<MainWindow> window;
    TerminationSignals signals;
};

} // namespace

void TestTermination::endsAsASessionEndDoes_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestTermination::endsAsASessionEndDoes() {
    QFETCH(int, signalNumber);
    FakePop3Server server;
    QVERIFY(server.Listen());
    for (int n = 1; n <= 6; ++n)
        server.AddMessage(Mail(n));
    WindowRig rig({FakeServerAccount("Home", server.Port())});
    QVERIFY(rig.signals.Installed());
    QSignalSpy unloaded(rig.window.get(), &MainWindow::Unloaded);
    QSignalSpy received(&rig.signals, &TerminationSignals::Received);

    rig.window->Passes().RunPass();
    rig.window->PoolingEvent().stop();
    const QString history = HistoryFilePath(*rig.t.State);
    QCOMPARE(DecodeHistory(ReadWholeFile(history)).size(), 6); // written after the pass
    // What only the unload writes again.
    QVERIFY(QFile::remove(history));
    rig.t.State->Store.WriteSetting("Config", "State", "(cleared)");
    int questions = 0;
    QTimer answerer; // an exit question would be counted and answered No
    connect(&answerer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++questions;
            box->reject();
        }
    });
    answerer.start(20);

    QCOMPARE(::raise(signalNumber), 0);

    QTRY_COMPARE(unloaded.count(), 1);
    QCOMPARE(received.count(), 1);
    QCOMPARE(received.first().first().toInt(), signalNumber);
    QCOMPARE(questions, 0);
    QVERIFY(!rig.window->isVisible());
    QVERIFY(!rig.window->PoolingEvent().isActive());
    QCOMPARE(rig.Stored("State"), QString("0"));    // placement stored
    QCOMPARE(rig.t.State->NewMailCount, qint16(0)); // the mail on display acknowledged
    QCOMPARE(DecodeHistory(ReadWholeFile(history)).size(), 6);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestTermination::cutsOffAStalledCheck() {
    FakePop3Server home, work;
    QVERIFY(home.Listen());
    QVERIFY(work.Listen());
    for (int n = 1; n <= 6; ++n) {
        home.AddMessage(Mail(n));
        work.AddMessage(Mail(100 + n));
    }
    home.SilentAfterMessages = 3; // then nothing more, ever
    WindowRig rig({FakeServerAccount("Home", home.Port()), FakeServerAccount("Work", work.Port())});
    // Far beyond the test's own time limit: only the signal can end the wait.
    rig.window->POP().CommandTimeoutMs = 3600 * 1000;
    QSignalSpy unloaded(rig.window.get(), &MainWindow::Unloaded);
    const QString homeKey = rig.t.State->Account(1).NodeKey;
    const AccountTreeModel& tree = rig.window->Model();
    QTimer watch; // raises SIGTERM once three headers are in
    connect(&watch, &QTimer::timeout, [&] {
        int headers = 0;
        for (const QString& key : tree.ChildKeys(homeKey))
            headers += tree.Tag(key).isEmpty() ? 0 : 1;
        if (headers == 3) {
            watch.stop();
            ::raise(SIGTERM);
        }
    });
    watch.start(10);

    rig.window->Passes().RunPass(); // returns once the signal has cut the check off

    QTRY_COMPARE(unloaded.count(), 1);
    QVERIFY(work.Transcript.isEmpty()); // the pass went no further
    QVERIFY(!home.Transcript.contains("QUIT"));
    QVERIFY(!rig.window->POP().Busy());
    auto restarted = rig.t.Reopen();
    LoadHistory(*restarted);
    QCOMPARE(restarted->SeenHeaders.Size(), qsizetype(3));
}

void TestTermination::dismissesTheExitQuestion() {
    WindowRig rig({FakeServerAccount("Home", FakePop3Server::ClosedPort())});
    QSignalSpy unloaded(rig.window.get(), &MainWindow::Unloaded);
    bool asked = false;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
        asked = true;
        ::raise(SIGTERM);
    });
    rig.window->Menus().Action("mnuExit")->trigger(); // "Exit Larkwatch ?" left unanswered
    QVERIFY(asked);
    QTRY_COMPARE(unloaded.count(), 1);
    QVERIFY(!rig.window->isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

// The real program: a pass (or part of one), then SIGTERM; the next run
// announces and logs nothing a second time.
void TestTermination::programKeepsWhatItSaw_data() {
    QTest::addColumn<int>("silentAfter"); // 0: the whole pass ends first
    QTest::newRow("after a pass") << 0;
    QTest::newRow("during a check that hangs") << 3;
}

void TestTermination::programKeepsWhatItSaw() {
    QFETCH(int, silentAfter);
    FakePop3Server server;
    QVERIFY(server.Listen());
    for (int n = 1; n <= 6; ++n)
        server.AddMessage(Mail(n));
    server.SilentAfterMessages = silentAfter;
    TempState t;
    t.State->Accounts = {FakeServerAccount("Home", server.Port())};
    SaveAccounts(*t.State);
    const QString logs = t.Dir.path() + "/logs/";
    t.State->Store.WriteSetting("Config", "LogDisabled", "False");
    t.State->Store.WriteSetting("Config", "LogFilesPath", logs);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", t.Dir.path() + "/config");
    env.insert("XDG_DATA_HOME", t.Dir.path() + "/data");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QSignalSpy finished(&program, &QProcess::finished);
    program.start(LARKWATCH_BINARY, QStringList());
    QVERIFY(program.waitForStarted());

    // The first pass starts five seconds after the window; this process's
    // event loop serves it.
    const QString logFile = logs + "Master.doc";
    auto logged = [&](int n) {
        return QString::fromUtf8(ReadWholeFile(logFile))
            .count(QString("Message-ID : <%1@term.example>").arg(n));
    };
    const int firstRun = silentAfter ? silentAfter : 6; // what the first run gets to see
    QTRY_COMPARE_WITH_TIMEOUT(logged(firstRun), 1, 60000);
    if (silentAfter == 0) {
        QTRY_VERIFY_WITH_TIMEOUT(server.Transcript.contains("QUIT"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(HistoryFilePath(*t.State)), 10000);
    }
    QCOMPARE(program.state(), QProcess::Running);
    QCOMPARE(::kill(pid_t(program.processId()), SIGTERM), 0);
    QVERIFY2(finished.wait(30000), "the program did not end on SIGTERM");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    // The next run, as `larkwatch --check --json`.
    server.SilentAfterMessages = 0;
    QProcess check;
    env.remove("QT_QPA_PLATFORM");
    check.setProcessEnvironment(env);
    QSignalSpy checked(&check, &QProcess::finished);
    check.start(LARKWATCH_BINARY, {"--check", "--json"});
    QVERIFY(checked.wait(60000));
    QCOMPARE(check.exitCode(), 0);
    const QJsonArray messages = QJsonDocument::fromJson(check.readAllStandardOutput())
                                    .object()
                                    .value("accounts")
                                    .toArray()
                                    .at(0)
                                    .toObject()
                                    .value("messages")
                                    .toArray();
    QCOMPARE(messages.size(), 6);
    // What the first run saw is known; only the rest is new now.
    for (int n = 1; n <= 6; ++n) {
        QCOMPARE(messages.at(n - 1).toObject().value("state").toString(),
                 n <= firstRun ? QString("seen") : QString("new"));
        QCOMPARE(logged(n), 1); // every message in the mail log exactly once
    }
}

QTEST_MAIN(TestTermination)
#include "test_termination.moc"
