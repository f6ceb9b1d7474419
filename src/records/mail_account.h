#pragma once

#include "records/settings_keys.h"

#include <QString>

// Connection security of an account.
namespace Security {
inline const QString None = QStringLiteral("None");
inline const QString StartTls = QStringLiteral("STARTTLS");
inline const QString Tls = QStringLiteral("TLS");
} // namespace Security

// One configured POP3 account.
struct MailAccount {
    QString Title; // unique, shown in the tree and in status texts
    QString Host;
    QString User;
    QString Password; // plain in memory; in the desktop keyring or encoded in the settings file
    qint32 Port = qint32(AccountKeys::Port.Default);
    QString NodeKey; // "P1".."P32766", drawn anew at every load, never stored
    bool Disabled = AccountKeys::Disabled.Default;
    QString Security = Security::None; // "None", "STARTTLS" or "TLS"
    QString CertSHA256;                // hex fingerprint of a certificate the user trusts
    // Why the password could not be had at load (the settings file points at
    // the desktop keyring, which lacks the entry or did not answer); empty
    // when Password is the account's password. Never stored.
    QString PasswordProblem;

    bool operator==(const MailAccount&) const = default;
};
