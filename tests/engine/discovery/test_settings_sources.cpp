#include "engine/discovery/autoconfig_document.h"
#include "engine/discovery/found_settings.h"
#include "engine/discovery/host_names.h"
#include "engine/discovery/provider_table.h"
#include "support/fail_on_warning.h"

#include <QtTest>

// What the settings look-up reads without the network: the address, the
// provider table and a published configuration document.
class TestSettingsSources : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void addresses_data();
    void addresses();
    void providerTable_data();
    void providerTable();
    void everyTableRowIsUsable();
    void autoconfigDocuments_data();
    void autoconfigDocuments();
};

void TestSettingsSources::addresses_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("domain"); // empty: no address, no look-up
    QTest::newRow("plain") << "ann@example.org"
                           << "example.org";
    QTest::newRow("blanks around, upper case") << "  Ann@Example.ORG "
                                               << "example.org";
    QTest::newRow("no @") << "ann"
                          << "";
    QTest::newRow("two @") << "ann@b@example.org"
                           << "";
    QTest::newRow("nothing before @") << "@example.org"
                                      << "";
    QTest::newRow("nothing after @") << "ann@"
                                     << "";
    QTest::newRow("no host name") << "ann@exa_mple.org"
                                  << "";
    QTest::newRow("blank inside") << "an n@example.org"
                                  << "";
}

void TestSettingsSources::addresses() {
    QFETCH(QString, text);
    QFETCH(QString, domain);
    const auto address = SplitMailAddress(text);
    QCOMPARE(address ? address->Domain : QString(), domain);
}

void TestSettingsSources::providerTable_data() {
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("hint"); // SettingsHint of the row found
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("signIn");
    QTest::newRow("gmail")
        << "gmail.com"
        << "From the provider's settings\nGmail: switch POP on in Gmail's settings (Forwarding and "
           "POP/IMAP) first; sign in with an app password (needs 2-Step Verification) or OAuth2."
        << "pop.gmail.com 995 TLS"
        << "Password Google";
    QTest::newRow("hotmail")
        << "hotmail.com"
        << "From the provider's settings\nOutlook.com: switch POP on in Outlook.com's settings "
           "(Forwarding and IMAP) first; it takes OAuth2 only, no password.\nSign-in: OAuth2 "
           "(Microsoft)"
        << "outlook.office365.com 995 TLS"
        << "OAuth2 Microsoft";
    QTest::newRow("gmx.de") << "gmx.de"
                            << "From the provider's settings\nGMX: switch POP3 on in GMX's web "
                               "mail settings (POP3 & IMAP) first."
                            << "pop.gmx.net 995 TLS"
                            << "Password ";
    QTest::newRow("mailbox.org") << "mailbox.org"
                                 << "From the provider's settings\nmailbox.org: with two-factor "
                                    "sign-in, use an application password made in the security "
                                    "settings."
                                 << "pop3.mailbox.org 995 TLS"
                                 << "Password ";
    QTest::newRow("icloud") << "me.com"
                            << "iCloud Mail offers no POP3, only IMAP: Larkwatch cannot watch it."
                            << " 0 "
                            << "Password ";
}

void TestSettingsSources::providerTable() {
    QFETCH(QString, domain);
    QFETCH(QString, hint);
    QFETCH(QString, server);
    QFETCH(QString, signIn);
    const auto found = FromProviderTable(domain);
    QVERIFY(found);
    QCOMPARE(SettingsHint(*found, domain), hint);
    QCOMPARE(found->Host + ' ' + QString::number(found->Port) + ' ' + found->Security, server);
    QCOMPARE(QString(found->SignIn == SignInMethod::OAuth2 ? "OAuth2 " : "Password ") +
                 found->OAuthProvider,
             signIn);
    QVERIFY(!FromProviderTable("gmail.com.example.org"));
}

void TestSettingsSources::everyTableRowIsUsable() {
    QStringList seen;
    for (std::size_t i = 0; i < kProviderCount; ++i) {
        const ProviderEntry& entry = kProviders[i];
        for (const QString& domain : QString(entry.Domains).split(' ')) {
            QVERIFY2(!seen.contains(domain), qPrintable(domain));
            seen.append(domain);
            QVERIFY(SplitMailAddress("someone@" + domain));
        }
        if (entry.Host) {
            QVERIFY2(IsHostName(entry.Host), entry.Host);
            QVERIFY(entry.Port >= 1 && entry.Port <= 65535);
            QVERIFY(QString(entry.Security) == "TLS" || QString(entry.Security) == "STARTTLS");
        }
    }
}

