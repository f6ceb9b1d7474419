#include "commands/account_dialog.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "support/dialog_answerers.h"
#include "support/fail_on_warning.h"
#include "support/temp_state.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QtTest>

// The account dialog on its own: its controls, the OK button, the text box
// rules, validation, and what it writes into the account list.
class TestAccountDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void controls_data();
    void controls();
    void newDialog();
    void tabOrder_data();
    void tabOrder();
    void accessKeysFocusTheirBoxes();
    void okButtonFollowsTheFiveBoxes_data();
    void okButtonFollowsTheFiveBoxes();
    void typedLeadingBlanks_data();
    void typedLeadingBlanks();
    void titleCheck_data();
    void titleCheck();
    void portCheck_data();
    void portCheck();
    void everyCloseButOkIsCancel_data();
    void everyCloseButOkIsCancel();
    void addAppendsWithAFreshKey();
    void modifyReplacesAndKeepsTheKey();
    void modifyWithEmptyStoredPassword();
    void securityChoiceMovesTheUsualPort_data();
    void securityChoiceMovesTheUsualPort();
    void trustingARefusedCertificate_data();
    void trustingARefusedCertificate();

private:
    // Opens the dialog (add mode when position is 0) and waits until it is active.
    AddAccnt& Open(qint16 position, const QString& untrusted = QString());
    template <typename T> T* Child(const char* name) const {
        T* child = m_dialog->findChild<T*>(QLatin1String(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }
    QLineEdit* Box(const char* name) const { return Child<QLineEdit>(name); }
    void Fill(const QString& title, const QString& host = "pop.example.org",
              const QString& user = "ann", const QString& password = "pw",
              const QString& port = "110");
    QStringList FocusChain();

    std::unique_ptr<TempState> m_temp;
    std::unique_ptr<AddAccnt> m_dialog;
    AppState* m_state = nullptr;
};

static MailAccount account(const QString& title, const QString& key) {
    MailAccount a;
    a.Title = title;
    a.Host = "pop.example.org";
    a.User = "ann";
    a.Password = "pw";
    a.Port = 110;
    a.NodeKey = key;
    return a;
}

void TestAccountDialog::init() {
    FailOnUnexpectedWarnings();
    m_temp = std::make_unique<TempState>();
    m_state = m_temp->State.get();
    m_state->Accounts = {account("Home", "P11"), account("Work", "P22")};
}

void TestAccountDialog::cleanup() {
    m_dialog.reset();
    m_temp.reset();
}

AddAccnt& TestAccountDialog::Open(qint16 position, const QString& untrusted) {
    m_state->CurrentAccount = position;
    m_dialog = std::make_unique<AddAccnt>(*m_state, untrusted);
    m_dialog->show();
    if (!QTest::qWaitForWindowActive(m_dialog.get()))
        qWarning("the dialog did not become active");
    return *m_dialog;
}

void TestAccountDialog::Fill(const QString& title, const QString& host, const QString& user,
                             const QString& password, const QString& port) {
    Box("txtTitle")->setText(title);
    Box("txtHost")->setText(host);
    Box("txtUser")->setText(user);
    Box("txtPassword")->setText(password);
    Box("txtPort")->setText(port);
}

QStringList TestAccountDialog::FocusChain() {
    QStringList names;
    Box("txtTitle")->setFocus(Qt::OtherFocusReason);
    for (int i = 0; i < 12; ++i) {
        names.append(QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                                 : QString("(none)"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() && QApplication::focusWidget()->objectName() == "txtTitle")
            break;
    }
    return names;
}

void TestAccountDialog::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    QTest::newRow("Label1") << "Label1"
                            << "Account &Title : "
                            << "";
    QTest::newRow("txtTitle") << "txtTitle"
                              << ""
                              << "Enter the title for this new account";
    QTest::newRow("Label2") << "Label2"
                            << "Mail &Host : "
                            << "";
    QTest::newRow("txtHost") << "txtHost"
                             << ""
                             << "Enter the mail server to use";
    QTest::newRow("Label3") << "Label3"
                            << "&Username : "
                            << "";
    QTest::newRow("txtUser") << "txtUser"
                             << ""
                             << "Enter the account user name";
    QTest::newRow("Label4") << "Label4"
                            << "Pass&word : "
                            << "";
    QTest::newRow("txtPassword") << "txtPassword"
                                 << ""
                                 << "Enter the account password";
    QTest::newRow("Label5") << "Label5"
                            << "&Port : "
                            << "";
    QTest::newRow("chkDisabled") << "chkDisabled"
                                 << "&Disabled"
                                 << "Check this box to disable mail check for this account";
    QTest::newRow("txtPort") << "txtPort"
                             << "110"
                             << "Enter the port number used";
    QTest::newRow("lblSecurity") << "lblSecurity"
                                 << "Connection &security : "
                                 << "";
    QTest::newRow("ButOK") << "ButOK"
                           << "&OK"
                           << "Click here to add this account";
    QTest::newRow("butCancel") << "butCancel"
                               << "&Cancel"
                               << "Click here to exit without saving";
}

void TestAccountDialog::controls() {
    QFETCH(QString, name);
    Open(0);
    QCOMPARE(m_dialog->windowTitle(), QString("Larkwatch --- Add New e-mail Account"));
    QWidget* control = m_dialog->findChild<QWidget*>(name);
    QVERIFY(control);
    QTEST(control->toolTip(), "toolTip");
    QString caption;
    if (auto* label = qobject_cast<QLabel*>(control)) {
        caption = label->text();
        QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        caption = button->text();
    } else if (auto* box = qobject_cast<QLineEdit*>(control)) {
        caption = box->text();
    }
    QTEST(caption, "caption");
}

void TestAccountDialog::newDialog() {
    QVERIFY(m_state->NoDialogOpen);
    Open(0);
    QVERIFY(!m_state->NoDialogOpen);
    QCOMPARE(Box("txtPort")->text(), QString("110"));
    QVERIFY(!Child<QCheckBox>("chkDisabled")->isChecked());
    QVERIFY(!Child<QPushButton>("ButOK")->isEnabled());
    QVERIFY(Child<QPushButton>("ButOK")->isDefault());
    QCOMPARE(Child<QComboBox>("cboSecurity")->currentText(), QString("STARTTLS"));
    QVERIFY(!Child<QCheckBox>("chkTrustCert")->isVisible());
    QCOMPARE(QApplication::focusWidget(), Box("txtTitle"));
    // Every character of the password shows as "*".
    QLineEdit* password = Box("txtPassword");
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QCOMPARE(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password),
             int('*'));
    // Typing the four other boxes enables OK; Enter then adds.
    QTest::keyClicks(Box("txtTitle"), "Mail");
    QTest::keyClicks(Box("txtHost"), "pop.example.org");
    QTest::keyClicks(Box("txtUser"), "ann");
    QVERIFY(!Child<QPushButton>("ButOK")->isEnabled());
    QTest::keyClicks(Box("txtPassword"), "s3cret");
    QVERIFY(Child<QPushButton>("ButOK")->isEnabled());
    QTest::keyClick(Box("txtPassword"), Qt::Key_Return);
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    QVERIFY(m_state->NoDialogOpen);
    QCOMPARE(m_state->AccountCount(), 3);
    QCOMPARE(m_state->Account(3).Password, QString("s3cret"));
}

