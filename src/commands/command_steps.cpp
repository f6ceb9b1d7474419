#include "commands/command_steps.h"

#include "engine/mail_engine.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "tree/account_tree_model.h"

#include <QTimer>

void RestartPollingUnlessSuspended(MainWindow& window) {
    if (!window.State().MonitoringSuspended)
        window.PoolingEvent().start();
}

void CheckAccountNow(MainWindow& window, const QString& accountKey) {
    AppState& state = window.State();
    AccountTreeModel& tree = window.Model();
    while (!tree.ChildKeys(accountKey).isEmpty())
        tree.RemoveNode(tree.ChildKeys(accountKey).first());
    tree.SetDropHighlight(accountKey);
    tree.SetSelectedKey(accountKey);
    state.CurrentAccount = FindAccountByKey(state, accountKey);
    state.NewMailCount = 0;
    window.Engine().CheckAccount();
    window.Engine().AcknowledgeShownMessages();
}
