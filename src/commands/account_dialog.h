#pragma once

#include <QDialog>

class AccountSettingsFinder;
class AppState;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SignInGroup;

// "AddAccnt": the modal dialog in which the user enters a new POP3 account or
// changes one. The mode comes from CurrentAccount when it opens: 0 adds, a
// position above 0 modifies that account. The dialog validates the entry,
// writes it into the account list itself and reports in CurrentAccount: 0
// when cancelled (Cancel, Esc, the close box), otherwise the position of the
// added or changed record. Saving the settings is the caller's work.
class AddAccnt : public QDialog {
    Q_OBJECT
public:
    // untrustedCertificate: the fingerprint that the account's server showed
    // when its last check failed because the certificate is not trusted. In
    // modify mode a check box then offers to trust it; empty shows none.
    explicit AddAccnt(AppState& state, const QString& untrustedCertificate = QString(),
                      QWidget* parent = nullptr);
    ~AddAccnt() override;

    // Enables OK exactly when title, host, user, password and port are all
    // non-empty (blanks count as content); an OAuth2 account needs no password.
    void UpdateOkButton();
    // Validates and commits; stays open on a duplicate title or a bad port,
    // OAuth2 without TLS, or a sign-in (an OAuth2 account added without a
    // token signs in first) that failed.
    void ButOK_Click();
    void butCancel_Click();

    // Every way of closing other than OK counts as cancel.
    void reject() override;
    void done(int result) override;

private:
    void Form_Load();
    void BuildControls();
    void LayOutControls();
    void SetTabOrder();
    void cboSecurity_Click();
    bool TitleTakenByAnother() const;
    void Refuse(const QString& text, const char* objectName, QLineEdit& focus);

    AppState& m_state;
    const QString m_untrustedCertificate;
    bool m_loading = false;
    bool m_offerTrust = false;
    bool m_unloaded = false;

    QLabel* Label1;
    QLineEdit* txtTitle;
    QLabel* Label2;
    QLineEdit* txtHost;
    QLabel* Label3;
    QLineEdit* txtUser;
    QLabel* Label4;
    QLineEdit* txtPassword;
    QLabel* Label5;
    QCheckBox* chkDisabled;
    QLineEdit* txtPort;
    QLabel* lblSecurity;
    QComboBox* cboSecurity;
    QCheckBox* chkTrustCert;
    QLabel* lblCertSHA256;
    QPushButton* butFindSettings;
    QLabel* lblFoundSettings;
    AccountSettingsFinder* m_settingsFinder;
    SignInGroup* grpSignIn;
    QPushButton* ButOK;
    QPushButton* butCancel;
};

// What the security drop-down offers: its caption and the stored value.
struct SecurityChoice {
    const char* Caption;
    const char* Stored;
};
inline constexpr SecurityChoice kSecurityChoices[] = {
    {"None", "None"},
    {"STARTTLS", "STARTTLS"},
    {"SSL/TLS", "TLS"},
};

// A port text the dialog accepts: a whole decimal number from 1 to 65535.
// Returns 0 for any other text.
int ParsePort(const QString& text);
