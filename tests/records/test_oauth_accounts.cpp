#include "records/account_store.h"
#include "records/keyring_passwords.h"
#include "records/oauth_providers.h"
#include "records/password_codec.h"
#include "support/fail_on_warning.h"
#include "support/fake_password_vault.h"
#include "support/file_contents.h"
#include "support/sample_account.h"
#include "support/temp_state.h"

#include <QSettings>
#include <QtTest>

// OAuth2 accounts in the settings file: the sign-in keys, the refresh token
// kept as a password is, and the provider presets.
class TestOAuthAccounts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void tokenIsKeptAsAPasswordIs_data();
    void tokenIsKeptAsAPasswordIs();
    void absentKeysMeanPassword();
    void presetsAndOverrides_data();
    void presetsAndOverrides();
};

namespace {
const QString kToken = QStringLiteral("1//refresh-token;=x");

MailAccount OAuthAccount() {
    MailAccount account = SampleAccount(QStringLiteral("Outlook"), QString());
    account.Port = 995;
    account.Security = Security::Tls;
    account.Auth = SignIn::OAuth2;
    account.OAuth.Provider = OAuthProviderName::Microsoft;
    account.OAuth.ClientId = QStringLiteral("my-client");
    account.OAuthToken = kToken;
    return account;
}
} // namespace

void TestOAuthAccounts::tokenIsKeptAsAPasswordIs_data() {
    QTest::addColumn<bool>("keyring");
    QTest::newRow("keyring on: the marker in the file") << true;
    QTest::newRow("no keyring: the encoded form in the file") << false;
}

void TestOAuthAccounts::tokenIsKeptAsAPasswordIs() {
    QFETCH(bool, keyring);
    TempState t;
    auto entries = std::make_shared<FakePasswordVault::Keyring>();
    t.State->AppSettings.Keyring = keyring;
    if (keyring)
        t.State->Vault = std::make_unique<FakePasswordVault>(entries);
    t.State->Accounts = {OAuthAccount()};
    SaveAccounts(*t.State);

    QSettings raw(t.State->Paths.SettingsFile, QSettings::IniFormat);
    QCOMPARE(raw.value("Accounts/Auth1").toString(), QStringLiteral("OAuth2"));
    QCOMPARE(raw.value("Accounts/OAuthProvider1").toString(), QStringLiteral("Microsoft"));
    QCOMPARE(raw.value("Accounts/OAuthClientId1").toString(), QStringLiteral("my-client"));
    QCOMPARE(raw.value("Accounts/OAuthToken1").toString(),
             keyring ? kKeyringMarker : EncodePassword(kToken));
    QVERIFY(!ReadWholeFile(t.State->Paths.SettingsFile).contains(kToken.toUtf8()));
    if (keyring)
        QCOMPARE(*entries, (FakePasswordVault::Keyring{
                               {"oauth2:user-Outlook@outlook.example.org:995", kToken}}));

    auto again = t.Reopen();
    if (keyring)
        again->Vault = std::make_unique<FakePasswordVault>(entries);
    LoadAccounts(*again);
    QCOMPARE(again->Account(1).OAuthToken, kToken);
    QCOMPARE(again->Account(1).TokenProblem, QString());
    MailAccount expected = OAuthAccount();
    expected.NodeKey = again->Account(1).NodeKey;
    QCOMPARE(again->Account(1), expected);

    // Signed out: the entry goes with the next save.
    again->Account(1).OAuthToken.clear();
    SaveAccounts(*again);
    QVERIFY(entries->isEmpty());
}

void TestOAuthAccounts::absentKeysMeanPassword() {
    TempState t;
    t.State->Accounts = {SampleAccount(QStringLiteral("Home"), QStringLiteral("pw"))};
    SaveAccounts(*t.State);
    QSettings raw(t.State->Paths.SettingsFile, QSettings::IniFormat);
    for (const char* key : {"Auth1", "OAuthToken1", "OAuthProvider1"})
        raw.remove(QStringLiteral("Accounts/") + QLatin1String(key));
    raw.sync();
    auto again = t.Reopen();
    LoadAccounts(*again);
    QCOMPARE(again->Account(1).Auth, SignIn::Password);
    QVERIFY(!again->Account(1).UsesOAuth());
    QCOMPARE(again->Account(1).OAuthToken, QString());
}

void TestOAuthAccounts::presetsAndOverrides_data() {
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QString>("ownTokenUrl");
    QTest::addColumn<QString>("authUrl");
    QTest::addColumn<QString>("tokenUrl");
    QTest::addColumn<QString>("scope");
    QTest::addColumn<QString>("redirectHost");
    QTest::newRow("Google") << "Google"
                            << ""
                            << "https://accounts.google.com/o/oauth2/v2/auth"
                            << "https://oauth2.googleapis.com/token"
                            << "https://mail.google.com/"
                            << "127.0.0.1";
    QTest::newRow("Microsoft") << "Microsoft"
                               << ""
                               << "https://login.microsoftonline.com/common/oauth2/v2.0/authorize"
                               << "https://login.microsoftonline.com/common/oauth2/v2.0/token"
                               << "https://outlook.office.com/POP.AccessAsUser.All offline_access"
                               << "localhost";
    QTest::newRow("an endpoint of the user's own wins")
        << "Microsoft"
        << " http://127.0.0.1:9/token "
        << "https://login.microsoftonline.com/common/oauth2/v2.0/authorize"
        << "http://127.0.0.1:9/token"
        << "https://outlook.office.com/POP.AccessAsUser.All offline_access"
        << "localhost";
    QTest::newRow("Custom takes all from the user") << "Custom"
                                                    << "http://127.0.0.1:9/token"
                                                    << ""
                                                    << "http://127.0.0.1:9/token"
                                                    << ""
                                                    << "127.0.0.1";
}

void TestOAuthAccounts::presetsAndOverrides() {
    QFETCH(QString, provider);
    QFETCH(QString, ownTokenUrl);
    OAuthSettings settings;
    settings.Provider = provider;
    settings.TokenUrl = ownTokenUrl;
    settings.ClientId = QStringLiteral("mine");
    const OAuthPreset effective = EffectiveOAuth(settings);
    QTEST(effective.AuthUrl, "authUrl");
    QTEST(effective.TokenUrl, "tokenUrl");
    QTEST(effective.Scope, "scope");
    QTEST(effective.RedirectHost, "redirectHost");
    QCOMPARE(effective.ClientId, QStringLiteral("mine"));
    QCOMPARE(effective.ExtraAuthParameters.size(), provider == QLatin1String("Google") ? 2 : 0);
}

QTEST_GUILESS_MAIN(TestOAuthAccounts)
#include "test_oauth_accounts.moc"
