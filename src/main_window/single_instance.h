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

    // Takes the lock when it can. True only when another Larkwatch that is
    // still running holds it. A lock that cannot be made (a read-only or
    // missing runtime folder, a lock file that is no lock) keeps no second
    // Larkwatch out: it is a warning on standard error, and false.
    bool AnotherInstanceRunning();

    // In the user's runtime folder; empty when there is none.
    static QString StandardLockFilePath();

private:
    QString m_path;
    QLockFile m_lock;
};

// "Larkwatch is already running in the tray!", title "Larkwatch", one OK button.
void ShowAlreadyRunning(QWidget* parent = nullptr);
