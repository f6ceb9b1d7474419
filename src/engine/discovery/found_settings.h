#pragma once

#include <QString>

// Which look-up step found the settings, in the order the steps run.
enum class SettingsSource { ProviderTable, PublishedConfig, Dns, Guess };

// How an account signs in to its server.
enum class SignInMethod { Password, OAuth2 };

// What a look-up found for an address: the server settings, or that the
// domain offers no POP3, or nothing (neither Found nor NoPop3).
struct FoundSettings {
    bool Found = false;
    bool NoPop3 = false;
    SettingsSource Source = SettingsSource::ProviderTable;
    QString Host;
    int Port = 0;
    QString Security; // Security::Tls or Security::StartTls, never None
    QString User;     // the user name the provider asks for; empty: as typed
    SignInMethod SignIn = SignInMethod::Password;
    // The OAuth2 provider the domain belongs to ("Google", "Microsoft"), also
    // where a password is the usual way in; empty when unknown.
    QString OAuthProvider;
    QString Needs; // one line of what the provider needs, or empty
};

// The lines shown under the account fields for a result of a look-up for
// `domain`: where the settings came from and what the provider needs.
QString SettingsHint(const FoundSettings& found, const QString& domain);
// Shown while the look-up runs.
QString LookingUpHint(const QString& domain);
