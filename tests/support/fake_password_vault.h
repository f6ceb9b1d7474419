#pragma once

#include "records/password_vault.h"

#include <QHash>
#include <QStringList>
#include <memory>

// A keyring in memory. Its entries live apart from the vault object, so the
// vault of a second state (a restart) sees the same keyring. While not
// Answering it behaves as a keyring that is absent or silent.
class FakePasswordVault : public PasswordVault {
public:
    using Keyring = QHash<QString, QString>;
    explicit FakePasswordVault(std::shared_ptr<Keyring> keyring = std::make_shared<Keyring>())
        : Entries(std::move(keyring)) {}

    ReadResult Read(const QString& entry) override {
        Calls.append("read " + entry);
        if (!Answering)
            return {Outcome::NoAnswer, QString(), QStringLiteral("no keyring here")};
        const auto it = Entries->constFind(entry);
        if (it == Entries->cend())
            return {Outcome::NotFound, QString(), QString()};
        return {Outcome::Done, it.value(), QString()};
    }
    Outcome Write(const QString& entry, const QString& password) override {
        Calls.append("write " + entry);
        if (!Answering || WritesLeft == 0)
            return Outcome::NoAnswer;
        if (WritesLeft > 0)
            --WritesLeft;
        Entries->insert(entry, password);
        return Outcome::Done;
    }
    Outcome Remove(const QString& entry) override {
        Calls.append("remove " + entry);
        if (!Answering)
            return Outcome::NoAnswer;
        return Entries->remove(entry) ? Outcome::Done : Outcome::NotFound;
    }

    std::shared_ptr<Keyring> Entries;
    bool Answering = true;
    int WritesLeft = -1; // writes taken before it stops answering; -1: no limit
    QStringList Calls;   // "read e", "write e", "remove e" in order
};
