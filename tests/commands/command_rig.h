#pragma once

#include "commands/window_commands.h"
#include "engine/pop/pop_client.h"
#include "main_window/account_tree_view.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "support/dialog_answerers.h"
#include "support/fake_pop3_server.h"
#include "support/fail_on_warning.h"
#include "support/sample_account.h"
#include "support/temp_state.h"
#include "tree/account_tree_model.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

// How long a test waits for a dialog to open (or to close once answered):
// long, since the machine may be busy.
inline constexpr int kDialogWaitMs = 30000;

// Types `text` into the line edit `box` of a dialog over what it held, as
// the user does.
inline void TypeInto(QWidget* dialog, const char* box, const QString& text) {
    auto* edit = dialog->findChild<QLineEdit*>(QLatin1String(box));
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// The real window over a private settings folder, with accounts on the fake
// POP3 server, for driving the account and message commands through the
// menus as a user does.
struct CommandRig {
    TempState Temp;
    FakePop3Server Server;
    std::unique_ptr<MainWindow> Window;

    CommandRig() { Server.Listen(); }

    MailAccount Account(const QString& title) const {
        return FakeServerAccount(title, Server.Port());
    }
    // A message as the fake server serves it; subject "Mail n".
    void AddMail(int n, const QByteArray& body = "Hello there\r\n") {
        Server.AddMessage("From: Sender " + QByteArray::number(n) +
                          " <s@example.org>\r\nTo: ann@example.org\r\nSubject: Mail " +
                          QByteArray::number(n) + "\r\nMessage-ID: <m" + QByteArray::number(n) +
                          "@example.org>\r\n\r\n" + body);
    }

    // Stores the accounts and starts the window as the program does.
    MainWindow& Start(const QList<MailAccount>& accounts = {}) {
        State().Accounts = accounts;
        SaveAccounts(State());
        Window = std::make_unique<MainWindow>(State());
        ConnectWindowCommands(*Window);
        Window->Form_Load();
        // No pass of the timer's own while a test works.
        State().SecondsLeft = 3600;
        return *Window;
    }
    AppState& State() const { return *Temp.State; }
    AccountTreeModel& Tree() const { return Window->Model(); }
    QAction* Action(const char* name) const { return Window->Menus().Action(name); }
    QString Key(int position) const { return State().Account(position).NodeKey; }
    QString Child(int position, int row) const {
        return Tree().ChildKeys(Key(position)).value(row);
    }
    QStringList ChildTexts(int position) const {
        QStringList texts;
        for (const QString& key : Tree().ChildKeys(Key(position)))
            texts.append(Tree().Text(key));
        return texts;
    }
    void UpdateNow() const { Action("mnuUpdateNow")->trigger(); }
    // A left click on the node, as the user selects it.
    void Click(const QString& key) const {
        const QString parent = Tree().ParentKey(key);
        if (!parent.isEmpty())
            Tree().SetExpanded(parent, true);
        QTreeView& view = Window->Tree();
        view.scrollTo(Tree().IndexForKey(key));
        const QRect row = view.visualRect(Tree().IndexForKey(key));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          QPoint(row.left() + 30, row.center().y()));
    }
    QStringList SessionCommands() const {
        const qsizetype start = Server.Transcript.lastIndexOf(QStringLiteral("<CONNECT>"));
        return start < 0 ? QStringList() : Server.Transcript.mid(start + 1);
    }
};
