#pragma once

#include "engine/discovery/found_settings.h"
#include "engine/discovery/guess_step.h"
#include "engine/discovery/host_names.h"
#include "engine/discovery/srv_step.h"

#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <memory>

class LookupStep;
class QTimer;

// Where the look-up's network steps go. The program uses the defaults; tests
// point each step at a loopback server or a fake.
struct LookupTargets {
    // The published configuration: see AutoconfigStep.
    QString AutoconfigUrlBase;
    QList<QSslCertificate> TrustedCas;
    // DNS SRV; null: the system's resolver.
    std::shared_ptr<SrvAnswerer> Srv;
    GuessTargets Guess;
    // The most each network step may take.
    int StepTimeoutMs = 5000;
};

// Finds an account's server settings from its address; the first step with
// an answer wins: the provider table, the provider's published
// configuration, DNS SRV records, a guess. Works in the background, one
// look-up at a time; Finished comes once per look-up unless it is cancelled.
class SettingsLookup : public QObject {
    Q_OBJECT
public:
    explicit SettingsLookup(QObject* parent = nullptr);
    ~SettingsLookup() override;

    void SetTargets(LookupTargets targets) { m_targets = std::move(targets); }
    const LookupTargets& Targets() const { return m_targets; }

    // Starts a look-up for `address`, cancelling one under way.
    void Start(const MailAddress& address);
    // Stops the look-up under way; no Finished follows.
    void Cancel();
    bool Running() const;

Q_SIGNALS:
    void Finished(const FoundSettings& result);

private:
    void RunStep(int index);
    void OnStepDone(const FoundSettings& result);
    void DropStep();
    void Finish(const FoundSettings& result);

    LookupTargets m_targets;
    MailAddress m_address;
    int m_stepIndex = 0;
    bool m_running = false;
    quint64 m_generation = 0; // a look-up's answers carry it; Cancel moves it on
    QPointer<LookupStep> m_step;
    QTimer* m_stepTimer;
};
