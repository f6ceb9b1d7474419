#include "engine/discovery/provider_table.h"

#include <QStringList>

namespace {
constexpr const char* kTls = "TLS";
constexpr auto kPassword = SignInMethod::Password;
constexpr auto kOAuth2 = SignInMethod::OAuth2;
} // namespace

// clang-format off
const ProviderEntry kProviders[] = {
    {"gmail.com googlemail.com", "pop.gmail.com", 995, kTls, kPassword, "Google",
     "Gmail: switch POP on in Gmail's settings (Forwarding and POP/IMAP) first; sign in with an "
     "app password (needs 2-Step Verification) or OAuth2."},
    {"outlook.com hotmail.com live.com msn.com", "outlook.office365.com", 995, kTls, kOAuth2,
     "Microsoft",
     "Outlook.com: switch POP on in Outlook.com's settings (Forwarding and IMAP) first; it takes "
     "OAuth2 only, no password."},
    {"yahoo.com", "pop.mail.yahoo.com", 995, kTls, kPassword, "",
     "Yahoo: switch POP on in Yahoo Mail's settings first; sign in with an app password made in "
     "Account security."},
    {"gmx.net gmx.de", "pop.gmx.net", 995, kTls, kPassword, "",
     "GMX: switch POP3 on in GMX's web mail settings (POP3 & IMAP) first."},
    {"gmx.com", "pop.gmx.com", 995, kTls, kPassword, "",
     "GMX: switch POP3 on in GMX's web mail settings (POP3 & IMAP) first."},
    {"web.de", "pop3.web.de", 995, kTls, kPassword, "",
     "WEB.DE: switch POP3 on in WEB.DE's web mail settings (POP3 & IMAP) first."},
    {"zoho.com zohomail.com", "pop.zoho.com", 995, kTls, kPassword, "",
     "Zoho: switch POP access on in Zoho Mail's settings first (free accounts made since 2019 "
     "have none); with two-factor sign-in, use an application-specific password."},
    {"fastmail.com fastmail.fm", "pop.fastmail.com", 995, kTls, kPassword, "",
     "Fastmail: sign in with an app password made in Fastmail's settings."},
    {"mailbox.org", "pop3.mailbox.org", 995, kTls, kPassword, "",
     "mailbox.org: with two-factor sign-in, use an application password made in the security "
     "settings."},
    {"icloud.com me.com mac.com", nullptr, 0, "", kPassword, "",
     "iCloud Mail offers no POP3, only IMAP: Larkwatch cannot watch it."},
};
// clang-format on
const std::size_t kProviderCount = std::size(kProviders);

std::optional<FoundSettings> FromProviderTable(const QString& domain) {
    for (const ProviderEntry& entry : kProviders) {
        const QStringList domains = QString::fromLatin1(entry.Domains).split(QLatin1Char(' '));
        if (!domains.contains(domain))
            continue;
        FoundSettings found;
        found.Source = SettingsSource::ProviderTable;
        found.Needs = QString::fromUtf8(entry.Needs);
        if (!entry.Host) {
            found.NoPop3 = true;
            return found;
        }
        found.Found = true;
        found.Host = QString::fromLatin1(entry.Host);
        found.Port = entry.Port;
        found.Security = QString::fromLatin1(entry.Security);
        found.SignIn = entry.SignIn;
        found.OAuthProvider = QString::fromLatin1(entry.OAuthProvider);
        return found;
    }
    return std::nullopt;
}
