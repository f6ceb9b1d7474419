#pragma once

#include <QString>

// A store of secrets by entry name, such as the desktop keyring. Every call
// returns within a bounded time: a store that does not answer counts as
// absent. Used on the user-interface thread only.
class PasswordVault {
public:
    enum class Outcome {
        Done,     // read, written or removed
        NotFound, // the store answered: it has no such entry
        NoAnswer, // no store, or it failed or did not answer in time
    };
    struct ReadResult {
        Outcome Result = Outcome::NoAnswer;
        QString Password; // when Done
        QString Error;    // the store's reason when NoAnswer, for the user
    };

    virtual ~PasswordVault() = default;
    virtual ReadResult Read(const QString& entry) = 0;
    virtual Outcome Write(const QString& entry, const QString& password) = 0;
    // NotFound counts as removed.
    virtual Outcome Remove(const QString& entry) = 0;
};
