#include "engine/pop/pop_wait.h"

#include "engine/pop/pop_client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void WaitUntilIdle(const PopClient& client) {
    while (client.Busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool WaitUntilIdle(const PopClient& client, int timeoutMs) {
    // The limit is a timer rather than a clock reading: its time-out is itself
    // an event, so the sleeping loop wakes for it even when nothing else comes.
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    limit.start(timeoutMs);
    while (client.Busy() && limit.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return !client.Busy();
}

bool LoggedOnAndIdle(const PopClient& client) {
    return client.LogonState() == PopClient::LoggedOn &&
           client.ConnectionState() == PopClient::ConnectionIdle;
}

bool ConnectionGone(const PopClient& client) {
    return client.LogonState() == PopClient::NotConnected &&
           client.ConnectionState() == PopClient::ConnectionClosed;
}
