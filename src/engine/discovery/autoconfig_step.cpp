#include "engine/discovery/autoconfig_step.h"

#include "engine/discovery/autoconfig_document.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>

AutoconfigStep::AutoconfigStep(const QString& urlBase, const QList<QSslCertificate>& trustedCas,
                               int timeoutMs, QObject* parent)
    : LookupStep(parent), m_urlBase(urlBase), m_trustedCas(trustedCas), m_timeoutMs(timeoutMs),
      m_network(new QNetworkAccessManager(this)) {}

QStringList AutoconfigStep::Urls(const QString& urlBase, const QString& domain) {
    const QString first = QStringLiteral("autoconfig.%1/mail/config-v1.1.xml").arg(domain);
    const QString second =
        QStringLiteral("%1/.well-known/autoconfig/mail/config-v1.1.xml").arg(domain);
    const QString base = urlBase.isEmpty() ? QStringLiteral("https:/") : urlBase;
    return {base + QLatin1Char('/') + first, base + QLatin1Char('/') + second};
}

void AutoconfigStep::Start(const MailAddress& address) {
    m_address = address;
    m_urls = Urls(m_urlBase, address.Domain);
    FetchNext();
}

void AutoconfigStep::FetchNext() {
    if (m_urls.isEmpty()) {
        Q_EMIT Done(FoundSettings());
        return;
    }
    QNetworkRequest request(QUrl(m_urls.takeFirst()));
    // Never in clear, not even after a redirect.
    if (request.url().scheme() != QLatin1String("https")) {
        FetchNext();
        return;
    }
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(3);
    request.setTransferTimeout(m_timeoutMs);
    if (!m_trustedCas.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setCaCertificates(m_trustedCas);
        request.setSslConfiguration(tls);
    }
    QNetworkReply* reply = m_network->get(request);
    // A document too long to be one is not read further.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > kAutoconfigMaxBytes || total > kAutoconfigMaxBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { OnFinished(reply); });
}

void AutoconfigStep::OnFinished(QNetworkReply* reply) {
    reply->deleteLater();
    if (reply->error() == QNetworkReply::NoError) {
        if (const auto found = ReadAutoconfigDocument(reply->readAll(), m_address)) {
            Q_EMIT Done(*found);
            return;
        }
    }
    FetchNext();
}
