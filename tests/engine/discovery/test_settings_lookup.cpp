#include "engine/discovery/settings_lookup.h"
#include "support/fail_on_warning.h"
#include "support/fake_pop3_server.h"
#include "support/fake_srv_answerer.h"
#include "support/https_test_server.h"

#include <QSignalSpy>
#include <QtTest>

// The whole look-up for one address, each step against a real server on
// loopback or a fake DNS answerer: which step wins, how each fails over to
// the next, hostile answers, cancel and the time-out.
class TestSettingsLookup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void firstAnswerWins_data();
    void firstAnswerWins();
    void untrustedCertificateIsNoAnswer();
    void silentServerTimesOut();
    void cancelStopsTheLookUp();
    void realDnsAnswers();
};

namespace {

constexpr int kWaitMs = 30000;
const QString kFirstUrl = "/autoconfig.example.org/mail/config-v1.1.xml";
const QString kSecondUrl = "/example.org/.well-known/autoconfig/mail/config-v1.1.xml";

QByteArray document(const QByteArray& host, const QByteArray& port = "995") {
    return "<clientConfig version=\"1.1\"><emailProvider id=\"example.org\"><incomingServer "
           "type=\"pop3\"><hostname>" +
           host + "</hostname><port>" + port +
           "</port><socketType>SSL</socketType><username>%EMAILADDRESS%</username>"
           "</incomingServer></emailProvider></clientConfig>";
}

QString describe(const FoundSettings& found) {
    if (found.NoPop3)
        return "no POP3";
    if (!found.Found)
        return "nothing";
    const char* sources[] = {"table", "published", "DNS", "guess"};
    return QString("%1: %2 %3 %4")
        .arg(sources[int(found.Source)], found.Host, QString::number(found.Port), found.Security);
}

// Servers for every step, each answering nothing until a row sets it up.
struct Rig {
    HttpsTestServer Https;
    std::shared_ptr<FakeSrvAnswerer> Srv = std::make_shared<FakeSrvAnswerer>();
    FakePop3Server TlsPop, PlainPop;
    SettingsLookup Lookup;
    QSignalSpy Finished{&Lookup, &SettingsLookup::Finished};

    Rig() {
        Https.Listen();
        TlsPop.ImplicitTls = true;
        TlsPop.Listen();
        PlainPop.OfferStls = true;
        PlainPop.Listen();
        LookupTargets targets;
        targets.AutoconfigUrlBase = Https.Base();
        targets.TrustedCas = {Https.Certificate()};
        targets.Srv = Srv;
        targets.Guess.TlsPort = TlsPop.Port();
        targets.Guess.PlainPort = PlainPop.Port();
        targets.StepTimeoutMs = 20000;
        Lookup.SetTargets(targets);
    }
    // The guessed names that reach the loopback servers.
    void Answering(const QStringList& names) {
        LookupTargets targets = Lookup.Targets();
        for (const QString& name : names)
            targets.Guess.Addresses.insert(name, "127.0.0.1");
        if (names.isEmpty())
            targets.Guess.Addresses.insert("nothing.invalid", "127.0.0.1");
        Lookup.SetTargets(targets);
    }
    QString Run(const QString& address = "ann@example.org") {
        Lookup.Start(*SplitMailAddress(address));
        if (!Finished.wait(kWaitMs) && Finished.isEmpty())
            return "no answer";
        return describe(Finished.takeFirst().at(0).value<FoundSettings>());
    }
};

} // namespace

