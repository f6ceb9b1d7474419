#include "engine/pop/pop_client.h"

#include "engine/mime/mime_header_fields.h"
#include "engine/mime/mime_message.h"
#include "engine/pop/pop_header_cache.h"
#include "engine/pop/pop_logon.h"
#include "engine/pop/pop_reply_reader.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslSocket>

namespace {

QString Fingerprint(const QSslCertificate& certificate) {
    if (certificate.isNull())
        return {};
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString NormalizedFingerprint(const QString& text) {
    QString hex;
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            hex += c.toUpper();
    }
    return hex;
}

PopReplyShape SingleLine() {
    return PopReplyShape{};
}

PopReplyShape MultiLine(qint64 maxBytes) {
    PopReplyShape shape;
    shape.MultiLine = true;
    shape.MaxBodyBytes = maxBytes;
    return shape;
}

// A whole message of which only the header is kept.
PopReplyShape HeaderOf(qint64 maxHeaderBytes, qint64 maxMessageBytes) {
    PopReplyShape shape = MultiLine(maxHeaderBytes);
    shape.KeepHeaderOnly = true;
    shape.MaxSkippedBytes = maxMessageBytes;
    return shape;
}

} // namespace

struct PopClient::PendingCommand {
    PopReplyShape Shape;
    std::function<void(const PopReply&)> OnReply;
    qint16 HeaderNumber = 0; // a header request: the message it names
    bool IdsAhead = false;   // UIDL sent right behind LIST
};

PopClient::PopClient(QObject* parent)
    : QObject(parent), m_reader(std::make_unique<PopReplyReader>()),
      m_headerCache(std::make_unique<PopHeaderCache>()) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PopClient::OnTimeout);
}

PopClient::~PopClient() {
    CloseSocket();
}

bool PopClient::Busy() const {
    return m_busy;
}
qint16 PopClient::ConnectionState() const {
    return m_connectionState;
}
qint16 PopClient::LogonState() const {
    return m_logonState;
}
qint16 PopClient::MessageCount() const {
    return m_messageCount;
}
QString PopClient::LastError() const {
    return m_lastError;
}
QString PopClient::PeerCertificateSHA256() const {
    return m_peerSha256;
}
void PopClient::ClearHeaderCache() {
    m_headerCache->Clear();
}

bool PopClient::PruneHeaderCache() {
    if (!m_uidlTried || m_listingsDisagree || m_uniqueIds.size() != m_messageCount)
        return false;
    QSet<QString> keep;
    keep.reserve(m_uniqueIds.size());
    for (auto it = m_uniqueIds.cbegin(); it != m_uniqueIds.cend(); ++it)
        keep.insert(PopHeaderCache::Key(ServerHost, ServerPort, UserName, it.value()));
    return m_headerCache->KeepOnly(PopHeaderCache::AccountPrefix(ServerHost, ServerPort, UserName),
                                   keep);
}

// ---- operation bookkeeping -------------------------------------------------

bool PopClient::Begin(Operation operation) {
    if (m_busy)
        return false;
    m_busy = true;
    m_operation = operation;
    return true;
}

void PopClient::Complete(std::function<void()> emitEvent) {
    // The outcome is final now; the event and the end of Busy follow from the
    // event loop so a caller never sees an event inside its own call.
    m_operation = Operation::None;
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, emitEvent = std::move(emitEvent)] {
            if (generation != m_generation)
                return; // cancelled meanwhile
            if (emitEvent)
                emitEvent();
            if (generation == m_generation)
                m_busy = false;
        },
        Qt::QueuedConnection);
}

void PopClient::FailOperation() {
    switch (m_operation) {
    case Operation::Size:
        Complete([this] { Q_EMIT MessageSize(0); });
        break;
    case Operation::Headers:
        Complete([this] { Q_EMIT DocOutput(PopDocument()); });
        break;
    case Operation::Message:
        FailMessage();
        break;
    case Operation::None:
        break;
    default:
        Complete();
        break;
    }
}

void PopClient::FailConnection(const QString& error) {
    if (DeferFault(error))
        return;
    if (m_mayReopen && m_operation == Operation::Authenticate) {
        m_mayReopen = false;
        CloseSocket();
        ResetSession();
        OpenSocket();
        return;
    }
    m_lastError = error;
    KeepPartialMessage();
    CloseSocket();
    FailOperation();
}

// A fault met in the reply to a header request (or the UIDL) sent ahead, while no call
// waits for the server: the replies before it have all been read. The calls
// they answer are still answered from them, and the fault ends the first call
// that needs the server, just as it would without the requests sent ahead.
bool PopClient::DeferFault(const QString& error) {
    if (m_operation != Operation::None || m_logonState != LoggedOn || m_pending.empty() ||
        (m_pending.front().HeaderNumber == 0 && !m_pending.front().IdsAhead))
        return false;
    CloseSocket();
    m_connectionState = ConnectionIdle;
    m_logonState = LoggedOn;
    m_deferredFault = error;
    return true;
}

