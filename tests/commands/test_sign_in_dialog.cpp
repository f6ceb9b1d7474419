#include "commands/account_dialog.h"
#include "commands/sign_in_group.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "support/dialog_answerers.h"
#include "support/fail_on_warning.h"
#include "support/fake_auth_server.h"
#include "support/temp_state.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QtTest>

// The account dialog's sign-in method: OAuth2 accounts added and modified
// through a fake authorization server, the browser replaced by a hook.
class TestSignInDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void methodShowsItsFields();
    void addWithOAuth2SignsInFirst_data();
    void addWithOAuth2SignsInFirst();
    void switchingToPasswordDropsTheToken();

private:
    AddAccnt& Open(qint16 position);
    template <typename T> T* Child(const char* name) const {
        T* child = m_dialog->findChild<T*>(QLatin1String(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }
    void FillOAuth(const QString& security);

    std::unique_ptr<TempState> m_temp;
    std::unique_ptr<AddAccnt> m_dialog;
    FakeAuthServer m_auth;
    QNetworkAccessManager m_network;
};

void TestSignInDialog::init() {
    FailOnUnexpectedWarnings();
    m_temp = std::make_unique<TempState>();
    if (!m_auth.isListening())
        QVERIFY(m_auth.Listen());
    m_auth.RedirectState.clear();
}

void TestSignInDialog::cleanup() {
    m_dialog.reset();
    m_temp.reset();
}

AddAccnt& TestSignInDialog::Open(qint16 position) {
    m_temp->State->CurrentAccount = position;
    m_dialog = std::make_unique<AddAccnt>(*m_temp->State);
    Child<SignInGroup>("grpSignIn")->Opener = [this](const QUrl& url) {
        FollowAuthorization(m_network, url);
        return true;
    };
    m_dialog->show();
    if (!QTest::qWaitForWindowActive(m_dialog.get()))
        qWarning("the dialog did not become active");
    return *m_dialog;
}

void TestSignInDialog::FillOAuth(const QString& security) {
    Child<QLineEdit>("txtTitle")->setText("Outlook");
    Child<QLineEdit>("txtHost")->setText("outlook.example.org");
    Child<QLineEdit>("txtUser")->setText("ann@example.org");
    auto* securityBox = Child<QComboBox>("cboSecurity");
    securityBox->setCurrentIndex(securityBox->findData(security));
    auto* method = Child<QComboBox>("cboSignIn");
    method->setCurrentIndex(method->findData(SignIn::OAuth2));
    auto* provider = Child<QComboBox>("cboProvider");
    provider->setCurrentIndex(provider->findData(OAuthProviderName::Custom));
    Child<QLineEdit>("txtAuthUrl")->setText(m_auth.Url("authorize"));
    Child<QLineEdit>("txtTokenUrl")->setText(m_auth.Url("token"));
    Child<QLineEdit>("txtClientId")->setText(m_auth.ClientId);
}

void TestSignInDialog::methodShowsItsFields() {
    Open(0);
    auto* method = Child<QComboBox>("cboSignIn");
    QCOMPARE(method->currentText(), QStringLiteral("Password"));
    QVERIFY(!Child<QPushButton>("butSignIn")->isVisible());
    QVERIFY(!Child<QLineEdit>("txtClientId")->isVisible());
    method->setCurrentIndex(method->findData(SignIn::OAuth2));
    QVERIFY(Child<QPushButton>("butSignIn")->isVisible());
    QVERIFY(!Child<QLineEdit>("txtPassword")->isEnabled());
    auto* provider = Child<QComboBox>("cboProvider");
    provider->setCurrentIndex(provider->findData(OAuthProviderName::Microsoft));
    QCOMPARE(Child<QLineEdit>("txtTokenUrl")->placeholderText(),
             QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token"));
    // No password is needed for OAuth2.
    Child<QLineEdit>("txtTitle")->setText("T");
    Child<QLineEdit>("txtHost")->setText("h");
    Child<QLineEdit>("txtUser")->setText("u");
    QVERIFY(Child<QPushButton>("ButOK")->isEnabled());
    method->setCurrentIndex(method->findData(SignIn::Password));
    QVERIFY(!Child<QPushButton>("ButOK")->isEnabled());
}

void TestSignInDialog::addWithOAuth2SignsInFirst_data() {
    QTest::addColumn<QString>("security");
    QTest::addColumn<QByteArray>("forgedState");
    QTest::addColumn<QString>("refusal"); // the message box's text, or empty
    QTest::newRow("signed in and added") << "TLS" << QByteArray() << "";
    QTest::newRow("wrong state: not added")
        << "TLS" << QByteArray("forged")
        << "Sign-in failed: The browser's answer does not belong to this sign-in (wrong state)";
    QTest::newRow("no TLS: refused before signing in")
        << "None" << QByteArray()
        << "OAuth2 needs a protected connection: choose STARTTLS or SSL/TLS.";
}

void TestSignInDialog::addWithOAuth2SignsInFirst() {
    QFETCH(QString, security);
    QFETCH(QByteArray, forgedState);
    QFETCH(QString, refusal);
    m_auth.RedirectState = forgedState;
    const int exchanges = m_auth.CodeExchanges;
    Open(0);
    FillOAuth(security);
    MessageBoxAnswerer boxes;
    if (!refusal.isEmpty())
        boxes.Answer(QMessageBox::Ok);
    QTest::mouseClick(Child<QPushButton>("ButOK"), Qt::LeftButton);
    AppState& state = *m_temp->State;
    if (!refusal.isEmpty()) {
        QCOMPARE(boxes.Answered().size(), 1);
        QCOMPARE(boxes.Answered().at(0).Text, refusal);
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(state.AccountCount(), 0);
        QCOMPARE(m_auth.CodeExchanges, exchanges);
        return;
    }
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(state.AccountCount(), 1);
    const MailAccount& added = state.Account(1);
    QCOMPARE(added.Auth, SignIn::OAuth2);
    QCOMPARE(added.OAuth.ClientId, m_auth.ClientId);
    QVERIFY(m_auth.RefreshTokens.contains(added.OAuthToken));
    QCOMPARE(m_auth.CodeExchanges, exchanges + 1);
    QCOMPARE(state.AccessTokens.size(), 1); // ready for the first check
}

void TestSignInDialog::switchingToPasswordDropsTheToken() {
    MailAccount account;
    account.Title = "Gmail";
    account.Host = "pop.gmail.example";
    account.User = "ann";
    account.Port = 995;
    account.Security = Security::Tls;
    account.Auth = SignIn::OAuth2;
    account.OAuth.Provider = OAuthProviderName::Google;
    account.OAuthToken = "refresh-old";
    account.NodeKey = "P1";
    m_temp->State->Accounts = {account};
    Open(1);
    QCOMPARE(Child<QLabel>("lblSignIn")->text(), QStringLiteral("Signed in."));
    auto* method = Child<QComboBox>("cboSignIn");
    QCOMPARE(method->currentData().toString(), SignIn::OAuth2);
    method->setCurrentIndex(method->findData(SignIn::Password));
    Child<QLineEdit>("txtPassword")->setText("app-password");
    QTest::mouseClick(Child<QPushButton>("ButOK"), Qt::LeftButton);
    QCOMPARE(m_temp->State->Account(1).Auth, SignIn::Password);
    QCOMPARE(m_temp->State->Account(1).OAuthToken, QString());
    QCOMPARE(m_temp->State->Account(1).Password, QStringLiteral("app-password"));
}

QTEST_MAIN(TestSignInDialog)
#include "test_sign_in_dialog.moc"
