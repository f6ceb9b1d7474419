#include "engine/pop/pop_logon.h"

#include <QCryptographicHash>

#include <memory>

namespace {

PopLogonOutcome Refused(const QByteArray& statusText, const QByteArray& challenge = {}) {
    QString text = PopServerText(statusText);
    // The error a server gives with its challenge (base64 JSON) says why.
    const QString error =
        QString::fromUtf8(QByteArray::fromBase64(challenge)).simplified().left(200);
    if (!error.isEmpty())
        text = text.isEmpty() ? error : text + QStringLiteral(" (") + error + u')';
    return {false, text.isEmpty() ? QStringLiteral("Login refused")
                                  : QStringLiteral("Login refused: ") + text};
}

void Finish(const PopReply& reply, const PopLogon::Done& done) {
    if (reply.Ok && !reply.Continuation)
        done({true, {}});
    else
        done(Refused(reply.StatusText));
}

// "AUTH name", the server's "+", then the response on a line of its own; a
// second "+" is the server's error, answered with `abort` so that it ends
// the exchange with its "-ERR".
void RunSasl(const QByteArray& name, const QByteArray& response, const QByteArray& abort,
             const PopLogon::Sender& send, const PopLogon::Done& done) {
    send("AUTH " + name, [=](const PopReply& ready) {
        if (!ready.Continuation) {
            done(Refused(ready.StatusText));
            return;
        }
        send(response, [=](const PopReply& reply) {
            if (!reply.Continuation) {
                Finish(reply, done);
                return;
            }
            send(abort, [=, challenge = reply.StatusText](const PopReply& last) {
                done(Refused(last.Continuation ? QByteArray() : last.StatusText, challenge));
            });
        });
    });
}

void RunUserPass(const PopLogonRequest& request, const PopLogon::Sender& send,
                 const PopLogon::Done& done) {
    send("USER " + request.User, [=](const PopReply& reply) {
        if (!reply.Ok || reply.Continuation) {
            done(Refused(reply.StatusText));
            return;
        }
        send("PASS " + request.Secret, [=](const PopReply& pass) { Finish(pass, done); });
    });
}

} // namespace

PopLogonMethod ChooseLogonMethod(const PopLogonRequest& request) {
    if (request.Bearer) {
        const bool onlyBearer = request.SaslMechanisms.contains("OAUTHBEARER") &&
                                !request.SaslMechanisms.contains("XOAUTH2");
        return onlyBearer ? PopLogonMethod::OAuthBearer : PopLogonMethod::XOAuth2;
    }
    if (request.Encrypted && request.CapaKnown && !request.Capabilities.contains("USER") &&
        request.SaslMechanisms.contains("PLAIN"))
        return PopLogonMethod::SaslPlain;
    if (!request.Encrypted && !request.ApopTimestamp.isEmpty() && !request.ApopRefused)
        return PopLogonMethod::Apop;
    return PopLogonMethod::UserPass;
}

QByteArray PopLogon::PlainResponse(const QByteArray& user, const QByteArray& password) {
    return (QByteArray(1, '\0') + user + '\0' + password).toBase64();
}

QByteArray PopLogon::XOAuth2Response(const QByteArray& user, const QByteArray& token) {
    return ("user=" + user +
            "\x01"
            "auth=Bearer " +
            token + "\x01\x01")
        .toBase64();
}

QByteArray PopLogon::OAuthBearerResponse(const QByteArray& user, const QByteArray& host, int port,
                                         const QByteArray& token) {
    return ("n,a=" + user +
            ",\x01"
            "host=" +
            host +
            "\x01"
            "port=" +
            QByteArray::number(port) +
            "\x01"
            "auth=Bearer " +
            token + "\x01\x01")
        .toBase64();
}

void PopLogon::Run(const PopLogonRequest& request, Sender send, Done done,
                   std::function<void()> apopRefused) {
    switch (ChooseLogonMethod(request)) {
    case PopLogonMethod::XOAuth2:
        RunSasl("XOAUTH2", XOAuth2Response(request.User, request.Secret), QByteArray(), send, done);
        return;
    case PopLogonMethod::OAuthBearer:
        RunSasl("OAUTHBEARER",
                OAuthBearerResponse(request.User, request.Host, request.Port, request.Secret),
                "AQ==", send, done);
        return;
    case PopLogonMethod::SaslPlain: {
        const QByteArray response = PlainResponse(request.User, request.Secret);
        send("AUTH PLAIN " + response, [=](const PopReply& reply) {
            if (reply.Continuation) // a server that wants the credentials on their own line
                send(response, [=](const PopReply& again) { Finish(again, done); });
            else
                Finish(reply, done);
        });
        return;
    }
    case PopLogonMethod::Apop: {
        const QByteArray digest = QCryptographicHash::hash(request.ApopTimestamp + request.Secret,
                                                           QCryptographicHash::Md5)
                                      .toHex();
        send("APOP " + request.User + ' ' + digest, [=](const PopReply& reply) {
            if (reply.Ok && !reply.Continuation) {
                done({true, {}});
                return;
            }
            // A timestamp is offered to everybody; the user may have no APOP
            // secret at all. The password may still be right for USER/PASS.
            if (apopRefused)
                apopRefused();
            RunUserPass(request, send, done);
        });
        return;
    }
    case PopLogonMethod::UserPass:
        RunUserPass(request, send, done);
        return;
    }
}
