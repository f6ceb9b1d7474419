#pragma once

#include <QString>
#include <QtGlobal>

class AppState;

// The account list in section "Accounts".
void LoadAccounts(AppState& state);
void SaveAccounts(AppState& state);
// Saves the list when some password is not where the Keyring option wants it
// (the keyring or the settings file); true when it saved.
bool MovePasswordsAsChosen(AppState& state);
// A node key "P1".."P32766" that no account in the list has, drawn at random;
// empty when the list holds every key.
QString NewAccountKey(AppState& state);
// The first position whose NodeKey equals key, or 0.
qint16 FindAccountByKey(const AppState& state, const QString& key);
// The security an account has when none (or an unknown one) is stored.
QString DefaultSecurity(qint32 port);

inline constexpr int kMaxAccounts = 32766;
