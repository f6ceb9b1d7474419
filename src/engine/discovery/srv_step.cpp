#include "engine/discovery/srv_step.h"

#include "records/mail_account.h"

#include <QDnsLookup>
#include <algorithm>

namespace {

struct Service {
    const char* Label;
    const QString& Security;
};
const Service kServices[] = {
    {"_pop3s._tcp.", Security::Tls},
    {"_pop3._tcp.", Security::StartTls},
};

bool isNoService(const QString& target) {
    return target.isEmpty() || target == QLatin1String(".");
}

} // namespace

void DnsSrvAnswerer::Ask(const QString& name, QObject* context,
                         std::function<void(const QList<SrvRecord>&)> done) {
    auto* lookup = new QDnsLookup(QDnsLookup::SRV, name, context);
    QObject::connect(lookup, &QDnsLookup::finished, context, [lookup, done] {
        lookup->deleteLater();
        QList<SrvRecord> records;
        if (lookup->error() == QDnsLookup::NoError) {
            for (const QDnsServiceRecord& record : lookup->serviceRecords())
                records.append(
                    {record.target(), record.port(), record.priority(), record.weight()});
        }
        done(records);
    });
    lookup->lookup();
}

SrvStep::SrvStep(std::shared_ptr<SrvAnswerer> answerer, QObject* parent)
    : LookupStep(parent), m_answerer(std::move(answerer)) {}

QList<SrvRecord> SrvStep::Ordered(QList<SrvRecord> records) {
    std::stable_sort(records.begin(), records.end(), [](const SrvRecord& a, const SrvRecord& b) {
        return a.Priority != b.Priority ? a.Priority < b.Priority : a.Weight > b.Weight;
    });
    return records;
}

void SrvStep::Start(const MailAddress& address) {
    m_domain = address.Domain;
    AskFor(0);
}

void SrvStep::AskFor(int service) {
    if (service >= int(std::size(kServices))) {
        FoundSettings none;
        none.Source = SettingsSource::Dns;
        none.NoPop3 = m_refused;
        Q_EMIT Done(none);
        return;
    }
    m_answerer->Ask(
        QLatin1String(kServices[service].Label) + m_domain, this,
        [this, service](const QList<SrvRecord>& records) { OnAnswer(service, records); });
}

void SrvStep::OnAnswer(int service, const QList<SrvRecord>& records) {
    for (const SrvRecord& record : Ordered(records)) {
        if (isNoService(record.Target)) {
            m_refused = true;
            continue;
        }
        QString host = record.Target;
        if (host.endsWith(QLatin1Char('.')))
            host.chop(1);
        if (!IsHostName(host) || record.Port == 0)
            continue;
        FoundSettings found;
        found.Found = true;
        found.Source = SettingsSource::Dns;
        found.Host = host;
        found.Port = record.Port;
        found.Security = kServices[service].Security;
        Q_EMIT Done(found);
        return;
    }
    AskFor(service + 1);
}
