#include "engine/pop/pop_client.h"
#include "engine/pop/pop_wait.h"
#include "support/header_fields.h"
#include "support/fake_pop3_server.h"
#include "support/fail_on_warning.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

QByteArray MakeMessage(int number, const QByteArray& subject, const QByteArray& body = {}) {
    return "From: Sender " + QByteArray::number(number) + " <s" + QByteArray::number(number) +
           "@example.org>\r\nTo: ann@example.org\r\nSubject: " + subject + "\r\nMessage-ID: <m" +
           QByteArray::number(number) + "@example.org>\r\n\r\n" +
           (body.isEmpty() ? QByteArray("Body of message ") + QByteArray::number(number) + "\r\n"
                           : body);
}

} // namespace

// A fake server and a client with short time-outs, and what the client said.
class PopHarness {
public:
    FakePop3Server Server;
    PopClient Client;
    QList<qint32> Sizes;
    QList<PopDocument> Documents;
    int Deletes = 0;
    int EventsInsideCalls = 0;

    PopHarness() {
        Server.Listen();
        Client.ServerHost = QStringLiteral("127.0.0.1");
        Client.ServerPort = Server.Port();
        Client.UserName = QStringLiteral("ann");
        Client.UserPassword = QStringLiteral("secret");
        Client.ConnectTimeoutMs = 2000;
        Client.CommandTimeoutMs = 2000; // tests that wait for a time-out shorten it
        QObject::connect(&Client, &PopClient::MessageSize, [this](qint32 size) {
            CountIfInsideCall();
            Sizes << size;
        });
        QObject::connect(&Client, &PopClient::DocOutput, [this](const PopDocument& document) {
            CountIfInsideCall();
            Documents << document;
        });
        QObject::connect(&Client, &PopClient::Delete, [this] {
            CountIfInsideCall();
            ++Deletes;
        });
    }

    // Runs one call: call, then yield until the client is no longer busy.
    bool Run(const std::function<void()>& call) {
        m_inCall = true;
        call();
        m_inCall = false;
        // Wait the way the callers do, bounded for a stuck client.
        return WaitUntilIdle(Client, 5000);
    }
    bool ConnectAndLogOn() {
        return Run([this] { Client.Connect(); }) && Client.LogonState() == PopClient::Connected &&
               Run([this] { Client.Authenticate(); }) && Client.LogonState() == PopClient::LoggedOn;
    }
    bool Closed() const {
        return Client.LogonState() == PopClient::NotConnected &&
               Client.ConnectionState() == PopClient::ConnectionClosed;
    }
    bool LoggedOn() const {
        return Client.LogonState() == PopClient::LoggedOn &&
               Client.ConnectionState() == PopClient::ConnectionIdle;
    }
    QString Text() const {
        QString text;
        for (const PopDocument& document : Documents) {
            if (document.State == PopDocument::DataReady)
                text += document.GetData();
        }
        return text;
    }
    // Commands the server received after the last connect.
    QStringList LastSession() const {
        const qsizetype start = Server.Transcript.lastIndexOf(QStringLiteral("<CONNECT>"));
        return Server.Transcript.mid(start + 1);
    }

private:
    void CountIfInsideCall() {
        if (m_inCall)
            ++EventsInsideCalls;
    }
    bool m_inCall = false;
};

class TestPopClient : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void wholeSessionWithoutSpeedUps();
    void wholeSessionWithSpeedUps();
    void logOnMethods_data();
    void logOnMethods();
    void tokenRefusedWithoutTls();
    void connectFailures_data();
    void connectFailures();
    void faultsAfterConnect_data();
    void faultsAfterConnect();
    void sizeCaps();
    void pipelinesHeaderRequests_data();
    void pipelinesHeaderRequests();
    void deletesBetweenPipelinedRequests();
    void headersComeFromMemoryOnTheNextConnection();
    void headersFromRetrWhenTopIsMissing();
    void messageTextIsUnstuffed_data();
    void messageTextIsUnstuffed();
    void messageComesInChunks();
    void tls_data();
    void tls();
    void stlsWithInjectedBytesFails();
    void cancelDropsWithoutDeleting();
    void boundedWaitGivesUpOnAStuckClient();
    void callsWhenNotLoggedOnFail();
    void refusesLineBreaksInCredentials();
};

