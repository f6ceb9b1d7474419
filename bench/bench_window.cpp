// The window's own pass against `--check` on the same mailbox, with the
// default options (AutoExpand on) and with AutoExpand off:
//
//   bench_window [--runs N (3)] [--dovecot ENVFILE] [MESSAGES... (1000 20000)]
//
// For each mailbox size one account holds that many small messages: with
// --dovecot, a user of its own on the test Dovecot that ENVFILE describes
// (tests/support/dovecot/dovecot-fixture.sh start ENVFILE), made here with
// the fixture's add-user; otherwise a fake POP3 server on loopback run by a
// child process (this program with --serve). In this process, N runs of
// each, every one a first pass (no history, no header memory), with the
// medians and their ratios at the end:
//
//   check     the pass of `larkwatch --check` (RunCheckMode), no window, and
//             its longest event-loop stall
//   window    the real window, loaded and shown, its pass run as a timer
//             tick runs it: the time, the longest event-loop stall during
//             it (a 10 ms timer that records how late it fires), whether the
//             newest message node ended in view, and how long after the pass
//             the tree was wholly caught up (laid out, column fitted), with
//             the longest stall of that time too
//
// and then the window program itself (src/app/larkwatch, default options)
// is sent SIGTERM 100 ms and a quarter, a half and nine tenths of the median
// pass into its first pass: how long it takes to end, its exit code and the
// size of the history file it left.
//
// The window runs on the platform QT_QPA_PLATFORM names (offscreen, or xcb
// with DISPLAY set); bench/bench_window.sh runs it offscreen and under Xvfb.

#include "stall_probe.h"
#include "app/check_mode.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "records/general_options_store.h"
#include "support/fake_pop3_server.h"
#include "tree/account_tree_model.h"
#include "main_window/account_tree_view.h"
#include "engine/scheduler.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {

QByteArray SmallMessage(int n) {
    const QByteArray id = QByteArray::number(n);
    return "From: =?UTF-8?Q?M=C3=BCller_" + id + "?= <s" + id + "@example.org>\r\n" +
           "To: ann@example.org\r\nSubject: Note " + id + "\r\nDate: Mon, 18 Mar 2024 " +
           "10:00:00 +0100\r\nMessage-ID: <" + id + "@example.org>\r\n\r\nBody " + id + ".\r\n";
}

// The server: its port on the first line of stdout, then "connect" for each
// connection a client opens.
int Serve(QCoreApplication& app, int messages) {
    FakePop3Server server;
    server.Listen();
    for (int n = 1; n <= messages; ++n)
        server.AddMessage(SmallMessage(n), "uid-" + QByteArray::number(n));
    std::fprintf(stdout, "%u\n", unsigned(server.Port()));
    std::fflush(stdout);
    qsizetype seen = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (; seen < server.Transcript.size(); ++seen) {
            if (server.Transcript.at(seen) == QLatin1String("<CONNECT>")) {
                std::fprintf(stdout, "connect\n");
                std::fflush(stdout);
            }
        }
    });
    watch.start(2);
    // Ended by the parent; never outlives a parent that did not end it.
    QTimer::singleShot(60 * 60 * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}

// Where the mailbox is, and how to tell that a client has logged on to it.
struct Mailbox {
    QString Host = QStringLiteral("127.0.0.1");
    quint16 Port = 0;
    QString User = QStringLiteral("ann");
    QString Password = QStringLiteral("secret");
    QProcess* FakeServer = nullptr; // prints "connect" for each connection
    QString DovecotLog;             // or: Dovecot's log names each log-on

    // Connections (fake server) or log-ons (Dovecot) so far.
    qsizetype Arrivals() {
        if (FakeServer) {
            m_fakeSeen += FakeServer->readAll().count("connect");
            return m_fakeSeen;
        }
        QFile log(DovecotLog);
        if (!log.open(QIODevice::ReadOnly))
            return 0;
        return log.readAll().count("Login: user=<" + User.toUtf8() + ">");
    }

private:
    qsizetype m_fakeSeen = 0;
};

// The files of a user with one account on the server and the default
// options but AutoExpand, as XDG_CONFIG_HOME=root/config and
// XDG_DATA_HOME=root/data place them.
void WriteSettings(const QString& root, const Mailbox& mailbox, bool autoExpand) {
    AppState state(StatePaths::Under(root));
    LoadGeneralOptions(state);
    state.AppSettings.AutoExpand = autoExpand;
    SaveGeneralOptions(state);
    MailAccount account;
    account.Title = QStringLiteral("Bench");
    account.Host = mailbox.Host;
    account.Port = mailbox.Port;
    account.User = mailbox.User;
    account.Password = mailbox.Password;
    account.NodeKey = NewAccountKey(state);
    state.Accounts.append(account);
    SaveAccounts(state);
}

void Settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

