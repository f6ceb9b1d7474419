#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A figure of /proc/self/status in KiB ("VmRSS", "RssAnon", "RssFile"), or -1
// when unreadable.
inline qint64 StatusKiB(const QByteArray& field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = field + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Resident memory of this process in KiB (VmRSS), or -1 when unreadable.
inline qint64 ResidentKiB() {
    return StatusKiB("VmRSS");
}
