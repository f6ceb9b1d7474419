#pragma once

#include "engine/pop/pop_reply_reader.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <functional>

// The ways a POP3 client proves who it is, each a short exchange of lines.
enum class PopLogonMethod { UserPass, Apop, SaslPlain, XOAuth2, OAuthBearer };

// What the choice of a log-on method and the exchange itself need to know.
struct PopLogonRequest {
    QByteArray User;
    QByteArray Secret;   // the password, or an OAuth2 access token
    bool Bearer = false; // Secret is an access token
    bool Encrypted = false;
    QByteArray ApopTimestamp; // from the greeting; empty when there was none
    bool ApopRefused = false; // refused on this account before: go straight to USER/PASS
    bool CapaKnown = false;
    QSet<QByteArray> Capabilities;   // upper case
    QSet<QByteArray> SaslMechanisms; // upper case
    QByteArray Host;                 // for OAUTHBEARER
    int Port = 0;
};

// The method a request calls for: an access token goes with XOAUTH2, or with
// OAUTHBEARER where the server lists that and not XOAUTH2; a password with
// SASL PLAIN over TLS to a server without USER, APOP on a plain connection
// whose greeting has a timestamp, else USER and PASS.
PopLogonMethod ChooseLogonMethod(const PopLogonRequest& request);

// How a log-on ended.
struct PopLogonOutcome {
    bool Accepted = false;
    QString Reason; // when refused: "Login refused" and the server's text
};

// Runs one log-on over a connection it reaches only through `send`: each
// line goes out and its reply comes back to the function given with it. A
// refused APOP goes on with USER and PASS; `apopRefused` hears of it first,
// so a caller whose connection the server then closes can log on again
// without APOP. A "+" challenge after a token (the server's error, as
// base64 JSON) is answered so the server ends the exchange: never a hang.
class PopLogon {
public:
    using Reply = std::function<void(const PopReply&)>;
    using Sender = std::function<void(const QByteArray& line, Reply onReply)>;
    using Done = std::function<void(const PopLogonOutcome&)>;

    static void Run(const PopLogonRequest& request, Sender send, Done done,
                    std::function<void()> apopRefused = {});

    // The base64 lines the SASL methods send.
    static QByteArray PlainResponse(const QByteArray& user, const QByteArray& password);
    static QByteArray XOAuth2Response(const QByteArray& user, const QByteArray& token);
    static QByteArray OAuthBearerResponse(const QByteArray& user, const QByteArray& host, int port,
                                          const QByteArray& token);
};