bool PopClient::RequireLoggedOn() {
    if (!m_deferredFault.isEmpty()) {
        m_lastError = std::exchange(m_deferredFault, QString());
        m_connectionState = ConnectionClosed;
        m_logonState = NotConnected;
        FailOperation();
        return false;
    }
    if (m_logonState == LoggedOn && m_socket)
        return true;
    m_lastError = QStringLiteral("Not logged on");
    FailOperation();
    return false;
}

void PopClient::CloseSocket() {
    m_timer.stop();
    if (m_socket) {
        QSslSocket* socket = m_socket;
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_pending.clear();
    m_idsAhead = false;
    m_afterIds = {};
    m_reader->Reset();
    m_handshaking = false;
    m_connectionState = ConnectionClosed;
    m_logonState = NotConnected;
}

void PopClient::ResetSession() {
    m_apopTimestamp.clear();
    m_capaKnown = false;
    m_capabilities.clear();
    m_saslMechanisms.clear();
    m_sizesKnown = false;
    m_sizes.clear();
    m_uidlTried = false;
    m_uniqueIds.clear();
    m_listingsDisagree = false;
    m_deferredFault.clear();
    m_wantedHeaders = 0;
    m_headersInFlight.clear();
    m_headersAhead.clear();
    m_bytesInFlight = 0;
    m_bytesAhead = 0;
    m_nextAhead = 1;
    m_headerReplyBytes = 0;
    m_headerReplies = 0;
    m_messageCount = 0;
    m_quitAccepted = false;
}

// ---- commands and replies --------------------------------------------------

void PopClient::Expect(const PopReplyShape& shape, std::function<void(const PopReply&)> onReply) {
    m_pending.push_back(PendingCommand{shape, std::move(onReply)});
    if (m_pending.size() == 1)
        m_timer.start(m_timerInterval);
}

void PopClient::Send(const QByteArray& line, const PopReplyShape& shape,
                     std::function<void(const PopReply&)> onReply) {
    if (!m_socket)
        return;
    m_socket->write(line + "\r\n");
    Expect(shape, std::move(onReply));
}

void PopClient::RestartTimer() {
    if (!m_pending.empty() || m_handshaking)
        m_timer.start(m_timerInterval);
    else
        m_timer.stop();
}

void PopClient::ProcessReplies(bool allBuffered) {
    // Replies that came in one read are handled for at most a slice of time,
    // then the rest after a turn of the event loop: a read of a megabyte of
    // pipelined headers would otherwise be decoded in one go while the
    // window waits.
    QElapsedTimer slice;
    slice.start();
    while (m_socket && !m_pending.empty()) {
        if (!allBuffered && slice.elapsed() >= ReplySliceMs) {
            ProcessRepliesLater();
            break;
        }
        PopReply reply;
        const PopReplyReader::Result result = m_reader->Take(m_pending.front().Shape, &reply);
        if (result == PopReplyReader::Result::NeedMore)
            break;
        if (result == PopReplyReader::Result::Failed) {
            FailConnection(m_reader->Error());
            return;
        }
        const PendingCommand command = std::move(m_pending.front());
        m_pending.pop_front();
        command.OnReply(reply);
    }
    if (m_socket && m_pending.empty() && !m_handshaking && m_reader->HasBufferedData()) {
        // Bytes no command asked for: the server is out of step with us, and
        // whatever it says next cannot be trusted as the reply to anything.
        FailConnection(QStringLiteral("Unexpected data from the server"));
        return;
    }
    if (m_socket)
        RestartTimer();
}

void PopClient::ProcessRepliesLater() {
    if (m_repliesQueued)
        return;
    m_repliesQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this, socket = m_socket] {
            m_repliesQueued = false;
            if (m_socket && m_socket == socket)
                ProcessReplies();
        },
        Qt::QueuedConnection);
}

void PopClient::OnReadyRead() {
    ReadReplies(false);
}

void PopClient::ReadReplies(bool allBuffered) {
    if (!m_socket)
        return;
    const QByteArray data = m_socket->readAll();
    m_bytesRead += data.size();
    m_reader->Append(data);
    RestartTimer();
    ProcessReplies(allBuffered);
}

void PopClient::OnDisconnected() {
    if (!m_socket)
        return;
    ReadReplies(true); // replies may have come just before the close
    if (!m_socket)
        return;
    if (m_operation == Operation::Quit) {
        if (!m_quitAccepted)
            m_lastError =
                QStringLiteral("Connection closed by the server before QUIT was answered");
        EndSession();
        return;
    }
    FailConnection(QStringLiteral("Connection closed by the server"));
}

