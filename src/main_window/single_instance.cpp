#include "main_window/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

SingleInstance::SingleInstance(const QString& lockFilePath)
    : m_path(lockFilePath), m_lock(lockFilePath) {
    // A running instance may hold the lock for weeks: only a dead owner makes
    // it stale, never its age.
    m_lock.setStaleLockTime(0);
}

bool SingleInstance::TryAcquire() {
    if (m_lock.isLocked())
        return true;
    if (m_path.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    return m_lock.tryLock(0);
}

bool SingleInstance::AnotherInstanceRunning() {
    if (TryAcquire())
        return false;
    // Held, and its owner named in it: QLockFile has found that process alive.
    qint64 pid = 0;
    QString hostname, application;
    if (m_lock.error() == QLockFile::LockFailedError &&
        m_lock.getLockInfo(&pid, &hostname, &application))
        return true;
    QString reason;
    if (m_path.isEmpty())
        reason = QStringLiteral("there is no runtime folder");
    else if (!QFileInfo(QFileInfo(m_path).absolutePath()).isDir())
        reason = QStringLiteral("its folder is missing and cannot be made");
    else if (m_lock.error() == QLockFile::PermissionError)
        reason = QStringLiteral("its folder cannot be written");
    else if (m_lock.error() == QLockFile::LockFailedError)
        reason = QStringLiteral("a file that is no lock stands in its place");
    else
        reason = QStringLiteral("an unknown error");
    qWarning("Larkwatch: the lock file %s cannot be made (%s); a second Larkwatch will not be "
             "kept from starting",
             qPrintable(m_path.isEmpty() ? QStringLiteral("larkwatch.lock") : m_path),
             qPrintable(reason));
    return false;
}

QString SingleInstance::StandardLockFilePath() {
    // Empty when the runtime folder cannot be had (Qt says why), not a lock
    // in the root folder.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/larkwatch.lock");
}

void ShowAlreadyRunning(QWidget* parent) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Larkwatch"),
                    QStringLiteral("Larkwatch is already running in the tray!"), QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