struct PassFigures {
    qint64 Ms = 0;
    qint64 StallMs = 0;
    qint64 StallEndedAtMs = 0;
    qsizetype Nodes = 0;
    bool NewestInView = false;
    qint64 CaughtUpMs = 0; // after the pass, until the tree was wholly caught up
    qint64 CatchUpStallMs = 0;
};

PassFigures CheckPass(const Mailbox& mailbox) {
    QTemporaryDir root;
    WriteSettings(root.path(), mailbox, true);
    AppState state(StatePaths::Under(root.path()));
    QString printed;
    QTextStream out(&printed);
    PassFigures figures;
    StallProbe probe;
    probe.Start();
    QElapsedTimer clock;
    clock.start();
    RunCheckMode(state, false, out);
    figures.Ms = clock.elapsed();
    figures.StallMs = probe.Stop();
    figures.StallEndedAtMs = probe.WorstEndedAt();
    return figures;
}

PassFigures WindowPass(const Mailbox& mailbox, bool autoExpand) {
    QTemporaryDir root;
    WriteSettings(root.path(), mailbox, autoExpand);
    AppState state(StatePaths::Under(root.path()));
    MainWindow window(state);
    window.Form_Load();
    window.PoolingEvent().stop();
    Settle(300); // the window shown and painted, as five seconds after the start

    PassFigures figures;
    StallProbe probe;
    probe.Start();
    QElapsedTimer clock;
    clock.start();
    window.Passes().RunPass();
    figures.Ms = clock.elapsed();
    window.PoolingEvent().stop();
    figures.StallMs = probe.Stop();
    figures.StallEndedAtMs = probe.WorstEndedAt();

    const QStringList children = window.Model().ChildKeys(state.Account(1).NodeKey);
    figures.Nodes = children.size();
    // The view's last frames, as the screen shows them.
    probe.Start();
    QElapsedTimer frame;
    frame.start();
    while (window.Tree().Pacer().Waiting() && frame.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    figures.CaughtUpMs = frame.elapsed();
    figures.CatchUpStallMs = probe.Stop();
    Settle(50);
    if (!children.isEmpty()) {
        AccountTreeView& tree = window.Tree();
        const QRect shown = tree.visualRect(window.Model().IndexForKey(children.last()));
        figures.NewestInView =
            shown.isValid() && shown.top() >= 0 && shown.bottom() < tree.viewport()->height();
    }
    window.CloseForSessionEnd();
    return figures;
}

struct EndFigures {
    qint64 Ms = -1;
    int ExitCode = -1;
    qint64 HistoryBytes = -1;
};

// The window program, SIGTERM `afterMs` after its first pass connected.
EndFigures EndMidPass(Mailbox& mailbox, qint64 afterMs) {
    QTemporaryDir root;
    WriteSettings(root.path(), mailbox, true);
    QDir(root.path()).mkdir(QStringLiteral("run"));
    QFile::setPermissions(root.filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root.filePath(QStringLiteral("run")));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setStandardOutputFile(QProcess::nullDevice());
    const qsizetype before = mailbox.Arrivals();
    program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/app/larkwatch"),
                  {});
    EndFigures figures;
    QElapsedTimer waited;
    waited.start();
    bool connected = false;
    while (!connected && waited.elapsed() < 30000) {
        if (mailbox.FakeServer)
            mailbox.FakeServer->waitForReadyRead(100);
        else
            QThread::msleep(2);
        connected = mailbox.Arrivals() > before;
    }
    if (!connected) {
        program.kill();
        program.waitForFinished();
        return figures;
    }
    QThread::msleep(afterMs);
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(program.processId()), SIGTERM);
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        return figures;
    }
    figures.Ms = clock.elapsed();
    figures.ExitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    const QFileInfo history(root.filePath(QStringLiteral("data/Larkwatch/log.tmp")));
    figures.HistoryBytes = history.exists() ? history.size() : 0;
    return figures;
}

qint64 Median(QList<qint64> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

void PrintPass(const char* what, const PassFigures& pass, qint64 checkMs) {
    std::printf("    %-22s %7lld ms  %5.2f x --check  longest stall %4lld ms (ended %lld ms in)",
                what, pass.Ms, double(pass.Ms) / double(checkMs), pass.StallMs,
                pass.StallEndedAtMs);
    if (pass.CaughtUpMs > 0)
        std::printf("; tree caught up %lld ms later, longest stall then %lld ms", pass.CaughtUpMs,
                    pass.CatchUpStallMs);
    std::printf("\n");
}

QString EnvValue(const QString& envFile, const QString& key) {
    QFile file(envFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString prefix = key + QStringLiteral("='");
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(prefix) && line.endsWith(QLatin1Char('\'')))
            return line.mid(prefix.size(), line.size() - prefix.size() - 1);
    }
    return {};
}

