#pragma once

#include <QLockFile>
#include <QString>

class QWidget;

// Keeps a second Larkwatch of the same user from starting. The lock lives in
// the user's runtime folder; a lock left behind by a crashed instance is taken
// over, since its process is gone.
class SingleInstance {
public:
    explicit SingleInstance(const QString& lockFilePath = StandardLockFilePath());

    // True when this process now holds the lock for as long as the object lives.
    bool TryAcquire();

    static QString StandardLockFilePath();

private:
    QString m_path;
    QLockFile m_lock;
};

// "Larkwatch is already running in the tray!", title "Larkwatch", one OK button.
void ShowAlreadyRunning(QWidget* parent = nullptr);
