#pragma once

#include <QObject>
#include <QString>

// The WAV player that PlayMessage drives, "MMControl": close, play a file
// without waiting for its end, and report the end of every play through Done.
class SoundDevice : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Ends the sound playing now, if any; Done for it has then been raised.
    virtual void Close() = 0;
    // Opens and plays the file and returns while it plays. Done follows every
    // call exactly once: when the sound ends, and also when it cannot be
    // played (missing or unreadable file, no audio device, an empty name).
    virtual void Play(const QString& fileName) = 0;
    // The system beep.
    virtual void Beep() = 0;

Q_SIGNALS:
    void Done();
};
