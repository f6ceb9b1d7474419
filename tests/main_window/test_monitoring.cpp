#include "engine/history_file.h"
#include "engine/mail_engine.h"
#include "support/fake_pop3_server.h"
#include "tree/account_tree_model.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "support/temp_state.h"
#include "window_rig.h"
#include "support/fail_on_warning.h"

#include <QAction>
#include <QLineEdit>
#include <QtTest>

// The engine at work in the real window: the Monitoring menu, the countdown,
// the history file at start-up and exit.
class TestMonitoring : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void updateNowListsMailAndExitKeepsIt();
    void countdownTicksInTheWindow();
    void suspendAndResumeFromTheMenu();
    void failedCheckExplainsItselfInTheToolTip();
};

static FakePop3Server& serverWithTwoMessages(FakePop3Server& server) {
    server.AddMessage(
        "Subject: First\r\nFrom: Ann <ann@example.org>\r\nMessage-ID: <1@x>\r\n\r\nHi\r\n");
    server.AddMessage(
        "Subject: Second\r\nFrom: Bob <bob@example.org>\r\nMessage-ID: <2@x>\r\n\r\nHo\r\n");
    return server;
}

void TestMonitoring::updateNowListsMailAndExitKeepsIt() {
    FakePop3Server server;
    QVERIFY(server.Listen());
    serverWithTwoMessages(server);
    WindowRig rig(server.Port());
    const QString key = rig.Key();
    QCOMPARE(rig.window->Model().Text(key), QString("Home --- Unchecked."));

    rig.Action("mnuUpdateNow")->trigger();
    QVERIFY(rig.window->Model().Text(key).startsWith("Home --- 2 messages --- Totaling "));
    const QStringList children = rig.window->Model().ChildKeys(key);
    QCOMPARE(children.size(), 2);
    QVERIFY(rig.window->Model()
                .Text(children[0])
                .endsWith("Subject : First --- From : Ann <ann@example.org>"));
    QVERIFY(rig.window->AccountsMenuEnabled());
    QVERIFY(rig.window->PoolingEvent().isActive());
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // Exit stores what was on display; the next start reads it back.
    rig.t.State->ExitPending = true; // no question
    rig.window->mnuExit_Click();
    auto reopened = rig.t.Reopen();
    LoadHistory(*reopened);
    QCOMPARE(reopened->SeenHeaders.Size(), 2);
}

void TestMonitoring::countdownTicksInTheWindow() {
    WindowRig rig(FakePop3Server::ClosedPort());
    QCOMPARE(rig.t.State->SecondsLeft, 5);
    QVERIFY(QMetaObject::invokeMethod(&rig.window->PoolingEvent(), "timeout"));
    QCOMPARE(rig.window->TimeLeftBox().text(), QString("00:04"));
}

void TestMonitoring::suspendAndResumeFromTheMenu() {
    WindowRig rig(FakePop3Server::ClosedPort());
    rig.Action("mnuSuspend")->trigger();
    QCOMPARE(rig.window->windowTitle(), QString("Larkwatch (Suspended)"));
    QVERIFY(!rig.window->PoolingEvent().isActive());
    QVERIFY(rig.Action("mnuResume")->isVisible());
    QVERIFY(!rig.Action("mnuUpdateNow")->isEnabled());
    rig.Action("mnuResume")->trigger();
    QCOMPARE(rig.window->windowTitle(), QString("Larkwatch"));
    QVERIFY(rig.window->PoolingEvent().isActive());
    QVERIFY(rig.Action("mnuUpdateNow")->isEnabled());
}

void TestMonitoring::failedCheckExplainsItselfInTheToolTip() {
    WindowRig rig(FakePop3Server::ClosedPort());
    rig.Action("mnuUpdateNow")->trigger();
    const QString key = rig.Key();
    QCOMPARE(rig.window->Model().Text(key), QString("Home --- Error Connecting!"));
    const QString tip = rig.window->Model().IndexForKey(key).data(Qt::ToolTipRole).toString();
    QVERIFY2(tip.contains("Connection refused"), qPrintable(tip));
}

QTEST_MAIN(TestMonitoring)
#include "test_monitoring.moc"
