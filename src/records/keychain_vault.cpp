#include "records/keychain_vault.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QTimer>
#include <memory>

namespace {
const QString kService = QStringLiteral("Larkwatch");
} // namespace

KeychainVault::KeychainVault(int timeoutMs) : m_timeoutMs(timeoutMs) {}

bool KeychainVault::RunToEnd(QKeychain::Job& job) {
    job.setAutoDelete(false);
    bool ended = false;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer); // a coarse one may end the wait early
    // Both connections end with the loop, so a job that ends late reaches
    // nothing of this call.
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        ended = true;
        loop.quit();
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    job.start();
    if (!ended) {
        limit.start(m_timeoutMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!ended) {
        m_silent = true;
        job.setAutoDelete(true);
    }
    return ended;
}

PasswordVault::Outcome KeychainVault::OutcomeOf(const QKeychain::Job& job, QString* error) const {
    switch (job.error()) {
    case QKeychain::NoError:
        return Outcome::Done;
    case QKeychain::EntryNotFound:
        return Outcome::NotFound;
    default:
        if (error)
            *error = job.errorString();
        return Outcome::NoAnswer;
    }
}

PasswordVault::ReadResult KeychainVault::Read(const QString& entry) {
    if (m_silent)
        return {};
    auto job = std::make_unique<QKeychain::ReadPasswordJob>(kService);
    job->setKey(entry);
    ReadResult result;
    if (!RunToEnd(*job)) {
        job.release(); // deletes itself when it ends
        return result;
    }
    result.Result = OutcomeOf(*job, &result.Error);
    if (result.Result == Outcome::Done)
        result.Password = job->textData();
    return result;
}

PasswordVault::Outcome KeychainVault::Write(const QString& entry, const QString& password) {
    if (m_silent)
        return Outcome::NoAnswer;
    auto job = std::make_unique<QKeychain::WritePasswordJob>(kService);
    job->setKey(entry);
    job->setTextData(password);
    if (!RunToEnd(*job)) {
        job.release();
        return Outcome::NoAnswer;
    }
    // A write that "found no entry" did not write.
    const Outcome outcome = OutcomeOf(*job);
    return outcome == Outcome::Done ? Outcome::Done : Outcome::NoAnswer;
}

PasswordVault::Outcome KeychainVault::Remove(const QString& entry) {
    if (m_silent)
        return Outcome::NoAnswer;
    auto job = std::make_unique<QKeychain::DeletePasswordJob>(kService);
    job->setKey(entry);
    if (!RunToEnd(*job)) {
        job.release();
        return Outcome::NoAnswer;
    }
    return OutcomeOf(*job);
}
