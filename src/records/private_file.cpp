#include "records/private_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

QString ReplacePrivateFile(const QString& path, const QByteArray& bytes) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);
    // Unbuffered, so a write the disk takes only in part shows in the count
    // written: Qt would otherwise commit the short file as a whole one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        const QString reason =
            QStringLiteral("%1: cannot make it private: %2").arg(path, file.errorString());
        file.cancelWriting();
        return reason;
    }
    if (const qint64 written = file.write(bytes); written != bytes.size()) {
        file.cancelWriting();
        return QStringLiteral("%1: only %2 of %3 bytes written")
            .arg(path)
            .arg(std::max<qint64>(written, 0))
            .arg(bytes.size());
    }
    if (!file.commit())
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    return QString();
}
