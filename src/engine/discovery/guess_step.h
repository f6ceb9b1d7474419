#pragma once

#include "engine/discovery/lookup_step.h"

#include <QHash>
#include <QList>
#include <memory>
#include <vector>

class QSslSocket;

// Where the guess step knocks. Tests map the guessed names to loopback and
// move the ports; the program uses the defaults.
struct GuessTargets {
    quint16 TlsPort = 995;
    quint16 PlainPort = 110;
    // Empty: each guessed name is asked for itself. Otherwise the address to
    // reach each guessed name at; a name not in it does not answer.
    QHash<QString, QString> Addresses;
};

// A guess: pop.DOMAIN, pop3.DOMAIN and mail.DOMAIN, each kept only when a
// POP3 server answers there: a greeting over TLS on the TLS port, or a
// greeting and a CAPA that lists STLS on the plain port. All are tried at
// once; the first in that order (TLS before STARTTLS) that answers wins.
// No credentials are sent, so the certificate is not judged here: the
// account's first check does that.
class GuessStep : public LookupStep {
    Q_OBJECT
public:
    explicit GuessStep(GuessTargets targets, QObject* parent = nullptr);
    ~GuessStep() override;
    void Start(const MailAddress& address) override;
    // The best server that has answered so far.
    FoundSettings AtTimeOut() const override;

    static QStringList Candidates(const QString& domain);

private:
    struct Probe;
    void Knock(Probe& probe);
    void OnReadable(Probe& probe);
    void Settle(Probe& probe, bool answered);
    void DecideIfDone();
    FoundSettings Best(bool waitForBetter) const;

    const GuessTargets m_targets;
    std::vector<std::unique_ptr<Probe>> m_probes; // in the order of preference
    bool m_done = false;
};
