#pragma once

#include "notify/sound_device.h"

#include <QStringList>

// A sound device that plays nothing and notes what it is asked: "Close",
// "Play <file>", "Beep", and "Done" when it reports the end of a play. With
// AutoDone each play ends as soon as the event loop runs again; without it
// the test ends plays with Finish().
class RecordingSoundDevice final : public SoundDevice {
    Q_OBJECT
public:
    void Close() override {
        Log << QStringLiteral("Close");
        // Closing a sound that still plays ends it.
        if (m_playing)
            Finish();
    }
    void Play(const QString& fileName) override {
        Log << QStringLiteral("Play ") + fileName;
        m_playing = true;
        if (AutoDone)
            QMetaObject::invokeMethod(this, &RecordingSoundDevice::Finish, Qt::QueuedConnection);
    }
    void Beep() override { Log << QStringLiteral("Beep"); }

    void Finish() {
        if (!m_playing)
            return;
        m_playing = false;
        Log << QStringLiteral("Done");
        Q_EMIT Done();
    }
    // The files played, in order.
    QStringList Played() const {
        QStringList files;
        for (const QString& entry : Log) {
            if (entry.startsWith(QLatin1String("Play ")))
                files << entry.mid(5);
        }
        return files;
    }

    bool AutoDone = true;
    QStringList Log;

private:
    bool m_playing = false;
};
