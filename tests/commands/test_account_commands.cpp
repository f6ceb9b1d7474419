#include "command_rig.h"
#include "engine/mail_engine.h"
#include "records/settings_store.h"
#include "tree/node_texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// Add, modify and delete account through the menus of the real window: the
// account list, the settings file and the tree kept in step, and the check of
// a new or changed account at once.
class TestAccountCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void addChecksTheNewAccountAtOnce();
    void addDisabledRunsNoCheck();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void modifyFromAMessageNode();
    void modifyBetweenDisabledAndEnabled_data();
    void modifyBetweenDisabledAndEnabled();
    void deleteTheFirstOfThree();
    void deleteTheOnlyAccount();
    void deleteTheAccountReachedWithTheKeyboard();
    void trustTheServersCertificate_data();
    void trustTheServersCertificate();
};

namespace {

// Fills the account dialog's five boxes as typed.
void clickOk(QWidget* dialog) {
    dialog->findChild<QPushButton*>(QStringLiteral("ButOK"))->click();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void TestAccountCommands::addChecksTheNewAccountAtOnce() {
    CommandRig rig;
    rig.AddMail(1);
    rig.AddMail(2);
    rig.Server.Password = "p;w =1";
    MainWindow& window = rig.Start();
    const QString port = QString::number(rig.Server.Port());
    {
        AnswerNextModal dialog(
            "AddAccnt",
            [&](QWidget* d) {
                QCOMPARE(d->parentWidget(), &window);
                QVERIFY(d->isModal());
                QVERIFY(!window.PoolingEvent().isActive());
                TypeInto(d, "txtTitle", "Home");
                TypeInto(d, "txtHost", "127.0.0.1");
                TypeInto(d, "txtUser", "ann");
                TypeInto(d, "txtPassword", "p;w =1");
                d->findChild<QComboBox*>("cboSecurity")->setCurrentText("None");
                TypeInto(d, "txtPort", port);
                clickOk(d);
            },
            kDialogWaitMs);
        rig.Action("mnuNewAccount")->trigger();
    }
    // The list, the settings file and the tree agree.
    QCOMPARE(rig.State().AccountCount(), 1);
    const MailAccount added = rig.State().Account(1);
    auto reopened = rig.Temp.Reopen();
    LoadAccounts(*reopened);
    QCOMPARE(reopened->AccountCount(), 1);
    MailAccount stored = reopened->Account(1);
    stored.NodeKey = added.NodeKey; // drawn anew at every load
    QCOMPARE(stored, added);
    QCOMPARE(added.Password, QString("p;w =1"));
    QCOMPARE(added.Security, QString("None"));
    // Checked at once.
    const QString key = added.NodeKey;
    QVERIFY2(rig.Tree().Text(key).startsWith("Home --- 2 messages --- Totaling "),
             qPrintable(rig.Tree().Text(key)));
    QCOMPARE(rig.Tree().ChildKeys(key).size(), 2);
    QVERIFY(rig.Tree()
                .Text(rig.Child(1, 0))
                .endsWith("Subject : Mail 1 --- From : Sender 1 <s@example.org>"));
    // Acknowledged after the check, the selection cleared, the countdown on.
    QCOMPARE(rig.State().AcknowledgedHeaders.Size(), 2);
    QCOMPARE(rig.State().NewMailCount, qint16(0));
    QCOMPARE(rig.Tree().DropHighlight(), QString());
    QVERIFY(window.PoolingEvent().isActive());
    QVERIFY(window.AccountsMenuEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestAccountCommands::addDisabledRunsNoCheck() {
    CommandRig rig;
    rig.AddMail(1);
    rig.Start({rig.Account("Home")});
    {
        AnswerNextModal dialog(
            "AddAccnt",
            [&](QWidget* d) {
                TypeInto(d, "txtTitle", "Work");
                TypeInto(d, "txtHost", "127.0.0.1");
                TypeInto(d, "txtUser", "ann");
                TypeInto(d, "txtPassword", "secret");
                QTest::mouseClick(d->findChild<QCheckBox*>("chkDisabled"), Qt::LeftButton);
                clickOk(d);
            },
            kDialogWaitMs);
        rig.Action("mnuNewAccount")->trigger();
    }
    QCOMPARE(rig.State().AccountCount(), 2);
    const QString key = rig.Key(2);
    QCOMPARE(rig.Tree().Text(key), QString("Work--- Disabled."));
    QCOMPARE(rig.Tree().Image(key), QString("Closed"));
    QCOMPARE(rig.Tree().Keys(), QStringList({rig.Key(1), key}));
    QCOMPARE(rig.Server.Transcript, QStringList());
    QCOMPARE(rig.State().Store.ReadSetting("Accounts", "Disabled2", ""), QString("True"));
}

void TestAccountCommands::cancelChangesNothing_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("suspended");
    QTest::newRow("add") << "mnuNewAccount" << false;
    QTest::newRow("modify") << "mnuModifyAccount" << false;
    QTest::newRow("add, suspended") << "mnuNewAccount" << true;
    QTest::newRow("modify, suspended") << "mnuModifyAccount" << true;
}

void TestAccountCommands::cancelChangesNothing() {
    QFETCH(QString, command);
    QFETCH(bool, suspended);
    CommandRig rig;
    MainWindow& window = rig.Start({rig.Account("Home"), rig.Account("Work")});
    if (suspended)
        rig.Action("mnuSuspend")->trigger();
    rig.Click(rig.Key(2));
    const QByteArray settings = fileBytes(rig.State().Paths.SettingsFile);
    const QList<MailAccount> accounts = rig.State().Accounts;
    const QStringList texts = {rig.Tree().Text(rig.Key(1)), rig.Tree().Text(rig.Key(2))};
    {
        AnswerNextModal dialog(
            "AddAccnt",
            [&](QWidget* d) {
                TypeInto(d, "txtTitle", "Other");
                TypeInto(d, "txtHost", "h");
                TypeInto(d, "txtUser", "u");
                TypeInto(d, "txtPassword", "p");
                d->close(); // the close box
            },
            kDialogWaitMs);
        rig.Action(qPrintable(command))->trigger();
    }
    QCOMPARE(rig.State().CurrentAccount, qint16(0));
    QCOMPARE(rig.State().Accounts, accounts);
    QCOMPARE(fileBytes(rig.State().Paths.SettingsFile), settings);
    QCOMPARE(QStringList({rig.Tree().Text(rig.Key(1)), rig.Tree().Text(rig.Key(2))}), texts);
    QCOMPARE(rig.Tree().NodeCount(), 2);
    QCOMPARE(window.PoolingEvent().isActive(), !suspended);
    QCOMPARE(rig.Server.Transcript, QStringList());
}

void TestAccountCommands::modifyFromAMessageNode() {
    CommandRig rig;
    rig.AddMail(1);
    rig.AddMail(2);
    MainWindow& window = rig.Start({rig.Account("Home"), rig.Account("Work")});
    rig.UpdateNow();
    const QStringList before = rig.Tree().ChildKeys(rig.Key(2));
    QCOMPARE(before.size(), 2);
    rig.Click(before[1]);
    QVERIFY(rig.State().CurrentMessage != 0);
    QVERIFY(rig.Action("mnuViewMessage")->isEnabled());
    {
        AnswerNextModal dialog(
            "AddAccnt",
            [&](QWidget* d) {
                // The message's account, now selected in place of the message.
                QCOMPARE(d->findChild<QLineEdit*>("txtTitle")->text(), QString("Work"));
                QCOMPARE(rig.Tree().DropHighlight(), rig.Key(2));
                QCOMPARE(rig.State().CurrentMessage, qint16(0));
                QVERIFY(!rig.Action("mnuViewMessage")->isEnabled());
                TypeInto(d, "txtTitle", "Office");
                clickOk(d);
            },
            kDialogWaitMs);
        rig.Action("mnuModifyAccount")->trigger();
    }
    QCOMPARE(rig.State().Account(2).Title, QString("Office"));
    QCOMPARE(rig.State().Store.ReadSetting("Accounts", "Title2", ""), QString("Office"));
    const QString key = rig.Key(2);
    QVERIFY2(rig.Tree().Text(key).startsWith("Office --- 2 messages --- Totaling "),
             qPrintable(rig.Tree().Text(key)));
    // The old message nodes went; the check listed the messages anew.
    const QStringList after = rig.Tree().ChildKeys(key);
    QCOMPARE(after.size(), 2);
    for (const QString& old : before)
        QVERIFY(!rig.Tree().HasNode(old));
    QCOMPARE(rig.ChildTexts(1).size(), 2); // the other account is untouched
    QVERIFY(window.PoolingEvent().isActive());
    QCOMPARE(rig.Tree().DropHighlight(), QString());
}

void TestAccountCommands::modifyBetweenDisabledAndEnabled_data() {
    QTest::addColumn<bool>("disabledBefore");
    QTest::newRow("disabled to enabled") << true;
    QTest::newRow("enabled to disabled") << false;
}

void TestAccountCommands::modifyBetweenDisabledAndEnabled() {
    QFETCH(bool, disabledBefore);
    CommandRig rig;
    rig.AddMail(1);
    MailAccount home = rig.Account("Home");
    home.Disabled = disabledBefore;
    rig.Start({home});
    rig.UpdateNow();
    rig.Server.Transcript.clear();
    const QString key = rig.Key(1);
    QCOMPARE(rig.Tree().ChildKeys(key).size(), disabledBefore ? 0 : 1);
    rig.Click(key);
    {
        AnswerNextModal dialog(
            "AddAccnt",
            [&](QWidget* d) {
                QTest::mouseClick(d->findChild<QCheckBox*>("chkDisabled"), Qt::LeftButton);
                clickOk(d);
            },
            kDialogWaitMs);
        rig.Action("mnuModifyAccount")->trigger();
    }
    if (disabledBefore) {
        QCOMPARE(rig.Tree().Image(key), QString("NoMail"));
        QVERIFY(rig.Tree().Text(key).startsWith("Home --- 1 message --- Totaling "));
        QCOMPARE(rig.Tree().ChildKeys(key).size(), 1);
    } else {
        QCOMPARE(rig.Tree().Image(key), QString("Closed"));
        QCOMPARE(rig.Tree().Text(key), QString("Home--- Disabled."));
        QCOMPARE(rig.Tree().ChildKeys(key).size(), 0);
        QCOMPARE(rig.Server.Transcript, QStringList());
    }
}

void TestAccountCommands::deleteTheFirstOfThree() {
    CommandRig rig;
    rig.AddMail(1);
    MainWindow& window = rig.Start({rig.Account("One"), rig.Account("Two"), rig.Account("Three")});
    rig.UpdateNow();
    const QString one = rig.Key(1), two = rig.Key(2), three = rig.Key(3);
    // A message of the account is what the user points at.
    rig.Click(rig.Child(1, 0));
    QVERIFY(rig.State().CurrentMessage != 0);
    rig.Action("mnuDeleteAccount")->trigger();

    QCOMPARE(rig.State().AccountCount(), 2);
    QCOMPARE(rig.State().Account(1).Title, QString("Two"));
    QCOMPARE(rig.State().Account(2).Title, QString("Three"));
    // Each keeps its own node key, so its node still names it.
    QCOMPARE(FindAccountByKey(rig.State(), two), qint16(1));
    QCOMPARE(FindAccountByKey(rig.State(), three), qint16(2));
    QVERIFY(!rig.Tree().HasNode(one));
    QCOMPARE(rig.Tree().Keys().first(), two);
    QCOMPARE(rig.Tree().ParentKey(rig.Tree().Keys().at(1)), two);
    rig.Click(three);
    QCOMPARE(rig.State().CurrentAccount, qint16(2));

    const SettingsStore& store = rig.State().Store;
    QCOMPARE(store.ReadSetting("Accounts", "Total", ""), QString("2"));
    QCOMPARE(store.ReadSetting("Accounts", "Title1", ""), QString("Two"));
    QCOMPARE(store.ReadSetting("Accounts", "Title2", ""), QString("Three"));
    QVERIFY(window.PoolingEvent().isActive());
}

// After a click on Work's message and a move to Home with the keyboard,
// Delete Account deletes Home, the highlighted account, not Work.
void TestAccountCommands::deleteTheAccountReachedWithTheKeyboard() {
    CommandRig rig;
    rig.AddMail(1);
    rig.Start({rig.Account("Work"), rig.Account("Home")});
    rig.UpdateNow();
    const QString work = rig.Key(1), home = rig.Key(2);
    rig.Tree().SetExpanded(home, true);
    rig.Click(rig.Child(1, 0));
    QCOMPARE(rig.State().CurrentAccount, qint16(1));

    QTest::keyClick(&rig.Window->Tree(), Qt::Key_End);
    QCOMPARE(rig.Tree().SelectedKey(), rig.Child(2, 0));
    QTest::keyClick(&rig.Window->Tree(), Qt::Key_Up);
    QCOMPARE(rig.Tree().SelectedKey(), home);
    rig.Action("mnuDeleteAccount")->trigger();

    QCOMPARE(rig.State().AccountCount(), 1);
    QCOMPARE(rig.State().Account(1).Title, QString("Work"));
    QVERIFY(rig.Tree().HasNode(work));
    QVERIFY(!rig.Tree().HasNode(home));
}

void TestAccountCommands::deleteTheOnlyAccount() {
    CommandRig rig;
    rig.AddMail(1);
    MainWindow& window = rig.Start({rig.Account("Home")});
    rig.UpdateNow();
    rig.Click(rig.Child(1, 0));
    QVERIFY(rig.Action("mnuDeleteMessage")->isEnabled());
    rig.Action("mnuDeleteAccount")->trigger();
    QCOMPARE(rig.State().AccountCount(), 0);
    QCOMPARE(rig.State().Store.ReadSetting("Accounts", "Total", ""), QString("0"));
    QCOMPARE(rig.Tree().NodeCount(), 0);
    // Nothing is left for the message commands to act on.
    QCOMPARE(rig.State().CurrentMessage, qint16(0));
    QVERIFY(!rig.Action("mnuDeleteMessage")->isEnabled());
    QVERIFY(!rig.Action("mnuViewMessage")->isEnabled());
    QVERIFY(!rig.Action("mnuProperties")->isEnabled());
    QVERIFY(window.PoolingEvent().isActive());
    QCOMPARE(rig.Server.Transcript.count("<CONNECT>"), 1); // no connection of its own
}

void TestAccountCommands::trustTheServersCertificate_data() {
    QTest::addColumn<QString>("security");
    QTest::newRow("STARTTLS") << "STARTTLS";
    QTest::newRow("SSL/TLS") << "SSL/TLS";
}

void TestAccountCommands::trustTheServersCertificate() {
    QFETCH(QString, security);
    CommandRig rig;
    rig.AddMail(1);
    rig.Server.OfferStls = security == "STARTTLS";
    rig.Server.ImplicitTls = security == "SSL/TLS";
    rig.Start();
    const QString fingerprint = rig.Server.CertificateSha256();
    {
        AnswerNextModal dialog(
            "AddAccnt",
            [&](QWidget* d) {
                TypeInto(d, "txtTitle", "Home");
                TypeInto(d, "txtHost", "127.0.0.1");
                TypeInto(d, "txtUser", "ann");
                TypeInto(d, "txtPassword", "secret");
                d->findChild<QComboBox*>("cboSecurity")->setCurrentText(security);
                TypeInto(d, "txtPort", QString::number(rig.Server.Port()));
                clickOk(d);
            },
            kDialogWaitMs);
        rig.Action("mnuNewAccount")->trigger();
    }
    const QString key = rig.Key(1);
    QCOMPARE(rig.Tree().Text(key), QString("Home --- Error Connecting!"));
    QVERIFY(rig.Tree().ToolTip(key).contains("Certificate not trusted"));
    QVERIFY(!rig.SessionCommands().contains("USER ann")); // no password before TLS

    // The modify dialog offers the certificate the server showed.
    auto modify = [&](bool tick) {
        rig.Click(key);
        AnswerNextModal dialog(
            "AddAccnt",
            [&](QWidget* d) {
                auto* trust = d->findChild<QCheckBox*>("chkTrustCert");
                QVERIFY(trust->isVisible());
                QCOMPARE(d->findChild<QLabel*>("lblCertSHA256")->text().remove('\n').remove(':'),
                         "SHA-256" + QString(fingerprint).remove(':'));
                if (tick)
                    QTest::mouseClick(trust, Qt::LeftButton);
                clickOk(d);
            },
            kDialogWaitMs);
        rig.Action("mnuModifyAccount")->trigger();
    };
    modify(true);
    QCOMPARE(rig.State().Account(1).CertSHA256, fingerprint);
    QCOMPARE(rig.State().Store.ReadSetting("Accounts", "CertSHA2561", ""), fingerprint);
    QVERIFY2(rig.Tree().Text(key).startsWith("Home --- 1 message --- Totaling "),
             qPrintable(rig.Tree().Text(key)));
    QVERIFY(rig.Server.Transcript.contains("<TLS>"));

    // Trusted once, a different certificate is refused again, by a message
    // command as by a check, and offered again.
    rig.State().Account(1).CertSHA256 = QString(fingerprint).replace(0, 2, "00");
    rig.Click(rig.Child(1, 0));
    rig.Action("mnuViewMessage")->trigger();
    QCOMPARE(rig.Tree().Text(key), QString("Home --- Error Connecting!"));
    modify(false);
    QCOMPARE(rig.Tree().Text(key), QString("Home --- Error Connecting!"));
    rig.UpdateNow();
    modify(false);
}

QTEST_MAIN(TestAccountCommands)
#include "test_account_commands.moc"
