#include "support/fail_on_warning.h"
#include "records/account_store.h"
#include "support/dovecot_fixture.h"
#include "support/temp_state.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// `larkwatch --check` against the test Dovecot with two accounts of 40 and 120
// messages, the second one out of reach for one run and then back. Every run
// is a start of the program anew, with the history file of the run before.
// Nothing may be announced or written to the mail log a second time.
class TestCheckOutage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void initTestCase();
    void outageOfTheSecondAccount_data();
    void outageOfTheSecondAccount();

private:
    DovecotFixture m_fixture;
    QString m_small, m_large; // the two mailboxes' users
};

void TestCheckOutage::init() {
    FailOnUnexpectedWarnings();
}

namespace {

// Between Larkwatch and Dovecot: passes the conversation on, or refuses
// connections, or drops a connection in the middle of the LIST reply.
class Proxy : public QTcpServer {
public:
    enum Mode { Forward, DropMidList };
    Mode mode = Forward;
    quint16 upstream = 0;

    bool Open(quint16 port = 0) { return listen(QHostAddress::LocalHost, port); }

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* client = new QTcpSocket(this);
        client->setSocketDescriptor(descriptor);
        auto* server = new QTcpSocket(this);
        server->connectToHost(QHostAddress::LocalHost, upstream);
        auto listing = std::make_shared<bool>(false);
        auto end = [client, server] {
            client->abort();
            server->abort();
            client->deleteLater();
            server->deleteLater();
        };
        connect(client, &QTcpSocket::readyRead, server, [=, this] {
            const QByteArray bytes = client->readAll();
            if (mode == DropMidList && bytes.contains("LIST"))
                *listing = true;
            server->write(bytes);
        });
        connect(server, &QTcpSocket::readyRead, client, [=] {
            QByteArray bytes = server->readAll();
            if (*listing) {
                // Half of what came of the listing, then the line goes dead.
                // The listing of unique ids may come in the same read.
                const qsizetype last = bytes.indexOf("\r\n.\r\n");
                const qsizetype listing = last >= 0 ? last + 5 : bytes.size();
                client->write(bytes.left(std::max<qsizetype>(1, listing / 2)));
                client->flush();
                end();
                return;
            }
            client->write(bytes);
        });
        connect(client, &QTcpSocket::disconnected, server, end);
        connect(server, &QTcpSocket::disconnected, client, end);
    }
};

struct Run {
    int exitCode = -1;
    QJsonArray accounts;
};

} // namespace

void TestCheckOutage::initTestCase() {
    m_fixture = DovecotFixture::Load();
    LARKWATCH_REQUIRE_DOVECOT(m_fixture);
    // Mailboxes of this test's own, named anew at every run of it.
    const QString suffix = QString::number(QCoreApplication::applicationPid());
    m_small = "outage" + suffix + "a";
    m_large = "outage" + suffix + "b";
    const QString env = qEnvironmentVariable("LARKWATCH_DOVECOT_ENV");
    QCOMPARE(QProcess::execute(LARKWATCH_DOVECOT_SCRIPT, {"add-user", env, m_small, "pw", "40"}),
             0);
    QCOMPARE(QProcess::execute(LARKWATCH_DOVECOT_SCRIPT, {"add-user", env, m_large, "pw", "120"}),
             0);
}

enum Outage { Unreachable, LogonRefused, DroppedMidList };

void TestCheckOutage::outageOfTheSecondAccount_data() {
    QTest::addColumn<int>("outage");
    QTest::addColumn<QString>("status"); // the second account's node in the run without it
    QTest::newRow("unreachable") << int(Unreachable) << "Large --- Error Connecting!";
    QTest::newRow("log-on refused") << int(LogonRefused) << "Large --- Bad user ID or Password!";
    QTest::newRow("connection dropped mid-list")
        << int(DroppedMidList) << "Large --- 120 messages --- Totaling 0 bytes.";
}

