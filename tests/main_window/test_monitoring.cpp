#include "engine/history_file.h"
#include "engine/mail_engine.h"
#include "support/fake_pop3_server.h"
#include "tree/account_tree_model.h"
#include "main_window/account_tree_view.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "support/temp_state.h"
#include "window_rig.h"
#include "support/fail_on_warning.h"

#include <QAction>
#include <QHeaderView>
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
    void passOverManyMessagesPaintsTheTreeOncePerFrame();
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

// The default AutoExpand: the account opens and each message is brought into
// view as the check lists it, yet the tree is painted and its column fitted
// once per frame of the screen, not once per message. With a frame longer
// than the pass, the pass fits the column and scrolls only when the frame
// ends, and paints the tree only when the window is brought back (Update
// Now raises it).
void TestMonitoring::passOverManyMessagesPaintsTheTreeOncePerFrame() {
    FakePop3Server server;
    QVERIFY(server.Listen());
    for (int n = 1; n <= 200; ++n) {
        const QByteArray id = QByteArray::number(n);
        server.AddMessage("Subject: Note " + id + "\r\nFrom: Ann <ann@example.org>\r\n" +
                          "Message-ID: <" + id + "@x>\r\n\r\nHi\r\n");
    }
    WindowRig rig(server.Port());
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    AccountTreeView& tree = rig.window->Tree();
    tree.Pacer().EndFrame();
    tree.Pacer().SetMinimumFrameMs(60 * 60 * 1000);
    rig.window->Model().SetText(rig.Key(), "Home --- Unchecked."); // opens the frame
    QCoreApplication::processEvents();
    int paints = 0;
    struct PaintCounter : QObject {
        int& Paints;
        explicit PaintCounter(int& paints) : Paints(paints) {}
        bool eventFilter(QObject*, QEvent* event) override {
            Paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter(paints);
    tree.viewport()->installEventFilter(&counter);
    QSignalSpy resized(tree.header(), &QHeaderView::sectionResized);

    rig.Action("mnuUpdateNow")->trigger();
    const QStringList children = rig.window->Model().ChildKeys(rig.Key());
    QCOMPARE(children.size(), 200);
    QVERIFY2(paints <= 2, qPrintable(QString("%1 paints during the pass").arg(paints)));
    QCOMPARE(resized.size(), 0);

    tree.Pacer().EndFrame();
    QVERIFY(tree.updatesEnabled()); // painting again
    QCOMPARE(resized.size(), 1);
    QVERIFY(tree.isExpanded(rig.window->Model().IndexForKey(rig.Key())));
    const QModelIndex newest = rig.window->Model().IndexForKey(children.last());
    QTRY_VERIFY(tree.visualRect(newest).isValid() && tree.visualRect(newest).top() >= 0 &&
                tree.visualRect(newest).bottom() < tree.viewport()->height());
    tree.viewport()->removeEventFilter(&counter);
}

QTEST_MAIN(TestMonitoring)
#include "test_monitoring.moc"