void TestPopClient::wholeSessionWithoutSpeedUps() {
    PopHarness h;
    h.Client.SpeedUps = false;
    h.Server.AddMessage(MakeMessage(1, "=?UTF-8?Q?Gr=C3=BC=C3=9Fe?="));
    h.Server.AddMessage(MakeMessage(2, "Second"));

    QVERIFY(h.Run([&] { h.Client.Connect(); }));
    QCOMPARE(h.Client.LogonState(), PopClient::Connected);
    QCOMPARE(h.Client.ConnectionState(), PopClient::ConnectionIdle);
    QVERIFY(h.Run([&] { h.Client.Authenticate(); }));
    QVERIFY(h.LoggedOn());
    QCOMPARE(h.Client.MessageCount(), 2);

    QVERIFY(h.Run([&] { h.Client.RequestMessageSize(2); }));
    QCOMPARE(h.Sizes, QList<qint32>{qint32(h.Server.Mailbox.at(1).Raw.size())});
    QVERIFY(h.Run([&] { h.Client.RetrieveHeaders(1); }));
    QCOMPARE(h.Documents.size(), 1);
    QCOMPARE(h.Documents.at(0).State, PopDocument::HeadersReady);
    QCOMPARE(FieldValue(h.Documents.at(0).Headers, "Subject"), QStringLiteral("Grüße"));
    QCOMPARE(FieldValue(h.Documents.at(0).Headers, "From"),
             QStringLiteral("Sender 1 <s1@example.org>"));
    QVERIFY(h.Run([&] { h.Client.DeleteMessage(1); }));
    QCOMPARE(h.Deletes, 1);
    QVERIFY(h.LoggedOn());
    QVERIFY(h.Run([&] { h.Client.Quit(); }));
    QVERIFY(h.Closed());

    QCOMPARE(h.EventsInsideCalls, 0);
    QCOMPARE(h.LastSession(), (QStringList{"CAPA", "USER ann", "PASS secret", "STAT", "LIST 2",
                                           "TOP 1 0", "DELE 1", "QUIT"}));
    QCOMPARE(h.Server.Mailbox.size(), 1); // QUIT made the deletion take effect
}

