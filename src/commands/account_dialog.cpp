#include "commands/account_dialog.h"

#include "commands/account_settings_finder.h"
#include "commands/sign_in_group.h"
#include "commands/text_box_rules.h"
#include "engine/oauth_access.h"
#include "records/account_store.h"
#include "records/app_state.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace {

const QString kCaption = QStringLiteral("Larkwatch --- Add New e-mail Account");
const QString kDefaultPort = QStringLiteral("110");
const QString kTlsPort = QStringLiteral("995");
const QString kNewAccountSecurity = Security::StartTls;
// Bytes of the fingerprint per line of its display.
constexpr int kFingerprintBytesPerLine = 16;

QLabel* rightAligned(const QString& caption, const char* name, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLineEdit* textBox(const char* name, const QString& toolTip, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(toolTip);
    ApplyTextBoxRules(*box);
    return box;
}

// "AB:CD:…" in lines of a few bytes, so a long fingerprint fits the dialog.
QString fingerprintLines(const QString& fingerprint) {
    const QStringList bytes = fingerprint.split(QLatin1Char(':'));
    QStringList lines;
    for (qsizetype i = 0; i < bytes.size(); i += kFingerprintBytesPerLine)
        lines.append(bytes.mid(i, kFingerprintBytesPerLine).join(QLatin1Char(':')));
    return lines.join(QLatin1Char('\n'));
}

int securityIndex(const QString& stored) {
    for (int i = 0; i < int(std::size(kSecurityChoices)); ++i) {
        if (stored == QLatin1String(kSecurityChoices[i].Stored))
            return i;
    }
    return 0;
}

} // namespace

int ParsePort(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch())
        return 0;
    const int port = text.toInt();
    return port >= 1 && port <= 65535 ? port : 0;
}

AddAccnt::AddAccnt(AppState& state, const QString& untrustedCertificate, QWidget* parent)
    : QDialog(parent), m_state(state), m_untrustedCertificate(untrustedCertificate) {
    setObjectName(QStringLiteral("AddAccnt"));
    setWindowTitle(kCaption);
    BuildControls();
    LayOutControls();
    SetTabOrder();
    Form_Load();
}

AddAccnt::~AddAccnt() {
    if (!m_unloaded)
        m_state.NoDialogOpen = true;
}

void AddAccnt::BuildControls() {
    Label1 = rightAligned(QStringLiteral("Account &Title : "), "Label1", this);
    txtTitle = textBox("txtTitle", QStringLiteral("Enter the title for this new account"), this);
    Label2 = rightAligned(QStringLiteral("Mail &Host : "), "Label2", this);
    txtHost = textBox("txtHost", QStringLiteral("Enter the mail server to use"), this);
    Label3 = rightAligned(QStringLiteral("&Username : "), "Label3", this);
    txtUser = textBox("txtUser", QStringLiteral("Enter the account user name"), this);
    Label4 = rightAligned(QStringLiteral("Pass&word : "), "Label4", this);
    txtPassword = textBox("txtPassword", QStringLiteral("Enter the account password"), this);
    txtPassword->setEchoMode(QLineEdit::Password);
    // Every character shows as "*".
    txtPassword->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    Label5 = rightAligned(QStringLiteral("&Port : "), "Label5", this);
    chkDisabled = new QCheckBox(QStringLiteral("&Disabled"), this);
    chkDisabled->setObjectName(QStringLiteral("chkDisabled"));
    chkDisabled->setToolTip(
        QStringLiteral("Check this box to disable mail check for this account"));
    txtPort = textBox("txtPort", QStringLiteral("Enter the port number used"), this);
    txtPort->setText(kDefaultPort);
    txtPort->setMaxLength(5);
    txtPort->setFixedWidth(txtPort->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);

    lblSecurity = rightAligned(QStringLiteral("Connection &security : "), "lblSecurity", this);
    cboSecurity = new QComboBox(this);
    cboSecurity->setObjectName(QStringLiteral("cboSecurity"));
    cboSecurity->setToolTip(QStringLiteral("Choose how the connection to the mail server is "
                                           "protected"));
    for (const SecurityChoice& choice : kSecurityChoices)
        cboSecurity->addItem(QLatin1String(choice.Caption), QLatin1String(choice.Stored));

    chkTrustCert = new QCheckBox(QStringLiteral("Trust this server's certificate"), this);
    chkTrustCert->setObjectName(QStringLiteral("chkTrustCert"));
    chkTrustCert->setToolTip(QStringLiteral("The last check refused this certificate because no "
                                            "authority vouches for it. Tick to accept it from now "
                                            "on; a different certificate is refused again."));
    lblCertSHA256 = new QLabel(this);
    lblCertSHA256->setObjectName(QStringLiteral("lblCertSHA256"));
    lblCertSHA256->setTextFormat(Qt::PlainText);
    lblCertSHA256->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblCertSHA256->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lblCertSHA256->setText(QStringLiteral("SHA-256:\n") + fingerprintLines(m_untrustedCertificate));

    // Settings found from the address in Username, with a line on where from.
    butFindSettings = new QPushButton(this);
    butFindSettings->setObjectName(QStringLiteral("butFindSettings"));
    lblFoundSettings = new QLabel(this);
    lblFoundSettings->setObjectName(QStringLiteral("lblFoundSettings"));
    m_settingsFinder = new AccountSettingsFinder(
        {*txtUser, *txtHost, *txtPort, *cboSecurity, *butFindSettings, *lblFoundSettings}, this);
    grpSignIn = new SignInGroup(this);
    connect(grpSignIn, &SignInGroup::MethodChanged, this, &AddAccnt::UpdateOkButton);
    connect(m_settingsFinder, &AccountSettingsFinder::SignInFound, grpSignIn,
            [this](SignInMethod method, const QString& provider) {
                grpSignIn->OfferFound(method == SignInMethod::OAuth2, provider);
            });

    ButOK = new QPushButton(QStringLiteral("&OK"), this);
    ButOK->setObjectName(QStringLiteral("ButOK"));
    ButOK->setToolTip(QStringLiteral("Click here to add this account"));
    ButOK->setDefault(true);
    ButOK->setEnabled(false);
    butCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    butCancel->setObjectName(QStringLiteral("butCancel"));
    butCancel->setToolTip(QStringLiteral("Click here to exit without saving"));
    butCancel->setAutoDefault(false);

    // The labels' access keys move the focus to their boxes.
    Label1->setBuddy(txtTitle);
    Label2->setBuddy(txtHost);
    Label3->setBuddy(txtUser);
    Label4->setBuddy(txtPassword);
    Label5->setBuddy(txtPort);
    lblSecurity->setBuddy(cboSecurity);

    for (QLineEdit* box : {txtTitle, txtHost, txtUser, txtPassword, txtPort})
        connect(box, &QLineEdit::textChanged, this, &AddAccnt::UpdateOkButton);
    connect(cboSecurity, &QComboBox::currentIndexChanged, this, &AddAccnt::cboSecurity_Click);
    connect(ButOK, &QPushButton::clicked, this, &AddAccnt::ButOK_Click);
    connect(butCancel, &QPushButton::clicked, this, &AddAccnt::butCancel_Click);
}

