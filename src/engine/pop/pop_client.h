#pragma once

#include "engine/mime/header_field.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QSslSocket;
class QSslError;
class PopHeaderCache;
class PopReplyReader;
struct PopReply;
struct PopReplyShape;

// What a header or message request delivers through PopClient::DocOutput.
class PopDocument {
public:
    enum : qint16 { HeadersReady = 2, DataReady = 3, Failed = 4 };
    qint16 State = Failed;
    QList<HeaderField> Headers; // State 2
    // State 3: the chunk of readable text this event carries.
    QString GetData() const { return m_data; }
    void SetData(const QString& data) { m_data = data; }

private:
    QString m_data;
};
Q_DECLARE_METATYPE(PopDocument)

// Larkwatch's asynchronous POP3 client. A caller sets the properties, starts an
// operation, yields to the event loop until Busy() is false, and reads
// ConnectionState() and LogonState() for the outcome. Events are emitted from
// the event loop, never from inside a call. A call made while Busy() is true
// is ignored, except Cancel().
//
// Every operation ends: time-outs, a dropped connection, a malformed or
// oversized reply end the connection (LogonState 0, ConnectionState 6) with
// LastError() set. A "-ERR" to a per-message command keeps the connection and
// still answers: MessageSize(0), DocOutput in state 4, or no Delete().
class PopClient : public QObject {
    Q_OBJECT
public:
    enum : qint16 { ConnectionIdle = 4, ConnectionClosed = 6 };
    enum : qint16 { NotConnected = 0, Connected = 1, LoggedOn = 2 };

    explicit PopClient(QObject* parent = nullptr);
    ~PopClient() override;

    QString ServerHost;
    qint32 ServerPort = 110;
    QString UserName;
    QString UserPassword;
    bool BearerToken = false;                  // UserPassword is an OAuth2 access token; needs TLS
    QString Security = QStringLiteral("None"); // "None", "STARTTLS", "TLS"
    QString CertSHA256;                        // pinned certificate, may be empty

    // Limits. Tests shorten the time-outs.
    int ConnectTimeoutMs = 30000; // TCP connect, TLS handshake and greeting
    int CommandTimeoutMs = 60000; // each command, without progress
    qint64 MaxLineBytes = 1024 * 1024;
    qint64 MaxHeaderBytes = 1024 * 1024;
    qint64 MaxMessageBytes = 64 * 1024 * 1024;
    qint64 MaxListingBytes = 16 * 1024 * 1024; // LIST and UIDL of a whole mailbox
    int MessageChunkChars = 64 * 1024;         // size of the state-3 chunks

    // Speed-ups: one LIST and one UIDL per connection, header requests sent
    // ahead when the server offers PIPELINING, headers of messages read on an
    // earlier connection served from memory. They never change an outcome.
    bool SpeedUps = true;
    // Header requests sent ahead are bounded by the bytes they keep
    // outstanding: each request line written but not answered with the reply
    // it is expected to bring, and the replies read ahead but not yet asked
    // for. Replies read ahead beyond this bound are dropped and asked for
    // again when wanted.
    qint64 PipelineBytes = 1024 * 1024;
    // Replies already read are handled for at most this long in one turn of
    // the event loop.
    int ReplySliceMs = 10;

    void Connect();
    void Authenticate();
    void RequestMessageSize(qint16 number);
    void RetrieveHeaders(qint16 number);
    void RetrieveMessage(qint16 number);
    void DeleteMessage(qint16 number);
    void Quit();
    void Cancel();
    // The last Quit was answered "+OK": the server has entered its update
    // state and removed the messages deleted on this connection. A refused
    // QUIT, a connection lost or cancelled before the answer, or a session
    // that ended any other way leaves it false, and the server keeps them.
    bool QuitAccepted() const { return m_quitAccepted; }

    bool Busy() const;
    qint16 ConnectionState() const;
    qint16 LogonState() const;
    qint16 MessageCount() const;
    QString LastError() const;
    // False when a LIST or UIDL listing of this connection's mailbox did not
    // agree with the count STAT gave (a line too many, one missing, one not
    // understood): the messages checked may then not be all the server holds.
    bool ListingsAgree() const { return !m_listingsDisagree; }
    QString PeerCertificateSHA256() const;

    // Bytes received from servers since this client was made.
    qint64 BytesRead() const { return m_bytesRead; }
    void ClearHeaderCache();
    // The headers read so far, for the header memory file.
    PopHeaderCache& HeaderCache() { return *m_headerCache; }
    // After a check that listed the whole mailbox: forgets the headers of this
    // account's messages that this connection's UIDL listing no longer names.
    // Does nothing unless UIDL named every message STAT counted. Returns
    // whether any header went.
    bool PruneHeaderCache();

    // ---- What the message commands need: which message a number names now,
    // and what is left of a message cut short.

