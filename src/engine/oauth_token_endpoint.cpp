#include "engine/oauth_token_endpoint.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

using Outcome = OAuthTokenAnswer::Outcome;

OAuthTokenAnswer Failure(Outcome outcome, const QString& reason) {
    OAuthTokenAnswer answer;
    answer.Result = outcome;
    answer.Reason = reason;
    return answer;
}

bool PrintableToken(const QString& token) {
    return std::all_of(token.cbegin(), token.cend(),
                       [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7F; });
}

} // namespace

OAuthTokenAnswer ReadTokenAnswer(int httpStatus, bool networkError, const QString& networkReason,
                                 const QByteArray& body) {
    if (httpStatus >= 500 || (networkError && httpStatus == 0))
        return Failure(Outcome::Unreachable,
                       httpStatus >= 500
                           ? QStringLiteral("The sign-in server answered HTTP %1").arg(httpStatus)
                           : QStringLiteral("The sign-in server could not be reached: ") +
                                 networkReason);
    if (body.size() > kMaxTokenAnswerBytes)
        return Failure(Outcome::Refused,
                       QStringLiteral("The sign-in server's answer is too large"));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return Failure(Outcome::Refused,
                       QStringLiteral("The sign-in server's answer is not understood (HTTP %1)")
                           .arg(httpStatus));
    const QJsonObject object = document.object();
    const QString error = object.value(QLatin1String("error")).toString();
    if (!error.isEmpty() || httpStatus >= 400) {
        QString reason = QStringLiteral("The sign-in server refused: ") +
                         (error.isEmpty() ? QStringLiteral("HTTP %1").arg(httpStatus) : error);
        const QString description = object.value(QLatin1String("error_description")).toString();
        if (!description.isEmpty())
            reason += QStringLiteral(" (") + description.simplified().left(200) + u')';
        return Failure(error == QLatin1String("invalid_grant") ? Outcome::SignInNeeded
                                                               : Outcome::Refused,
                       reason.left(300));
    }
    OAuthTokenAnswer answer;
    answer.AccessToken = object.value(QLatin1String("access_token")).toString();
    answer.RefreshToken = object.value(QLatin1String("refresh_token")).toString();
    if (answer.AccessToken.isEmpty() || !PrintableToken(answer.AccessToken) ||
        !PrintableToken(answer.RefreshToken))
        return Failure(Outcome::Refused,
                       QStringLiteral("The sign-in server's answer holds no usable token"));
    const QJsonValue expires = object.value(QLatin1String("expires_in"));
    answer.ExpiresInSeconds =
        expires.isString() ? expires.toString().toLongLong() : qint64(expires.toDouble(3600));
    if (answer.ExpiresInSeconds <= 0)
        answer.ExpiresInSeconds = 3600;
    answer.Result = Outcome::Granted;
    return answer;
}

OAuthTokenAnswer PostTokenRequest(QNetworkAccessManager& network, const QUrl& tokenUrl,
                                  const QUrlQuery& form, int timeoutMs) {
    if (!tokenUrl.isValid() ||
        (tokenUrl.scheme() != QLatin1String("https") && tokenUrl.scheme() != QLatin1String("http")))
        return Failure(Outcome::Refused, QStringLiteral("The token URL is not valid"));
    QNetworkRequest request(tokenUrl);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    request.setRawHeader("Accept", "application/json");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    QPointer<QNetworkReply> reply =
        network.post(request, form.toString(QUrl::FullyEncoded).toUtf8());
    QByteArray body;
    bool tooLarge = false;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        body += reply->readAll();
        if (body.size() > kMaxTokenAnswerBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs + 1000, &loop, [&] {
        if (reply)
            reply->abort();
    });
    if (!reply->isFinished())
        loop.exec();
    if (!tooLarge)
        body += reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool networkError =
        reply->error() != QNetworkReply::NoError && status == 0; // an HTTP error still has a body
    const QString networkReason = reply->errorString();
    reply->deleteLater();
    if (tooLarge)
        return Failure(Outcome::Refused,
                       QStringLiteral("The sign-in server's answer is too large"));
    return ReadTokenAnswer(status, networkError, networkReason, body);
}
