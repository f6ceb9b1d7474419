#include "tree/account_nodes.h"

#include "tree/account_tree_model.h"
#include "records/app_state.h"

#include <algorithm>
#include <limits>

bool AddAccountNodeFor(AccountTreeModel& model, const MailAccount& account, const QString& status) {
    if (account.Disabled)
        return model.AddAccountNode(account.NodeKey, account.Title + AccountStatus::Disabled,
                                    NodeImage::Closed);
    return model.AddAccountNode(account.NodeKey, account.Title + status, NodeImage::NoMail);
}

void ShowAccountsUnchecked(const AppState& state, AccountTreeModel& model) {
    model.Clear();
    for (const MailAccount& account : state.Accounts)
        AddAccountNodeFor(model, account, AccountStatus::Unchecked);
}

qint16 FindMessageNode(const AccountTreeModel& model, const QString& key) {
    const int index = model.IndexOf(key);
    if (index == 0)
        return 0;
    // Positions beyond the 16-bit range still count as "a message is selected".
    return qint16(std::min(index - 1, int(std::numeric_limits<qint16>::max())));
}
