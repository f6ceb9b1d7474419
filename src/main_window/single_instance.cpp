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
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    return m_lock.tryLock(0);
}

QString SingleInstance::StandardLockFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/larkwatch.lock");
}

void ShowAlreadyRunning(QWidget* parent) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Larkwatch"),
                    QStringLiteral("Larkwatch is already running in the tray!"), QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
