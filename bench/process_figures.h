#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Resident memory of this process in KiB (VmRSS), or -1 when unreadable.
inline qint64 ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