void TestAccountDialog::tabOrder_data() {
    QTest::addColumn<bool>("offerTrust");
    QTest::addColumn<QStringList>("expected");
    // "Find settings" sits beside Mail Host and follows it.
    const QStringList designed = {"txtTitle",    "txtHost",     "butFindSettings", "txtUser",
                                  "txtPassword", "chkDisabled", "txtPort",         "cboSecurity"};
    QTest::newRow("add") << false << designed + QStringList{"cboSignIn", "ButOK", "butCancel"};
    QTest::newRow("modify, refused certificate")
        << true << designed + QStringList{"chkTrustCert", "cboSignIn", "ButOK", "butCancel"};
}

void TestAccountDialog::tabOrder() {
    QFETCH(bool, offerTrust);
    Open(offerTrust ? 1 : 0, offerTrust ? QString("AB:CD") : QString());
    Fill("Mail");
    QTEST(FocusChain(), "expected");
    // Tabbing into a box selects its text, so typing replaces it.
    QCOMPARE(Box("txtTitle")->selectedText(), QString("Mail"));
}

void TestAccountDialog::accessKeysFocusTheirBoxes() {
    Open(0);
    const QList<QPair<Qt::Key, QString>> keys = {
        {Qt::Key_H, "txtHost"}, {Qt::Key_U, "txtUser"},  {Qt::Key_W, "txtPassword"},
        {Qt::Key_P, "txtPort"}, {Qt::Key_T, "txtTitle"}, {Qt::Key_S, "cboSecurity"},
    };
    for (const auto& [key, box] : keys) {
        QTest::keyClick(m_dialog.get(), key, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), box);
    }
}

