#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

struct TextKey;
class AppState;
struct MailAccount;

// Account passwords in the desktop keyring (AppState::Vault). While a
// password is there, the settings file holds the marker below in its
// "Password"n key; without a keyring, or with the Keyring option off, the
// password stays encoded in the settings file as before.
//
// The marker holds characters above U+00FF: the encoded form uses only ";" to
// "z", and the older keyed form was written from 8-bit characters, so no
// stored password of either form is ever taken for the marker. A program that
// does not know it reads it as an older-form password: a wrong password, not
// an unreadable file.
inline const QString kKeyringMarker = QStringLiteral(u"\u2039keyring\u203A");
bool IsKeyringMarker(const QString& stored);

// An account's keyring entry: "user@host:port". It names the mailbox, so it
// survives reordering and renaming the account; a change of user, host or
// port moves the password to a new entry at the next save.
QString KeyringEntryName(const MailAccount& account);

// A secret of an account kept this way: the password, or the OAuth2 refresh
// token (its entry is the password's with "oauth2:" in front).
struct AccountSecret {
    QString MailAccount::*Value;
    QString MailAccount::*Problem;
    const TextKey* Key;
    QString EntryPrefix;
};
const AccountSecret& PasswordSecret();
const AccountSecret& TokenSecret();
QString KeyringEntryName(const MailAccount& account, const AccountSecret& secret);

// The tool-tip reasons of an account whose password could not be had.
namespace KeyringProblem {
inline const QString Missing = QStringLiteral("The password is not in the desktop keyring");
inline const QString NoAnswer = QStringLiteral("The desktop keyring did not answer");
} // namespace KeyringProblem

// Fills the account's Password from its stored text: decoded, or read from
// the keyring for the marker. A marker whose entry cannot be read leaves
// Password empty and sets PasswordProblem.
void LoadPassword(AppState& state, MailAccount& account, const QString& stored,
                  const AccountSecret& secret = PasswordSecret());

// The stored text of every account's password, in list order, for a save.
// With the Keyring option on and a keyring that answers, each password is
// written to the keyring first, and its account gets the marker only once the
// keyring took it; otherwise the encoded form. An account whose password
// could not be had keeps its marker, so no password is lost.
struct StoredPasswords {
    QStringList Stored;
    QSet<QString> EntriesInUse;
};
StoredPasswords StorePasswords(AppState& state, const AccountSecret& secret = PasswordSecret());

// Removes the keyring entries this run knows of that no account uses any
// more (accounts deleted, moved to another entry or back to the settings
// file). Called only after the settings file holds the new texts.
void RemoveUnusedEntries(AppState& state, const QSet<QString>& entriesInUse);

// True when some account's password is not where the Keyring option wants it
// (settings file or keyring) and could be moved; reads the stored texts.
// Looks at passwords and refresh tokens both.
bool PasswordsWantMoving(const AppState& state);
