#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "support/temp_state.h"
#include "support/fail_on_warning.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

class TestMainMenus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void topMenusInOrder();
    void menuItems_data();
    void menuItems();
    void resumeHiddenAtStart();
    void updateMenus_data();
    void updateMenus();
    void disabledTopMenusSilenceShortcuts();

private:
    std::unique_ptr<TempState> m_temp;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainMenus::init() {
    FailOnUnexpectedWarnings();
    m_temp = std::make_unique<TempState>();
    m_window = std::make_unique<MainWindow>(*m_temp->State);
}

void TestMainMenus::cleanup() {
    m_window.reset();
    m_temp.reset();
}

void TestMainMenus::topMenusInOrder() {
    QStringList captions, names;
    for (QAction* top : m_window->menuBar()->actions()) {
        captions << top->text();
        names << top->menu()->objectName();
    }
    QCOMPARE(captions, QStringList({"M&onitoring", "&Accounts", "&Messages", "&Help"}));
    QCOMPARE(names, QStringList({"mnuMonitoring", "mnuAccounts", "mnuMessages", "mnuHelp"}));
    QCOMPARE(m_window->findChild<QMenu*>("mnuMessages"), m_window->Menus().Messages());
}

void TestMainMenus::menuItems_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QKeySequence>("shortcut");
    auto row = [](const char* menu, int position, const char* name, const char* caption,
                  QKeySequence shortcut) {
        QTest::newRow(name) << menu << position << name << caption << shortcut;
    };
    const QKeySequence none;
    row("mnuMonitoring", 0, "mnuUpdateNow", "&Update Now", QKeySequence("Ctrl+U"));
    row("mnuMonitoring", 1, "mnuSuspend", "&Suspend", QKeySequence("Ctrl+S"));
    row("mnuMonitoring", 2, "mnuResume", "&Resume", QKeySequence("Ctrl+R"));
    row("mnuMonitoring", 3, "mnusep1", "", none);
    row("mnuMonitoring", 4, "mnuOptions", "&Options...", QKeySequence("Ctrl+O"));
    row("mnuMonitoring", 5, "mnuExit", "E&xit", QKeySequence("Ctrl+X"));
    row("mnuAccounts", 0, "mnuNewAccount", "&Add Account", QKeySequence("Ctrl+A"));
    row("mnuAccounts", 1, "mnuModifyAccount", "&Modify Account", QKeySequence("Ctrl+M"));
    row("mnuAccounts", 2, "mnuDeleteAccount", "&Delete Account", none);
    row("mnuMessages", 0, "mnuViewMessage", "&View Message", QKeySequence("Ctrl+V"));
    row("mnuMessages", 1, "mnuProperties", "&Properties", QKeySequence("Ctrl+P"));
    row("mnuMessages", 2, "mnusep2", "", none);
    row("mnuMessages", 3, "mnuFilter", "Message &Filtering...", QKeySequence("Ctrl+F"));
    row("mnuMessages", 4, "mnuLogFile", "&Log File...", QKeySequence("Ctrl+L"));
    row("mnuMessages", 5, "mnusep3", "", none);
    row("mnuMessages", 6, "mnuDeleteMessage", "&Delete Message", QKeySequence("Ctrl+D"));
    row("mnuHelp", 0, "mnuHelpContents", "&Contents", none);
    row("mnuHelp", 1, "mnuAbout", "&About Larkwatch", none);
}

void TestMainMenus::menuItems() {
    QFETCH(QString, menu);
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QKeySequence, shortcut);
    auto* topMenu = m_window->findChild<QMenu*>(menu);
    QVERIFY(topMenu);
    const QList<QAction*> items = topMenu->actions();
    QCOMPARE(items.size(), menu == "mnuMonitoring" ? 6
                           : menu == "mnuAccounts" ? 3
                           : menu == "mnuMessages" ? 7
                                                   : 2);
    QAction* item = items.at(position);
    QCOMPARE(item->objectName(), name);
    QCOMPARE(m_window->findChild<QAction*>(name), item);
    QCOMPARE(item->isSeparator(), caption.isEmpty());
    QCOMPARE(item->text(), caption);
    QCOMPARE(item->shortcut(), shortcut);
}

void TestMainMenus::resumeHiddenAtStart() {
    QAction* resume = m_window->Menus().Action("mnuResume");
    QVERIFY(!resume->isEnabled());
    QVERIFY(!resume->isVisible());
}

void TestMainMenus::updateMenus_data() {
    QTest::addColumn<qint16>("account");
    QTest::addColumn<qint16>("message");
    QTest::addColumn<bool>("suspended");
    // enabled: ModifyAccount, DeleteAccount, ViewMessage, Properties, DeleteMessage, UpdateNow
    QTest::addColumn<QString>("enabled");
    QTest::newRow("nothing selected") << qint16(0) << qint16(0) << false << "-----U";
    QTest::newRow("account selected") << qint16(2) << qint16(0) << false << "MD---U";
    QTest::newRow("message selected") << qint16(1) << qint16(3) << false << "MDVPXU";
    QTest::newRow("message selected, suspended") << qint16(1) << qint16(3) << true << "MD-P--";
    QTest::newRow("nothing selected, suspended") << qint16(0) << qint16(0) << true << "------";
}

void TestMainMenus::updateMenus() {
    QFETCH(qint16, account);
    QFETCH(qint16, message);
    QFETCH(bool, suspended);
    QFETCH(QString, enabled);
    AppState& s = *m_temp->State;
    s.CurrentAccount = account;
    s.CurrentMessage = message;
    s.MonitoringSuspended = suspended;
    const MainMenus& menus = m_window->Menus();
    // Start from the opposite of what is expected, so every item must be set.
    for (QAction* a : m_window->findChildren<QAction*>())
        a->setEnabled(true);
    ::UpdateMenus(s, menus);
    QString got;
    const char* names[] = {"mnuModifyAccount", "mnuDeleteAccount", "mnuViewMessage",
                           "mnuProperties",    "mnuDeleteMessage", "mnuUpdateNow"};
    const char marks[] = "MDVPXU";
    for (int i = 0; i < 6; ++i)
        got += menus.Action(names[i])->isEnabled() ? QChar(marks[i]) : QChar('-');
    QCOMPARE(got, enabled);
    QCOMPARE(menus.Action("mnuResume")->isEnabled(), suspended);
    QCOMPARE(menus.Action("mnuResume")->isVisible(), suspended);
    QCOMPARE(menus.Action("mnuSuspend")->isEnabled(), !suspended);
    QCOMPARE(menus.Action("mnuSuspend")->isVisible(), !suspended);
}

void TestMainMenus::disabledTopMenusSilenceShortcuts() {
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QSignalSpy updateNow(m_window->Menus().Action("mnuUpdateNow"), &QAction::triggered);
    QSignalSpy about(m_window->Menus().Action("mnuNewAccount"), &QAction::triggered);

    m_window->SetTopMenusEnabled(false);
    QVERIFY(!m_window->AccountsMenuEnabled());
    QTest::keyClick(m_window.get(), Qt::Key_U, Qt::ControlModifier);
    QTest::keyClick(m_window.get(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(updateNow.count(), 0);
    QCOMPARE(about.count(), 0);

    m_window->SetTopMenusEnabled(true);
    QVERIFY(m_window->AccountsMenuEnabled());
    QTest::keyClick(m_window.get(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(updateNow.count(), 1);
}

QTEST_MAIN(TestMainMenus)
#include "test_main_menus.moc"
