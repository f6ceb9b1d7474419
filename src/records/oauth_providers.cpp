#include "records/oauth_providers.h"

#ifndef LARKWATCH_GOOGLE_CLIENT_ID
#define LARKWATCH_GOOGLE_CLIENT_ID ""
#endif
#ifndef LARKWATCH_GOOGLE_CLIENT_SECRET
#define LARKWATCH_GOOGLE_CLIENT_SECRET ""
#endif
#ifndef LARKWATCH_MICROSOFT_CLIENT_ID
#define LARKWATCH_MICROSOFT_CLIENT_ID ""
#endif
#ifndef LARKWATCH_MICROSOFT_CLIENT_SECRET
#define LARKWATCH_MICROSOFT_CLIENT_SECRET ""
#endif

OAuthPreset PresetFor(const QString& provider) {
    OAuthPreset preset;
    if (provider == OAuthProviderName::Google) {
        preset.Provider = OAuthProviderName::Google;
        preset.AuthUrl = QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth");
        preset.TokenUrl = QStringLiteral("https://oauth2.googleapis.com/token");
        preset.Scope = QStringLiteral("https://mail.google.com/");
        // Without both, Google gives no refresh token.
        preset.ExtraAuthParameters = {{QStringLiteral("access_type"), QStringLiteral("offline")},
                                      {QStringLiteral("prompt"), QStringLiteral("consent")}};
        preset.ClientId = QStringLiteral(LARKWATCH_GOOGLE_CLIENT_ID);
        preset.ClientSecret = QStringLiteral(LARKWATCH_GOOGLE_CLIENT_SECRET);
    } else if (provider == OAuthProviderName::Microsoft) {
        preset.Provider = OAuthProviderName::Microsoft;
        preset.AuthUrl =
            QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/authorize");
        preset.TokenUrl =
            QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token");
        preset.Scope =
            QStringLiteral("https://outlook.office.com/POP.AccessAsUser.All offline_access");
        preset.RedirectHost = QStringLiteral("localhost"); // what Microsoft prefers
        preset.ClientId = QStringLiteral(LARKWATCH_MICROSOFT_CLIENT_ID);
        preset.ClientSecret = QStringLiteral(LARKWATCH_MICROSOFT_CLIENT_SECRET);
    } else {
        preset.Provider = OAuthProviderName::Custom;
    }
    return preset;
}

OAuthPreset EffectiveOAuth(const OAuthSettings& settings) {
    OAuthPreset effective = PresetFor(settings.Provider);
    auto take = [](QString& field, const QString& own) {
        if (!own.trimmed().isEmpty())
            field = own.trimmed();
    };
    take(effective.AuthUrl, settings.AuthUrl);
    take(effective.TokenUrl, settings.TokenUrl);
    take(effective.Scope, settings.Scope);
    if (!settings.ClientId.trimmed().isEmpty()) {
        // The user's own client comes with its own secret, or none.
        effective.ClientId = settings.ClientId.trimmed();
        effective.ClientSecret = settings.ClientSecret.trimmed();
    }
    return effective;
}