void TestSettingsLookup::firstAnswerWins_data() {
    QTest::addColumn<QString>("firstDocument");
    QTest::addColumn<QString>("secondDocument");
    QTest::addColumn<QString>("srv");           // "service target port priority; ..."
    QTest::addColumn<QStringList>("answering"); // guessed names that reach the servers
    QTest::addColumn<QString>("servers");       // "TLS+STLS", "STLS", "plain"
    QTest::addColumn<QString>("found");

    const QString none;
    const QStringList nobody;
    QTest::newRow("published, first address")
        << QString(document("pop.example.org")) << QString(document("second.example.org")) << none
        << nobody << "TLS+STLS"
        << "published: pop.example.org 995 TLS";
    QTest::newRow("published, second address")
        << none << QString(document("second.example.org", "1995")) << none << nobody << "TLS+STLS"
        << "published: second.example.org 1995 TLS";
    QTest::newRow("hostile document, then DNS")
        << QString(document("pop.example.org\npop.evil.org")) << "<clientConfig><incomingServer"
        << "_pop3s mail.example.org 995 0" << nobody << "TLS+STLS"
        << "DNS: mail.example.org 995 TLS";
    QTest::newRow("port out of range, then DNS")
        << QString(document("pop.example.org", "99999")) << none << "_pop3s mail.example.org 995 0"
        << nobody << "TLS+STLS"
        << "DNS: mail.example.org 995 TLS";
    QTest::newRow("DNS, lowest priority first")
        << none << none << "_pop3s far.example.org 995 20; _pop3s near.example.org 9995 10"
        << nobody << "TLS+STLS"
        << "DNS: near.example.org 9995 TLS";
    QTest::newRow("DNS, plain POP3 with STARTTLS")
        << none << none << "_pop3 pop.example.org 110 0" << nobody << "TLS+STLS"
        << "DNS: pop.example.org 110 STARTTLS";
    QTest::newRow("DNS, no POP3 over TLS, plain POP3 then")
        << none << none << "_pop3s . 0 0; _pop3 pop.example.org 110 0" << nobody << "TLS+STLS"
        << "DNS: pop.example.org 110 STARTTLS";
    QTest::newRow("DNS says no POP3: no guess") << none << none << "_pop3s . 0 0; _pop3 . 0 0"
                                                << QStringList{"pop.example.org"} << "TLS+STLS"
                                                << "no POP3";
    QTest::newRow("DNS with a bad target, then guess")
        << none << none << "_pop3s bad_host.example.org 995 0" << QStringList{"mail.example.org"}
        << "TLS+STLS"
        << "guess: mail.example.org %TLS TLS";
    QTest::newRow("guess, pop before mail")
        << none << none << none << QStringList{"mail.example.org", "pop.example.org"} << "TLS+STLS"
        << "guess: pop.example.org %TLS TLS";
    QTest::newRow("guess, TLS before STARTTLS")
        << none << none << none << QStringList{"pop3.example.org"} << "TLS+STLS"
        << "guess: pop3.example.org %TLS TLS";
    QTest::newRow("guess, STARTTLS where no TLS port answers")
        << none << none << none << QStringList{"pop3.example.org"} << "STLS"
        << "guess: pop3.example.org %PLAIN STARTTLS";
    QTest::newRow("guess, a server without STLS is not kept")
        << none << none << none << QStringList{"pop.example.org"} << "plain"
        << "nothing";
    QTest::newRow("nothing anywhere") << none << none << none << nobody << "TLS+STLS"
                                      << "nothing";
}

