#include "records/account_store.h"

#include "records/app_state.h"
#include "records/keyring_passwords.h"
#include "records/settings_section.h"

QString DefaultSecurity(qint32 port) {
    return port == 995 ? Security::Tls : Security::None;
}

void LoadAccounts(AppState& state) {
    namespace K = AccountKeys;
    const SectionReader accounts(state.Store, K::Section);
    const auto count = accounts.Read(K::Total);
    state.Accounts.clear();
    state.KeyringEntries.clear();
    if (count == 0)
        return;
    state.Accounts.resize(count);
    for (int n = 1; n <= count; ++n) {
        MailAccount& a = state.Account(n);
        a.Title = accounts.Read(K::Title, n);
        a.Host = accounts.Read(K::Host, n);
        a.User = accounts.Read(K::User, n);
        a.Port = qint32(accounts.Read(K::Port, n));
        a.Disabled = accounts.Read(K::Disabled, n);
        const QString security = accounts.Read(K::Security, n);
        a.Security = (security == Security::None || security == Security::StartTls ||
                      security == Security::Tls)
                         ? security
                         : DefaultSecurity(a.Port);
        a.CertSHA256 = accounts.Read(K::CertSHA256, n);
        // After user, host and port, which name the keyring entry.
        LoadPassword(state, a, accounts.Read(K::Password, n));
        a.Auth = accounts.Read(K::Auth, n) == SignIn::OAuth2 ? SignIn::OAuth2 : SignIn::Password;
        a.OAuth.Provider = accounts.Read(K::OAuthProvider, n);
        a.OAuth.AuthUrl = accounts.Read(K::OAuthAuthUrl, n);
        a.OAuth.TokenUrl = accounts.Read(K::OAuthTokenUrl, n);
        a.OAuth.Scope = accounts.Read(K::OAuthScope, n);
        a.OAuth.ClientId = accounts.Read(K::OAuthClientId, n);
        a.OAuth.ClientSecret = accounts.Read(K::OAuthClientSecret, n);
        LoadPassword(state, a, accounts.Read(K::OAuthToken, n), TokenSecret());
        a.NodeKey = NewAccountKey(state);
    }
}

void SaveAccounts(AppState& state) {
    namespace K = AccountKeys;
    // The keyring takes the passwords before the settings file points at it.
    const StoredPasswords passwords = StorePasswords(state);
    const StoredPasswords tokens = StorePasswords(state, TokenSecret());
    {
        SettingsStore::Batch batch(state.Store);
        SectionWriter accounts(state.Store, K::Section);
        accounts.Write(K::Total, state.AccountCount());
        for (int n = 1; n <= state.AccountCount(); ++n) {
            const MailAccount& a = state.Account(n);
            accounts.Write(K::Title, a.Title, n);
            accounts.Write(K::Host, a.Host, n);
            accounts.Write(K::User, a.User, n);
            accounts.Write(K::Password, passwords.Stored[n - 1], n);
            accounts.Write(K::Port, a.Port, n);
            accounts.Write(K::Disabled, a.Disabled, n);
            accounts.Write(K::Security, a.Security, n);
            accounts.Write(K::CertSHA256, a.CertSHA256, n);
            accounts.Write(K::Auth, a.Auth, n);
            accounts.Write(K::OAuthProvider, a.OAuth.Provider, n);
            accounts.Write(K::OAuthAuthUrl, a.OAuth.AuthUrl, n);
            accounts.Write(K::OAuthTokenUrl, a.OAuth.TokenUrl, n);
            accounts.Write(K::OAuthScope, a.OAuth.Scope, n);
            accounts.Write(K::OAuthClientId, a.OAuth.ClientId, n);
            accounts.Write(K::OAuthClientSecret, a.OAuth.ClientSecret, n);
            accounts.Write(K::OAuthToken, tokens.Stored[n - 1], n);
        }
    }
    // Entries go only once the settings file no longer points at them.
    if (state.Store.AllWritten())
        RemoveUnusedEntries(state, passwords.EntriesInUse + tokens.EntriesInUse);
}

bool MovePasswordsAsChosen(AppState& state) {
    if (!PasswordsWantMoving(state))
        return false;
    SaveAccounts(state);
    return true;
}

QString NewAccountKey(AppState& state) {
    // The list never holds more than 32766 accounts, so a free key exists.
    for (;;) {
        const int number = int(state.Rnd() * kMaxAccounts + 1);
        const QString candidate = QLatin1Char('P') + QString::number(number);
        if (FindAccountByKey(state, candidate) == 0)
            return candidate;
    }
}

qint16 FindAccountByKey(const AppState& state, const QString& key) {
    for (int n = 1; n <= state.AccountCount(); ++n) {
        if (state.Account(n).NodeKey == key)
            return qint16(n);
    }
    return 0;
}
