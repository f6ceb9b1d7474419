#pragma once

#include <QNetworkInformation>
#include <QObject>
#include <QTimer>

#include <memory>

// The two clocks a resume shows between: the wall clock goes on while the
// machine sleeps, the monotonic clock stands still. Tests give their own.
class WakeClocks {
public:
    virtual ~WakeClocks() = default;
    virtual qint64 WallMs() const = 0;
    virtual qint64 MonotonicMs() const = 0;
};

// The system's clocks: wall time since the epoch and CLOCK_MONOTONIC.
std::unique_ptr<WakeClocks> SystemClocks();

// Tells when fresh mail state is wanted at once rather than at the end of the
// interval: after the machine wakes from suspend, and when the network comes
// back. It listens to logind's PrepareForSleep on the system bus and to the
// network reachability, and, for systems where logind's signal never comes
// (hibernation on some), compares the two clocks every few seconds: the wall
// clock running ahead of the monotonic one counts as a resume. Where there is
// no system bus or no network backend, that source is simply not there.
class FreshCheckTriggers : public QObject {
    Q_OBJECT
public:
    // The wall clock must run this far ahead of the monotonic clock between
    // two comparisons to count as a resume.
    static constexpr qint64 ClockJumpMs = 30000;
    // How often the clocks are compared.
    static constexpr int ClockCheckMs = 2000;

    explicit FreshCheckTriggers(std::unique_ptr<WakeClocks> clocks = SystemClocks(),
                                QObject* parent = nullptr);
    ~FreshCheckTriggers() override;

    // Subscribes to logind on the system bus, loads the network reachability
    // backend and starts comparing the clocks.
    void Start();
    // Which sources Start found.
    bool WatchesLogind() const { return m_watchesLogind; }
    bool WatchesNetwork() const { return m_watchesNetwork; }

    // Compares the clocks with the last comparison (run by the own timer).
    void CompareClocks();
    // What the network backend reports.
    void OnReachabilityChanged(QNetworkInformation::Reachability reachability);

public Q_SLOTS:
    // logind's signal: true before the machine sleeps, false after it woke.
    void OnPrepareForSleep(bool goingToSleep);

Q_SIGNALS:
    // A connection held now was open across a suspend, or is about to be:
    // end it rather than let it run into its time-out.
    void ConnectionsStale();
    // Check mail within a few seconds.
    void CheckSoon();

private:
    void TellWake();
    void NoteClocks();

    std::unique_ptr<WakeClocks> m_clocks;
    QTimer m_clockTimer;
    qint64 m_lastWallMs = 0;
    qint64 m_lastMonotonicMs = 0;
    // One wake is told once, whichever of logind and the clocks shows it
    // first: logind told it since the last comparison of the clocks, and a
    // wake was told since logind last announced a sleep.
    bool m_logindWakeSinceComparison = false;
    bool m_wakeTold = false;
    QNetworkInformation::Reachability m_reachability = QNetworkInformation::Reachability::Unknown;
    bool m_watchesLogind = false;
    bool m_watchesNetwork = false;
};