void TestSettingsLookup::firstAnswerWins() {
    QFETCH(QString, firstDocument);
    QFETCH(QString, secondDocument);
    QFETCH(QString, srv);
    QFETCH(QStringList, answering);
    QFETCH(QString, servers);
    QFETCH(QString, found);
    Rig rig;
    if (!firstDocument.isEmpty())
        rig.Https.Documents.insert(kFirstUrl, firstDocument.toUtf8());
    if (!secondDocument.isEmpty())
        rig.Https.Documents.insert(kSecondUrl, secondDocument.toUtf8());
    for (const QString& record : srv.split("; ", Qt::SkipEmptyParts)) {
        const QStringList f = record.split(' ');
        rig.Srv->Records[f[0] + "._tcp.example.org"].append(
            {f[1], quint16(f[2].toUInt()), quint16(f[3].toUInt()), 0});
    }
    rig.PlainPop.OfferStls = servers.contains("STLS");
    if (!servers.contains("TLS+")) {
        LookupTargets targets = rig.Lookup.Targets();
        targets.Guess.TlsPort = FakePop3Server::ClosedPort();
        rig.Lookup.SetTargets(targets);
    }
    rig.Answering(answering);
    found.replace("%TLS", QString::number(rig.TlsPop.Port()))
        .replace("%PLAIN", QString::number(rig.PlainPop.Port()));
    QCOMPARE(rig.Run(), found);
    QCOMPARE(rig.Finished.size(), 0);
    QCOMPARE(rig.Lookup.Running(), false);
    // Steps after the winner are not asked.
    if (found.startsWith("published"))
        QVERIFY(rig.Srv->Asked.isEmpty());
}

void TestSettingsLookup::untrustedCertificateIsNoAnswer() {
    Rig rig;
    rig.Https.Documents.insert(kFirstUrl, document("pop.example.org"));
    LookupTargets targets = rig.Lookup.Targets();
    targets.TrustedCas.clear(); // the system's authorities do not know the test one
    rig.Lookup.SetTargets(targets);
    rig.Srv->Records["_pop3s._tcp.example.org"] = {{"mail.example.org", 995, 0, 0}};
    QCOMPARE(rig.Run(), QString("DNS: mail.example.org 995 TLS"));
    QVERIFY(rig.Https.Requested.isEmpty()); // nothing was asked over the refused connection
}

void TestSettingsLookup::silentServerTimesOut() {
    Rig rig;
    rig.Https.Silent = true;
    LookupTargets targets = rig.Lookup.Targets();
    targets.StepTimeoutMs = 300;
    rig.Lookup.SetTargets(targets);
    rig.Srv->Records["_pop3s._tcp.example.org"] = {{"mail.example.org", 995, 0, 0}};
    QCOMPARE(rig.Run(), QString("DNS: mail.example.org 995 TLS"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.Https.ConnectionsClosed >= 1, kWaitMs);
}

void TestSettingsLookup::cancelStopsTheLookUp() {
    Rig rig;
    rig.Https.Silent = true;
    rig.Lookup.Start(*SplitMailAddress("ann@example.org"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.Https.Requested.size(), 1, kWaitMs);
    rig.Lookup.Cancel();
    QVERIFY(!rig.Lookup.Running());
    // The request under way is dropped, and nothing comes of it.
    QTRY_COMPARE_WITH_TIMEOUT(rig.Https.ConnectionsClosed, 1, kWaitMs);
    // A look-up cancelled before its first answer says nothing either.
    rig.Lookup.Start(*SplitMailAddress("ann@gmail.com"));
    rig.Lookup.Cancel();
    QCOMPARE(rig.Run("bob@me.com"), QString("no POP3"));
    QCOMPARE(rig.Finished.size(), 0);
    QVERIFY(rig.Srv->Asked.isEmpty());
}

void TestSettingsLookup::realDnsAnswers() {
    // The system's resolver, where this machine can reach one: gmail.com
    // publishes its POP3 server in SRV records.
    DnsSrvAnswerer dns;
    QObject context;
    std::optional<QList<SrvRecord>> answer;
    dns.Ask("_pop3s._tcp.gmail.com", &context,
            [&answer](const QList<SrvRecord>& records) { answer = records; });
    QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), kWaitMs);
    if (answer->isEmpty())
        QSKIP("no DNS answer here");
    QCOMPARE(SrvStep::Ordered(*answer).first().Target, QString("pop.gmail.com"));
    QCOMPARE(SrvStep::Ordered(*answer).first().Port, quint16(995));
}

QTEST_GUILESS_MAIN(TestSettingsLookup)
#include "test_settings_lookup.moc"
