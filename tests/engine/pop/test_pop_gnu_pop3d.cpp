#include "engine/pop/pop_client.h"
#include "engine/pop/pop_wait.h"
#include "support/fail_on_warning.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

// The POP client against GNU Mailutils' pop3d, started here as a private
// daemon on loopback. Its greeting carries an APOP timestamp for everybody,
// and it refuses APOP to a user without an entry in its APOP database.
class TestPopGnuPop3d : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void initTestCase();
    void cleanupTestCase();
    void apopRefusedThenUserPass_data();
    void apopRefusedThenUserPass();

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    quint16 m_port = 0;
};

namespace {

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray CryptOf(const QByteArray& password) {
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("passwd"), QStringLiteral("-6"), QString::fromLatin1(password)});
    openssl.waitForFinished(10000);
    return openssl.readAllStandardOutput().trimmed();
}

} // namespace

void TestPopGnuPop3d::initTestCase() {
    const QString pop3d =
        QStandardPaths::findExecutable(QStringLiteral("pop3d"), {QStringLiteral("/usr/sbin")});
    if (pop3d.isEmpty()) {
        QVERIFY2(qgetenv("CI") != "true", "GNU pop3d is not installed (mailutils-pop3d)");
        QSKIP("GNU pop3d is not installed (package mailutils-pop3d)");
    }
    QVERIFY(m_dir.isValid());
    const QString dir = m_dir.path();
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                   QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                   QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                   QFileDevice::ExeOther);
    QVERIFY(QDir(dir).mkpath(QStringLiteral("domains")));
    QVERIFY(QDir(dir).mkpath(QStringLiteral("mail/ann")));
    const QByteArray hash = CryptOf("gnu-pw");
    QVERIFY(hash.startsWith("$6$"));
    // A virtual domain: the user logs on as "ann@test.example".
    QVERIFY(Write(dir + QStringLiteral("/domains/test.example"),
                  "ann:" + hash + ':' + QByteArray::number(getuid()) + ':' +
                      QByteArray::number(getgid()) + "::" + dir.toUtf8() +
                      "/mail/ann:/bin/false\n"));
    QVERIFY(Write(dir + QStringLiteral("/mail/ann/INBOX"),
                  "From sender@example.org Mon Mar 18 10:00:00 2024\nFrom: s@example.org\n"
                  "Subject: one\n\nbody\n\n"));
    m_port = FreePort();
    const QByteArray config = "mode daemon;\nforeground true;\npidfile " + dir.toUtf8() +
                              "/pop3d.pid;\n"
                              "auth { authentication generic; authorization virtdomain; };\n"
                              "virtdomain { passwd-dir " +
                              dir.toUtf8() +
                              "/domains; };\n"
                              "mailbox { mailbox-pattern \"" +
                              dir.toUtf8() +
                              "/mail/${user}/INBOX\"; };\n"
                              "apop-database-file " +
                              dir.toUtf8() +
                              "/apop.db;\n"
                              "login-delay 0;\n"
                              "server 127.0.0.1:" +
                              QByteArray::number(m_port) + " { tls-mode false; };\n";
    QVERIFY(Write(dir + QStringLiteral("/pop3d.conf"), config));
    m_daemon.setStandardOutputFile(QProcess::nullDevice());
    m_daemon.setStandardErrorFile(dir + QStringLiteral("/pop3d.log"));
    m_daemon.start(pop3d, {QStringLiteral("--no-site-config"),
                           QStringLiteral("--config-file=") + dir + QStringLiteral("/pop3d.conf")});
    QVERIFY2(m_daemon.waitForStarted(10000), qPrintable(m_daemon.errorString()));
    // Listening once a connection is taken.
    QTRY_VERIFY_WITH_TIMEOUT(
        [this] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            return probe.waitForConnected(200);
        }(),
        10000);
}

void TestPopGnuPop3d::cleanupTestCase() {
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

void TestPopGnuPop3d::apopRefusedThenUserPass_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expectedError");
    QTest::newRow("APOP refused, USER and PASS accepted") << "gnu-pw" << QString();
    QTest::newRow("both refused: the server's last text") << "wrong"
                                                          << "Login refused: Bad login";
}

void TestPopGnuPop3d::apopRefusedThenUserPass() {
    QFETCH(QString, password);
    QFETCH(QString, expectedError);
    PopClient client;
    client.ServerHost = QStringLiteral("127.0.0.1");
    client.ServerPort = m_port;
    client.UserName = QStringLiteral("ann@test.example");
    client.UserPassword = password;
    client.ConnectTimeoutMs = 5000;
    client.CommandTimeoutMs = 5000;
    client.Connect();
    QVERIFY(WaitUntilIdle(client, 10000));
    QVERIFY2(client.LogonState() == PopClient::Connected, qPrintable(client.LastError()));
    client.Authenticate();
    QVERIFY(WaitUntilIdle(client, 10000));
    QCOMPARE(client.LastError(), expectedError);
    QCOMPARE(client.LogonState(),
             expectedError.isEmpty() ? PopClient::LoggedOn : PopClient::NotConnected);
    if (expectedError.isEmpty())
        QCOMPARE(client.MessageCount(), qint16(1));
}

QTEST_GUILESS_MAIN(TestPopGnuPop3d)
#include "test_pop_gnu_pop3d.moc"