void TestPopClient::wholeSessionWithSpeedUps() {
    PopHarness h;
    h.Server.OfferPipelining = false;
    for (int i = 1; i <= 3; ++i)
        h.Server.AddMessage(MakeMessage(i, "Subject " + QByteArray::number(i)));
    QVERIFY(h.ConnectAndLogOn());
    for (qint16 i = 1; i <= 3; ++i) {
        QVERIFY(h.Run([&] { h.Client.RequestMessageSize(i); }));
        QVERIFY(h.Run([&] { h.Client.RetrieveHeaders(i); }));
        QCOMPARE(FieldValue(h.Documents.last().Headers, "Subject"),
                 QStringLiteral("Subject %1").arg(i));
    }
    QVERIFY(h.Run([&] { h.Client.RetrieveMessage(3); }));
    QVERIFY(h.Run([&] { h.Client.Quit(); }));
    QCOMPARE(h.Sizes.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(h.Sizes.at(i), qint32(h.Server.Mailbox.at(i).Raw.size()));
    QCOMPARE(h.EventsInsideCalls, 0);
    QCOMPARE(h.LastSession(),
             (QStringList{"CAPA", "USER ann", "PASS secret", "STAT", "LIST", "UIDL", "TOP 1 0",
                          "TOP 2 0", "TOP 3 0", "RETR 3", "QUIT"}));
}

void TestPopClient::logOnMethods_data() {
    QTest::addColumn<QString>("security");
    QTest::addColumn<QString>("apop"); // the greeting's timestamp and what APOP meets
    QTest::addColumn<bool>("offerUser");
    QTest::addColumn<QByteArrayList>("mechanisms");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("bearer"); // the password is an access token
    QTest::addColumn<QStringList>("expectedCommands");
    QTest::addColumn<QString>("expectedError");

    auto apopOf = [](const QByteArray& password) {
        return QString::fromLatin1(
            QCryptographicHash::hash("<1896.697170952@fake.example>" + password,
                                     QCryptographicHash::Md5)
                .toHex());
    };
    const QString apop = apopOf("secret");
    const QString plain = QString::fromLatin1(QByteArray("\0ann\0secret", 11).toBase64());
    const QByteArrayList plainOnly = {"PLAIN"};
    const QByteArrayList withTokens = {"PLAIN", "XOAUTH2", "OAUTHBEARER"};
    const QByteArrayList bearerOnly = {"PLAIN", "OAUTHBEARER"};
    auto xoauth2 = [](const QByteArray& token) {
        return QString::fromLatin1(QByteArray("user=ann\x01"
                                              "auth=Bearer " +
                                              token + "\x01\x01")
                                       .toBase64());
    };
    const QString refusedToken = QStringLiteral(
        R"(Login refused: Authentication failed. ({"status":"401","schemes":"bearer"}))");

    QTest::newRow("plain connection, USER and PASS")
        << "None"
        << "" << true << plainOnly << "secret" << false
        << QStringList{"USER ann", "PASS secret", "STAT"} << QString();
    QTest::newRow("plain connection with a timestamp uses APOP")
        << "None"
        << "stamp" << true << plainOnly << "secret" << false
        << QStringList{"APOP ann " + apop, "STAT"} << QString();
    QTest::newRow("TLS with a timestamp still uses USER and PASS")
        << "STARTTLS"
        << "stamp" << true << plainOnly << "secret" << false
        << QStringList{"USER ann", "PASS secret", "STAT"} << QString();
    QTest::newRow("TLS without USER uses SASL PLAIN")
        << "TLS"
        << "" << false << plainOnly << "secret" << false
        << QStringList{"AUTH PLAIN " + plain, "STAT"} << QString();
    QTest::newRow("wrong password is refused with the server's text")
        << "None"
        << "" << true << plainOnly << "wrong" << false << QStringList{"USER ann", "PASS wrong"}
        << "Login refused: invalid password";
    QTest::newRow("wrong password with APOP: USER and PASS tried too")
        << "None"
        << "stamp" << true << plainOnly << "wrong" << false
        << QStringList{"APOP ann " + apopOf("wrong"), "USER ann", "PASS wrong"}
        << "Login refused: invalid password";
    QTest::newRow("APOP refused to a user without a secret: USER and PASS go on")
        << "None"
        << "no secrets" << true << plainOnly << "secret" << false
        << QStringList{"APOP ann " + apop, "USER ann", "PASS secret", "STAT"} << QString();
    QTest::newRow("APOP refused and the connection closed: USER and PASS on a new one")
        << "None"
        << "no secrets, closes" << true << plainOnly << "secret" << false
        << QStringList{"APOP ann " + apop, "<CONNECT>", "CAPA", "USER ann", "PASS secret", "STAT"}
        << QString();
    QTest::newRow("XOAUTH2 in two steps")
        << "TLS"
        << "" << true << withTokens << "token-ann" << true
        << QStringList{"AUTH XOAUTH2", xoauth2("token-ann"), "STAT"} << QString();
    QTest::newRow("OAUTHBEARER where XOAUTH2 is not offered")
        << "STARTTLS"
        << "" << true << bearerOnly << "token-ann" << true
        << QStringList{"AUTH OAUTHBEARER", "<OAUTHBEARER token-ann>", "STAT"} << QString();
    QTest::newRow("a refused token's challenge is answered with an empty line")
        << "TLS"
        << "" << true << withTokens << "stale" << true
        << QStringList{"AUTH XOAUTH2", xoauth2("stale"), ""} << refusedToken;
    QTest::newRow("a refused token's challenge under OAUTHBEARER is answered with AQ==")
        << "TLS"
        << "" << true << bearerOnly << "stale" << true
        << QStringList{"AUTH OAUTHBEARER", "<OAUTHBEARER stale>", "AQ=="} << refusedToken;
}

void TestPopClient::logOnMethods() {
    QFETCH(QString, security);
    QFETCH(QString, apop);
    QFETCH(QStringList, expectedCommands);
    QFETCH(QString, expectedError);
    PopHarness h;
    QFETCH(bool, offerUser);
    QFETCH(QByteArrayList, mechanisms);
    h.Server.ApopTimestamp = !apop.isEmpty();
    h.Server.NoApopSecrets = apop.startsWith(QLatin1String("no secrets"));
    h.Server.CloseAfterApopRefusal = apop.endsWith(QLatin1String("closes"));
    h.Server.OfferUser = offerUser;
    h.Server.SaslMechanisms = mechanisms;
    h.Server.OfferStls = security == QLatin1String("STARTTLS");
    h.Server.ImplicitTls = security == QLatin1String("TLS");
    h.Client.Security = security;
    h.Client.CertSHA256 = h.Server.CertificateSha256();
    QFETCH(QString, password);
    QFETCH(bool, bearer);
    h.Client.UserPassword = password;
    h.Client.BearerToken = bearer;
    // The OAUTHBEARER line names the port, known only now.
    for (QString& command : expectedCommands) {
        if (command.startsWith(QLatin1String("<OAUTHBEARER "))) {
            const QByteArray token = command.mid(13).chopped(1).toLatin1();
            command = QString::fromLatin1(QByteArray("n,a=ann,\x01"
                                                     "host=127.0.0.1\x01"
                                                     "port=" +
                                                     QByteArray::number(h.Server.Port()) +
                                                     "\x01"
                                                     "auth=Bearer " +
                                                     token + "\x01\x01")
                                              .toBase64());
        }
    }

    QVERIFY(h.Run([&] { h.Client.Connect(); }));
    QCOMPARE(h.Client.LogonState(), PopClient::Connected);
    QVERIFY(h.Run([&] { h.Client.Authenticate(); }));
    if (expectedError.isEmpty()) {
        QVERIFY2(h.LoggedOn(), qPrintable(h.Client.LastError()));
    } else {
        QVERIFY(h.Closed());
        QCOMPARE(h.Client.LastError(), expectedError);
    }
    const QStringList transcript = h.Server.Transcript;
    const qsizetype first = transcript.indexOf(expectedCommands.first());
    QVERIFY2(first >= 0, qPrintable(transcript.join(u'|')));
    QCOMPARE(transcript.mid(first), expectedCommands);
}

// A token is as good as a password while it lives: never sent in clear.
void TestPopClient::tokenRefusedWithoutTls() {
    PopHarness h;
    h.Client.BearerToken = true;
    QVERIFY(h.Run([&] { h.Client.Connect(); }));
    QVERIFY(h.Closed());
    QCOMPARE(h.Client.LastError(), QStringLiteral("OAuth2 needs a TLS connection"));
    QVERIFY(h.Server.Transcript.isEmpty());
}

void TestPopClient::connectFailures_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("expectedError");
    QTest::newRow("connection refused") << "refused"
                                        << "Connection refused";
    QTest::newRow("dropped after the greeting") << "drop"
                                                << "Connection closed by the server";
    QTest::newRow("no greeting") << "silent"
                                 << "Timed out waiting for the server";
    QTest::newRow("garbage greeting") << "garbage"
                                      << "Malformed reply from the server";
    QTest::newRow("-ERR greeting") << "err"
                                   << "Server refused the connection: go away";
    QTest::newRow("no reply to CAPA") << "nocapa"
                                      << "Timed out waiting for the server";
}

