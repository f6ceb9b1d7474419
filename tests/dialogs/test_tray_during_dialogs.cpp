#include "commands/window_commands.h"
#include "dialogs/dialog_commands.h"
#include "main_window/account_tree_view.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "notify/notifications.h"
#include "notify/sys_tray.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "support/dialog_answerers.h"
#include "support/fail_on_warning.h"
#include "support/fake_pop3_server.h"
#include "support/temp_state.h"
#include "tree/account_tree_model.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QtTest>

// The tray icon's Monitoring menu stays usable while a modal dialog of the
// program is open (a desktop's tray delivers its clicks regardless). Its
// commands that start a pass or change monitoring do nothing then: a pass
// would move the current account under an open account dialog.
class TestTrayDuringDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void monitoringCommandsWaitForTheDialog_data();
    void monitoringCommandsWaitForTheDialog();
};

namespace {

// The program's window with its tray and every command group, over one
// account on the fake server whose one message is selected.
struct TrayRig {
    TempState Temp;
    AppState& State = *Temp.State;
    FakePop3Server Server;
    Notifications Parts{State};
    std::unique_ptr<MainWindow> Window;

    TrayRig() {
        Server.Listen();
        Server.AddMessage("From: Ann <a@example.org>\r\nSubject: Hello\r\n"
                          "Message-ID: <m1@example.org>\r\n\r\nHi\r\n");
        MailAccount account;
        account.Title = QStringLiteral("Home");
        account.Host = QStringLiteral("127.0.0.1");
        account.Port = Server.Port();
        account.User = QStringLiteral("ann");
        account.Password = QStringLiteral("secret");
        State.Accounts = {account};
        SaveAccounts(State);
        Window = std::make_unique<MainWindow>(State, Parts.Collaborators());
        ConnectWindowCommands(*Window);
        ConnectDialogCommands(*Window);
        Parts.Attach(*Window);
        Window->Form_Load();
        Action("mnuUpdateNow")->trigger(); // the countdown starts again at 5 minutes
        SelectTheMessage();
    }
    ~TrayRig() {
        State.ExitPending = true; // no exit question
        Window.reset();
    }
    QAction* Action(const char* name) const { return Window->Menus().Action(name); }
    void SelectTheMessage() const {
        AccountTreeModel& tree = Window->Model();
        const QString account = State.Account(1).NodeKey;
        tree.SetExpanded(account, true);
        const QModelIndex message = tree.IndexForKey(tree.ChildKeys(account).value(0));
        QTreeView& view = Window->Tree();
        const QRect row = view.visualRect(message);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          QPoint(row.left() + 30, row.center().y()));
    }
    // A right click on the tray icon and a choice in the menu it opens.
    void ChooseFromTrayMenu(const char* command) const {
        auto& icon = const_cast<QSystemTrayIcon&>(Parts.Tray().Icon());
        QMenu* monitoring = Window->Menus().Monitoring();
        Q_EMIT icon.activated(QSystemTrayIcon::Context);
        QTRY_VERIFY(monitoring->isVisible());
        Action(command)->trigger();
        monitoring->close();
    }
    // What a pass or a monitoring command would change.
    QString Monitoring() const {
        return QStringLiteral("connections %1, account %2, message %3, suspended %4")
            .arg(Server.Transcript.count(QStringLiteral("<CONNECT>")))
            .arg(State.CurrentAccount)
            .arg(State.CurrentMessage)
            .arg(State.MonitoringSuspended);
    }
};

} // namespace

void TestTrayDuringDialogs::monitoringCommandsWaitForTheDialog_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<bool>("suspended");
    const struct {
        const char* menu;
        const char* dialog;
    } dialogs[] = {{"mnuNewAccount", "AddAccnt"}, {"mnuModifyAccount", "AddAccnt"},
                   {"mnuProperties", "MsgInfo"},  {"mnuOptions", "Options"},
                   {"mnuFilter", "Filter"},       {"mnuLogFile", "Logs"},
                   {"mnuAbout", "frmAbout"}};
    for (const auto& d : dialogs) {
        for (const bool suspended : {false, true})
            QTest::addRow("%s, %s", d.menu, suspended ? "suspended" : "monitoring")
                << d.menu << d.dialog << suspended;
    }
}

void TestTrayDuringDialogs::monitoringCommandsWaitForTheDialog() {
    QFETCH(QString, menu);
    QFETCH(QString, dialog);
    QFETCH(bool, suspended);
    TrayRig rig;
    if (suspended) {
        rig.Action("mnuSuspend")->trigger();
        rig.SelectTheMessage(); // suspending cleared the selection display
    }
    QString before, during;
    AnswerNextModal answer(dialog, [&](QWidget* open) {
        before = rig.Monitoring();
        for (const char* command : {"mnuUpdateNow", "mnuSuspend", "mnuResume"})
            rig.ChooseFromTrayMenu(command);
        during = rig.Monitoring();
        qobject_cast<QDialog*>(open)->reject();
    });
    rig.Action(menu.toLatin1().constData())->trigger();
    QVERIFY(answer.Answered());
    QCOMPARE(during, before);
    QCOMPARE(rig.State.MonitoringSuspended, suspended);
}

QTEST_MAIN(TestTrayDuringDialogs)
#include "test_tray_during_dialogs.moc"