void TestAccountDialog::okButtonFollowsTheFiveBoxes_data() {
    QTest::addColumn<QStringList>("texts"); // title, host, user, password, port
    QTest::addColumn<bool>("enabled");
    QTest::newRow("all five") << QStringList{"T", "h", "u", "p", "110"} << true;
    QTest::newRow("blanks count") << QStringList{" ", " ", " ", " ", " "} << true;
    QTest::newRow("no title") << QStringList{"", "h", "u", "p", "110"} << false;
    QTest::newRow("no host") << QStringList{"T", "", "u", "p", "110"} << false;
    QTest::newRow("no user") << QStringList{"T", "h", "", "p", "110"} << false;
    QTest::newRow("no password") << QStringList{"T", "h", "u", "", "110"} << false;
    QTest::newRow("port cleared") << QStringList{"T", "h", "u", "p", ""} << false;
}

void TestAccountDialog::okButtonFollowsTheFiveBoxes() {
    QFETCH(QStringList, texts);
    Open(0);
    Fill(texts[0], texts[1], texts[2], texts[3], texts[4]);
    QTEST(Child<QPushButton>("ButOK")->isEnabled(), "enabled");
    Child<QCheckBox>("chkDisabled")->setChecked(true); // plays no part
    QTEST(Child<QPushButton>("ButOK")->isEnabled(), "enabled");
    if (!Child<QPushButton>("ButOK")->isEnabled()) {
        // Enter with OK disabled does nothing.
        QTest::keyClick(Box("txtTitle"), Qt::Key_Return);
        QVERIFY(m_dialog->isVisible());
    }
}

void TestAccountDialog::typedLeadingBlanks_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("before"); // set by code, as a paste would
    QTest::addColumn<int>("caret");      // -1: the box is tabbed into
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("after");
    QTest::newRow("first blank refused") << "txtTitle"
                                         << "" << 0 << " a"
                                         << "a";
    QTest::newRow("blank after a letter") << "txtTitle"
                                          << "" << 0 << "a b"
                                          << "a b";
    QTest::newRow("after pasted blanks") << "txtTitle"
                                         << "  " << 2 << " "
                                         << "  ";
    QTest::newRow("between letters") << "txtTitle"
                                     << "ab" << 1 << " "
                                     << "a b";
    QTest::newRow("tabbed into: all selected") << "txtTitle"
                                               << "abc" << -1 << " x"
                                               << "x";
    QTest::newRow("host") << "txtHost"
                          << "" << 0 << " h"
                          << "h";
    QTest::newRow("user") << "txtUser"
                          << "" << 0 << " u"
                          << "u";
    QTest::newRow("password") << "txtPassword"
                              << "" << 0 << " p q"
                              << "p q";
    QTest::newRow("port") << "txtPort"
                          << "" << 0 << " 1"
                          << "1";
}