void AddAccnt::LayOutControls() {
    // Title and host rows with full-width boxes; the user box shorter with
    // "Disabled" beside it; the password box with the narrow port box beside
    // it; then the connection security, the certificate to trust, and the two
    // buttons side by side, OK on the left.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(txtTitle, 0, 1, 1, 3);
    grid->addWidget(Label2, 1, 0);
    auto* hostRow = new QHBoxLayout;
    hostRow->addWidget(txtHost, 1);
    hostRow->addWidget(butFindSettings);
    grid->addLayout(hostRow, 1, 1, 1, 3);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(txtUser, 2, 1);
    grid->addWidget(chkDisabled, 2, 2, 1, 2);
    grid->addWidget(Label4, 3, 0);
    grid->addWidget(txtPassword, 3, 1);
    grid->addWidget(Label5, 3, 2);
    grid->addWidget(txtPort, 3, 3);
    grid->addWidget(lblSecurity, 4, 0);
    grid->addWidget(cboSecurity, 4, 1);
    grid->addWidget(chkTrustCert, 5, 1, 1, 3);
    grid->addWidget(lblCertSHA256, 6, 1, 1, 3);
    grid->addWidget(lblFoundSettings, 7, 1, 1, 3);
    grid->addWidget(grpSignIn, 8, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    txtTitle->setMinimumWidth(txtTitle->fontMetrics().averageCharWidth() * 28);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButOK);
    buttons->addWidget(butCancel);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AddAccnt::SetTabOrder() {
    // As designed, "Disabled" comes before the port box; the security choice
    // and the certificate follow the port, before the buttons.
    QWidget* const order[] = {txtTitle,     txtHost,     butFindSettings, txtUser,
                              txtPassword,  chkDisabled, txtPort,         cboSecurity,
                              chkTrustCert, grpSignIn,   ButOK,           butCancel};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    txtTitle->setFocus();
}

void AddAccnt::Form_Load() {
    m_state.NoDialogOpen = false;
    m_loading = true;
    const bool modify =
        m_state.CurrentAccount >= 1 && m_state.CurrentAccount <= m_state.AccountCount();
    m_offerTrust = modify && !m_untrustedCertificate.isEmpty();
    chkTrustCert->setVisible(m_offerTrust);
    lblCertSHA256->setVisible(m_offerTrust);
    if (!modify) {
        m_state.CurrentAccount = 0;
        m_state.EditAccount = MailAccount();
        cboSecurity->setCurrentIndex(securityIndex(kNewAccountSecurity));
        m_loading = false;
        UpdateOkButton();
        return;
    }
    ButOK->setText(QStringLiteral("&Modify"));
    ButOK->setToolTip(QStringLiteral("Click here to apply changes"));
    m_state.EditAccount = m_state.Account(m_state.CurrentAccount);
    const MailAccount& account = m_state.EditAccount;
    txtTitle->setText(account.Title);
    txtHost->setText(account.Host);
    txtUser->setText(account.User);
    txtPassword->setText(account.Password);
    txtPort->setText(QString::number(account.Port));
    chkDisabled->setChecked(account.Disabled);
    cboSecurity->setCurrentIndex(securityIndex(account.Security));
    grpSignIn->Load(account);
    m_loading = false;
    UpdateOkButton();
}

void AddAccnt::UpdateOkButton() {
    bool complete = true;
    txtPassword->setEnabled(!grpSignIn->UsesOAuth()); // a token takes its place
    for (const QLineEdit* box : {txtTitle, txtHost, txtUser, txtPassword, txtPort}) {
        if (box != txtPassword || !grpSignIn->UsesOAuth())
            complete = complete && !box->text().isEmpty();
    }
    ButOK->setEnabled(complete);
}

void AddAccnt::cboSecurity_Click() {
    if (m_loading)
        return;
    // The usual port follows the choice; a port of the user's own stays.
    const bool implicitTls = cboSecurity->currentData().toString() == Security::Tls;
    if (implicitTls && txtPort->text() == kDefaultPort)
        txtPort->setText(kTlsPort);
    else if (!implicitTls && txtPort->text() == kTlsPort)
        txtPort->setText(kDefaultPort);
}

bool AddAccnt::TitleTakenByAnother() const {
    const QString title = txtTitle->text();
    for (int i = 1; i <= m_state.AccountCount(); ++i) {
        if (i != m_state.CurrentAccount && m_state.Account(i).Title == title)
            return true;
    }
    return false;
}

void AddAccnt::Refuse(const QString& text, const char* objectName, QLineEdit& focus) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Larkwatch"), text, QMessageBox::Ok, this);
    box.setObjectName(QLatin1String(objectName));
    box.setTextFormat(Qt::PlainText);
    box.exec();
    focus.setFocus(Qt::OtherFocusReason);
}

