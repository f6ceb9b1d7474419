#include "records/account_store.h"

#include "records/app_state.h"
#include "records/password_codec.h"
#include "records/value_forms.h"

#include <limits>

namespace {
const QString kAccounts = QStringLiteral("Accounts");
const QString kApplicationName = QStringLiteral("Larkwatch");
constexpr qint32 kDefaultPort = 110;

QString numbered(const char* stem, int n) {
    return QLatin1String(stem) + QString::number(n);
}

QString decodeStoredPassword(const QString& stored) {
    return IsLegacyPasswordForm(stored) ? DecodeLegacyPassword(stored, kApplicationName)
                                        : DecodePassword(stored);
}
} // namespace

QString DefaultSecurity(qint32 port) {
    return port == 995 ? Security::Tls : Security::None;
}

void LoadAccounts(AppState& state) {
    const SettingsStore& s = state.Store;
    const auto count = s.ReadCount(kAccounts, QStringLiteral("Total"));
    state.Accounts.clear();
    if (count == 0)
        return;
    state.Accounts.resize(count);
    for (int n = 1; n <= count; ++n) {
        MailAccount& a = state.Account(n);
        a.Title = s.ReadSetting(kAccounts, numbered("Title", n), QString());
        a.Host = s.ReadSetting(kAccounts, numbered("Host", n), QString());
        a.User = s.ReadSetting(kAccounts, numbered("User", n), QString());
        a.Password =
            decodeStoredPassword(s.ReadSetting(kAccounts, numbered("Password", n), QString()));
        a.Port = qint32(s.ReadWhole(kAccounts, numbered("Port", n), kDefaultPort, 1, 65535));
        a.Disabled = s.ReadBoolean(kAccounts, numbered("Disabled", n), false);
        const QString security = s.ReadSetting(kAccounts, numbered("Security", n), QString());
        a.Security = (security == Security::None || security == Security::StartTls ||
                      security == Security::Tls)
                         ? security
                         : DefaultSecurity(a.Port);
        a.CertSHA256 = s.ReadSetting(kAccounts, numbered("CertSHA256", n), QString());
        a.NodeKey = NewAccountKey(state);
    }
}

void SaveAccounts(AppState& state) {
    SettingsStore::Batch batch(state.Store);
    SettingsStore& s = state.Store;
    s.WriteSetting(kAccounts, QStringLiteral("Total"),
                   ValueForms::FormatWhole(state.AccountCount()));
    for (int n = 1; n <= state.AccountCount(); ++n) {
        const MailAccount& a = state.Account(n);
        s.WriteSetting(kAccounts, numbered("Title", n), a.Title);
        s.WriteSetting(kAccounts, numbered("Host", n), a.Host);
        s.WriteSetting(kAccounts, numbered("User", n), a.User);
        s.WriteSetting(kAccounts, numbered("Password", n), EncodePassword(a.Password));
        s.WriteSetting(kAccounts, numbered("Port", n), ValueForms::FormatWhole(a.Port));
        s.WriteSetting(kAccounts, numbered("Disabled", n), ValueForms::FormatBoolean(a.Disabled));
        s.WriteSetting(kAccounts, numbered("Security", n), a.Security);
        s.WriteSetting(kAccounts, numbered("CertSHA256", n), a.CertSHA256);
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
