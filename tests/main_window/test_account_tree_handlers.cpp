#include "tree/account_nodes.h"
#include "main_window/account_tree_handlers.h"
#include "tree/account_tree_model.h"
#include "main_window/account_tree_view.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "support/temp_state.h"
#include "support/fail_on_warning.h"

#include <QAction>
#include <QMenu>
#include <QtTest>

// The tree's mouse rules, driven through the real view with real clicks.
class TestAccountTreeHandlers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void mouseDown_data();
    void mouseDown();
    void clickOnEmptySpaceHidesSelection();
    void doubleClick();
    void hideSelectionInertWhileDialogOpen();
    void userExpandSelectsAccountButProgramExpandDoesNot();
    void keyboardMoveActsLikeClick();

private:
    QPoint CentreOf(const QString& key) const;
    QPoint EmptySpace() const;
    void DoubleClickAt(const QPoint& point);

    std::unique_ptr<TempState> m_temp;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_popups;
};

// Two accounts, Work (P10) with a live message C1 and a deleted one C2, and
// Home (P20) with a live message C3.
void TestAccountTreeHandlers::init() {
    FailOnUnexpectedWarnings();
    m_temp = std::make_unique<TempState>();
    AppState& s = *m_temp->State;
    for (auto [title, key] : {std::pair{"Work", "P10"}, std::pair{"Home", "P20"}}) {
        MailAccount a;
        a.Title = title;
        a.NodeKey = key;
        s.Accounts.append(a);
    }
    m_window = std::make_unique<MainWindow>(s);
    AccountTreeModel& m = m_window->Model();
    ShowAccountsUnchecked(s, m);
    m.AddMessageNode("P10", "C1", "#1 --- 10 bytes --- Subject : a --- From : b",
                     NodeImage::NewMail);
    m.AddMessageNode("P10", "C2", "(Deleted) --- Subject : spam --- From : c", NodeImage::Deleted);
    m.AddMessageNode("P20", "C3", "#1 --- 20 bytes --- Subject : d --- From : e", NodeImage::Mail);
    m.SetExpanded("P10", true);
    m.SetExpanded("P20", true);
    m_popups.clear();
    m_window->TreeHandlers().PopupMenu = [this](QMenu* menu) { m_popups << menu->objectName(); };
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestAccountTreeHandlers::cleanup() {
    m_window.reset();
    m_temp.reset();
}

QPoint TestAccountTreeHandlers::CentreOf(const QString& key) const {
    AccountTreeView& tree = m_window->Tree();
    return tree.visualRect(tree.Model().IndexForKey(key)).center();
}

QPoint TestAccountTreeHandlers::EmptySpace() const {
    QWidget* viewport = m_window->Tree().viewport();
    return QPoint(viewport->width() / 2, viewport->height() - 5);
}

// A real double click: press, release, double click, release.
void TestAccountTreeHandlers::DoubleClickAt(const QPoint& point) {
    QWidget* viewport = m_window->Tree().viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, point);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, point);
}

void TestAccountTreeHandlers::mouseDown_data() {
    QTest::addColumn<QString>("node"); // empty: empty space
    QTest::addColumn<bool>("rightButton");
    QTest::addColumn<bool>("menusEnabled");
    QTest::addColumn<qint16>("account");
    QTest::addColumn<bool>("messageSelected");
    QTest::addColumn<QString>("popup");
    QTest::newRow("left on empty space") << "" << false << true << qint16(0) << false << "";
    QTest::newRow("right on empty space")
        << "" << true << true << qint16(0) << false << "mnuMonitoring";
    QTest::newRow("right on empty space, menus disabled")
        << "" << true << false << qint16(0) << false << "";
    QTest::newRow("left on account") << "P20" << false << true << qint16(2) << false << "";
    QTest::newRow("right on account")
        << "P20" << true << true << qint16(2) << false << "mnuAccounts";
    QTest::newRow("left on live message") << "C3" << false << true << qint16(2) << true << "";
    QTest::newRow("right on live message")
        << "C1" << true << true << qint16(1) << true << "mnuMessages";
    QTest::newRow("right on live message, menus disabled")
        << "C1" << true << false << qint16(1) << true << "";
    QTest::newRow("left on deleted message") << "C2" << false << true << qint16(1) << false << "";
    QTest::newRow("right on deleted message")
        << "C2" << true << true << qint16(1) << false << "mnuAccounts";
}

void TestAccountTreeHandlers::mouseDown() {
    QFETCH(QString, node);
    QFETCH(bool, rightButton);
    QFETCH(bool, menusEnabled);
    QFETCH(qint16, account);
    QFETCH(bool, messageSelected);
    QFETCH(QString, popup);
    AppState& s = *m_temp->State;
    AccountTreeModel& m = m_window->Model();
    // Leftovers of an earlier selection that every case must overwrite.
    s.CurrentAccount = 7;
    s.CurrentMessage = 7;
    m.SetDropHighlight("P10");
    m_window->SetTopMenusEnabled(menusEnabled);

    const QPoint at = node.isEmpty() ? EmptySpace() : CentreOf(node);
    QCOMPARE(m_window->Tree().KeyAt(at), node);
    QTest::mousePress(m_window->Tree().viewport(), rightButton ? Qt::RightButton : Qt::LeftButton,
                      {}, at);

    QCOMPARE(s.CurrentAccount, account);
    QCOMPARE(s.CurrentMessage != 0, messageSelected);
    if (messageSelected)
        QCOMPARE(s.CurrentMessage, FindMessageNode(m, node));
    QCOMPARE(m.DropHighlight(), node);
    if (!node.isEmpty())
        QCOMPARE(m.SelectedKey(), node);
    QCOMPARE(m_popups, popup.isEmpty() ? QStringList() : QStringList{popup});
    if (rightButton && !node.isEmpty()) {
        // The menus were brought in step before popping up.
        QCOMPARE(m_window->Menus().Action("mnuViewMessage")->isEnabled(), messageSelected);
        QCOMPARE(m_window->Menus().Action("mnuModifyAccount")->isEnabled(), account != 0);
    }
}

