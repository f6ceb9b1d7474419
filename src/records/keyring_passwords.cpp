#include "records/keyring_passwords.h"

#include "records/app_state.h"
#include "records/password_codec.h"
#include "records/settings_section.h"

namespace {
const QString kApplicationName = QStringLiteral("Larkwatch");

QString decodeStoredPassword(const QString& stored) {
    return IsLegacyPasswordForm(stored) ? DecodeLegacyPassword(stored, kApplicationName)
                                        : DecodePassword(stored);
}

QString noAnswerReason(const QString& error) {
    return error.isEmpty() ? KeyringProblem::NoAnswer
                           : KeyringProblem::NoAnswer + QStringLiteral(": ") + error;
}
} // namespace

bool IsKeyringMarker(const QString& stored) {
    return stored == kKeyringMarker;
}

const AccountSecret& PasswordSecret() {
    static const AccountSecret secret{&MailAccount::Password, &MailAccount::PasswordProblem,
                                      &AccountKeys::Password, QString()};
    return secret;
}

const AccountSecret& TokenSecret() {
    static const AccountSecret secret{&MailAccount::OAuthToken, &MailAccount::TokenProblem,
                                      &AccountKeys::OAuthToken, QStringLiteral("oauth2:")};
    return secret;
}

QString KeyringEntryName(const MailAccount& account) {
    return account.User + QLatin1Char('@') + account.Host + QLatin1Char(':') +
           QString::number(account.Port);
}

QString KeyringEntryName(const MailAccount& account, const AccountSecret& secret) {
    return secret.EntryPrefix + KeyringEntryName(account);
}

void LoadPassword(AppState& state, MailAccount& account, const QString& stored,
                  const AccountSecret& secret) {
    QString& value = account.*secret.Value;
    QString& problem = account.*secret.Problem;
    problem.clear();
    if (!IsKeyringMarker(stored)) {
        value = decodeStoredPassword(stored);
        return;
    }
    value.clear();
    if (!state.Vault) {
        problem = KeyringProblem::NoAnswer;
        return;
    }
    const QString entry = KeyringEntryName(account, secret);
    const PasswordVault::ReadResult read = state.Vault->Read(entry);
    switch (read.Result) {
    case PasswordVault::Outcome::Done:
        // An empty entry is never written; one found is as good as none.
        if (read.Password.isEmpty()) {
            problem = KeyringProblem::Missing;
            return;
        }
        value = read.Password;
        state.KeyringEntries.insert(entry, read.Password);
        return;
    case PasswordVault::Outcome::NotFound:
        problem = KeyringProblem::Missing;
        return;
    case PasswordVault::Outcome::NoAnswer:
        problem = noAnswerReason(read.Error);
        return;
    }
}

StoredPasswords StorePasswords(AppState& state, const AccountSecret& secret) {
    StoredPasswords out;
    bool keyringAnswers = state.AppSettings.Keyring && state.Vault;
    // Entry -> the password saved under it in this save; empty for an
    // account whose password could not be had (what the entry holds is not
    // known). A second account of the same mailbox with another password
    // stays in the settings file rather than overwrite the first.
    QHash<QString, QString> claimed;
    for (int n = 1; n <= state.AccountCount(); ++n) {
        MailAccount& a = state.Account(n);
        const QString& value = a.*secret.Value;
        QString& problem = a.*secret.Problem;
        const QString entry = KeyringEntryName(a, secret);
        if (!problem.isEmpty()) {
            if (value.isEmpty()) {
                out.Stored.append(kKeyringMarker);
                out.EntriesInUse.insert(entry);
                claimed.insert(entry, QString());
                continue;
            }
            problem.clear(); // the user gave the account a password
        }
        QString stored = EncodePassword(value);
        const bool entryFree = !claimed.contains(entry) || claimed.value(entry) == value;
        if (keyringAnswers && !value.isEmpty() && entryFree) {
            const auto known = state.KeyringEntries.constFind(entry);
            bool inKeyring = known != state.KeyringEntries.cend() && known.value() == value;
            if (!inKeyring) {
                if (state.Vault->Write(entry, value) == PasswordVault::Outcome::Done) {
                    state.KeyringEntries.insert(entry, value);
                    inKeyring = true;
                } else {
                    // What the entry holds now is not known; the rest of
                    // this save does without the keyring.
                    state.KeyringEntries.remove(entry);
                    keyringAnswers = false;
                }
            }
            if (inKeyring) {
                stored = kKeyringMarker;
                out.EntriesInUse.insert(entry);
                claimed.insert(entry, value);
            }
        }
        out.Stored.append(stored);
    }
    return out;
}

void RemoveUnusedEntries(AppState& state, const QSet<QString>& entriesInUse) {
    if (!state.Vault)
        return;
    const QStringList known = state.KeyringEntries.keys();
    for (const QString& entry : known) {
        if (entriesInUse.contains(entry))
            continue;
        if (state.Vault->Remove(entry) == PasswordVault::Outcome::NoAnswer)
            return; // left for a later save of this run
        state.KeyringEntries.remove(entry);
    }
}

bool PasswordsWantMoving(const AppState& state) {
    namespace K = AccountKeys;
    const SectionReader accounts(state.Store, K::Section);
    const bool inKeyringWanted = state.AppSettings.Keyring && state.Vault;
    for (const AccountSecret* secret : {&PasswordSecret(), &TokenSecret()}) {
        for (int n = 1; n <= state.AccountCount(); ++n) {
            const MailAccount& a = state.Account(n);
            if (!(a.*secret->Problem).isEmpty() || (a.*secret->Value).isEmpty())
                continue;
            if (IsKeyringMarker(accounts.Read(*secret->Key, n)) != inKeyringWanted)
                return true;
        }
    }
    return false;
}