void TestPopClient::connectFailures() {
    QFETCH(QString, fault);
    PopHarness h;
    h.Client.ConnectTimeoutMs = 300;
    h.Client.CommandTimeoutMs = 300;
    if (fault == QLatin1String("refused"))
        h.Client.ServerPort = FakePop3Server::ClosedPort();
    h.Server.DropAfterGreeting = fault == QLatin1String("drop");
    h.Server.SilentGreeting = fault == QLatin1String("silent");
    if (fault == QLatin1String("garbage"))
        h.Server.Greeting = "HELLO there";
    if (fault == QLatin1String("err"))
        h.Server.Greeting = "-ERR go away";
    if (fault == QLatin1String("nocapa"))
        h.Server.NoReplyTo = "CAPA";

    QVERIFY(h.Run([&] { h.Client.Connect(); }));
    QVERIFY(h.Closed());
    QTEST(h.Client.LastError(), "expectedError");
    QVERIFY(!h.Server.Transcript.contains(QStringLiteral("USER ann")));
}

void TestPopClient::faultsAfterConnect_data() {
    QTest::addColumn<QString>("knob");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("connectionKept");
    QTest::addColumn<QString>("expectedError");

    const QString timedOut = QStringLiteral("Timed out waiting for the server");
    const QString dropped = QStringLiteral("Connection closed by the server");
    const QString malformed = QStringLiteral("Malformed reply from the server");
    QTest::newRow("-ERR on CAPA: connects all the same")
        << "err" << QByteArray("CAPA") << "connect" << true << QString();
    QTest::newRow("-ERR on UIDL: headers all the same")
        << "err" << QByteArray("UIDL") << "headers" << true << QString();
    QTest::newRow("-ERR on LIST: size 0, connection kept")
        << "err" << QByteArray("LIST") << "size" << true << "Server error: refused by request";
    QTest::newRow("-ERR on TOP: state 4, connection kept")
        << "err" << QByteArray("TOP") << "headers" << true << "Server error: refused by request";
    QTest::newRow("-ERR on RETR: state 4, connection kept")
        << "err" << QByteArray("RETR") << "message" << true << "Server error: refused by request";
    QTest::newRow("-ERR on DELE: no Delete, connection kept")
        << "err" << QByteArray("DELE") << "delete" << true << "Server error: refused by request";
    QTest::newRow("-ERR on USER") << "err" << QByteArray("USER") << "logon" << false
                                  << "Login refused: refused by request";
    QTest::newRow("-ERR on STAT") << "err" << QByteArray("STAT") << "logon" << false
                                  << "Server did not report the mailbox: refused by request";
    QTest::newRow("no reply to PASS")
        << "silent" << QByteArray("PASS") << "logon" << false << timedOut;
    QTest::newRow("no reply to LIST")
        << "silent" << QByteArray("LIST") << "size" << false << timedOut;
    QTest::newRow("no reply to TOP")
        << "silent" << QByteArray("TOP") << "headers" << false << timedOut;
    QTest::newRow("no reply to DELE")
        << "silent" << QByteArray("DELE") << "delete" << false << timedOut;
    QTest::newRow("dropped in the middle of LIST")
        << "drop" << QByteArray("LIST") << "size" << false << dropped;
    QTest::newRow("dropped in the middle of TOP")
        << "drop" << QByteArray("TOP") << "headers" << false << dropped;
    QTest::newRow("dropped in the middle of RETR")
        << "drop" << QByteArray("RETR") << "message" << false << dropped;
    QTest::newRow("garbage status to PASS")
        << "garbage" << QByteArray("PASS") << "logon" << false << malformed;
    QTest::newRow("garbage status to UIDL")
        << "garbage" << QByteArray("UIDL") << "headers" << false << malformed;
    QTest::newRow("garbage status to DELE")
        << "garbage" << QByteArray("DELE") << "delete" << false << malformed;
    QTest::newRow("line over 1 MiB in reply to LIST")
        << "oversized" << QByteArray("LIST") << "size" << false << "Reply line too long";
}