// A user of its own on the test Dovecot with `messages` generated messages.
bool DovecotMailbox(const QString& envFile, int messages, Mailbox& mailbox) {
    const QString fixture = QStringLiteral(LARKWATCH_DOVECOT_SCRIPT);
    mailbox.Host = EnvValue(envFile, QStringLiteral("HOST"));
    mailbox.Port = quint16(EnvValue(envFile, QStringLiteral("POP3_PORT")).toUInt());
    mailbox.DovecotLog = EnvValue(envFile, QStringLiteral("DIR")) + QStringLiteral("/dovecot.log");
    mailbox.User = QStringLiteral("bench%1").arg(messages);
    mailbox.Password = QStringLiteral("bench-pw");
    QFile users(EnvValue(envFile, QStringLiteral("DIR")) + QStringLiteral("/users"));
    if (users.open(QIODevice::ReadOnly) &&
        users.readAll().contains("\n" + mailbox.User.toUtf8() + ":"))
        return mailbox.Port != 0; // made by an earlier run on this server
    QProcess add;
    add.setProcessChannelMode(QProcess::ForwardedChannels);
    add.start(QStringLiteral("bash"), {fixture, QStringLiteral("add-user"), envFile, mailbox.User,
                                       mailbox.Password, QString::number(messages)});
    return mailbox.Port != 0 && add.waitForFinished(30 * 60 * 1000) &&
           add.exitStatus() == QProcess::NormalExit && add.exitCode() == 0;
}

int RunMailbox(int messages, int runs, const QString& dovecotEnv) {
    QProcess server;
    Mailbox mailbox;
    if (!dovecotEnv.isEmpty()) {
        if (!DovecotMailbox(dovecotEnv, messages, mailbox)) {
            std::fprintf(stderr, "no mailbox of %d messages on the test Dovecot\n", messages);
            return 1;
        }
    } else {
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--serve"), QString::number(messages)});
        if (!server.waitForReadyRead(120000)) {
            std::fprintf(stderr, "the server did not start\n");
            return 1;
        }
        mailbox.Port = quint16(server.readLine().trimmed().toUInt());
        mailbox.FakeServer = &server;
    }

    std::printf("%d messages on %s, %d runs, each a first pass:\n", messages,
                dovecotEnv.isEmpty() ? "the fake server" : "the test Dovecot", runs);
    QList<qint64> checks, shut, open;
    for (int run = 1; run <= runs; ++run) {
        const PassFigures check = CheckPass(mailbox);
        const PassFigures off = WindowPass(mailbox, false);
        const PassFigures on = WindowPass(mailbox, true);
        std::printf("  run %d\n", run);
        PrintPass("--check", check, check.Ms);
        PrintPass("window AutoExpand=False", off, check.Ms);
        PrintPass("window AutoExpand=True", on, check.Ms);
        if (off.Nodes != messages || on.Nodes != messages || !on.NewestInView)
            std::printf("    NOT ALL SHOWN: %lld and %lld nodes, newest %sin view\n",
                        qlonglong(off.Nodes), qlonglong(on.Nodes), on.NewestInView ? "" : "NOT ");
        std::fflush(stdout);
        checks.append(check.Ms);
        shut.append(off.Ms);
        open.append(on.Ms);
    }
    const qint64 check = Median(checks);
    std::printf("  median: --check %lld ms; window AutoExpand=False %lld ms (%.2f x), "
                "AutoExpand=True %lld ms (%.2f x)\n",
                check, Median(shut), double(Median(shut)) / double(check), Median(open),
                double(Median(open)) / double(check));
    const qint64 pass = Median(open);
    for (const qint64 after : {qint64(100), pass / 4, pass / 2, pass * 9 / 10}) {
        const EndFigures end = EndMidPass(mailbox, after);
        std::printf("  SIGTERM %lld ms into the window program's pass: ended in %lld ms, exit "
                    "code %d, log.tmp %lld bytes\n",
                    after, end.Ms, end.ExitCode, end.HistoryBytes);
        std::fflush(stdout);
    }
    if (mailbox.FakeServer) {
        server.kill();
        server.waitForFinished(10000);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc >= 3 && qstrcmp(argv[1], "--serve") == 0) {
        QCoreApplication app(argc, argv);
        return Serve(app, QByteArray(argv[2]).toInt());
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QList<int> sizes;
    int runs = 3;
    QString dovecotEnv;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, QByteArray(argv[++i]).toInt());
        else if (qstrcmp(argv[i], "--dovecot") == 0 && i + 1 < argc)
            dovecotEnv = QString::fromLocal8Bit(argv[++i]);
        else
            sizes.append(QByteArray(argv[i]).toInt());
    }
    if (sizes.isEmpty())
        sizes = {1000, 20000};
    std::printf("platform %s\n", qPrintable(QGuiApplication::platformName()));
    for (const int messages : sizes) {
        if (const int failed = RunMailbox(messages, runs, dovecotEnv))
            return failed;
    }
    return 0;
}
