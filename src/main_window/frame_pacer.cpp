#include "main_window/frame_pacer.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
// However slow the catch-up, changes are shown at least this often.
constexpr qint64 kLongestPacedMs = 500;

int screenFrameMs() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal rate = screen ? screen->refreshRate() : 0;
    return rate >= 1 ? std::max(1, int(std::lround(1000 / rate))) : 16;
}
} // namespace

FramePacer::FramePacer(std::function<void()> catchUp, QObject* parent)
    : QObject(parent), m_catchUp(std::move(catchUp)), m_minimumMs(screenFrameMs()) {
    m_frame.setSingleShot(true);
    connect(&m_frame, &QTimer::timeout, this, &FramePacer::EndFrame);
}

void FramePacer::SetMinimumFrameMs(int ms) {
    m_minimumMs = ms;
    if (m_frame.isActive())
        m_frame.start(ms);
}

bool FramePacer::ShowNow() {
    if (!m_frame.isActive()) {
        m_work = 0;
        m_frame.start(m_minimumMs);
        return true;
    }
    m_waiting = true;
    return false;
}

void FramePacer::EndFrame() {
    if (!m_waiting)
        return; // a quiet frame: the next change is shown at once
    m_waiting = false;
    QElapsedTimer clock;
    clock.start();
    m_catchUp();
    const qint64 cost = std::exchange(m_work, 0) + clock.elapsed();
    m_frame.start(std::max(m_minimumMs, int(std::min(4 * cost, kLongestPacedMs))));
}