void TestPopClient::faultsAfterConnect() {
    QFETCH(QString, knob);
    QFETCH(QByteArray, command);
    QFETCH(QString, step);
    QFETCH(bool, connectionKept);
    PopHarness h;
    h.Server.AddMessage(MakeMessage(1, "Only one"));
    (knob == QLatin1String("err")       ? h.Server.ErrOn
     : knob == QLatin1String("silent")  ? h.Server.NoReplyTo
     : knob == QLatin1String("drop")    ? h.Server.DropMidReplyOn
     : knob == QLatin1String("garbage") ? h.Server.GarbageStatusOn
                                        : h.Server.OversizedLineOn) = command;
    if (knob == QLatin1String("silent"))
        h.Client.CommandTimeoutMs = 300;

    const QStringList steps = {"connect", "logon", "size", "headers", "message", "delete"};
    for (const QString& current : steps) {
        const bool last = current == step;
        if (current == QLatin1String("connect"))
            QVERIFY(h.Run([&] { h.Client.Connect(); }));
        else if (current == QLatin1String("logon"))
            QVERIFY(h.Run([&] { h.Client.Authenticate(); }));
        else if (current == QLatin1String("size"))
            QVERIFY(h.Run([&] { h.Client.RequestMessageSize(1); }));
        else if (current == QLatin1String("headers"))
            QVERIFY(h.Run([&] { h.Client.RetrieveHeaders(1); }));
        else if (current == QLatin1String("message"))
            QVERIFY(h.Run([&] { h.Client.RetrieveMessage(1); }));
        else
            QVERIFY(h.Run([&] { h.Client.DeleteMessage(1); }));
        if (!last) {
            QVERIFY2(!h.Closed(), qPrintable(current + ": " + h.Client.LastError()));
            h.Sizes.clear();
            h.Documents.clear();
            continue;
        }
        if (connectionKept) {
            QCOMPARE(h.Client.ConnectionState(), PopClient::ConnectionIdle);
            QCOMPARE(h.Client.LogonState(), current == QLatin1String("connect")
                                                ? PopClient::Connected
                                                : PopClient::LoggedOn);
        } else {
            QVERIFY(h.Closed());
        }
        QTEST(h.Client.LastError(), "expectedError");
        // Every per-message call answers, with its failure value when it failed.
        const bool failed = !h.Client.LastError().isEmpty();
        if (current == QLatin1String("size"))
            QCOMPARE(h.Sizes, QList<qint32>{failed ? 0 : qint32(h.Server.Mailbox[0].Raw.size())});
        if (current == QLatin1String("headers") || current == QLatin1String("message")) {
            QVERIFY(!h.Documents.isEmpty());
            // A message cut short by the connection still brings what had come.
            const bool partCame = current == QLatin1String("message") && knob == "drop";
            QCOMPARE(h.Documents.first().State,
                     failed && !partCame ? PopDocument::Failed : PopDocument::HeadersReady);
        }
        if (current == QLatin1String("delete"))
            QCOMPARE(h.Deletes, 0);
        break;
    }
    QCOMPARE(h.EventsInsideCalls, 0);
    // Whatever happened, closing ends in the closed state.
    QVERIFY(h.Run([&] { h.Client.Quit(); }));
    QVERIFY(h.Closed());
}

void TestPopClient::sizeCaps() {
    PopHarness h;
    h.Client.MaxHeaderBytes = 4096;
    h.Client.MaxMessageBytes = 20000;
    h.Server.AddMessage(MakeMessage(1, QByteArray(6000, 'h')));
    h.Server.AddMessage(MakeMessage(2, "Big body", QByteArray(30000, 'b') + "\r\n"));

    QVERIFY(h.ConnectAndLogOn());
    QVERIFY(h.Run([&] { h.Client.RetrieveHeaders(2); }));
    QCOMPARE(h.Documents.last().State, PopDocument::HeadersReady);
    QVERIFY(h.Run([&] { h.Client.RetrieveMessage(2); }));
    QVERIFY(h.Closed());
    QCOMPARE(h.Client.LastError(), QStringLiteral("Reply too large"));
    // What fits under the cap still comes, and the client says it is cut.
    QVERIFY(h.Client.MessageOverLimit());
    QCOMPARE(h.Documents.last().State, PopDocument::DataReady);

    h.Documents.clear();
    QVERIFY(h.ConnectAndLogOn());
    QVERIFY(h.Run([&] { h.Client.RetrieveHeaders(1); }));
    QVERIFY(h.Closed());
    QCOMPARE(h.Client.LastError(), QStringLiteral("Reply too large"));
    QCOMPARE(h.Documents.last().State, PopDocument::Failed);
}

void TestPopClient::pipelinesHeaderRequests_data() {
    QTest::addColumn<bool>("pipelining");
    QTest::addColumn<qint64>("pipelineBytes");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("skipEvery"); // the caller leaves out every n-th header (0: none)
    QTest::addColumn<int>("minInFlight");
    QTest::addColumn<int>("maxInFlight");

    QTest::newRow("one at a time") << false << qint64(1 << 20) << 40 << 5 << 0 << 1 << 1;
    // Small headers: the whole mailbox fits in the bytes allowed.
    QTest::newRow("all at once") << true << qint64(1 << 20) << 40 << 20 << 0 << 40 << 40;
    // A bound a few headers wide: requests follow the replies, and replies
    // read ahead beyond it are asked for again.
    QTest::newRow("narrow bound") << true << qint64(1200) << 40 << 5 << 0 << 2 << 12;
    QTest::newRow("narrow bound, headers left out")
        << true << qint64(1200) << 40 << 5 << 3 << 2 << 12;
    QTest::newRow("headers left out") << true << qint64(1 << 20) << 200 << 2 << 4 << 2 << 200;
    QTest::newRow("big mailbox") << true << qint64(1 << 20) << 3000 << 2 << 0 << 2 << 3000;
}

