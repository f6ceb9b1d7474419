#include "command_rig.h"
#include "main_window/first_account_panel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// A new user's first start through the real window: Add Account over the
// window, and the line with its button in the empty tree area for as long as
// no account is watched.
class TestFirstStart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void firstStartOpensAddAccountOverTheWindow();
    void panelComesAndGoesWithTheAccounts();
};

namespace {

QWidget* panel(const MainWindow& window) {
    return window.findChild<QWidget*>(QStringLiteral("FirstAccountPanel"));
}

QPushButton* addButton(const MainWindow& window) {
    return window.findChild<QPushButton*>(QStringLiteral("butAddFirstAccount"));
}

} // namespace

void TestFirstStart::firstStartOpensAddAccountOverTheWindow() {
    CommandRig rig;
    QVERIFY(IsFirstStart(rig.State())); // no settings file yet
    rig.Window = std::make_unique<MainWindow>(rig.State());
    MainWindow& window = *rig.Window;
    ConnectWindowCommands(window);
    window.Form_Load();
    {
        AnswerNextModal dialog(
            "AddAccnt",
            [&](QWidget* d) {
                QCOMPARE(d->parentWidget(), &window);
                QVERIFY(window.isVisible());
                d->findChild<QPushButton*>("butCancel")->click();
            },
            kDialogWaitMs);
        OfferFirstAccount(window);
        QTRY_VERIFY_WITH_TIMEOUT(dialog.Answered(), kDialogWaitMs);
    }
    // Cancelled: the line and the button tell what to do next.
    QVERIFY(panel(window)->isVisible());
    QCOMPARE(window.findChild<QLabel*>("lblNoAccount")->text(),
             QString("No mailbox is watched yet."));
    QCOMPARE(addButton(window)->text(), QString("Add Account..."));
    QVERIFY(addButton(window)->isEnabled());
    const QRect inArea(panel(window)->mapTo(&window, QPoint()), panel(window)->size());
    QVERIFY(window.centralWidget()->geometry().contains(inArea));

    // Once the file is written, a start is no first start.
    SaveAccounts(rig.State());
    QVERIFY(!IsFirstStart(rig.State()));
}

void TestFirstStart::panelComesAndGoesWithTheAccounts() {
    CommandRig rig;
    rig.AddMail(1);
    MainWindow& window = rig.Start({rig.Account("Home")});
    QVERIFY(!panel(window)->isVisible());

    // The last account deleted: the panel is back.
    rig.Click(rig.Key(1));
    rig.Action("mnuDeleteAccount")->trigger();
    QCOMPARE(rig.State().AccountCount(), qint16(0));
    QVERIFY(panel(window)->isVisible());

    // Its button runs Add Account; the new account takes its place.
    {
        AnswerNextModal dialog(
            "AddAccnt",
            [&](QWidget* d) {
                TypeInto(d, "txtTitle", "Work");
                TypeInto(d, "txtHost", "127.0.0.1");
                TypeInto(d, "txtUser", "ann");
                TypeInto(d, "txtPassword", "secret");
                d->findChild<QComboBox*>("cboSecurity")->setCurrentText("None");
                TypeInto(d, "txtPort", QString::number(rig.Server.Port()));
                d->findChild<QPushButton*>("ButOK")->click();
            },
            kDialogWaitMs);
        QTest::mouseClick(addButton(window), Qt::LeftButton);
    }
    QCOMPARE(rig.State().AccountCount(), qint16(1));
    QVERIFY(!panel(window)->isVisible());
    QCOMPARE(rig.Tree().ChildKeys(rig.Key(1)).size(), 1); // checked at once
}

QTEST_MAIN(TestFirstStart)
#include "test_first_start.moc"
