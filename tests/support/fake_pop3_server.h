#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QStringList>
#include <QTcpServer>

#include <functional>

class QSslSocket;

// A scriptable POP3 server for tests and benchmarks, on 127.0.0.1 and a free
// port. It serves a mailbox, records every command it receives, and fails on
// demand. Settings are read when a client connects or sends a command, so a
// test may change them between steps.
class FakePop3Server : public QTcpServer {
    Q_OBJECT
public:
    struct Message {
        QByteArray Raw;
        QByteArray UniqueId;
    };

    explicit FakePop3Server(QObject* parent = nullptr);
    ~FakePop3Server() override;

    bool Listen();
    quint16 Port() const { return serverPort(); }
    // A port on 127.0.0.1 that nobody listens on (connection refused).
    static quint16 ClosedPort();
    QString CertificateSha256() const; // "AB:CD:..." of the TLS certificate

    // The mailbox; DELE marks, QUIT removes, a dropped connection keeps.
    QList<Message> Mailbox;
    void AddMessage(const QByteArray& raw, const QByteArray& uniqueId = {});

    QByteArray User = "ann";
    QByteArray Password = "secret";
    QByteArray AccessToken = "token-ann"; // what XOAUTH2 and OAUTHBEARER take
    // When set, decides instead whether a token is good for a user.
    std::function<bool(const QByteArray& user, const QByteArray& token)> AcceptToken;

    // What the server offers.
    bool OfferCapa = true;
    bool OfferTop = true;
    bool OfferUidl = true;
    bool OfferPipelining = true;
    bool OfferUser = true;
    bool OfferStls = false;
    QByteArrayList SaslMechanisms;
    bool ApopTimestamp = false; // greeting carries an APOP timestamp
    bool NoApopSecrets = false; // ... shown to everybody, yet APOP is refused to all
    bool CloseAfterApopRefusal = false;
    bool ImplicitTls = false; // TLS from the first byte
    bool BareLf = false;      // LF instead of CR LF after every line
    int ReplyDelayMs = 0;     // every reply leaves this long after its command

    // Faults on demand. Command names are upper case ("TOP", "PASS"); the
    // fields that name a command also take "GREETING" for the greeting.
    QByteArray Greeting = "+OK fake POP3 server ready";
    bool SilentGreeting = false;    // connect, then say nothing
    bool DropAfterGreeting = false; // greet, then close
    QByteArray ErrOn;               // this command gets "-ERR"
    QByteArray NoReplyTo;           // no reply to this command, nor to any after it
    QByteArray DropOn;              // this command closes the connection, unanswered
    QByteArray DropMidReplyOn;      // half of the reply, then close
    QByteArray GarbageStatusOn;     // a status line that is neither +OK nor -ERR
    QByteArray OversizedLineOn;     // a reply line of OversizedLineBytes, then no reply
    qint64 OversizedLineBytes = 2 * 1024 * 1024;
    // The reply without the "." that ends a multi-line one, then lines
    // without end (up to EndlessReplyLimit bytes, then the connection is
    // closed).
    QByteArray EndlessReplyOn;
    qint64 EndlessReplyLimit = 256 * 1024 * 1024;
    // A reply whose counts are wrong: STAT counts one message fewer, LIST and
    // UIDL leave out the last message, TOP sends the whole message and RETR
    // lines the message does not have; any other reply comes twice.
    QByteArray WrongCountOn;
    QByteArray BytesAfterStls;   // sent in clear right after STLS's +OK
    int DropAfterMessages = 0;   // above 0: TOP or RETR of a later message closes the connection
    int SilentAfterMessages = 0; // above 0: from TOP or RETR of a later message on, no replies

    // What happened.
    QStringList Transcript; // commands as received; "<CONNECT>" and "<TLS>" markers
    qint64 BytesSent = 0;
    // Most commands received while at least one reply was still owed.
    int MaxCommandsInFlight = 0;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Session;
    void OnReadable(Session* session);
    void Handle(Session* session, const QByteArray& line);
    void Reply(Session* session, const QByteArray& bytes, int after = 0);
    // The reply to `command` with the faults that strike after it was made.
    void Answer(Session* session, const QByteArray& command, QByteArray reply, int after);
    void PumpEndless(Session* session);
    void Flush(Session* session);
    void Close(Session* session);
    QByteArray MultiLine(const QByteArray& status, const QList<QByteArray>& lines) const;
    QByteArray Line(const QByteArray& text) const;
    int Find(Session* session, const QByteArray& argument) const;

    QSslCertificate m_certificate;
    QSslKey m_key;
    QHash<QSslSocket*, Session*> m_sessions;
    QList<Session*> m_finished; // disconnected, deleted on the next turn of the event loop
};
