#include "engine/discovery/found_settings.h"

#include <QStringList>

QString SettingsHint(const FoundSettings& found, const QString& domain) {
    if (found.NoPop3) {
        return found.Needs.isEmpty()
                   ? QStringLiteral("%1 says it offers no POP3: Larkwatch cannot watch it.")
                         .arg(domain)
                   : found.Needs;
    }
    if (!found.Found)
        return QStringLiteral("No settings found for %1: ask the provider for its POP3 server.")
            .arg(domain);
    QStringList lines;
    switch (found.Source) {
    case SettingsSource::ProviderTable:
    case SettingsSource::PublishedConfig:
        lines.append(QStringLiteral("From the provider's settings"));
        break;
    case SettingsSource::Dns:
        lines.append(QStringLiteral("From DNS"));
        break;
    case SettingsSource::Guess:
        lines.append(QStringLiteral("Guessed: check it before OK"));
        break;
    }
    if (!found.Needs.isEmpty())
        lines.append(found.Needs);
    if (found.SignIn == SignInMethod::OAuth2)
        lines.append(found.OAuthProvider.isEmpty()
                         ? QStringLiteral("Sign-in: OAuth2")
                         : QStringLiteral("Sign-in: OAuth2 (%1)").arg(found.OAuthProvider));
    if (!found.User.isEmpty())
        lines.append(QStringLiteral("User name: %1").arg(found.User));
    return lines.join(QLatin1Char('\n'));
}

QString LookingUpHint(const QString& domain) {
    return QStringLiteral("Looking up the settings for %1...").arg(domain);
}