// Whatever the requests in flight, every header asked for comes whole and in
// order, and the server is asked for each at least once.
void TestPopClient::pipelinesHeaderRequests() {
    QFETCH(bool, pipelining);
    QFETCH(qint64, pipelineBytes);
    QFETCH(int, count);
    QFETCH(int, delayMs);
    QFETCH(int, skipEvery);
    QFETCH(int, minInFlight);
    QFETCH(int, maxInFlight);
    PopHarness h;
    h.Server.OfferPipelining = pipelining;
    h.Server.ReplyDelayMs = delayMs;
    h.Client.PipelineBytes = pipelineBytes;
    for (int i = 1; i <= count; ++i)
        h.Server.AddMessage(MakeMessage(i, "Subject " + QByteArray::number(i)));
    QVERIFY(h.ConnectAndLogOn());
    QList<qint16> asked;
    for (qint16 i = 1; i <= count; ++i) {
        QVERIFY(h.Run([&] { h.Client.RequestMessageSize(i); }));
        QCOMPARE(h.Sizes.last(), qint32(h.Server.Mailbox.at(i - 1).Raw.size()));
        if (skipEvery > 0 && i % skipEvery == 0)
            continue;
        asked << i;
        QVERIFY(h.Run([&] { h.Client.RetrieveHeaders(i); }));
        QCOMPARE(h.Documents.last().State, PopDocument::HeadersReady);
        QCOMPARE(FieldValue(h.Documents.last().Headers, "Subject"),
                 QStringLiteral("Subject %1").arg(i));
        QCOMPARE(h.Documents.last().Headers.size(), 4);
    }
    QVERIFY(h.Run([&] { h.Client.Quit(); }));
    QCOMPARE(h.Documents.size(), asked.size());
    QVERIFY2(h.Server.MaxCommandsInFlight >= minInFlight,
             qPrintable(QString::number(h.Server.MaxCommandsInFlight)));
    QVERIFY2(h.Server.MaxCommandsInFlight <= maxInFlight,
             qPrintable(QString::number(h.Server.MaxCommandsInFlight)));
    const QStringList tops = h.Server.Transcript.filter(QStringLiteral("TOP "));
    for (const qint16 i : asked)
        QVERIFY(tops.contains(QStringLiteral("TOP %1 0").arg(i)));
    if (pipelineBytes >= (1 << 20)) {
        // Room enough: every header asked for once, in order.
        // Sent ahead, the headers left out are read too.
        QCOMPARE(tops.size(), pipelining ? count : int(asked.size()));
        for (int i = 1; i < tops.size(); ++i)
            QVERIFY(tops.at(i - 1).mid(4).section(' ', 0, 0).toInt() <
                    tops.at(i).mid(4).section(' ', 0, 0).toInt());
    }
    QCOMPARE(h.Server.Transcript.count(QStringLiteral("LIST")), 1);
}

void TestPopClient::deletesBetweenPipelinedRequests() {
    PopHarness h;
    h.Server.ReplyDelayMs = 5;
    for (int i = 1; i <= 6; ++i)
        h.Server.AddMessage(MakeMessage(i, "Subject " + QByteArray::number(i)));
    QVERIFY(h.ConnectAndLogOn());
    for (qint16 i = 1; i <= 6; ++i) {
        QVERIFY(h.Run([&] { h.Client.RetrieveHeaders(i); }));
        QCOMPARE(FieldValue(h.Documents.last().Headers, "Subject"),
                 QStringLiteral("Subject %1").arg(i));
        if (i == 2 || i == 3) {
            QVERIFY(h.Run([&] { h.Client.DeleteMessage(i); }));
            QVERIFY(h.LoggedOn());
        }
    }
    QCOMPARE(h.Deletes, 2);
    QVERIFY(h.Run([&] { h.Client.Quit(); }));
    QCOMPARE(h.Server.Mailbox.size(), 4);
    QCOMPARE(h.Server.Mailbox.at(1).UniqueId, QByteArray("uid-4"));
}

void TestPopClient::headersComeFromMemoryOnTheNextConnection() {
    PopHarness h;
    for (int i = 1; i <= 3; ++i)
        h.Server.AddMessage(MakeMessage(i, "Subject " + QByteArray::number(i)));
    auto readAll = [&h]() {
        h.Documents.clear();
        if (!h.ConnectAndLogOn())
            return false;
        for (qint16 i = 1; i <= h.Client.MessageCount(); ++i) {
            if (!h.Run([&] { h.Client.RetrieveHeaders(i); }))
                return false;
        }
        return h.Run([&] { h.Client.Quit(); });
    };
    QVERIFY(readAll());
    const QList<PopDocument> first = h.Documents;
    QVERIFY(readAll());
    QCOMPARE(h.LastSession().filter(QStringLiteral("TOP ")), QStringList());
    QCOMPARE(h.Documents.size(), first.size());
    for (int i = 0; i < first.size(); ++i) {
        QCOMPARE(h.Documents.at(i).State, PopDocument::HeadersReady);
        QCOMPARE(FieldValue(h.Documents.at(i).Headers, "Subject"),
                 FieldValue(first.at(i).Headers, "Subject"));
    }

    // A new message (new unique id) and another user are read from the server.
    h.Server.AddMessage(MakeMessage(4, "Subject 4"));
    QVERIFY(readAll());
    QCOMPARE(h.LastSession().filter(QStringLiteral("TOP ")), QStringList{"TOP 4 0"});
    h.Server.User = "bob";
    h.Client.UserName = QStringLiteral("bob");
    QVERIFY(readAll());
    QCOMPARE(h.LastSession().filter(QStringLiteral("TOP ")).size(), 4);

    // Without UIDL nothing can be matched, so every header is read again.
    h.Server.OfferUidl = false;
    QVERIFY(readAll());
    QCOMPARE(h.LastSession().filter(QStringLiteral("TOP ")).size(), 4);
}

