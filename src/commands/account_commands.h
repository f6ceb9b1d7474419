#pragma once

class MainWindow;

// The "&Accounts" menu's commands. Each keeps three things in step: the
// account list, the section "Accounts" of the settings file (rewritten in
// full before the tree is touched) and the account's node in the tree. Add
// and modify check the account at once. The polling timer is stopped for the
// whole of each command.
namespace AccountCommands {
void mnuNewAccount_Click(MainWindow& window);
void mnuModifyAccount_Click(MainWindow& window);
void mnuDeleteAccount_Click(MainWindow& window);
} // namespace AccountCommands

// Connects "&Add Account", "&Modify Account" and "&Delete Account".
void ConnectAccountCommands(MainWindow& window);
