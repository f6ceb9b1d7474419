#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

// The longest the event loop stood still: the largest gap between ticks of a
// 10 ms timer beyond its interval, the gap up to Stop included.
class StallProbe : public QObject {
public:
    StallProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
    }
    void Start() {
        m_worst = 0;
        m_worstAt = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start(kIntervalMs);
    }
    qint64 Stop() {
        m_timer.stop();
        Tick();
        return m_worst;
    }
    // When the longest stall ended, in ms from Start.
    qint64 WorstEndedAt() const { return m_worstAt; }

private:
    static constexpr qint64 kIntervalMs = 10;

    void Tick() {
        const qint64 now = m_clock.nsecsElapsed() / 1000000;
        if (now - m_last - kIntervalMs > m_worst) {
            m_worst = now - m_last - kIntervalMs;
            m_worstAt = now;
        }
        m_last = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
    qint64 m_worstAt = 0;
};
