#include "commands/sign_in_group.h"

#include "records/oauth_providers.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QPushButton>

namespace {
const QString kSignedIn = QStringLiteral("Signed in.");
const QString kNotSignedIn = QStringLiteral("Not signed in yet.");

QLineEdit* field(const char* name, const QString& toolTip, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(toolTip);
    return box;
}
} // namespace

SignInGroup::SignInGroup(QWidget* parent)
    : QGroupBox(QStringLiteral("Sign-in"), parent), m_network(new QNetworkAccessManager(this)) {
    setObjectName(QStringLiteral("grpSignIn"));
    Opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    cboMethod = new QComboBox(this);
    cboMethod->setObjectName(QStringLiteral("cboSignIn"));
    cboMethod->addItem(QStringLiteral("Password"), SignIn::Password);
    cboMethod->addItem(QStringLiteral("OAuth2"), SignIn::OAuth2);
    cboMethod->setToolTip(QStringLiteral("OAuth2 signs in through the provider's web page "
                                         "(Outlook.com, Microsoft 365, Gmail)"));
    cboProvider = new QComboBox(this);
    cboProvider->setObjectName(QStringLiteral("cboProvider"));
    for (const QString& name :
         {OAuthProviderName::Google, OAuthProviderName::Microsoft, OAuthProviderName::Custom})
        cboProvider->addItem(name, name);
    txtAuthUrl = field("txtAuthUrl", QStringLiteral("Where the browser signs in"), this);
    txtTokenUrl = field("txtTokenUrl", QStringLiteral("Where Larkwatch fetches tokens"), this);
    txtScope = field("txtScope", QStringLiteral("What Larkwatch asks to be allowed"), this);
    txtClientId = field("txtClientId",
                        QStringLiteral("The client id you registered with the provider"), this);
    txtClientSecret = field("txtClientSecret",
                            QStringLiteral("The client secret, if the provider gave one"), this);
    butSignIn = new QPushButton(QStringLiteral("Sign &in..."), this);
    butSignIn->setObjectName(QStringLiteral("butSignIn"));
    butSignIn->setAutoDefault(false);
    lblSignIn = new QLabel(kNotSignedIn, this);
    lblSignIn->setObjectName(QStringLiteral("lblSignIn"));

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Method : "), cboMethod);
    form->addRow(QStringLiteral("P&rovider : "), cboProvider);
    form->addRow(QStringLiteral("Authorization URL : "), txtAuthUrl);
    form->addRow(QStringLiteral("Token URL : "), txtTokenUrl);
    form->addRow(QStringLiteral("Scope : "), txtScope);
    form->addRow(QStringLiteral("Client ID : "), txtClientId);
    form->addRow(QStringLiteral("Client secret : "), txtClientSecret);
    form->addRow(butSignIn, lblSignIn);
    for (QWidget* widget :
         {static_cast<QWidget*>(cboProvider), static_cast<QWidget*>(txtAuthUrl),
          static_cast<QWidget*>(txtTokenUrl), static_cast<QWidget*>(txtScope),
          static_cast<QWidget*>(txtClientId), static_cast<QWidget*>(txtClientSecret)}) {
        m_oauthOnly.append(widget);
        m_oauthOnly.append(form->labelForField(widget));
    }
    m_oauthOnly.append(butSignIn);
    m_oauthOnly.append(lblSignIn);

    connect(cboMethod, &QComboBox::currentIndexChanged, this, [this] {
        UpdateControls();
        Q_EMIT MethodChanged();
    });
    connect(cboProvider, &QComboBox::currentIndexChanged, this, &SignInGroup::ShowPresets);
    connect(cboMethod, &QComboBox::activated, this, [this] { m_methodChosenByHand = true; });
    connect(butSignIn, &QPushButton::clicked, this, [this] {
        QString reason;
        if (!SignInNow(&reason)) {
            QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Larkwatch"),
                            QStringLiteral("Sign-in failed: ") + reason, QMessageBox::Ok, this);
            box.setObjectName(QStringLiteral("SignInFailed"));
            box.setTextFormat(Qt::PlainText);
            box.exec();
        }
    });
    ShowPresets();
    UpdateControls();
}

