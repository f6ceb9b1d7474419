#pragma once

#include "records/password_vault.h"

namespace QKeychain {
class Job;
}

// The desktop keyring (the Secret Service or KWallet) through QtKeychain,
// under the service name "Larkwatch". Each call waits for its job in a local
// event loop that leaves user input for later, at most timeoutMs; a keyring
// that lets one job go unanswered counts as absent for the rest of the run,
// so a silent keyring costs one wait, not one per account.
class KeychainVault : public PasswordVault {
public:
    static constexpr int kDefaultTimeoutMs = 5000;
    explicit KeychainVault(int timeoutMs = kDefaultTimeoutMs);

    ReadResult Read(const QString& entry) override;
    Outcome Write(const QString& entry, const QString& password) override;
    Outcome Remove(const QString& entry) override;

private:
    // Runs the job to its end or to the time limit. Returns false when it
    // did not end; the job then deletes itself whenever it does.
    bool RunToEnd(QKeychain::Job& job);
    Outcome OutcomeOf(const QKeychain::Job& job, QString* error = nullptr) const;

    const int m_timeoutMs;
    bool m_silent = false;
};