void TestAccountDialog::typedLeadingBlanks() {
    QFETCH(QString, box);
    QFETCH(QString, before);
    QFETCH(int, caret);
    QFETCH(QString, typed);
    Open(0);
    QLineEdit* target = m_dialog->findChild<QLineEdit*>(box);
    target->setText(before);
    if (caret < 0) {
        Box("txtTitle")->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(Box("txtTitle"), Qt::Key_Tab, Qt::ShiftModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), target);
    } else {
        target->setFocus(Qt::OtherFocusReason);
        target->setCursorPosition(caret);
    }
    QTest::keyClicks(target, typed);
    QTEST(target->text(), "after");
}

void TestAccountDialog::titleCheck_data() {
    QTest::addColumn<int>("position"); // 0 adds
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("refused");
    QTest::newRow("add: the same as another") << 0 << "Home" << true;
    QTest::newRow("add: another letter case") << 0 << "home" << false;
    QTest::newRow("add: trailing blank") << 0 << "Home " << false;
    QTest::newRow("modify: its own title") << 2 << "Work" << false;
    QTest::newRow("modify: another's title") << 2 << "Home" << true;
}

void TestAccountDialog::titleCheck() {
    QFETCH(int, position);
    QFETCH(QString, title);
    QFETCH(bool, refused);
    const QList<MailAccount> before = m_state->Accounts;
    Open(qint16(position));
    Fill(title);
    Box("txtUser")->setFocus();
    {
        MessageBoxAnswerer boxes;
        if (refused)
            boxes.Answer(QMessageBox::Ok);
        Child<QPushButton>("ButOK")->click();
        if (refused) {
            QCOMPARE(boxes.Answered().size(), 1);
            const MessageBoxAnswerer::Box& box = boxes.Answered().first();
            QCOMPARE(box.Text, QString("Account Title already exist."));
            QCOMPARE(box.Title, QString("Larkwatch"));
            QCOMPARE(box.Icon, QMessageBox::NoIcon);
            QCOMPARE(box.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        }
    }
    QCOMPARE(m_dialog->isVisible(), refused);
    if (refused) {
        // The box to fix holds the dialog's focus.
        QCOMPARE(m_dialog->focusWidget(), Box("txtTitle"));
        QCOMPARE(m_state->Accounts, before);
        QCOMPARE(m_state->CurrentAccount, qint16(position));
    } else {
        QCOMPARE(m_state->Account(m_state->CurrentAccount).Title, title);
    }
}

void TestAccountDialog::portCheck_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("stored"); // 0: refused
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("65536") << "65536" << 0;
    QTest::newRow("not a number") << "pop" << 0;
    QTest::newRow("with a sign") << "+110" << 0;
    QTest::newRow("negative") << "-1" << 0;
    QTest::newRow("with a blank") << "110 " << 0;
    QTest::newRow("beyond 32 bits") << "99999999999" << 0;
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("65535") << "65535" << 65535;
    QTest::newRow("leading zero") << "0995" << 995;
}

void TestAccountDialog::portCheck() {
    QFETCH(QString, port);
    QFETCH(int, stored);
    Open(0);
    Fill("Mail", "h", "u", "p", port);
    Box("txtTitle")->setFocus();
    {
        MessageBoxAnswerer boxes;
        if (stored == 0)
            boxes.Answer(QMessageBox::Ok);
        Child<QPushButton>("ButOK")->click();
        if (stored == 0)
            QCOMPARE(boxes.Answered().value(0).Text,
                     QString("Port must be a number from 1 to 65535."));
    }
    if (stored == 0) {
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(m_dialog->focusWidget(), Box("txtPort"));
        QCOMPARE(m_state->AccountCount(), 2);
        QCOMPARE(m_state->CurrentAccount, qint16(0));
    } else {
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_state->Account(3).Port, stored);
    }
}