void PopClient::OnSocketError() {
    if (!m_socket)
        return;
    const QAbstractSocket::SocketError error = m_socket->error();
    if (error == QAbstractSocket::RemoteHostClosedError) {
        OnDisconnected();
        return;
    }
    QString text;
    if (!m_certError.isEmpty())
        text = m_certError;
    else if (error == QAbstractSocket::ConnectionRefusedError)
        text = QStringLiteral("Connection refused");
    else if (error == QAbstractSocket::HostNotFoundError)
        text = QStringLiteral("Host not found");
    else if (error == QAbstractSocket::SocketTimeoutError)
        text = QStringLiteral("Timed out waiting for the server");
    else if (error == QAbstractSocket::SslHandshakeFailedError)
        text = QStringLiteral("TLS handshake failed: ") + m_socket->errorString();
    else
        text = m_socket->errorString();
    FailConnection(text);
}

void PopClient::OnSslErrors(const QList<QSslError>& errors) {
    if (!m_socket)
        return;
    const QSslCertificate certificate = m_socket->peerCertificate();
    m_peerSha256 = Fingerprint(certificate);
    const QString pinned = NormalizedFingerprint(CertSHA256);
    if (!pinned.isEmpty() && pinned == NormalizedFingerprint(m_peerSha256)) {
        m_socket->ignoreSslErrors(errors);
        return;
    }
    m_certError = QStringLiteral("Certificate not trusted (SHA-256 %1)").arg(m_peerSha256);
}

void PopClient::OnEncrypted() {
    if (!m_socket)
        return;
    m_peerSha256 = Fingerprint(m_socket->peerCertificate());
    if (m_handshaking) {
        // STARTTLS done: what the server offered before TLS no longer counts.
        m_handshaking = false;
        SendCapa();
    }
}

void PopClient::OnTimeout() {
    if (m_operation == Operation::Quit) {
        m_lastError = QStringLiteral("Timed out waiting for the server");
        EndSession();
        return;
    }
    FailConnection(QStringLiteral("Timed out waiting for the server"));
}

// ---- connect and log on ----------------------------------------------------

void PopClient::Connect() {
    if (!Begin(Operation::Connect))
        return;
    CloseSocket();
    ResetSession();
    m_lastError.clear();
    m_certError.clear();
    m_peerSha256.clear();
    m_reader->MaxLineBytes = MaxLineBytes;

    const QString security = Security.trimmed();
    if (security.isEmpty() || security.compare(QLatin1String("None"), Qt::CaseInsensitive) == 0)
        m_mode = Mode::None;
    else if (security.compare(QLatin1String("STARTTLS"), Qt::CaseInsensitive) == 0)
        m_mode = Mode::StartTls;
    else if (security.compare(QLatin1String("TLS"), Qt::CaseInsensitive) == 0)
        m_mode = Mode::Tls;
    else {
        m_lastError = QStringLiteral("Unknown connection security \"%1\"").arg(Security);
        Complete();
        return;
    }
    if (ServerPort < 1 || ServerPort > 65535) {
        m_lastError = QStringLiteral("Invalid port %1").arg(ServerPort);
        Complete();
        return;
    }
    if (m_mode != Mode::None && !QSslSocket::supportsSsl()) {
        m_lastError = QStringLiteral("TLS is not available");
        Complete();
        return;
    }
    if (BearerToken && m_mode == Mode::None) {
        // A token is as good as a password while it lives.
        m_lastError = QStringLiteral("OAuth2 needs a TLS connection");
        Complete();
        return;
    }
    m_apopRefused = false;
    m_mayReopen = false;
    OpenSocket();
}