void TestPopClient::headersFromRetrWhenTopIsMissing() {
    PopHarness h;
    h.Server.OfferTop = false;
    h.Server.AddMessage(MakeMessage(1, "No TOP here", "secret body line\r\n"));
    QVERIFY(h.ConnectAndLogOn());
    QVERIFY(h.Run([&] { h.Client.RetrieveHeaders(1); }));
    QCOMPARE(h.LastSession().filter(QStringLiteral("TOP")), QStringList());
    QVERIFY(h.LastSession().contains(QStringLiteral("RETR 1")));
    QCOMPARE(h.Documents.size(), 1);
    QCOMPARE(FieldValue(h.Documents.at(0).Headers, "Subject"), QStringLiteral("No TOP here"));
    QCOMPARE(h.Documents.at(0).Headers.size(), 4);
    QVERIFY(h.LoggedOn());
}

void TestPopClient::messageTextIsUnstuffed_data() {
    QTest::addColumn<bool>("bareLf");
    QTest::newRow("CR LF") << false;
    QTest::newRow("bare LF") << true;
}

void TestPopClient::messageTextIsUnstuffed() {
    QFETCH(bool, bareLf);
    QFile file(QStringLiteral(LARKWATCH_TESTDATA_MAIL "/hand-body-lines-leading-dot.eml"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray raw = file.readAll();
    PopHarness h;
    h.Server.BareLf = bareLf;
    h.Server.AddMessage(raw);
    QVERIFY(h.ConnectAndLogOn());
    QVERIFY(h.Run([&] { h.Client.RetrieveMessage(1); }));
    QVERIFY(h.LoggedOn());
    QCOMPARE(h.Documents.first().State, PopDocument::HeadersReady);
    QCOMPARE(FieldValue(h.Documents.first().Headers, "Subject"),
             QStringLiteral("Deploy log: lines beginning with a dot"));

    const QString body = QString::fromUtf8(raw.mid(raw.indexOf("\r\n\r\n") + 4))
                             .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString text = h.Text();
    QVERIFY2(text.endsWith(body), qPrintable(text));
    QVERIFY(text.startsWith(QStringLiteral("From: CI Deploy <deploy@ci.example.org>\n")));
}

void TestPopClient::messageComesInChunks() {
    PopHarness h;
    h.Client.MessageChunkChars = 1000;
    QByteArray body;
    for (int i = 0; i < 300; ++i)
        body += "Line " + QByteArray::number(i) + " with \xF0\x9F\x93\x85 in it\r\n";
    h.Server.AddMessage(MakeMessage(1, "Long", body));
    QVERIFY(h.ConnectAndLogOn());
    QVERIFY(h.Run([&] { h.Client.RetrieveMessage(1); }));
    QVERIFY(h.Documents.size() > 5);
    QCOMPARE(h.Documents.first().State, PopDocument::HeadersReady);
    for (int i = 1; i < h.Documents.size(); ++i) {
        QCOMPARE(h.Documents.at(i).State, PopDocument::DataReady);
        QVERIFY(h.Documents.at(i).GetData().size() <= 1000);
        QVERIFY(!h.Documents.at(i).GetData().back().isHighSurrogate());
    }
    const QString text = h.Text();
    QVERIFY(text.contains(QStringLiteral("Line 299 with 📅 in it\n")));
    QCOMPARE(text.count(QStringLiteral("📅")), 300);
}

void TestPopClient::tls_data() {
    QTest::addColumn<QString>("security");
    QTest::addColumn<bool>("serverOffersStls");
    QTest::addColumn<bool>("pinned");
    QTest::addColumn<QString>("expectedError"); // empty: logs on; "cert": untrusted

    QTest::newRow("STARTTLS, pinned") << "STARTTLS" << true << true << QString();
    QTest::newRow("STARTTLS, not trusted") << "STARTTLS" << true << false << "cert";
    QTest::newRow("STARTTLS not offered")
        << "STARTTLS" << false << true << "Server does not offer STARTTLS";
    QTest::newRow("TLS, pinned") << "TLS" << false << true << QString();
    QTest::newRow("TLS, not trusted") << "TLS" << false << false << "cert";
}

void TestPopClient::tls() {
    QFETCH(QString, security);
    QFETCH(bool, pinned);
    QFETCH(QString, expectedError);
    PopHarness h;
    QFETCH(bool, serverOffersStls);
    h.Server.OfferStls = serverOffersStls;
    h.Server.ImplicitTls = security == QLatin1String("TLS");
    h.Server.ApopTimestamp = true; // must not tempt the client before TLS
    h.Server.AddMessage(MakeMessage(1, "Over TLS"));
    h.Client.Security = security;
    // The pin is accepted in any spelling: case and separators do not matter.
    if (pinned)
        h.Client.CertSHA256 = h.Server.CertificateSha256().toLower().remove(u':');

    QVERIFY(h.Run([&] { h.Client.Connect(); }));
    if (expectedError.isEmpty()) {
        QVERIFY2(h.Client.LogonState() == PopClient::Connected, qPrintable(h.Client.LastError()));
        QVERIFY(h.Run([&] { h.Client.Authenticate(); }));
        QVERIFY(h.LoggedOn());
        QVERIFY(h.Run([&] { h.Client.RetrieveHeaders(1); }));
        QCOMPARE(FieldValue(h.Documents.last().Headers, "Subject"), QStringLiteral("Over TLS"));
        QCOMPARE(h.Client.PeerCertificateSHA256(), h.Server.CertificateSha256());
        QVERIFY(h.Run([&] { h.Client.Quit(); }));
    } else {
        QVERIFY(h.Closed());
        if (expectedError == QLatin1String("cert"))
            expectedError = QStringLiteral("Certificate not trusted (SHA-256 %1)")
                                .arg(h.Server.CertificateSha256());
        QCOMPARE(h.Client.LastError(), expectedError);
    }
    // No credential ever precedes the TLS handshake.
    const QStringList transcript = h.Server.Transcript;
    const qsizetype tlsAt = transcript.indexOf(QStringLiteral("<TLS>"));
    for (qsizetype i = 0; i < transcript.size(); ++i) {
        const QString& line = transcript.at(i);
        if (line.startsWith(QLatin1String("USER")) || line.startsWith(QLatin1String("PASS")) ||
            line.startsWith(QLatin1String("APOP")) || line.startsWith(QLatin1String("AUTH")))
            QVERIFY2(tlsAt >= 0 && i > tlsAt, qPrintable(transcript.join(u'|')));
    }
    if (security == QLatin1String("STARTTLS") && expectedError.isEmpty()) {
        // Capabilities are asked again once TLS is up.
        QCOMPARE(transcript.mid(1, 4), (QStringList{"CAPA", "STLS", "<TLS>", "CAPA"}));
    }
}

void TestPopClient::stlsWithInjectedBytesFails() {
    PopHarness h;
    h.Server.OfferStls = true;
    h.Server.BytesAfterStls = "+OK injected\r\n";
    h.Client.Security = QStringLiteral("STARTTLS");
    h.Client.CertSHA256 = h.Server.CertificateSha256();
    QVERIFY(h.Run([&] { h.Client.Connect(); }));
    QVERIFY(h.Closed());
    QCOMPARE(h.Client.LastError(), QStringLiteral("Malformed reply from the server"));
}

void TestPopClient::cancelDropsWithoutDeleting() {
    PopHarness h;
    h.Server.AddMessage(MakeMessage(1, "Keep me"));
    h.Server.NoReplyTo = "RETR";
    QVERIFY(h.ConnectAndLogOn());
    QVERIFY(h.Run([&] { h.Client.DeleteMessage(1); }));
    QCOMPARE(h.Deletes, 1);
    h.Client.RetrieveMessage(1);
    QVERIFY(h.Client.Busy());
    h.Client.Cancel();
    QVERIFY(!h.Client.Busy());
    QVERIFY(h.Closed());
    QVERIFY(!h.Server.Transcript.contains(QStringLiteral("QUIT")));
    // No late event from the cancelled call, and the deletion never took effect.
    h.Server.NoReplyTo.clear();
    QVERIFY(h.ConnectAndLogOn());
    QCOMPARE(h.Client.MessageCount(), 1);
    QCOMPARE(h.Documents.size(), 0);
    QVERIFY(h.Run([&] { h.Client.Quit(); }));
    QCOMPARE(h.Server.Mailbox.size(), 1);
}

void TestPopClient::boundedWaitGivesUpOnAStuckClient() {
    PopHarness h;
    h.Server.AddMessage(MakeMessage(1, "Never sent"));
    h.Server.NoReplyTo = "RETR";
    QVERIFY(h.ConnectAndLogOn());
    h.Client.CommandTimeoutMs = 600000; // only the wait's own limit can end this wait
    h.Client.RetrieveMessage(1);
    QVERIFY(!WaitUntilIdle(h.Client, 200));
    QVERIFY(h.Client.Busy());
    h.Client.Cancel();
    QVERIFY(WaitUntilIdle(h.Client, 200)); // an idle client needs no wait
}

void TestPopClient::callsWhenNotLoggedOnFail() {
    PopHarness h;
    QVERIFY(h.Run([&] { h.Client.RequestMessageSize(1); }));
    QCOMPARE(h.Sizes, QList<qint32>{0});
    QVERIFY(h.Run([&] { h.Client.RetrieveHeaders(1); }));
    QCOMPARE(h.Documents.size(), 1);
    QCOMPARE(h.Documents.at(0).State, PopDocument::Failed);
    QVERIFY(h.Run([&] { h.Client.Authenticate(); }));
    QVERIFY(h.Closed());
    QVERIFY(h.Run([&] { h.Client.Quit(); }));
    QVERIFY(h.Closed());
    QCOMPARE(h.EventsInsideCalls, 0);
}

void TestPopClient::refusesLineBreaksInCredentials() {
    PopHarness h;
    h.Server.AddMessage(MakeMessage(1, "Keep me"));
    h.Client.UserPassword = QStringLiteral("secret\r\nDELE 1");
    QVERIFY(h.Run([&] { h.Client.Connect(); }));
    QVERIFY(h.Run([&] { h.Client.Authenticate(); }));
    QVERIFY(h.Closed());
    QCOMPARE(h.Client.LastError(), QStringLiteral("User name or password contains a line break"));
    QCOMPARE(h.LastSession(), QStringList{"CAPA"});
}

QTEST_GUILESS_MAIN(TestPopClient)
#include "test_pop_client.moc"
