#pragma once

#include "engine/discovery/found_settings.h"
#include "engine/discovery/settings_lookup.h"

#include <QObject>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The account dialog's part that finds the server settings from the address
// in the Username box: when the user leaves that box with Mail Host empty, or
// presses "Find settings". The result fills Mail Host, Port and Connection
// security, never over what the user typed there, and the line under the
// fields tells where it came from and what the provider needs. Typing into
// Mail Host or Username drops a look-up under way; the button stops one too.
class AccountSettingsFinder : public QObject {
    Q_OBJECT
public:
    struct Fields {
        QLineEdit& User;
        QLineEdit& Host;
        QLineEdit& Port;
        QComboBox& Security;
        QPushButton& Find;
        QLabel& Hint;
    };
    AccountSettingsFinder(const Fields& fields, QObject* parent);

    // The look-up itself; tests point its network steps at loopback.
    SettingsLookup& Lookup() { return *m_lookup; }
    // How the last found settings sign in; Password until something is found.
    SignInMethod FoundSignIn() const { return m_signIn; }
    QString FoundOAuthProvider() const { return m_oauthProvider; }

Q_SIGNALS:
    // Settings were found that name a sign-in method (and for OAuth2 the
    // provider, "Google" or "Microsoft", where known). A sign-in control of
    // the dialog follows it.
    void SignInFound(SignInMethod method, const QString& oauthProvider);

private:
    void OnUserLeft();
    void OnFindClicked();
    void Start();
    void Stop(const QString& hint);
    void OnFinished(const FoundSettings& found);
    void Fill(const FoundSettings& found);
    void ShowRunning(bool running);
    void SetHint(const QString& text);

    Fields m_fields;
    SettingsLookup* m_lookup;
    QString m_domain;
    // What the finder itself put into Mail Host; anything else there is the user's.
    QString m_filledHost;
    bool m_userSetPort = false;
    bool m_userSetSecurity = false;
    SignInMethod m_signIn = SignInMethod::Password;
    QString m_oauthProvider;
};
