#include "engine/discovery/guess_step.h"

#include "records/mail_account.h"

#include <QSslSocket>

namespace {
// A server's greeting and CAPA are short; more than this is no POP3 server.
constexpr qint64 kMaxProbeBytes = 64 * 1024;
} // namespace

struct GuessStep::Probe {
    QString Host;
    bool Tls = false;
    QSslSocket* Socket = nullptr;
    QByteArray Received;
    bool GreetingSeen = false;
    enum { Pending, Answered, Silent } Outcome = Pending;
};

GuessStep::GuessStep(GuessTargets targets, QObject* parent)
    : LookupStep(parent), m_targets(std::move(targets)) {}

GuessStep::~GuessStep() {
    // The sockets go first, while nothing of theirs can reach this step.
    for (const auto& probe : m_probes) {
        if (probe->Socket) {
            probe->Socket->disconnect(this);
            delete probe->Socket;
        }
    }
}

QStringList GuessStep::Candidates(const QString& domain) {
    return {QStringLiteral("pop.") + domain, QStringLiteral("pop3.") + domain,
            QStringLiteral("mail.") + domain};
}

void GuessStep::Start(const MailAddress& address) {
    for (const QString& host : Candidates(address.Domain)) {
        for (const bool tls : {true, false}) {
            auto probe = std::make_unique<Probe>();
            probe->Host = host;
            probe->Tls = tls;
            m_probes.push_back(std::move(probe));
        }
    }
    // Settling a probe may end the step: every probe exists before any knocks.
    for (const auto& probe : m_probes) {
        if (!m_done)
            Knock(*probe);
    }
}

void GuessStep::Knock(Probe& probe) {
    QString address = probe.Host;
    if (!m_targets.Addresses.isEmpty()) {
        address = m_targets.Addresses.value(probe.Host);
        if (address.isEmpty()) {
            Settle(probe, false);
            return;
        }
    }
    probe.Socket = new QSslSocket(this);
    QSslSocket* socket = probe.Socket;
    connect(socket, &QSslSocket::readyRead, this, [this, &probe] { OnReadable(probe); });
    connect(socket, &QSslSocket::errorOccurred, this, [this, &probe] { Settle(probe, false); });
    connect(socket, &QSslSocket::disconnected, this, [this, &probe] { Settle(probe, false); });
    if (probe.Tls) {
        connect(socket, &QSslSocket::sslErrors, socket,
                [socket](const QList<QSslError>&) { socket->ignoreSslErrors(); });
        socket->connectToHostEncrypted(address, m_targets.TlsPort, probe.Host);
    } else {
        socket->connectToHost(address, m_targets.PlainPort);
    }
}

void GuessStep::OnReadable(Probe& probe) {
    probe.Received += probe.Socket->readAll();
    if (probe.Received.size() > kMaxProbeBytes) {
        Settle(probe, false);
        return;
    }
    while (probe.Outcome == Probe::Pending) {
        const qsizetype end = probe.Received.indexOf('\n');
        if (end < 0)
            return;
        const QByteArray line = probe.Received.left(end).trimmed();
        probe.Received.remove(0, end + 1);
        if (!probe.GreetingSeen) {
            if (!line.startsWith("+OK")) {
                Settle(probe, false);
                return;
            }
            probe.GreetingSeen = true;
            if (probe.Tls) {
                Settle(probe, true);
                return;
            }
            probe.Socket->write("CAPA\r\n");
            continue;
        }
        // The CAPA reply: its status, then capabilities up to ".".
        if (line.startsWith("-ERR") || line == ".") {
            Settle(probe, false);
            return;
        }
        if (line.split(' ').value(0).toUpper() == "STLS") {
            Settle(probe, true);
            return;
        }
    }
}

void GuessStep::Settle(Probe& probe, bool answered) {
    if (probe.Outcome != Probe::Pending)
        return;
    probe.Outcome = answered ? Probe::Answered : Probe::Silent;
    if (probe.Socket) {
        probe.Socket->disconnect(this);
        probe.Socket->abort();
        probe.Socket->deleteLater();
        probe.Socket = nullptr;
    }
    DecideIfDone();
}

FoundSettings GuessStep::Best(bool waitForBetter) const {
    for (const auto& probe : m_probes) {
        if (probe->Outcome == Probe::Pending && waitForBetter)
            return {};
        if (probe->Outcome != Probe::Answered)
            continue;
        FoundSettings found;
        found.Found = true;
        found.Source = SettingsSource::Guess;
        found.Host = probe->Host;
        found.Port = probe->Tls ? m_targets.TlsPort : m_targets.PlainPort;
        found.Security = probe->Tls ? Security::Tls : Security::StartTls;
        return found;
    }
    return {};
}

FoundSettings GuessStep::AtTimeOut() const {
    return Best(false);
}

void GuessStep::DecideIfDone() {
    if (m_done)
        return;
    // The best answer wins once every better one has failed.
    const bool allSettled = std::none_of(m_probes.begin(), m_probes.end(), [](const auto& probe) {
        return probe->Outcome == Probe::Pending;
    });
    const FoundSettings best = Best(true);
    if (!best.Found && !allSettled)
        return;
    m_done = true;
    Q_EMIT Done(best);
}
