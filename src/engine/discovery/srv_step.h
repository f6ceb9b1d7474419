#pragma once

#include "engine/discovery/lookup_step.h"

#include <QList>
#include <functional>
#include <memory>

// One SRV record as the answer gives it; a target of "." (or empty) says the
// service is not offered.
struct SrvRecord {
    QString Target;
    quint16 Port = 0;
    quint16 Priority = 0;
    quint16 Weight = 0;
};

// Answers SRV questions. The answer goes to `done`, never after `context` is
// gone; an empty list when the name has no records or the question failed.
class SrvAnswerer {
public:
    virtual ~SrvAnswerer() = default;
    virtual void Ask(const QString& name, QObject* context,
                     std::function<void(const QList<SrvRecord>&)> done) = 0;
};

// The system's resolver, through QDnsLookup.
class DnsSrvAnswerer : public SrvAnswerer {
public:
    void Ask(const QString& name, QObject* context,
             std::function<void(const QList<SrvRecord>&)> done) override;
};

// The domain's SRV records for POP3 (RFC 6186): _pop3s._tcp.DOMAIN, then
// _pop3._tcp.DOMAIN, each lowest priority first, higher weight first among
// equals. POP3 over TLS wins; plain POP3 is taken with STARTTLS. A record of
// target "." and no usable record in either: the domain offers no POP3.
class SrvStep : public LookupStep {
    Q_OBJECT
public:
    explicit SrvStep(std::shared_ptr<SrvAnswerer> answerer, QObject* parent = nullptr);
    void Start(const MailAddress& address) override;

    // The records in the order they are tried.
    static QList<SrvRecord> Ordered(QList<SrvRecord> records);

private:
    void AskFor(int service);
    void OnAnswer(int service, const QList<SrvRecord>& records);

    std::shared_ptr<SrvAnswerer> m_answerer;
    QString m_domain;
    bool m_refused = false; // a "." target was seen
};