void PopClient::OpenSocket() {
    auto* socket = new QSslSocket(this);
    m_socket = socket;
    connect(socket, &QSslSocket::connected, socket, [socket] {
        // Commands are small and often sent back to back: do not hold them.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    });
    connect(socket, &QSslSocket::readyRead, this, &PopClient::OnReadyRead);
    connect(socket, &QSslSocket::disconnected, this, &PopClient::OnDisconnected);
    connect(socket, &QSslSocket::errorOccurred, this, &PopClient::OnSocketError);
    connect(socket, &QSslSocket::sslErrors, this, &PopClient::OnSslErrors);
    connect(socket, &QSslSocket::encrypted, this, &PopClient::OnEncrypted);

    // The greeting is the reply to the connect itself.
    m_timerInterval = ConnectTimeoutMs;
    Expect(SingleLine(), [this](const PopReply& reply) { OnGreeting(reply); });
    const quint16 port = quint16(ServerPort);
    if (m_mode == Mode::Tls)
        socket->connectToHostEncrypted(ServerHost, port);
    else
        socket->connectToHost(ServerHost, port);
}

void PopClient::OnGreeting(const PopReply& reply) {
    if (!reply.Ok) {
        FailConnection(QStringLiteral("Server refused the connection: ") +
                       PopServerText(reply.StatusText));
        return;
    }
    static const QRegularExpression timestamp(QStringLiteral("<[^<>\\s]+>"));
    const QRegularExpressionMatch match = timestamp.match(QString::fromLatin1(reply.StatusText));
    if (match.hasMatch())
        m_apopTimestamp = match.captured(0).toLatin1();
    m_timerInterval = CommandTimeoutMs;
    SendCapa();
}

void PopClient::SendCapa() {
    Send("CAPA", MultiLine(MaxHeaderBytes), [this](const PopReply& reply) { OnCapa(reply); });
}

void PopClient::OnCapa(const PopReply& reply) {
    m_capaKnown = reply.Ok;
    m_capabilities.clear();
    m_saslMechanisms.clear();
    if (reply.Ok) {
        for (const QByteArray& line : reply.Body.split('\n')) {
            const QList<QByteArray> words = line.trimmed().toUpper().split(' ');
            if (words.isEmpty() || words.first().isEmpty())
                continue;
            m_capabilities.insert(words.first());
            if (words.first() == "SASL") {
                for (qsizetype i = 1; i < words.size(); ++i)
                    m_saslMechanisms.insert(words.at(i));
            }
        }
    }

    if (m_mode == Mode::StartTls && !m_socket->isEncrypted()) {
        if (m_capaKnown && !m_capabilities.contains("STLS")) {
            FailConnection(QStringLiteral("Server does not offer STARTTLS"));
            return;
        }
        Send("STLS", SingleLine(), [this](const PopReply& stls) {
            if (!stls.Ok) {
                FailConnection(QStringLiteral("Server does not offer STARTTLS"));
                return;
            }
            if (m_reader->HasBufferedData()) {
                // Bytes after the "+OK" would be taken as if they came over TLS.
                FailConnection(QStringLiteral("Malformed reply from the server"));
                return;
            }
            m_handshaking = true;
            m_socket->startClientEncryption();
        });
        return;
    }

    m_connectionState = ConnectionIdle;
    m_logonState = Connected;
    if (m_operation == Operation::Authenticate) {
        StartLogon(); // on a connection opened again after APOP was refused
        return;
    }
    Complete();
}

void PopClient::Authenticate() {
    if (!Begin(Operation::Authenticate))
        return;
    if (m_logonState == LoggedOn && m_socket) {
        Complete();
        return;
    }
    if (m_logonState != Connected || !m_socket) {
        m_lastError = QStringLiteral("Not connected");
        Complete();
        return;
    }
    StartLogon();
}

void PopClient::StartLogon() {
    const bool encrypted = m_socket->isEncrypted();
    if (m_mode != Mode::None && !encrypted) {
        // Never reached: connect fails first. Kept so no password can leak.
        FailConnection(QStringLiteral("TLS is not up"));
        return;
    }
    PopLogonRequest request;
    request.User = UserName.toUtf8();
    request.Secret = UserPassword.toUtf8();
    request.Bearer = BearerToken;
    for (const QByteArray& credential : {request.User, request.Secret}) {
        // A line break would end the command early and send the rest as a
        // command of its own.
        if (credential.contains('\r') || credential.contains('\n') || credential.contains('\0')) {
            FailConnection(QStringLiteral("User name or password contains a line break"));
            return;
        }
    }
    request.Encrypted = encrypted;
    request.ApopTimestamp = m_apopTimestamp;
    request.ApopRefused = m_apopRefused;
    request.CapaKnown = m_capaKnown;
    request.Capabilities = m_capabilities;
    request.SaslMechanisms = m_saslMechanisms;
    request.Host = ServerHost.toUtf8();
    request.Port = ServerPort;
    PopLogon::Run(
        request,
        [this](const QByteArray& line, PopLogon::Reply onReply) {
            Send(line, SingleLine(), std::move(onReply));
        },
        [this](const PopLogonOutcome& outcome) {
            m_mayReopen = false;
            if (!outcome.Accepted) {
                FailConnection(outcome.Reason);
                return;
            }
            Send("STAT", SingleLine(), [this](const PopReply& stat) { OnStat(stat); });
        },
        [this] {
            // Should the server close after refusing APOP, USER/PASS is tried
            // once more on a new connection.
            m_apopRefused = true;
            m_mayReopen = true;
        });
}

void PopClient::OnStat(const PopReply& reply) {
    const QList<QByteArray> words = reply.StatusText.split(' ');
    bool ok = false;
    const qint64 count = words.value(0).toLongLong(&ok);
    if (!reply.Ok || !ok || count < 0) {
        FailConnection(QStringLiteral("Server did not report the mailbox: ") +
                       PopServerText(reply.StatusText));
        return;
    }
    // Message numbers are 16-bit: a larger mailbox is listed up to 32,767.
    m_messageCount = qint16(std::min<qint64>(count, 32767));
    m_logonState = LoggedOn;
    m_connectionState = ConnectionIdle;
    Complete();
}

// A pass over a mailbox asks for its sizes, then its unique ids, each after
// the reply to the call before; a server that takes pipelined commands is
// asked for the unique ids right behind the sizes, which saves a round trip.
// The calls that need them wait for their reply.
void PopClient::SendUniqueIdsAhead() {
    if (!SpeedUps || m_uidlTried || !m_capabilities.contains("PIPELINING") || !m_socket)
        return;
    m_uidlTried = true;
    m_idsAhead = true;
    Send("UIDL", MultiLine(MaxListingBytes), [this](const PopReply& reply) {
        m_idsAhead = false;
        if (reply.Ok)
            TakeUniqueIds(reply);
        if (auto next = std::exchange(m_afterIds, {}))
            next();
    });
    m_pending.back().IdsAhead = true;
}

// ---- quit and cancel -------------------------------------------------------

void PopClient::Quit() {
    if (!Begin(Operation::Quit))
        return;
    m_quitAccepted = false;
    if (!m_deferredFault.isEmpty())
        m_lastError = std::exchange(m_deferredFault, QString());
    if (!m_socket || m_connectionState == ConnectionClosed) {
        CloseSocket();
        Complete();
        return;
    }
    Send("QUIT", SingleLine(), [this](const PopReply& reply) {
        m_quitAccepted = reply.Ok;
        if (!reply.Ok)
            m_lastError =
                QStringLiteral("Server error on QUIT: ") + PopServerText(reply.StatusText);
        EndSession();
    });
}

void PopClient::EndSession() {
    CloseSocket();
    Complete();
}

void PopClient::Cancel() {
    // Drops the connection without QUIT, so no deletion takes effect.
    m_quitAccepted = false;
    ++m_generation;
    m_deferredFault.clear();
    CloseSocket();
    m_operation = Operation::None;
    m_busy = false;
}

// ---- per-message commands --------------------------------------------------

void PopClient::CompleteSize(qint32 size) {
    Complete([this, size] { Q_EMIT MessageSize(size); });
}

void PopClient::RequestMessageSize(qint16 number) {
    if (!Begin(Operation::Size))
        return;
    if (SpeedUps && m_sizesKnown && !m_deferredFault.isEmpty()) {
        CompleteSize(m_sizes.value(number, 0));
        return;
    }
    if (!RequireLoggedOn())
        return;
    if (SpeedUps && m_sizesKnown) {
        CompleteSize(m_sizes.value(number, 0));
        return;
    }
    if (!SpeedUps) {
        Send("LIST " + QByteArray::number(number), SingleLine(), [this](const PopReply& reply) {
            const qint64 size = reply.StatusText.split(' ').value(1).toLongLong();
            if (!reply.Ok)
                m_lastError = QStringLiteral("Server error: ") + PopServerText(reply.StatusText);
            CompleteSize(reply.Ok ? qint32(std::clamp<qint64>(size, 0, INT32_MAX)) : 0);
        });
        return;
    }
    Send("LIST", MultiLine(MaxListingBytes), [this, number](const PopReply& reply) {
        if (!reply.Ok) {
            m_lastError = QStringLiteral("Server error: ") + PopServerText(reply.StatusText);
            CompleteSize(0);
            return;
        }
        TakeSizes(reply);
        CompleteSize(m_sizes.value(number, 0));
    });
    SendUniqueIdsAhead();
}

// Calls `take` with the words of each line of a LIST or UIDL listing that
// names a message number from 1 to 32,767; returns the number of its lines.
template <typename Take> static qsizetype EachListingLine(const QByteArray& body, Take take) {
    qsizetype lines = 0;
    for (const QByteArray& line : body.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        ++lines;
        const QList<QByteArray> words = line.trimmed().split(' ');
        bool ok = false;
        const int n = words.value(0).toInt(&ok);
        if (ok && n > 0 && n <= 32767)
            take(qint16(n), words);
    }
    return lines;
}

void PopClient::TakeSizes(const PopReply& reply) {
    m_sizesKnown = true;
    const qsizetype lines =
        EachListingLine(reply.Body, [this](qint16 n, const QList<QByteArray>& words) {
            bool ok = false;
            const qint64 size = words.value(1).toLongLong(&ok);
            if (ok)
                m_sizes.insert(n, qint32(std::clamp<qint64>(size, 0, INT32_MAX)));
        });
    NoteListing(lines, m_sizes.keys());
}

void PopClient::TakeUniqueIds(const PopReply& reply) {
    const qsizetype lines =
        EachListingLine(reply.Body, [this](qint16 n, const QList<QByteArray>& words) {
            if (words.size() >= 2 && !words.at(1).isEmpty())
                m_uniqueIds.insert(n, words.at(1));
        });
    NoteListing(lines, m_uniqueIds.keys());
}

void PopClient::NoteListing(qsizetype lines, const QList<qint16>& numbers) {
    // Every message from 1 to the count once, and nothing else.
    bool agree = lines == m_messageCount && numbers.size() == m_messageCount;
    for (const qint16 n : numbers)
        agree = agree && n >= 1 && n <= m_messageCount;
    if (!agree)
        m_listingsDisagree = true;
}

void PopClient::DeleteMessage(qint16 number) {
    if (!Begin(Operation::Delete) || !RequireLoggedOn())
        return;
    if (const auto ahead = m_headersAhead.constFind(number); ahead != m_headersAhead.constEnd()) {
        m_bytesAhead -= ahead->Bytes;
        m_headersAhead.erase(ahead);
    }
    Send("DELE " + QByteArray::number(number), SingleLine(), [this](const PopReply& reply) {
        if (reply.Ok) {
            Complete([this] { Q_EMIT Delete(); });
            return;
        }
        m_lastError = QStringLiteral("Server error: ") + PopServerText(reply.StatusText);
        Complete();
    });
}

void PopClient::RetrieveMessage(qint16 number) {
    if (!Begin(Operation::Message))
        return;
    m_partialMessage.clear();
    m_messageOverLimit = false;
    if (!RequireLoggedOn())
        return;
    Send("RETR " + QByteArray::number(number), MultiLine(MaxMessageBytes),
         [this](const PopReply& reply) {
             if (!reply.Ok) {
                 m_lastError = QStringLiteral("Server error: ") + PopServerText(reply.StatusText);
                 Complete([this] { Q_EMIT DocOutput(PopDocument()); });
                 return;
             }
             DeliverMessage(reply.Body);
         });
}

// ---- headers ---------------------------------------------------------------

std::optional<QString> PopClient::CacheKey(qint16 number) const {
    const auto it = m_uniqueIds.constFind(number);
    if (it == m_uniqueIds.constEnd())
        return std::nullopt;
    return PopHeaderCache::Key(ServerHost, ServerPort, UserName, it.value());
}

qint32 PopClient::ListedSize(qint16 number) const {
    return m_sizesKnown ? m_sizes.value(number, -1) : -1;
}

const QList<HeaderField>* PopClient::CachedHeaders(qint16 number) const {
    const std::optional<QString> key = CacheKey(number);
    return key ? m_headerCache->Find(*key, ListedSize(number)) : nullptr;
}

bool PopClient::UseTop() const {
    return !m_capaKnown || m_capabilities.contains("TOP");
}

void PopClient::RetrieveHeaders(qint16 number) {
    if (!Begin(Operation::Headers))
        return;
    if (!m_deferredFault.isEmpty() && SpeedUps &&
        (CachedHeaders(number) || m_headersAhead.contains(number))) {
        m_wantedHeaders = number;
        ContinueHeaders(); // answered from what was read before the fault
        return;
    }
    if (!RequireLoggedOn())
        return;
    m_wantedHeaders = number;
    if (SpeedUps && !m_uidlTried) {
        m_uidlTried = true;
        Send("UIDL", MultiLine(MaxListingBytes), [this](const PopReply& reply) {
            if (reply.Ok)
                TakeUniqueIds(reply);
            ContinueHeaders();
        });
        return;
    }
    if (m_idsAhead) {
        m_afterIds = [this] { ContinueHeaders(); };
        return;
    }
    ContinueHeaders();
}

void PopClient::ContinueHeaders() {
    const qint16 number = m_wantedHeaders;
    if (SpeedUps) {
        if (const QList<HeaderField>* fields = CachedHeaders(number)) {
            CompleteHeaders(HeaderResult{true, *fields});
            FillHeaderWindow(number);
            return;
        }
    }
    const auto ahead = m_headersAhead.constFind(number);
    if (ahead != m_headersAhead.constEnd()) {
        const HeaderResult result = ahead.value();
        m_bytesAhead -= result.Bytes;
        m_headersAhead.erase(ahead);
        CompleteHeaders(result);
        FillHeaderWindow(number);
        return;
    }
    if (!m_headersInFlight.contains(number))
        SendHeaderRequest(number);
    FillHeaderWindow(number);
}

void PopClient::SendHeaderRequest(qint16 number) {
    auto onReply = [this, number](const PopReply& reply) { OnHeaderReply(number, reply); };
    QByteArray line;
    PopReplyShape shape;
    if (UseTop()) {
        line = "TOP " + QByteArray::number(number) + " 0";
        shape = MultiLine(MaxHeaderBytes);
    } else { // no TOP: the whole message, of which only the header is kept
        line = "RETR " + QByteArray::number(number);
        shape = HeaderOf(MaxHeaderBytes, MaxMessageBytes);
    }
    const qint64 charge = line.size() + 2 + ExpectedHeaderReplyBytes(number);
    m_headersInFlight.insert(number, charge);
    m_bytesInFlight += charge;
    Send(line, shape, onReply);
    if (!m_pending.empty())
        m_pending.back().HeaderNumber = number;
}

// What the reply to a header request is expected to bring: the mean of the
// header replies of this connection so far (a guess before the first), never
// more than the listed size of the message with its status line.
qint64 PopClient::ExpectedHeaderReplyBytes(qint16 number) const {
    constexpr qint64 firstGuess = 4096;
    qint64 expected = m_headerReplies > 0 ? m_headerReplyBytes / m_headerReplies : firstGuess;
    if (m_sizesKnown) {
        if (const auto it = m_sizes.constFind(number); it != m_sizes.constEnd())
            expected = std::min<qint64>(expected, qint64(it.value()) + 64);
    }
    return std::clamp<qint64>(expected, 64, MaxHeaderBytes);
}

void PopClient::DropHeadersAheadBefore(qint16 number) {
    // Replies to numbers below the one asked for now are not asked for in
    // turn any more; asked for again, they are requested again.
    while (!m_headersAhead.isEmpty() && m_headersAhead.firstKey() < number) {
        m_bytesAhead -= m_headersAhead.first().Bytes;
        m_headersAhead.erase(m_headersAhead.begin());
    }
}

void PopClient::FillHeaderWindow(qint16 from) {
    if (!SpeedUps || !UseTop() || !m_capabilities.contains("PIPELINING") || !m_socket)
        return;
    // Numbers are considered in turn from the one after the wanted header, so
    // a whole pass costs one look at each number, not one per request.
    m_nextAhead = std::max(m_nextAhead, int(from) + 1);
    bool dropped = false;
    while (m_nextAhead <= m_messageCount) {
        const qint16 number = qint16(m_nextAhead);
        if (m_headersInFlight.contains(number) || m_headersAhead.contains(number)) {
            ++m_nextAhead;
            continue;
        }
        if (CachedHeaders(number)) {
            ++m_nextAhead;
            continue;
        }
        const qint64 charge = 2 + 10 + ExpectedHeaderReplyBytes(number);
        if (m_bytesInFlight + m_bytesAhead + charge > PipelineBytes) {
            if (dropped || m_headersAhead.isEmpty() || m_headersAhead.firstKey() >= from)
                break;
            DropHeadersAheadBefore(from);
            dropped = true;
            continue;
        }
        SendHeaderRequest(number);
        ++m_nextAhead;
    }
}

void PopClient::OnHeaderReply(qint16 number, const PopReply& reply) {
    if (const auto it = m_headersInFlight.constFind(number); it != m_headersInFlight.constEnd()) {
        m_bytesInFlight -= it.value();
        m_headersInFlight.erase(it);
    }
    HeaderResult result;
    result.Ok = reply.Ok;
    result.Bytes = reply.StatusText.size() + reply.Body.size() + 8;
    ++m_headerReplies;
    m_headerReplyBytes += result.Bytes;
    if (reply.Ok) {
        result.Fields = MimeParseHeaderFields(reply.Body);
        if (const std::optional<QString> key = CacheKey(number))
            m_headerCache->Insert(*key, result.Fields, ListedSize(number));
    }
    if (m_operation == Operation::Headers && m_wantedHeaders == number) {
        if (!reply.Ok)
            m_lastError = QStringLiteral("Server error: ") + PopServerText(reply.StatusText);
        CompleteHeaders(result);
    } else if (m_bytesAhead + result.Bytes <= PipelineBytes && !m_headersAhead.contains(number)) {
        m_bytesAhead += result.Bytes;
        m_headersAhead.insert(number, result);
    }
    // Answered replies make room for more requests while the caller waits.
    if (m_operation == Operation::Headers)
        FillHeaderWindow(m_wantedHeaders);
}

void PopClient::CompleteHeaders(const HeaderResult& result) {
    PopDocument document;
    if (result.Ok) {
        document.State = PopDocument::HeadersReady;
        document.Headers = result.Fields;
    }
    Complete([this, document] { Q_EMIT DocOutput(document); });
}

// ---- message identity and messages cut short (the message commands) -------

QString PopClient::UniqueId(qint16 number) const {
    return QString::fromLatin1(m_uniqueIds.value(number));
}

void PopClient::RequestUniqueId(qint16 number) {
    if (!Begin(Operation::UniqueId) || !RequireLoggedOn())
        return;
    auto answer = [this, number](const QString& id) {
        Complete([this, number, id] { Q_EMIT UniqueIdReply(number, id); });
    };
    if (m_idsAhead) {
        m_afterIds = [this, number, answer] {
            if (m_uniqueIds.contains(number))
                answer(UniqueId(number));
            else
                AskUniqueId(number, answer);
        };
        return;
    }
    if (m_uniqueIds.contains(number)) {
        answer(UniqueId(number));
        return;
    }
    AskUniqueId(number, answer);
}

void PopClient::AskUniqueId(qint16 number, const std::function<void(const QString&)>& answer) {
    Send("UIDL " + QByteArray::number(number), SingleLine(),
         [this, number, answer](const PopReply& reply) {
             const QList<QByteArray> words = reply.StatusText.split(' ');
             bool ok = false;
             const int n = words.value(0).toInt(&ok);
             if (!reply.Ok)
                 m_lastError = QStringLiteral("Server error: ") + PopServerText(reply.StatusText);
             const bool named = reply.Ok && ok && n == number && words.size() >= 2;
             answer(named ? QString::fromLatin1(words.at(1)) : QString());
         });
}

QString PopClient::UntrustedCertificateSHA256() const {
    return m_certError.isEmpty() ? QString() : m_peerSha256;
}

// A message as the view shows it: its header fields, then its readable text
// in chunks of at most `chunkSize` characters.
struct PopClient::DeliveredMessage {
    PopDocument Headers;
    QList<PopDocument> Chunks;
};

PopClient::DeliveredMessage PopClient::PrepareMessage(const QByteArray& rawMessage,
                                                      qsizetype chunkSize) {
    DeliveredMessage message;
    message.Headers.State = PopDocument::HeadersReady;
    message.Headers.Headers = MimeParseHeaderFields(MimeHeaderBlock(rawMessage));
    const QString text = MimeReadableMessage(rawMessage);
    for (qsizetype pos = 0; pos < text.size();) {
        qsizetype length = std::min(chunkSize, text.size() - pos);
        if (pos + length < text.size() && text.at(pos + length - 1).isHighSurrogate())
            --length; // never split a character outside the BMP
        PopDocument chunk;
        chunk.State = PopDocument::DataReady;
        chunk.SetData(text.mid(pos, length));
        message.Chunks.append(chunk);
        pos += length;
    }
    return message;
}

// The whole (or partial) raw message as the header fields, then the readable
// text in chunks. Decoding a message of tens of megabytes takes a good part
// of a second, so it runs on a worker thread while the loop goes on serving
// the window; the chunks then follow one per turn of the loop, and Busy()
// ends after the last. The outcome is final at once: a connection lost
// meanwhile changes nothing of what is delivered.
void PopClient::DeliverMessage(const QByteArray& rawMessage) {
    m_operation = Operation::None;
    const quint64 generation = m_generation;
    auto* watcher = new QFutureWatcher<DeliveredMessage>(this);
    connect(watcher, &QFutureWatcher<DeliveredMessage>::finished, this,
            [this, watcher, generation] {
                watcher->deleteLater();
                if (generation != m_generation)
                    return; // cancelled meanwhile
                auto message = std::make_shared<DeliveredMessage>(watcher->result());
                Q_EMIT DocOutput(message->Headers);
                EmitChunks(generation, std::move(message), 0);
            });
    watcher->setFuture(
        QtConcurrent::run(PrepareMessage, rawMessage, qsizetype(std::max(MessageChunkChars, 2))));
}

void PopClient::EmitChunks(quint64 generation, std::shared_ptr<const DeliveredMessage> message,
                           qsizetype next) {
    if (generation != m_generation)
        return; // a handler cancelled
    if (next >= message->Chunks.size()) {
        m_busy = false;
        return;
    }
    Q_EMIT DocOutput(message->Chunks.at(next));
    QMetaObject::invokeMethod(
        this,
        [this, generation, message = std::move(message), next]() mutable {
            EmitChunks(generation, std::move(message), next + 1);
        },
        Qt::QueuedConnection);
}

// Called as the connection fails: what had arrived of the message being
// retrieved is kept, since the reader forgets it with the connection.
void PopClient::KeepPartialMessage() {
    if (m_operation != Operation::Message)
        return;
    m_partialMessage = m_reader->PartialBody();
    m_messageOverLimit = m_reader->BodyOverCap();
}

void PopClient::FailMessage() {
    const QByteArray partial = std::exchange(m_partialMessage, QByteArray());
    if (partial.isEmpty()) {
        Complete([this] { Q_EMIT DocOutput(PopDocument()); });
        return;
    }
    DeliverMessage(partial);
}