void TestCheckOutage::outageOfTheSecondAccount() {
    QFETCH(int, outage);
    QFETCH(QString, status);
    TempState t;
    Proxy proxy;
    proxy.upstream = quint16(m_fixture.Value("POP3_PORT").toInt());
    QVERIFY(proxy.Open());
    const quint16 proxyPort = proxy.serverPort();

    MailAccount small;
    small.Title = "Small";
    small.Host = m_fixture.Value("HOST");
    small.Port = m_fixture.Value("POP3_PORT").toInt();
    small.User = m_small;
    small.Password = "pw";
    MailAccount large = small;
    large.Title = "Large";
    large.Port = proxyPort; // the same mailbox, through the proxy
    large.User = m_large;
    t.State->Accounts = {small, large};
    SaveAccounts(*t.State);
    const QString logs = t.Dir.path() + "/logs/";
    t.State->Store.WriteSetting("Config", "LogDisabled", "False");
    t.State->Store.WriteSetting("Config", "LogAllInOne", "False");
    t.State->Store.WriteSetting("Config", "LogFilesPath", logs);

    // One run of `larkwatch --check --json`; this process's event loop keeps
    // the proxy going meanwhile.
    auto check = [&]() -> Run {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", t.Dir.path() + "/config");
        env.insert("XDG_DATA_HOME", t.Dir.path() + "/data");
        process.setProcessEnvironment(env);
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(LARKWATCH_BINARY, {"--check", "--json"});
        Run run;
        if (!finished.wait(120000)) {
            process.kill();
            return run;
        }
        run.exitCode = process.exitCode();
        run.accounts = QJsonDocument::fromJson(process.readAllStandardOutput())
                           .object()
                           .value("accounts")
                           .toArray();
        return run;
    };
    auto states = [](const Run& run, int account) {
        QStringList list;
        for (const QJsonValue& m : run.accounts.at(account).toObject().value("messages").toArray())
            list.append(m.toObject().value("state").toString());
        return list;
    };
    auto logged = [&](const QString& title) {
        QStringList ids;
        static const QRegularExpression id("Message-ID : (<[^>]+>)\r\n");
        QFile file(logs + title + ".doc");
        if (!file.open(QIODevice::ReadOnly))
            return ids;
        auto it = id.globalMatch(QString::fromUtf8(file.readAll()));
        while (it.hasNext())
            ids.append(it.next().captured(1));
        return ids;
    };
    auto ids = [](const QString& user, int count) {
        QStringList list;
        for (int n = 1; n <= count; ++n)
            list.append(QString("<%1.%2@larkwatch.test>").arg(n).arg(user));
        return list;
    };

    const Run first = check();
    QCOMPARE(first.exitCode, 0);
    QCOMPARE(states(first, 0), QStringList(40, "new"));
    QCOMPARE(states(first, 1), QStringList(120, "new"));

    // The second account out of reach for one run.
    switch (outage) {
    case Unreachable:
        proxy.close();
        break;
    case LogonRefused:
        t.State->Accounts[1].Password = "not any more";
        SaveAccounts(*t.State);
        break;
    case DroppedMidList:
        proxy.mode = Proxy::DropMidList;
        break;
    }
    const Run without = check();
    QCOMPARE(without.exitCode, outage == DroppedMidList ? 0 : 1);
    QCOMPARE(states(without, 0), QStringList(40, "seen"));
    QCOMPARE(without.accounts.at(1).toObject().value("status").toString(), status);
    QVERIFY(!without.accounts.at(1).toObject().value("error").toString().isEmpty());

    // Back.
    QVERIFY(proxy.isListening() || proxy.Open(proxyPort));
    proxy.mode = Proxy::Forward;
    t.State->Accounts[1].Password = "pw";
    SaveAccounts(*t.State);
    const Run back = check();
    QCOMPARE(back.exitCode, 0);
    QCOMPARE(states(back, 0), QStringList(40, "seen"));
    QCOMPARE(states(back, 1), QStringList(120, "seen"));
    // Logged once each, when first seen.
    QCOMPARE(logged("Small"), ids(m_small, 40));
    QCOMPARE(logged("Large"), ids(m_large, 120));
}

QTEST_GUILESS_MAIN(TestCheckOutage)
#include "test_check_outage.moc"
