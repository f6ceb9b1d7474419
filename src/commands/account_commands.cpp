#include "commands/account_commands.h"

#include "commands/account_dialog.h"
#include "commands/command_steps.h"
#include "engine/mail_engine.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "tree/account_nodes.h"
#include "tree/account_tree_model.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

namespace {

// Shows the account dialog over the window; its outcome is in CurrentAccount.
void showAccountDialog(MainWindow& window, const QString& untrustedCertificate) {
    AddAccnt dialog(window.State(), untrustedCertificate, &window);
    dialog.exec();
}

// What the engine noted about an account's node, which goes with the node.
void forgetAccountNotes(MainWindow& window, const QString& accountKey) {
    MailEngine& engine = window.Engine();
    engine.AccountErrors.remove(accountKey);
    engine.UntrustedCertificates.remove(accountKey);
    window.Model().SetToolTip(accountKey, QString());
}

// The drop-highlighted node's account node (the node itself, or the parent of
// a message node), made the drop highlight and selected; empty when none.
QString accountNodeOfDropHighlight(AccountTreeModel& tree) {
    QString key = tree.DropHighlight();
    if (IsMessageKey(key)) {
        key = tree.ParentKey(key);
        tree.SetDropHighlight(key);
        tree.SetSelectedKey(key);
    }
    return key;
}

void showAccountNode(AccountTreeModel& tree, const MailAccount& account) {
    if (account.Disabled) {
        tree.SetImage(account.NodeKey, NodeImage::Closed);
        tree.SetText(account.NodeKey, account.Title + AccountStatus::Disabled);
    } else {
        tree.SetImage(account.NodeKey, NodeImage::NoMail);
        tree.SetText(account.NodeKey, account.Title);
    }
}

} // namespace

namespace AccountCommands {

void mnuNewAccount_Click(MainWindow& window) {
    AppState& state = window.State();
    AccountTreeModel& tree = window.Model();
    if (state.AccountCount() >= kMaxAccounts) {
        // No free node key is left for another account.
        QApplication::beep();
        return;
    }
    window.PoolingEvent().stop();
    state.CurrentAccount = 0;
    window.HideSelection();
    showAccountDialog(window, QString());
    if (state.CurrentAccount != 0) {
        SaveAccounts(state);
        window.Engine().AcknowledgeShownMessages();
        const MailAccount added = state.EditAccount;
        tree.AddAccountNode(added.NodeKey, added.Title, NodeImage::NoMail);
        tree.SetExpanded(added.NodeKey, false);
        tree.SetDropHighlight(added.NodeKey);
        tree.SetSelectedKey(added.NodeKey);
        if (added.Disabled)
            showAccountNode(tree, added);
        else
            CheckAccountNow(window, added.NodeKey);
    }
    RestartPollingUnlessSuspended(window);
    window.HideSelection();
}

void mnuModifyAccount_Click(MainWindow& window) {
    AppState& state = window.State();
    AccountTreeModel& tree = window.Model();
    if (tree.DropHighlight().isEmpty())
        return;
    const bool fromMessage = IsMessageKey(tree.DropHighlight());
    const QString key = accountNodeOfDropHighlight(tree);
    if (fromMessage) {
        state.CurrentMessage = 0;
        window.UpdateMenus();
    }
    state.CurrentAccount = FindAccountByKey(state, key);
    if (state.CurrentAccount == 0)
        return; // a node of no account: the dialog would add one instead
    window.PoolingEvent().stop();
    showAccountDialog(window, window.Engine().UntrustedCertificates.value(key));
    if (state.CurrentAccount == 0) {
        RestartPollingUnlessSuspended(window);
        return;
    }
    SaveAccounts(state);
    window.Engine().AcknowledgeShownMessages();
    showAccountNode(tree, state.Account(state.CurrentAccount));
    forgetAccountNotes(window, key);
    CheckAccountNow(window, key); // the old message nodes go first
    RestartPollingUnlessSuspended(window);
    window.HideSelection();
}

void mnuDeleteAccount_Click(MainWindow& window) {
    AppState& state = window.State();
    AccountTreeModel& tree = window.Model();
    if (tree.DropHighlight().isEmpty())
        return;
    window.PoolingEvent().stop();
    const QString key = accountNodeOfDropHighlight(tree);
    const qint16 position = FindAccountByKey(state, key);
    if (position != 0) {
        // The later records move down one place, each with its own node key.
        state.Accounts.removeAt(position - 1);
        state.CurrentAccount = 0;
        SaveAccounts(state);
        tree.SetSelectedKey(QString());
        tree.SetDropHighlight(QString());
        forgetAccountNotes(window, key);
        tree.RemoveNode(key);
    }
    RestartPollingUnlessSuspended(window);
    window.HideSelection();
    // No message node of the account is left to act on.
    state.CurrentMessage = 0;
    window.UpdateMenus();
}

} // namespace AccountCommands

void ConnectAccountCommands(MainWindow& window) {
    auto onTrigger = [&window](const char* name, void (*command)(MainWindow&)) {
        if (QAction* action = window.Menus().Action(QLatin1String(name)))
            QObject::connect(action, &QAction::triggered, &window,
                             [&window, command] { command(window); });
    };
    onTrigger("mnuNewAccount", &AccountCommands::mnuNewAccount_Click);
    onTrigger("mnuModifyAccount", &AccountCommands::mnuModifyAccount_Click);
    onTrigger("mnuDeleteAccount", &AccountCommands::mnuDeleteAccount_Click);
}
