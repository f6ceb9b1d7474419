#include "records/account_store.h"

#include "records/app_state.h"
#include "records/keyring_passwords.h"
#include "records/settings_section.h"

#include <algorithm>
#include <vector>

QString DefaultSecurity(qint32 port) {
    return port == 995 ? Security::Tls : Security::None;
}

namespace {
// The node keys no account has, to draw from: each draw takes one at random,
// every free key as likely as any other, and costs the same however few are
// left, so a list of any length gets its keys in time that grows with it.
class FreeAccountKeys {
public:
    explicit FreeAccountKeys(const AppState& state) {
        std::vector<bool> used(kMaxAccounts + 1);
        for (const MailAccount& account : state.Accounts) {
            if (const int number = keyNumber(account.NodeKey); number > 0)
                used[number] = true;
        }
        m_free.reserve(kMaxAccounts);
        for (int number = 1; number <= kMaxAccounts; ++number) {
            if (!used[number])
                m_free.push_back(number);
        }
    }

    // Empty when every key is taken (the list never holds that many accounts).
    QString Draw(AppState& state) {
        if (m_free.empty())
            return QString();
        const auto index = std::min(size_t(state.Rnd() * double(m_free.size())), m_free.size() - 1);
        const int number = m_free[index];
        m_free[index] = m_free.back();
        m_free.pop_back();
        return QLatin1Char('P') + QString::number(number);
    }

private:
    // The number of a key "P1".."P32766", or 0 for any other text.
    static int keyNumber(const QString& key) {
        if (!key.startsWith(QLatin1Char('P')))
            return 0;
        bool ok = false;
        const int number = key.mid(1).toInt(&ok);
        const bool canonical = ok && QLatin1Char('P') + QString::number(number) == key;
        return canonical && number >= 1 && number <= kMaxAccounts ? number : 0;
    }

    std::vector<int> m_free;
};
} // namespace

void LoadAccounts(AppState& state) {
    namespace K = AccountKeys;
    const SectionReader accounts(state.Store, K::Section);
    const auto count = accounts.Read(K::Total);
    state.Accounts.clear();
    state.KeyringEntries.clear();
    if (count == 0)
        return;
    state.Accounts.resize(count);
    FreeAccountKeys freeKeys(state); // all of them: no account has a key yet
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
        a.NodeKey = freeKeys.Draw(state);
    }
}

// The keys of positions beyond the count stay when accounts are deleted (the
// store never deletes a key), but a deleted account's password and sign-in do
// not: the password and token keys of every such position are written empty.
static void clearPasswordsBeyondCount(AppState& state) {
    namespace K = AccountKeys;
    const QString section = QLatin1String(K::Section);
    for (const QString& key : state.Store.Keys(section)) {
        QLatin1String stem(K::Password.Name);
        if (!key.startsWith(stem))
            stem = QLatin1String(K::OAuthToken.Name);
        if (!key.startsWith(stem))
            continue;
        const QString position = key.mid(stem.size());
        bool isNumber = false;
        const qint64 n = position.toLongLong(&isNumber);
        const bool digitsOnly =
            std::all_of(position.cbegin(), position.cend(), [](QChar c) { return c.isDigit(); });
        if (isNumber && digitsOnly && n > state.AccountCount() &&
            !state.Store.ReadSetting(section, key, QString()).isEmpty())
            state.Store.WriteSetting(section, key, QString());
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
        clearPasswordsBeyondCount(state);
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
    return FreeAccountKeys(state).Draw(state);
}

qint16 FindAccountByKey(const AppState& state, const QString& key) {
    for (int n = 1; n <= state.AccountCount(); ++n) {
        if (state.Account(n).NodeKey == key)
            return qint16(n);
    }
    return 0;
}
