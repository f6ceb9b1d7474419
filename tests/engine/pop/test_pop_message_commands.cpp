#include "engine/pop/pop_client.h"
#include "engine/pop/pop_wait.h"
#include "support/fail_on_warning.h"
#include "support/fake_pop3_server.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

// What the POP client offers the message commands: a message's unique id on a
// later connection, what is left of a message cut short, and the certificate
// that made a connection fail.
class TestPopMessageCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void uniqueIds_data();
    void uniqueIds();
    void messageCutShort_data();
    void messageCutShort();
    void untrustedCertificate_data();
    void untrustedCertificate();
};

namespace {

struct Rig {
    FakePop3Server Server;
    PopClient Client;
    QList<QPair<qint16, QString>> UniqueIds;
    QString Text;
    QList<qint16> States;

    Rig() {
        Server.Listen();
        Client.ServerHost = QStringLiteral("127.0.0.1");
        Client.ServerPort = Server.Port();
        Client.UserName = QStringLiteral("ann");
        Client.UserPassword = QStringLiteral("secret");
        Client.ConnectTimeoutMs = 5000;
        Client.CommandTimeoutMs = 5000;
        QObject::connect(&Client, &PopClient::UniqueIdReply, [this](qint16 n, const QString& id) {
            UniqueIds.append({n, id});
        });
        QObject::connect(&Client, &PopClient::DocOutput, [this](const PopDocument& document) {
            States.append(document.State);
            if (document.State == PopDocument::DataReady)
                Text += document.GetData();
        });
    }
    bool Run(const std::function<void()>& call) {
        call();
        return WaitUntilIdle(Client, 20000);
    }
    bool LogOn() {
        return Run([this] { Client.Connect(); }) && Run([this] { Client.Authenticate(); }) &&
               Client.LogonState() == PopClient::LoggedOn;
    }
    bool Closed() const {
        return Client.LogonState() == PopClient::NotConnected &&
               Client.ConnectionState() == PopClient::ConnectionClosed;
    }
    QStringList LastSession() const {
        return Server.Transcript.mid(Server.Transcript.lastIndexOf("<CONNECT>") + 1);
    }
};

QByteArray message(int n, const QByteArray& body = {}) {
    return "From: S" + QByteArray::number(n) + " <s@example.org>\r\nSubject: M" +
           QByteArray::number(n) + "\r\nMessage-ID: <m" + QByteArray::number(n) + "@x>\r\n\r\n" +
           (body.isEmpty() ? QByteArray("Hello\r\n") : body);
}

// Numbered lines, so a test can tell how far a message came.
QByteArray numberedLines(int count) {
    QByteArray body;
    for (int i = 1; i <= count; ++i)
        body += "line " + QByteArray::number(i) + "\r\n";
    return body;
}

} // namespace

void TestPopMessageCommands::uniqueIds_data() {
    QTest::addColumn<bool>("pipelining");
    // What the check asked for first: "headers" reads the listing of unique
    // ids; "size" reads it together with the sizes when pipelining.
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("offerUidl");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expectedId");
    QTest::addColumn<QString>("expectedCommand"); // the last command before the answer

    QTest::newRow("asked on its own") << false << "" << true << 2 << "uid-2"
                                      << "UIDL 2";
    QTest::newRow("from the listing read") << false << "headers" << true << 2 << "uid-2"
                                           << "UIDL";
    QTest::newRow("from the listing read with the sizes") << true << "size" << true << 2 << "uid-2"
                                                          << "UIDL";
    QTest::newRow("no such message") << false << "" << true << 7 << ""
                                     << "UIDL 7";
    QTest::newRow("no such message in the listing read with the sizes")
        << true << "size" << true << 7 << ""
        << "UIDL 7";
    QTest::newRow("no UIDL on the server") << false << "" << false << 2 << ""
                                           << "UIDL 2";
}

