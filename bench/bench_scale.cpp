// A pass of the engine over many messages across accounts, as the window runs
// it: resident memory afterwards, and the longest the event loop stood still
// during the pass (a 10 ms timer that records how late it fires).
//
//   bench_scale [accounts (3)] [messages per account (10000)]
//
// Each account is a fake POP3 server on loopback offering PIPELINING, run by
// a child process (this program with --serve), so neither its memory nor its
// work counts here; the messages are small (the point is their count). A
// second pass follows, with the header memory of the first.

#include "process_figures.h"
#include "stall_probe.h"
#include "engine/mail_engine.h"
#include "engine/pop/pop_client.h"
#include "engine/scheduler.h"
#include "records/app_state.h"
#include "support/fake_pop3_server.h"
#include "support/recording_monitor_host.h"
#include "tree/account_tree_model.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

QByteArray SmallMessage(int account, int n) {
    const QByteArray id = QByteArray::number(account) + "." + QByteArray::number(n);
    return "From: =?UTF-8?Q?M=C3=BCller_" + id + "?= <s" + id + "@example.org>\r\n" +
           "To: ann@example.org\r\nSubject: Note " + id + "\r\nDate: Mon, 18 Mar 2024 " +
           "10:00:00 +0100\r\nMessage-ID: <" + id + "@example.org>\r\n\r\nBody " + id + ".\r\n";
}

} // namespace

// The servers: one port a line on stdout, then serve until ended.
int Serve(QCoreApplication& app, int accounts, int perAccount) {
    std::vector<std::unique_ptr<FakePop3Server>> servers;
    for (int a = 1; a <= accounts; ++a) {
        auto server = std::make_unique<FakePop3Server>();
        server->Listen();
        for (int n = 1; n <= perAccount; ++n)
            server->AddMessage(SmallMessage(a, n), "uid-" + QByteArray::number(n));
        std::fprintf(stdout, "%u\n", unsigned(server->Port()));
        servers.push_back(std::move(server));
    }
    std::fflush(stdout);
    // Ended by the parent; never outlives a parent that did not end it.
    QTimer::singleShot(30 * 60 * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool serve = args.value(1) == QLatin1String("--serve");
    const int first = serve ? 2 : 1;
    const int accounts = args.size() > first ? args.at(first).toInt() : 3;
    const int perAccount = args.size() > first + 1 ? args.at(first + 1).toInt() : 10000;
    if (serve)
        return Serve(app, accounts, perAccount);

    QProcess servers;
    servers.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    servers.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--serve"), QString::number(accounts), QString::number(perAccount)});
    QList<quint16> ports;
    while (ports.size() < accounts && servers.waitForReadyRead(120000)) {
        while (servers.canReadLine())
            ports.append(quint16(servers.readLine().trimmed().toUInt()));
    }
    if (ports.size() < accounts) {
        std::fprintf(stderr, "the servers did not start\n");
        return 1;
    }
    QTemporaryDir dir;
    AppState state(StatePaths::Under(dir.path()));
    const qint64 servedKiB = ResidentKiB();
    for (int a = 1; a <= accounts; ++a) {
        MailAccount account;
        account.Title = QStringLiteral("Account %1").arg(a);
        account.Host = QStringLiteral("127.0.0.1");
        account.Port = ports.at(a - 1);
        account.User = QStringLiteral("ann");
        account.Password = QStringLiteral("secret");
        account.NodeKey = QStringLiteral("P%1").arg(a);
        state.Accounts.append(account);
    }
    std::fprintf(stdout, "%d accounts of %d messages; %lld KiB resident before the first pass\n",
                 accounts, perAccount, servedKiB);

    AccountTreeModel tree;
    PopClient pop;
    RecordingMonitorHost host;
    MailEngine engine(state, tree, pop, host);
    QTimer poolingEvent;
    Scheduler scheduler(state, tree, engine, host, poolingEvent);
    StallProbe probe;
    for (int pass = 1; pass <= 2; ++pass) {
        QElapsedTimer clock;
        clock.start();
        probe.Start();
        scheduler.RunPass();
        poolingEvent.stop();
        const qint64 stall = probe.Stop();
        int listed = 0;
        for (int a = 1; a <= accounts; ++a)
            listed += int(tree.ChildKeys(QStringLiteral("P%1").arg(a)).size());
        std::fprintf(stdout,
                     "pass %d: %d message nodes in %lld ms, longest event-loop stall %lld ms, "
                     "%lld KiB resident\n",
                     pass, listed, clock.elapsed(), stall, ResidentKiB());
        std::fflush(stdout);
    }
    servers.kill();
    servers.waitForFinished(10000);
    return 0;
}
