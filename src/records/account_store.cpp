#include "records/account_store.h"

#include "records/app_state.h"
#include "records/password_codec.h"
#include "records/settings_section.h"

namespace {
const QString kApplicationName = QStringLiteral("Larkwatch");

QString decodeStoredPassword(const QString& stored) {
    return IsLegacyPasswordForm(stored) ? DecodeLegacyPassword(stored, kApplicationName)
                                        : DecodePassword(stored);
}
} // namespace

QString DefaultSecurity(qint32 port) {
    return port == 995 ? Security::Tls : Security::None;
}

void LoadAccounts(AppState& state) {
    namespace K = AccountKeys;
    const SectionReader accounts(state.Store, K::Section);
    const auto count = accounts.Read(K::Total);
    state.Accounts.clear();
    if (count == 0)
        return;
    state.Accounts.resize(count);
    for (int n = 1; n <= count; ++n) {
        MailAccount& a = state.Account(n);
        a.Title = accounts.Read(K::Title, n);
        a.Host = accounts.Read(K::Host, n);
        a.User = accounts.Read(K::User, n);
        a.Password = decodeStoredPassword(accounts.Read(K::Password, n));
        a.Port = qint32(accounts.Read(K::Port, n));
        a.Disabled = accounts.Read(K::Disabled, n);
        const QString security = accounts.Read(K::Security, n);
        a.Security = (security == Security::None || security == Security::StartTls ||
                      security == Security::Tls)
                         ? security
                         : DefaultSecurity(a.Port);
        a.CertSHA256 = accounts.Read(K::CertSHA256, n);
        a.NodeKey = NewAccountKey(state);
    }
}

void SaveAccounts(AppState& state) {
    namespace K = AccountKeys;
    SettingsStore::Batch batch(state.Store);
    SectionWriter accounts(state.Store, K::Section);
    accounts.Write(K::Total, state.AccountCount());
    for (int n = 1; n <= state.AccountCount(); ++n) {
        const MailAccount& a = state.Account(n);
        accounts.Write(K::Title, a.Title, n);
        accounts.Write(K::Host, a.Host, n);
        accounts.Write(K::User, a.User, n);
        accounts.Write(K::Password, EncodePassword(a.Password), n);
        accounts.Write(K::Port, a.Port, n);
        accounts.Write(K::Disabled, a.Disabled, n);
        accounts.Write(K::Security, a.Security, n);
        accounts.Write(K::CertSHA256, a.CertSHA256, n);
    }
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