void TestAccountDialog::everyCloseButOkIsCancel_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("Esc") << "escape";
    QTest::newRow("close box") << "close";
}

void TestAccountDialog::everyCloseButOkIsCancel() {
    QFETCH(QString, how);
    const QList<MailAccount> before = m_state->Accounts;
    Open(2);
    Box("txtTitle")->setText("Changed");
    Child<QCheckBox>("chkDisabled")->setChecked(true);
    if (how == "cancel")
        Child<QPushButton>("butCancel")->click();
    else if (how == "escape")
        QTest::keyClick(Box("txtTitle"), Qt::Key_Escape);
    else
        m_dialog->close();
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_state->CurrentAccount, qint16(0));
    QCOMPARE(m_state->Accounts, before);
    QVERIFY(m_state->NoDialogOpen);
}

void TestAccountDialog::addAppendsWithAFreshKey() {
    m_state->EditAccount = account("Left over", "P99"); // from an earlier modify
    m_state->EditAccount.CertSHA256 = "AA:BB";
    Open(0);
    Fill("Mail", "pop.mail.example", "bob", "p;w=1", "995");
    Child<QCheckBox>("chkDisabled")->setChecked(true);
    Child<QPushButton>("ButOK")->click();
    QCOMPARE(m_state->AccountCount(), 3);
    QCOMPARE(m_state->CurrentAccount, qint16(3));
    const MailAccount& added = m_state->Account(3);
    QCOMPARE(added, m_state->EditAccount);
    QCOMPARE(added.Title, QString("Mail"));
    QCOMPARE(added.Host, QString("pop.mail.example"));
    QCOMPARE(added.User, QString("bob"));
    QCOMPARE(added.Password, QString("p;w=1"));
    QCOMPARE(added.Port, 995);
    QVERIFY(added.Disabled);
    QCOMPARE(added.Security, QString("STARTTLS"));
    QCOMPARE(added.CertSHA256, QString());
    QVERIFY(added.NodeKey.startsWith('P'));
    QVERIFY(added.NodeKey != "P11" && added.NodeKey != "P22");
    QCOMPARE(m_state->Account(1).Title, QString("Home")); // the others stay
}

void TestAccountDialog::modifyReplacesAndKeepsTheKey() {
    m_state->Account(2).Security = "TLS";
    m_state->Account(2).Port = 995;
    m_state->Account(2).Disabled = true;
    Open(2);
    QCOMPARE(Child<QPushButton>("ButOK")->text(), QString("&Modify"));
    QCOMPARE(Child<QPushButton>("ButOK")->toolTip(), QString("Click here to apply changes"));
    QCOMPARE(m_dialog->windowTitle(), QString("Larkwatch --- Add New e-mail Account"));
    // Filled from the record; loading moved no port.
    QCOMPARE(Box("txtTitle")->text(), QString("Work"));
    QCOMPARE(Box("txtPassword")->text(), QString("pw"));
    QCOMPARE(Box("txtPort")->text(), QString("995"));
    QCOMPARE(Child<QComboBox>("cboSecurity")->currentText(), QString("SSL/TLS"));
    QVERIFY(Child<QCheckBox>("chkDisabled")->isChecked());
    QVERIFY(Child<QPushButton>("ButOK")->isEnabled());

    Box("txtHost")->setText("pop.work.example");
    Child<QCheckBox>("chkDisabled")->setChecked(false);
    Child<QPushButton>("ButOK")->click();
    QCOMPARE(m_state->CurrentAccount, qint16(2));
    QCOMPARE(m_state->AccountCount(), 2);
    const MailAccount& changed = m_state->Account(2);
    QCOMPARE(changed.NodeKey, QString("P22"));
    QCOMPARE(changed.Host, QString("pop.work.example"));
    QVERIFY(!changed.Disabled);
    QCOMPARE(changed.Security, QString("TLS"));
}