void TestPopMessageCommands::uniqueIds() {
    QFETCH(bool, pipelining);
    QFETCH(QString, before);
    QFETCH(bool, offerUidl);
    QFETCH(int, number);
    Rig rig;
    rig.Server.OfferPipelining = pipelining;
    rig.Server.OfferUidl = offerUidl;
    for (int n = 1; n <= 3; ++n)
        rig.Server.AddMessage(message(n));
    QVERIFY(rig.LogOn());
    if (before == QLatin1String("headers")) {
        QVERIFY(rig.Run([&] { rig.Client.RetrieveHeaders(1); }));
        QCOMPARE(rig.Client.UniqueId(1), QString("uid-1"));
        QCOMPARE(rig.Client.UniqueId(3), QString("uid-3"));
    } else if (before == QLatin1String("size")) {
        // Answered by the sizes; the unique ids may still be on their way.
        QVERIFY(rig.Run([&] { rig.Client.RequestMessageSize(1); }));
    } else {
        QCOMPARE(rig.Client.UniqueId(2), QString());
    }
    QVERIFY(rig.Run([&] { rig.Client.RequestUniqueId(qint16(number)); }));
    QCOMPARE(rig.UniqueIds.size(), 1);
    QCOMPARE(rig.UniqueIds.first().first, qint16(number));
    QTEST(rig.UniqueIds.first().second, "expectedId");
    const QStringList session = rig.LastSession();
    const QString lastUidl = *std::find_if(session.rbegin(), session.rend(),
                                           [](const QString& c) { return c.startsWith("UIDL"); });
    QTEST(lastUidl, "expectedCommand");
    // An unknown number is an answer, not a fault of the connection.
    QCOMPARE(rig.Client.LogonState(), PopClient::LoggedOn);
    QCOMPARE(rig.Client.ConnectionState(), PopClient::ConnectionIdle);
}

void TestPopMessageCommands::messageCutShort_data() {
    QTest::addColumn<bool>("overLimit"); // else the connection drops half-way
    QTest::addColumn<QString>("expectedError");
    QTest::newRow("larger than the cap") << true << "Reply too large";
    QTest::newRow("connection lost half-way") << false << "Connection closed by the server";
}

void TestPopMessageCommands::messageCutShort() {
    QFETCH(bool, overLimit);
    Rig rig;
    rig.Server.AddMessage(message(1, numberedLines(2000)));
    if (overLimit)
        rig.Client.MaxMessageBytes = 8000;
    else
        rig.Server.DropMidReplyOn = "RETR";
    QVERIFY(rig.LogOn());
    QVERIFY(rig.Run([&] { rig.Client.RetrieveMessage(1); }));

    QVERIFY(rig.Closed());
    QTEST(rig.Client.LastError(), "expectedError");
    QCOMPARE(rig.Client.MessageOverLimit(), overLimit);
    // The headers first, then the readable text of what had come.
    QCOMPARE(rig.States.first(), qint16(PopDocument::HeadersReady));
    QVERIFY2(rig.Text.startsWith("From: S1 <s@example.org>\nSubject: M1\n"), qPrintable(rig.Text));
    QVERIFY(rig.Text.contains("\nline 1\nline 2\n"));
    QVERIFY(!rig.Text.contains("line 2000"));

    // The next retrieval on a new connection starts afresh.
    rig.Server.DropMidReplyOn.clear();
    rig.Client.MaxMessageBytes = 1024 * 1024;
    rig.Text.clear();
    QVERIFY(rig.LogOn());
    QVERIFY(rig.Run([&] { rig.Client.RetrieveMessage(1); }));
    QVERIFY(!rig.Client.MessageOverLimit());
    QVERIFY(rig.Text.contains("line 2000"));
}

void TestPopMessageCommands::untrustedCertificate_data() {
    QTest::addColumn<QString>("security");
    QTest::addColumn<bool>("pinned");
    QTest::newRow("STARTTLS, not trusted") << "STARTTLS" << false;
    QTest::newRow("TLS, not trusted") << "TLS" << false;
    QTest::newRow("STARTTLS, pinned") << "STARTTLS" << true;
}

void TestPopMessageCommands::untrustedCertificate() {
    QFETCH(QString, security);
    QFETCH(bool, pinned);
    Rig rig;
    rig.Server.OfferStls = security == QLatin1String("STARTTLS");
    rig.Server.ImplicitTls = security == QLatin1String("TLS");
    rig.Client.Security = security;
    if (pinned)
        rig.Client.CertSHA256 = rig.Server.CertificateSha256();
    QVERIFY(rig.Run([&] { rig.Client.Connect(); }));
    QCOMPARE(rig.Client.LogonState(), pinned ? PopClient::Connected : PopClient::NotConnected);
    QCOMPARE(rig.Client.UntrustedCertificateSHA256(),
             pinned ? QString() : rig.Server.CertificateSha256());
    // A later connection that fails otherwise names no certificate.
    rig.Client.ServerPort = FakePop3Server::ClosedPort();
    QVERIFY(rig.Run([&] { rig.Client.Connect(); }));
    QCOMPARE(rig.Client.UntrustedCertificateSHA256(), QString());
}

QTEST_MAIN(TestPopMessageCommands)
#include "test_pop_message_commands.moc"