namespace {
QByteArray document(const QByteArray& servers) {
    return "<?xml version=\"1.0\"?>\n<clientConfig version=\"1.1\">\n<emailProvider "
           "id=\"example.org\">\n<domain>example.org</domain>\n" +
           servers + "</emailProvider>\n</clientConfig>\n";
}
QByteArray server(const QByteArray& type, const QByteArray& host, const QByteArray& port,
                  const QByteArray& socket, const QByteArray& user = "%EMAILADDRESS%",
                  const QByteArray& auth = "password-cleartext") {
    return "<incomingServer type=\"" + type + "\"><hostname>" + host + "</hostname><port>" + port +
           "</port><socketType>" + socket + "</socketType><username>" + user +
           "</username><authentication>" + auth + "</authentication></incomingServer>\n";
}
} // namespace

void TestSettingsSources::autoconfigDocuments_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("found"); // "host port security user signIn"; empty: nothing
    const QByteArray imap = server("imap", "imap.example.org", "993", "SSL");
    QTest::newRow("pop3 over SSL")
        << document(imap + server("pop3", "pop.example.org", "995", "SSL"))
        << "pop.example.org 995 TLS  Password";
    QTest::newRow("SSL preferred though listed second")
        << document(server("pop3", "a.example.org", "110", "STARTTLS") +
                    server("pop3", "b.example.org", "995", "SSL"))
        << "b.example.org 995 TLS  Password";
    QTest::newRow("STARTTLS when no SSL")
        << document(server("pop3", "a.example.org", "110", "STARTTLS", "%EMAILLOCALPART%"))
        << "a.example.org 110 STARTTLS ann Password";
    QTest::newRow("user name pattern") << document(server("pop3", "a.example.org", "995", "SSL",
                                                          "%EMAILDOMAIN%\\%EMAILLOCALPART%"))
                                       << "a.example.org 995 TLS example.org\\ann Password";
    QTest::newRow("OAuth2 only") << document(server("pop3", "a.example.org", "995", "SSL",
                                                    "%EMAILADDRESS%", "OAuth2"))
                                 << "a.example.org 995 TLS  OAuth2";
    QTest::newRow("in clear only")
        << document(server("pop3", "a.example.org", "110", "plain")) << "";
    QTest::newRow("imap only") << document(imap) << "";
    QTest::newRow("bad host passed over")
        << document(server("pop3", "pop.exa mple.org;rm", "995", "SSL") +
                    server("pop3", "b.example.org", "110", "STARTTLS"))
        << "b.example.org 110 STARTTLS  Password";
    QTest::newRow("bad host") << document(server("pop3", "-pop.example.org", "995", "SSL")) << "";
    QTest::newRow("port 0") << document(server("pop3", "a.example.org", "0", "SSL")) << "";
    QTest::newRow("port 65536") << document(server("pop3", "a.example.org", "65536", "SSL")) << "";
    QTest::newRow("port not a number")
        << document(server("pop3", "a.example.org", "+995", "SSL")) << "";
    QTest::newRow("malformed")
        << document(server("pop3", "a.example.org", "995", "SSL")).replace("</clientConfig>", "")
        << "";
    QTest::newRow("not XML") << QByteArray("<html>Not found") << "";
    QTest::newRow("over 1 MiB") << document(server("pop3", "a.example.org", "995", "SSL") + "<!--" +
                                            QByteArray(kAutoconfigMaxBytes, 'x') + "-->")
                                << "";
}

void TestSettingsSources::autoconfigDocuments() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, found);
    const auto address = SplitMailAddress("ann@example.org");
    const auto settings = ReadAutoconfigDocument(xml, *address);
    const QString got =
        settings ? QStringList({settings->Host, QString::number(settings->Port), settings->Security,
                                settings->User,
                                settings->SignIn == SignInMethod::OAuth2 ? "OAuth2" : "Password"})
                       .join(' ')
                 : QString();
    QCOMPARE(got, found);
}

QTEST_GUILESS_MAIN(TestSettingsSources)
#include "test_settings_sources.moc"