void TestAccountDialog::modifyWithEmptyStoredPassword() {
    m_state->Account(1).Password.clear();
    Open(1);
    QVERIFY(!Child<QPushButton>("ButOK")->isEnabled());
    QTest::keyClicks(Box("txtPassword"), "new");
    QVERIFY(Child<QPushButton>("ButOK")->isEnabled());
}

void TestAccountDialog::securityChoiceMovesTheUsualPort_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("portAfter");
    QTest::addColumn<QString>("stored");
    QTest::newRow("SSL/TLS from 110") << "110"
                                      << "SSL/TLS"
                                      << "995"
                                      << "TLS";
    QTest::newRow("None from 995") << "995"
                                   << "None"
                                   << "110"
                                   << "None";
    QTest::newRow("STARTTLS from 995") << "995"
                                       << "STARTTLS"
                                       << "110"
                                       << "STARTTLS";
    QTest::newRow("SSL/TLS, own port") << "2110"
                                       << "SSL/TLS"
                                       << "2110"
                                       << "TLS";
    QTest::newRow("None, own port") << "1995"
                                    << "None"
                                    << "1995"
                                    << "None";
}

void TestAccountDialog::securityChoiceMovesTheUsualPort() {
    QFETCH(QString, port);
    QFETCH(QString, choice);
    Open(0);
    Fill("Mail", "h", "u", "p", port);
    if (port == "995") // reach 995 the way a user does
        Child<QComboBox>("cboSecurity")->setCurrentText("SSL/TLS");
    QComboBox* security = Child<QComboBox>("cboSecurity");
    security->setFocus();
    // Choose with the keyboard, as a user would.
    const int wanted = security->findText(choice);
    while (security->currentIndex() != wanted)
        QTest::keyClick(security, security->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
    QTEST(Box("txtPort")->text(), "portAfter");
    Child<QPushButton>("ButOK")->click();
    QTEST(m_state->Account(3).Security, "stored");
}

void TestAccountDialog::trustingARefusedCertificate_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("untrusted");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("stored");
    const QString fingerprint = "0A:1B:2C:3D:4E:5F:60:71:82:93:A4:B5:C6:D7:E8:F9:"
                                "0A:1B:2C:3D:4E:5F:60:71:82:93:A4:B5:C6:D7:E8:F9";
    QTest::newRow("ticked") << 1 << fingerprint << true << true << fingerprint;
    QTest::newRow("left unticked") << 1 << fingerprint << false << true << "OLD";
    QTest::newRow("nothing refused") << 1 << "" << false << false << "OLD";
    QTest::newRow("add mode") << 0 << fingerprint << false << false << "";
}

void TestAccountDialog::trustingARefusedCertificate() {
    QFETCH(int, position);
    QFETCH(QString, untrusted);
    QFETCH(bool, tick);
    QFETCH(bool, shown);
    m_state->Account(1).CertSHA256 = "OLD";
    Open(qint16(position), untrusted);
    if (position == 0)
        Fill("Mail");
    QCheckBox* trust = Child<QCheckBox>("chkTrustCert");
    QCOMPARE(trust->isVisible(), shown);
    QCOMPARE(trust->text(), QString("Trust this server's certificate"));
    QLabel* fingerprint = Child<QLabel>("lblCertSHA256");
    QCOMPARE(fingerprint->isVisible(), shown);
    if (shown) {
        QCOMPARE(fingerprint->textFormat(), Qt::PlainText);
        QCOMPARE(fingerprint->text().remove('\n').remove("SHA-256:").remove(':'),
                 QString(untrusted).remove(':'));
    }
    if (tick)
        QTest::mouseClick(trust, Qt::LeftButton);
    Child<QPushButton>("ButOK")->click();
    QTEST(m_state->Account(m_state->CurrentAccount).CertSHA256, "stored");
}

QTEST_MAIN(TestAccountDialog)
#include "test_account_dialog.moc"