void AddAccnt::ButOK_Click() {
    if (!ButOK->isEnabled())
        return;
    if (TitleTakenByAnother()) {
        Refuse(QStringLiteral("Account Title already exist."), "DuplicateTitle", *txtTitle);
        return;
    }
    const int port = ParsePort(txtPort->text());
    if (port == 0) {
        Refuse(QStringLiteral("Port must be a number from 1 to 65535."), "BadPort", *txtPort);
        return;
    }

    if (grpSignIn->UsesOAuth()) {
        if (cboSecurity->currentData().toString() == Security::None) {
            Refuse(QStringLiteral("OAuth2 needs a protected connection: choose STARTTLS or "
                                  "SSL/TLS."),
                   "OAuthNeedsTls", *txtPort);
            return;
        }
        QString reason;
        if (m_state.CurrentAccount == 0 && !grpSignIn->HasToken() &&
            !grpSignIn->SignInNow(&reason)) {
            Refuse(QStringLiteral("Sign-in failed: ") + reason, "SignInFailed", *txtUser);
            return;
        }
    }

    MailAccount& edit = m_state.EditAccount;
    edit.Title = txtTitle->text();
    edit.Host = txtHost->text();
    edit.User = txtUser->text();
    edit.Password = txtPassword->text();
    edit.Port = port;
    edit.Disabled = chkDisabled->isChecked();
    edit.Security = cboSecurity->currentData().toString();
    if (m_offerTrust && chkTrustCert->isChecked())
        edit.CertSHA256 = m_untrustedCertificate;
    grpSignIn->Store(edit);
    if (const OAuthSignInResult& fresh = grpSignIn->FreshSignIn(); fresh.Ok && edit.UsesOAuth())
        KeepSignIn(m_state, edit, fresh.RefreshToken, fresh.AccessToken, fresh.ExpiresInSeconds);

    if (m_state.CurrentAccount == 0) {
        edit.NodeKey = NewAccountKey(m_state);
        m_state.Accounts.append(edit);
        m_state.CurrentAccount = m_state.AccountCount();
    } else {
        // The record keeps its own node key, copied into EditAccount on load.
        m_state.Account(m_state.CurrentAccount) = edit;
    }
    accept();
}

void AddAccnt::butCancel_Click() {
    reject();
}

void AddAccnt::reject() {
    m_state.CurrentAccount = 0;
    QDialog::reject();
}

void AddAccnt::done(int result) {
    QDialog::done(result);
    m_unloaded = true;
    m_state.NoDialogOpen = true;
}
