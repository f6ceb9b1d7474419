#pragma once

#include "engine/oauth_sign_in.h"
#include "records/mail_account.h"

#include <QGroupBox>

class QComboBox;
class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QPushButton;

// The account dialog's sign-in method: "Password", or "OAuth2" with a
// provider ("Google", "Microsoft", "Custom"), its endpoints, scope and client
// (each left empty takes the provider's preset, shown greyed), and
// "Sign in...", which runs the sign-in through the browser.
class SignInGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit SignInGroup(QWidget* parent = nullptr);
    ~SignInGroup() override;

    // Hands the authorization URL to the browser; tests put their own here.
    OAuthSignIn::BrowserOpener Opener;

    void Load(const MailAccount& account);
    // The method and OAuth2 settings into `account`; the refresh token of a
    // sign-in done here, none for a password account.
    void Store(MailAccount& account) const;
    bool UsesOAuth() const;
    // Settings found from the address suggest a method and provider; taken
    // unless the user has chosen the method by hand.
    void OfferFound(bool oauth, const QString& provider);
    // Signed in here, or the account had a sign-in when it was loaded.
    bool HasToken() const;
    // Signs in now and waits for the outcome (the event loop runs); the
    // reason when it failed.
    bool SignInNow(QString* reason);
    // The tokens of a sign-in done here (empty otherwise).
    const OAuthSignInResult& FreshSignIn() const { return m_fresh; }

Q_SIGNALS:
    void MethodChanged();

private:
    void UpdateControls();
    void ShowPresets();
    OAuthPreset Effective() const;

    QComboBox* cboMethod;
    QComboBox* cboProvider;
    QLineEdit* txtAuthUrl;
    QLineEdit* txtTokenUrl;
    QLineEdit* txtScope;
    QLineEdit* txtClientId;
    QLineEdit* txtClientSecret;
    QPushButton* butSignIn;
    QLabel* lblSignIn;
    QList<QWidget*> m_oauthOnly;

    QNetworkAccessManager* m_network;
    QString m_storedToken; // the loaded account's refresh token
    OAuthSignInResult m_fresh;
    bool m_signingIn = false;
    bool m_methodChosenByHand = false;
};