    // The unique id that this connection's UIDL listing gave message
    // `number`, or empty when no listing was read or the server has none.
    QString UniqueId(qint16 number) const;
    // Asks for the unique id of one message ("UIDL n", or the listing already
    // read on this connection); answered by UniqueIdReply, with an empty id
    // when the server has no such message or no UIDL.
    void RequestUniqueId(qint16 number);
    // RetrieveMessage ended early because the message is larger than
    // MaxMessageBytes. When a retrieval ends early (this, or a lost
    // connection), DocOutput still delivers the part that had arrived.
    bool MessageOverLimit() const { return m_messageOverLimit; }
    // The fingerprint of the certificate that made the last Connect fail as
    // untrusted, or empty.
    QString UntrustedCertificateSHA256() const;

Q_SIGNALS:
    void MessageSize(qint32 size);
    void Delete();
    void DocOutput(const PopDocument& document);
    void UniqueIdReply(qint16 number, const QString& uniqueId);

private:
    enum class Operation {
        None,
        Connect,
        Authenticate,
        Size,
        Headers,
        Message,
        Delete,
        Quit,
        UniqueId
    };
    enum class Mode { None, StartTls, Tls };
    struct PendingCommand;
    struct HeaderResult {
        bool Ok = false;
        QList<HeaderField> Fields;
        qint64 Bytes = 0; // of the reply
    };

    bool Begin(Operation operation);
    void Complete(std::function<void()> emitEvent = {});
    void FailOperation();
    void FailConnection(const QString& error);
    bool DeferFault(const QString& error);
    bool RequireLoggedOn();
    void CloseSocket();
    void ResetSession();

    void Send(const QByteArray& line, const PopReplyShape& shape,
              std::function<void(const PopReply&)> onReply);
    void Expect(const PopReplyShape& shape, std::function<void(const PopReply&)> onReply);
    void ProcessReplies(bool allBuffered = false);
    void ProcessRepliesLater();
    void RestartTimer();
    void OnReadyRead();
    void ReadReplies(bool allBuffered);
    void OnDisconnected();
    void OnSocketError();
    void OnSslErrors(const QList<QSslError>& errors);
    void OnEncrypted();
    void OnTimeout();

    void OnGreeting(const PopReply& reply);
    void SendCapa();
    void OnCapa(const PopReply& reply);
    void OpenSocket();
    void StartLogon();
    void OnStat(const PopReply& reply);
    void EndSession();

    void CompleteSize(qint32 size);
    void NoteListing(qsizetype lines, const QList<qint16>& numbers);
    bool UseTop() const;
    void ContinueHeaders();
    void SendHeaderRequest(qint16 number);
    void FillHeaderWindow(qint16 from);
    qint64 ExpectedHeaderReplyBytes(qint16 number) const;
    void DropHeadersAheadBefore(qint16 number);
    void OnHeaderReply(qint16 number, const PopReply& reply);
    void CompleteHeaders(const HeaderResult& result);
    std::optional<QString> CacheKey(qint16 number) const;
    const QList<HeaderField>* CachedHeaders(qint16 number) const;
    qint32 ListedSize(qint16 number) const;
    void SendUniqueIdsAhead();
    void TakeSizes(const PopReply& reply);
    void TakeUniqueIds(const PopReply& reply);
    void AskUniqueId(qint16 number, const std::function<void(const QString&)>& answer);

    // Connection and call state.
    QPointer<QSslSocket> m_socket;
    std::unique_ptr<PopReplyReader> m_reader;
    std::deque<PendingCommand> m_pending;
    QTimer m_timer;
    int m_timerInterval = 0;
    bool m_handshaking = false;
    Mode m_mode = Mode::None;
    bool m_busy = false;
    Operation m_operation = Operation::None;
    quint64 m_generation = 0;
    qint16 m_connectionState = ConnectionClosed;
    qint16 m_logonState = NotConnected;
    qint16 m_messageCount = 0;
    QString m_lastError;
    QString m_certError;
    QString m_peerSha256;
    qint64 m_bytesRead = 0;
    bool m_repliesQueued = false;
    bool m_quitAccepted = false;

    // What the server told us on this connection.
    QByteArray m_apopTimestamp;
    bool m_apopRefused = false; // on this log-on: use USER/PASS
    bool m_mayReopen = false;   // a lost connection now means: log on again without APOP
    bool m_capaKnown = false;
    QSet<QByteArray> m_capabilities;
    QSet<QByteArray> m_saslMechanisms;
    bool m_sizesKnown = false;
    QHash<qint16, qint32> m_sizes;
    bool m_uidlTried = false;
    QHash<qint16, QByteArray> m_uniqueIds;
    bool m_listingsDisagree = false;
    // UIDL sent right behind LIST and not yet answered, with the call that
    // waits for it.
    bool m_idsAhead = false;
    std::function<void()> m_afterIds;
    QString m_deferredFault; // a fault met ahead of the calls, not yet reported

    // Header requests of this connection.
    qint16 m_wantedHeaders = 0;
    QHash<qint16, qint64> m_headersInFlight;   // number -> bytes it is charged
    QMap<qint16, HeaderResult> m_headersAhead; // by number, so the lowest go first
    qint64 m_bytesInFlight = 0;                // sum of m_headersInFlight
    qint64 m_bytesAhead = 0;                   // reply bytes held in m_headersAhead
    int m_nextAhead = 1;           // the lowest number not yet considered for sending ahead
    qint64 m_headerReplyBytes = 0; // header replies read on this connection
    qint64 m_headerReplies = 0;

    std::unique_ptr<PopHeaderCache> m_headerCache;

    // A message retrieval, whole or cut short.
    void DeliverMessage(const QByteArray& rawMessage);
    struct DeliveredMessage;
    static DeliveredMessage PrepareMessage(const QByteArray& rawMessage, qsizetype chunkSize);
    void EmitChunks(quint64 generation, std::shared_ptr<const DeliveredMessage> message,
                    qsizetype next);
    void KeepPartialMessage();
    void FailMessage();
    QByteArray m_partialMessage;
    bool m_messageOverLimit = false;
};