void TestAccountTreeHandlers::clickOnEmptySpaceHidesSelection() {
    AccountTreeModel& m = m_window->Model();
    QTest::mouseClick(m_window->Tree().viewport(), Qt::LeftButton, {}, CentreOf("C1"));
    QCOMPARE(m.SelectedKey(), QString("C1"));
    QVERIFY(m_window->Menus().Action("mnuViewMessage")->isEnabled());
    QTest::mouseClick(m_window->Tree().viewport(), Qt::LeftButton, {}, EmptySpace());
    QCOMPARE(m.SelectedKey(), QString());
    QCOMPARE(m.DropHighlight(), QString());
    QVERIFY(m_window->Tree().selectionModel()->selectedIndexes().isEmpty());
    QVERIFY(!m_window->Menus().Action("mnuViewMessage")->isEnabled());
    QVERIFY(!m_window->Menus().Action("mnuModifyAccount")->isEnabled());
}

void TestAccountTreeHandlers::doubleClick() {
    AppState& s = *m_temp->State;
    DoubleClickAt(CentreOf("C3"));
    QCOMPARE(s.CurrentAccount, qint16(2));
    QVERIFY(m_window->Menus().Action("mnuProperties")->isEnabled());
    QVERIFY(m_popups.isEmpty()); // a double click starts no command

    DoubleClickAt(EmptySpace());
    QCOMPARE(m_window->Model().DropHighlight(), QString());
    QCOMPARE(m_window->Model().SelectedKey(), QString());
}

void TestAccountTreeHandlers::hideSelectionInertWhileDialogOpen() {
    AppState& s = *m_temp->State;
    AccountTreeModel& m = m_window->Model();
    QTest::mouseClick(m_window->Tree().viewport(), Qt::LeftButton, {}, CentreOf("P20"));
    QCOMPARE(m.DropHighlight(), QString("P20"));

    s.NoDialogOpen = false;
    m_window->HideSelection();
    QCOMPARE(m.DropHighlight(), QString("P20"));
    QCOMPARE(m.SelectedKey(), QString("P20"));
    QCOMPARE(m_window->Tree().currentIndex(), m.IndexForKey("P20"));

    s.NoDialogOpen = true;
    m_window->HideSelection();
    QCOMPARE(m.DropHighlight(), QString());
    QCOMPARE(m.SelectedKey(), QString());
    QVERIFY(m_window->Tree().selectionModel()->selectedIndexes().isEmpty());
    QCOMPARE(s.CurrentAccount, qint16(2)); // the selection state itself stays
}

void TestAccountTreeHandlers::userExpandSelectsAccountButProgramExpandDoesNot() {
    AppState& s = *m_temp->State;
    AccountTreeModel& m = m_window->Model();
    AccountTreeView& tree = m_window->Tree();
    QVERIFY(tree.isExpanded(m.IndexForKey("P10"))); // the view followed the model

    // The engine collapses a node: the view follows, the selection stays.
    m.SetExpanded("P20", false);
    QVERIFY(!tree.isExpanded(m.IndexForKey("P20")));
    QCOMPARE(s.CurrentAccount, qint16(0));
    QCOMPARE(m.DropHighlight(), QString());

    // The user collapses Work with the keyboard: the account becomes current.
    s.CurrentMessage = 5;
    tree.setCurrentIndex(m.IndexForKey("P10"));
    QTest::keyClick(&tree, Qt::Key_Left);
    QVERIFY(!m.Expanded("P10"));
    QCOMPARE(s.CurrentAccount, qint16(1));
    QCOMPARE(s.CurrentMessage, qint16(0));
    QCOMPARE(m.DropHighlight(), QString("P10"));
    QVERIFY(m_window->Menus().Action("mnuModifyAccount")->isEnabled());

    // And expands Home again by double-clicking it.
    DoubleClickAt(CentreOf("P20"));
    QVERIFY(m.Expanded("P20"));
    QCOMPARE(s.CurrentAccount, qint16(2));
    QCOMPARE(m.Image("P20"), NodeImage::NoMail);
    QCOMPARE(m.data(m.IndexForKey("P20"), Qt::DecorationRole).isNull(), false);
}

QTEST_MAIN(TestAccountTreeHandlers)
// A node reached with the keyboard becomes current as a click makes it: after
// a click on Work's message and a move to Home, Home is the account the
// commands act on (its deletion is tried in the account commands' tests).
void TestAccountTreeHandlers::keyboardMoveActsLikeClick() {
    AppState& s = *m_temp->State;
    AccountTreeModel& m = m_window->Model();
    AccountTreeView& tree = m_window->Tree();
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, CentreOf("C1"));
    QCOMPARE(m.DropHighlight(), QString("C1"));

    const struct {
        Qt::Key key;
        const char* node;
        qint16 account;
        bool message;
    } moves[] = {{Qt::Key_End, "C3", 2, true}, {Qt::Key_Up, "P20", 2, false}};
    for (const auto& move : moves) {
        QTest::keyClick(&tree, move.key);
        QCOMPARE(m.DropHighlight(), QString(move.node));
        QCOMPARE(m.SelectedKey(), QString(move.node));
        QCOMPARE(s.CurrentAccount, move.account);
        QCOMPARE(s.CurrentMessage > 0, move.message);
        QCOMPARE(m_window->Menus().Action("mnuViewMessage")->isEnabled(), move.message);
    }
}

#include "test_account_tree_handlers.moc"
