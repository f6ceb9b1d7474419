#pragma once

#include "tree/node_texts.h"

#include <QString>
#include <QtGlobal>

class AccountTreeModel;
class AppState;
struct MailAccount;

// Adds the account's node: its title followed by `status` with image "NoMail",
// or, for a disabled account, the title followed by "--- Disabled." with
// image "Closed". Returns false when the node could not be added (its key is
// empty or already in the tree).
bool AddAccountNodeFor(AccountTreeModel& model, const MailAccount& account, const QString& status);

// Clears the tree and adds one unchecked node per account, in list order.
void ShowAccountsUnchecked(const AppState& state, AccountTreeModel& model);

// The node's position in the tree minus one, or 0 when no node has the key.
// Not 0 exactly for a node that can be the current message.
qint16 FindMessageNode(const AccountTreeModel& model, const QString& key);

// A key names a message node when it begins with "C", an account node with "P".
inline bool IsMessageKey(const QString& key) {
    return key.startsWith(QLatin1Char('C'));
}
inline bool IsAccountKey(const QString& key) {
    return key.startsWith(QLatin1Char('P'));
}
