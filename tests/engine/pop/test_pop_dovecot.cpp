#include "engine/pop/pop_client.h"
#include "engine/pop/pop_wait.h"
#include "support/dovecot_fixture.h"
#include "support/fail_on_warning.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTest>

#include <functional>

// The POP client against a real Dovecot started by the "dovecot" test
// fixture (tests/support/dovecot/dovecot-fixture.sh), in all three security
// modes.
class TestPopDovecot : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void initTestCase();
    void wholeSession_data();
    void wholeSession();
    void untrustedCertificateFails();
    void wrongPasswordIsRefused();

private:
    bool Run(const std::function<void()>& call);
    void Prepare(const QString& security);
    QString Value(const QString& key) const { return m_fixture.Value(key); }

    DovecotFixture m_fixture;
    PopClient m_client;
    QList<qint32> m_sizes;
    QList<PopDocument> m_documents;
    int m_deletes = 0;
};

bool TestPopDovecot::Run(const std::function<void()>& call) {
    call();
    return WaitUntilIdle(m_client, 10000);
}

void TestPopDovecot::initTestCase() {
    m_fixture = DovecotFixture::Load();
    LARKWATCH_REQUIRE_DOVECOT(m_fixture);
    // The five messages again, whatever an earlier run deleted.
    const QString refilled = m_fixture.RefillMailbox(QStringLiteral("poptest"));
    QVERIFY2(refilled.isEmpty(), qPrintable(refilled));

    connect(&m_client, &PopClient::MessageSize, this, [this](qint32 size) { m_sizes << size; });
    connect(&m_client, &PopClient::DocOutput, this,
            [this](const PopDocument& document) { m_documents << document; });
    connect(&m_client, &PopClient::Delete, this, [this] { ++m_deletes; });
    m_client.ConnectTimeoutMs = 5000;
    m_client.CommandTimeoutMs = 5000;
}

void TestPopDovecot::Prepare(const QString& security) {
    m_client.ServerHost = Value(QStringLiteral("HOST"));
    m_client.ServerPort = Value(security == QLatin1String("TLS") ? QStringLiteral("POP3S_PORT")
                                                                 : QStringLiteral("POP3_PORT"))
                              .toInt();
    m_client.UserName = QStringLiteral("poptest");
    m_client.UserPassword = Value(QStringLiteral("PASSWORD_poptest"));
    m_client.Security = security;
    m_client.CertSHA256 =
        security == QLatin1String("None") ? QString() : Value(QStringLiteral("CERT_SHA256"));
    m_sizes.clear();
    m_documents.clear();
    m_deletes = 0;
}

void TestPopDovecot::wholeSession_data() {
    QTest::addColumn<QString>("security");
    QTest::newRow("None") << "None";
    QTest::newRow("STARTTLS") << "STARTTLS";
    QTest::newRow("TLS") << "TLS";
}

void TestPopDovecot::wholeSession() {
    QFETCH(QString, security);
    Prepare(security);

    QVERIFY(Run([this] { m_client.Connect(); }));
    QVERIFY2(m_client.LogonState() == PopClient::Connected, qPrintable(m_client.LastError()));
    QCOMPARE(m_client.ConnectionState(), PopClient::ConnectionIdle);
    if (security != QLatin1String("None"))
        QCOMPARE(m_client.PeerCertificateSHA256(), Value(QStringLiteral("CERT_SHA256")));
    QVERIFY(Run([this] { m_client.Authenticate(); }));
    QVERIFY2(m_client.LogonState() == PopClient::LoggedOn, qPrintable(m_client.LastError()));
    const qint16 count = m_client.MessageCount();
    QVERIFY(count >= 3); // five delivered; each mode deletes one

    for (qint16 i = 1; i <= count; ++i) {
        QVERIFY(Run([&] { m_client.RequestMessageSize(i); }));
        QVERIFY(Run([&] { m_client.RetrieveHeaders(i); }));
        QCOMPARE(m_documents.last().State, PopDocument::HeadersReady);
    }
    QCOMPARE(m_sizes.size(), int(count));
    for (qint32 size : std::as_const(m_sizes))
        QVERIFY(size > 200);
    // The message with the encoded Subject, wherever the server numbered it.
    qint16 encoded = 0;
    for (qint16 i = 1; i <= count; ++i) {
        for (const HeaderField& field : m_documents.at(i - 1).Headers) {
            if (field.Name == QLatin1String("Subject") &&
                field.Value == QStringLiteral("Grüße aus München"))
                encoded = i;
        }
    }
    QVERIFY(encoded > 0);

    m_documents.clear();
    QVERIFY(Run([&] { m_client.RetrieveMessage(encoded); }));
    QCOMPARE(m_documents.first().State, PopDocument::HeadersReady);
    QString text;
    for (const PopDocument& document : std::as_const(m_documents))
        text += document.GetData();
    QVERIFY2(text.contains(QStringLiteral("Subject: Grüße aus München\n")), qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral(
                 "Body line of message 1.\n.a line that starts with a dot\n.\nlast line\n")),
             qPrintable(text));

    QVERIFY(Run([&] { m_client.DeleteMessage(encoded == count ? 1 : count); }));
    QCOMPARE(m_deletes, 1);
    QVERIFY(Run([this] { m_client.Quit(); }));
    QCOMPARE(m_client.LogonState(), PopClient::NotConnected);
    QCOMPARE(m_client.ConnectionState(), PopClient::ConnectionClosed);

    // The deletion took effect at QUIT.
    QVERIFY(Run([this] { m_client.Connect(); }));
    QVERIFY(Run([this] { m_client.Authenticate(); }));
    QCOMPARE(m_client.MessageCount(), qint16(count - 1));
    QVERIFY(Run([this] { m_client.Quit(); }));
    QCOMPARE(m_client.ConnectionState(), PopClient::ConnectionClosed);
}

void TestPopDovecot::untrustedCertificateFails() {
    Prepare(QStringLiteral("TLS"));
    m_client.CertSHA256.clear();
    QVERIFY(Run([this] { m_client.Connect(); }));
    QCOMPARE(m_client.LogonState(), PopClient::NotConnected);
    QCOMPARE(m_client.ConnectionState(), PopClient::ConnectionClosed);
    QCOMPARE(m_client.LastError(), QStringLiteral("Certificate not trusted (SHA-256 %1)")
                                       .arg(Value(QStringLiteral("CERT_SHA256"))));
}

void TestPopDovecot::wrongPasswordIsRefused() {
    Prepare(QStringLiteral("None"));
    m_client.UserPassword = QStringLiteral("wrong");
    QVERIFY(Run([this] { m_client.Connect(); }));
    QCOMPARE(m_client.LogonState(), PopClient::Connected);
    QVERIFY(Run([this] { m_client.Authenticate(); }));
    QCOMPARE(m_client.LogonState(), PopClient::NotConnected);
    QCOMPARE(m_client.ConnectionState(), PopClient::ConnectionClosed);
    QVERIFY2(m_client.LastError().startsWith(QStringLiteral("Login refused: ")),
             qPrintable(m_client.LastError()));
}

QTEST_GUILESS_MAIN(TestPopDovecot)
#include "test_pop_dovecot.moc"
