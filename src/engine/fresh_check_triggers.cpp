#include "engine/fresh_check_triggers.h"

#include <QDBusConnection>
#include <QDateTime>
#include <QElapsedTimer>

#include <utility>

namespace {
class SystemWakeClocks : public WakeClocks {
public:
    SystemWakeClocks() { m_monotonic.start(); }
    qint64 WallMs() const override { return QDateTime::currentMSecsSinceEpoch(); }
    // QElapsedTimer reads CLOCK_MONOTONIC, which does not count suspended time.
    qint64 MonotonicMs() const override { return m_monotonic.elapsed(); }

private:
    QElapsedTimer m_monotonic;
};

const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

std::unique_ptr<WakeClocks> SystemClocks() {
    return std::make_unique<SystemWakeClocks>();
}

FreshCheckTriggers::FreshCheckTriggers(std::unique_ptr<WakeClocks> clocks, QObject* parent)
    : QObject(parent), m_clocks(std::move(clocks)) {
    NoteClocks();
    m_clockTimer.setInterval(ClockCheckMs);
    m_clockTimer.setTimerType(Qt::CoarseTimer);
    connect(&m_clockTimer, &QTimer::timeout, this, &FreshCheckTriggers::CompareClocks);
}

FreshCheckTriggers::~FreshCheckTriggers() = default;

void FreshCheckTriggers::Start() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected() && !m_watchesLogind)
        m_watchesLogind =
            bus.connect(kLogindService, kLogindPath, kLogindManager,
                        QStringLiteral("PrepareForSleep"), this, SLOT(OnPrepareForSleep(bool)));

    // The platform's own backend (NetworkManager), else any that tells
    // reachability (GLib's network monitor works without a system bus).
    if (!m_watchesNetwork &&
        (QNetworkInformation::loadDefaultBackend() ||
         QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))) {
        QNetworkInformation* info = QNetworkInformation::instance();
        if (info && info->supports(QNetworkInformation::Feature::Reachability)) {
            m_reachability = info->reachability();
            connect(info, &QNetworkInformation::reachabilityChanged, this,
                    &FreshCheckTriggers::OnReachabilityChanged);
            m_watchesNetwork = true;
        }
    }

    NoteClocks();
    m_clockTimer.start();
}

void FreshCheckTriggers::NoteClocks() {
    m_lastWallMs = m_clocks->WallMs();
    m_lastMonotonicMs = m_clocks->MonotonicMs();
}

void FreshCheckTriggers::CompareClocks() {
    const qint64 wallMs = m_clocks->WallMs();
    const qint64 monotonicMs = m_clocks->MonotonicMs();
    const qint64 aheadMs = (wallMs - m_lastWallMs) - (monotonicMs - m_lastMonotonicMs);
    m_lastWallMs = wallMs;
    m_lastMonotonicMs = monotonicMs;
    // A clock set back, or a busy machine (both clocks go on alike), is no resume.
    const bool jumped = aheadMs > ClockJumpMs;
    const bool toldByLogind = std::exchange(m_logindWakeSinceComparison, false);
    if (jumped && !toldByLogind)
        TellWake();
}

void FreshCheckTriggers::OnPrepareForSleep(bool goingToSleep) {
    if (goingToSleep) {
        m_wakeTold = false;
        m_logindWakeSinceComparison = false;
        Q_EMIT ConnectionsStale();
        return;
    }
    if (m_wakeTold)
        return; // the clocks showed this wake already
    m_logindWakeSinceComparison = true;
    TellWake();
}

void FreshCheckTriggers::TellWake() {
    m_wakeTold = true;
    Q_EMIT ConnectionsStale();
    Q_EMIT CheckSoon();
}

void FreshCheckTriggers::OnReachabilityChanged(QNetworkInformation::Reachability reachability) {
    using R = QNetworkInformation::Reachability;
    const R before = std::exchange(m_reachability, reachability);
    // Unknown before Online is the backend finding its feet, not a return.
    const bool wasOffline = before == R::Disconnected || before == R::Local || before == R::Site;
    if (wasOffline && reachability == R::Online)
        Q_EMIT CheckSoon();
}