SignInGroup::~SignInGroup() = default;

void SignInGroup::Load(const MailAccount& account) {
    cboMethod->setCurrentIndex(account.UsesOAuth() ? 1 : 0);
    const int provider = cboProvider->findData(account.OAuth.Provider);
    cboProvider->setCurrentIndex(provider >= 0 ? provider
                                               : cboProvider->findData(OAuthProviderName::Custom));
    txtAuthUrl->setText(account.OAuth.AuthUrl);
    txtTokenUrl->setText(account.OAuth.TokenUrl);
    txtScope->setText(account.OAuth.Scope);
    txtClientId->setText(account.OAuth.ClientId);
    txtClientSecret->setText(account.OAuth.ClientSecret);
    m_storedToken = account.OAuthToken;
    m_fresh = OAuthSignInResult();
    UpdateControls();
}

void SignInGroup::Store(MailAccount& account) const {
    account.Auth = cboMethod->currentData().toString();
    account.OAuth.Provider = cboProvider->currentData().toString();
    account.OAuth.AuthUrl = txtAuthUrl->text().trimmed();
    account.OAuth.TokenUrl = txtTokenUrl->text().trimmed();
    account.OAuth.Scope = txtScope->text().trimmed();
    account.OAuth.ClientId = txtClientId->text().trimmed();
    account.OAuth.ClientSecret = txtClientSecret->text().trimmed();
    if (!UsesOAuth())
        account.OAuthToken.clear(); // its keyring entry goes with the next save
    else if (m_fresh.Ok)
        account.OAuthToken = m_fresh.RefreshToken;
}

bool SignInGroup::UsesOAuth() const {
    return cboMethod->currentData().toString() == SignIn::OAuth2;
}

bool SignInGroup::HasToken() const {
    return m_fresh.Ok || !m_storedToken.isEmpty();
}

OAuthPreset SignInGroup::Effective() const {
    MailAccount account;
    Store(account);
    return EffectiveOAuth(account.OAuth);
}

bool SignInGroup::SignInNow(QString* reason) {
    if (m_signingIn)
        return false;
    m_signingIn = true;
    butSignIn->setEnabled(false);
    lblSignIn->setText(QStringLiteral("Waiting for the browser..."));
    OAuthSignIn flow(*m_network);
    QEventLoop loop;
    OAuthSignInResult result;
    connect(&flow, &OAuthSignIn::Finished, &loop, [&](const OAuthSignInResult& r) {
        result = r;
        loop.quit();
    });
    flow.Start(Effective(), Opener);
    loop.exec();
    m_signingIn = false;
    butSignIn->setEnabled(true);
    if (result.Ok)
        m_fresh = result;
    lblSignIn->setText(HasToken() ? kSignedIn : kNotSignedIn);
    if (!result.Ok && reason)
        *reason = result.Reason;
    return result.Ok;
}

void SignInGroup::UpdateControls() {
    const bool oauth = UsesOAuth();
    for (QWidget* widget : std::as_const(m_oauthOnly))
        if (widget)
            widget->setVisible(oauth);
    lblSignIn->setText(HasToken() ? kSignedIn : kNotSignedIn);
}

void SignInGroup::ShowPresets() {
    // The preset shows greyed in each empty field: what an empty field means.
    const OAuthPreset preset = PresetFor(cboProvider->currentData().toString());
    txtAuthUrl->setPlaceholderText(preset.AuthUrl);
    txtTokenUrl->setPlaceholderText(preset.TokenUrl);
    txtScope->setPlaceholderText(preset.Scope);
    txtClientId->setPlaceholderText(preset.ClientId);
}

void SignInGroup::OfferFound(bool oauth, const QString& provider) {
    if (m_methodChosenByHand)
        return;
    const int found = cboProvider->findData(provider);
    if (found >= 0)
        cboProvider->setCurrentIndex(found);
    if (oauth)
        cboMethod->setCurrentIndex(cboMethod->findData(SignIn::OAuth2));
}
