#pragma once

#include <QJsonArray>

class AccountTreeModel;
class AppState;
class MailEngine;

// The accounts of the last pass as `larkwatch --check --json` prints them:
// for each account with a node in the tree its title, status line, error
// (null when none) and messages (number, size, subject, from, state "new",
// "seen", "deleted" or "error", and the node's text).
QJsonArray PassAccountsJson(const AppState& state, const AccountTreeModel& tree,
                            const MailEngine& engine);
