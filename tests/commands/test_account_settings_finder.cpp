#include "command_rig.h"
#include "commands/account_settings_finder.h"
#include "support/fake_srv_answerer.h"
#include "support/https_test_server.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <functional>

// Settings found from the address in the account dialog of the real window:
// what fills the fields, what is left as the user typed it, the line under
// the fields, and a look-up dropped or stopped.
class TestAccountSettingsFinder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void fillsWhatTheUserLeftOpen_data();
    void fillsWhatTheUserLeftOpen();
    void typingIntoMailHostDropsTheLookUp();
    void stopButtonStopsTheLookUp();
};

namespace {

const QString kGmailHint =
    "From the provider's settings\nGmail: switch POP on in Gmail's settings (Forwarding and "
    "POP/IMAP) first; sign in with an app password (needs 2-Step Verification) or OAuth2.";

QLineEdit* box(QWidget* dialog, const char* name) {
    return dialog->findChild<QLineEdit*>(QLatin1String(name));
}
QPushButton* findButton(QWidget* dialog) {
    return dialog->findChild<QPushButton*>(QStringLiteral("butFindSettings"));
}
QLabel* hintLine(QWidget* dialog) {
    return dialog->findChild<QLabel*>(QStringLiteral("lblFoundSettings"));
}

// The dialog made the active window, as the user sees it, and its network
// steps on loopback: the published configuration from `https`, no SRV
// records, no guessed server answering.
void prepare(QWidget* dialog, const HttpsTestServer& https) {
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    auto* finder = dialog->findChild<AccountSettingsFinder*>(QStringLiteral("SettingsFinder"));
    LookupTargets targets;
    targets.AutoconfigUrlBase = https.Base();
    targets.TrustedCas = {https.Certificate()};
    targets.Srv = std::make_shared<FakeSrvAnswerer>();
    targets.Guess.Addresses.insert("nothing.invalid", "127.0.0.1");
    targets.StepTimeoutMs = 20000;
    finder->Lookup().SetTargets(targets);
}

// "Add New e-mail Account" opened from the real window's menu, its look-up
// on `https`: `steps` run in it, then Cancel.
void inAddDialog(const HttpsTestServer& https, const std::function<void(QWidget*)>& steps) {
    CommandRig rig;
    MainWindow& window = rig.Start();
    AnswerNextModal dialog(
        "AddAccnt",
        [&](QWidget* d) {
            prepare(d, https);
            steps(d);
            d->findChild<QPushButton*>("butCancel")->click();
        },
        kDialogWaitMs);
    window.Menus().Action("mnuNewAccount")->trigger();
    QVERIFY(dialog.Answered());
}

} // namespace

void TestAccountSettingsFinder::fillsWhatTheUserLeftOpen_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("typedHost");
    QTest::addColumn<QString>("typedPort");
    QTest::addColumn<bool>("pressFind"); // else leave Username
    QTest::addColumn<QString>("fields"); // host, port, security as shown
    QTest::addColumn<QString>("hint");   // empty: no line shown
    QTest::addColumn<QString>("signIn"); // method and provider; empty: not looked at

    QTest::newRow("gmail, leaving Username")
        << "someone@gmail.com"
        << ""
        << "" << false << "pop.gmail.com 995 SSL/TLS" << kGmailHint << "Password Google";
    QTest::newRow("published configuration, Find settings")
        << "ann@example.org"
        << ""
        << "" << true << "pop.example.org 110 STARTTLS"
        << "From the provider's settings\nUser name: ann"
        << "";
    QTest::newRow("the user's host stays, and nothing goes beside it")
        << "someone@gmail.com"
        << "mail.mine.org"
        << "" << true << "mail.mine.org 110 STARTTLS" << kGmailHint << "";
    QTest::newRow("leaving Username with a host: no look-up")
        << "someone@gmail.com"
        << "mail.mine.org"
        << "" << false << "mail.mine.org 110 STARTTLS"
        << ""
        << "";
    QTest::newRow("the user's port stays")
        << "someone@gmail.com"
        << ""
        << "1995" << false << "pop.gmail.com 1995 SSL/TLS" << kGmailHint << "";
    QTest::newRow("iCloud: no POP3")
        << "someone@icloud.com"
        << ""
        << "" << true << " 110 STARTTLS"
        << "iCloud Mail offers no POP3, only IMAP: Larkwatch cannot watch it."
        << "";
    QTest::newRow("no address") << "someone"
                                << ""
                                << "" << true << " 110 STARTTLS"
                                << ""
                                << "";
    QTest::newRow("two @") << "a@b@gmail.com"
                           << ""
                           << "" << false << " 110 STARTTLS"
                           << ""
                           << "";
    QTest::newRow("outlook.com: OAuth2 with Microsoft")
        << "someone@outlook.com"
        << ""
        << "" << false << "outlook.office365.com 995 SSL/TLS"
        << "From the provider's settings\nOutlook.com: switch POP on in Outlook.com's settings "
           "(Forwarding and IMAP) first; it takes OAuth2 only, no password.\nSign-in: OAuth2 "
           "(Microsoft)"
        << "OAuth2 Microsoft";
}

