#pragma once

#include "engine/discovery/lookup_step.h"

#include <QList>
#include <QSslCertificate>
#include <QStringList>

class QNetworkAccessManager;
class QNetworkReply;

// The provider's published mail configuration, fetched over HTTPS with a
// verified certificate from https://autoconfig.DOMAIN/mail/config-v1.1.xml,
// then https://DOMAIN/.well-known/autoconfig/mail/config-v1.1.xml. A document
// over kAutoconfigMaxBytes is not read to its end.
class AutoconfigStep : public LookupStep {
    Q_OBJECT
public:
    // urlBase: empty for the provider's own addresses; for tests, an
    // "https://host:port" under which both are asked for as
    // BASE/autoconfig.DOMAIN/mail/config-v1.1.xml and
    // BASE/DOMAIN/.well-known/autoconfig/mail/config-v1.1.xml.
    // trustedCas: empty for the system's authorities.
    AutoconfigStep(const QString& urlBase, const QList<QSslCertificate>& trustedCas, int timeoutMs,
                   QObject* parent = nullptr);

    static QStringList Urls(const QString& urlBase, const QString& domain);

    void Start(const MailAddress& address) override;

private:
    void FetchNext();
    void OnFinished(QNetworkReply* reply);

    const QString m_urlBase;
    const QList<QSslCertificate> m_trustedCas;
    const int m_timeoutMs;
    QNetworkAccessManager* m_network;
    MailAddress m_address;
    QStringList m_urls;
};