void TestAccountSettingsFinder::fillsWhatTheUserLeftOpen() {
    QFETCH(QString, user);
    QFETCH(QString, typedHost);
    QFETCH(QString, typedPort);
    QFETCH(bool, pressFind);
    QFETCH(QString, fields);
    QFETCH(QString, hint);
    QFETCH(QString, signIn);
    HttpsTestServer https;
    https.Listen();
    https.Documents.insert(
        "/autoconfig.example.org/mail/config-v1.1.xml",
        "<clientConfig><emailProvider id=\"example.org\"><incomingServer type=\"pop3\">"
        "<hostname>pop.example.org</hostname><port>110</port><socketType>STARTTLS</socketType>"
        "<username>%EMAILLOCALPART%</username></incomingServer></emailProvider></clientConfig>");
    inAddDialog(https, [&](QWidget* d) {
        if (!typedHost.isEmpty())
            TypeInto(d, "txtHost", typedHost);
        if (!typedPort.isEmpty())
            TypeInto(d, "txtPort", typedPort);
        TypeInto(d, "txtUser", user);
        if (pressFind)
            QTest::mouseClick(findButton(d), Qt::LeftButton);
        else
            QTest::keyClick(box(d, "txtUser"), Qt::Key_Tab);
        QTRY_COMPARE_WITH_TIMEOUT(findButton(d)->text(), QString("&Find settings"), kDialogWaitMs);
        QCOMPARE(hintLine(d)->isVisible(), !hint.isEmpty());
        QCOMPARE(hintLine(d)->text(), hint);
        const QString shown = box(d, "txtHost")->text() + ' ' + box(d, "txtPort")->text() + ' ' +
                              d->findChild<QComboBox*>("cboSecurity")->currentText();
        QCOMPARE(shown, fields);
        QCOMPARE(box(d, "txtUser")->text(), user); // what the user typed stays
        if (!signIn.isEmpty())
            QCOMPARE(d->findChild<QComboBox*>("cboSignIn")->currentText() + ' ' +
                         d->findChild<QComboBox*>("cboProvider")->currentText(),
                     signIn);
        // The line is shown whole, the dialog grown around it.
        QVERIFY(hintLine(d)->height() >= hintLine(d)->heightForWidth(hintLine(d)->width()));
        QVERIFY(d->rect().contains(hintLine(d)->geometry()));
    });
}

void TestAccountSettingsFinder::typingIntoMailHostDropsTheLookUp() {
    HttpsTestServer https;
    https.Listen();
    https.Silent = true;
    inAddDialog(https, [&](QWidget* d) {
        TypeInto(d, "txtUser", "ann@example.org");
        QTest::keyClick(box(d, "txtUser"), Qt::Key_Tab);
        QCOMPARE(hintLine(d)->text(), QString("Looking up the settings for example.org..."));
        QCOMPARE(findButton(d)->text(), QString("Stop"));
        QTRY_COMPARE_WITH_TIMEOUT(https.Requested.size(), 1, kDialogWaitMs);
        TypeInto(d, "txtHost", "m");
        QVERIFY(!hintLine(d)->isVisible());
        QCOMPARE(findButton(d)->text(), QString("&Find settings"));
        QTRY_COMPARE_WITH_TIMEOUT(https.ConnectionsClosed, 1, kDialogWaitMs);
        QCOMPARE(box(d, "txtHost")->text(), QString("m"));
    });
}

void TestAccountSettingsFinder::stopButtonStopsTheLookUp() {
    HttpsTestServer https;
    https.Listen();
    https.Silent = true;
    inAddDialog(https, [&](QWidget* d) {
        TypeInto(d, "txtUser", "ann@example.org");
        QTest::mouseClick(findButton(d), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(https.Requested.size(), 1, kDialogWaitMs);
        QTest::mouseClick(findButton(d), Qt::LeftButton);
        QVERIFY(!hintLine(d)->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(https.ConnectionsClosed, 1, kDialogWaitMs);
        QCOMPARE(box(d, "txtHost")->text(), QString());
    });
}

QTEST_MAIN(TestAccountSettingsFinder)
#include "test_account_settings_finder.moc"
