#pragma once

#include "main_window/window_collaborators.h"

#include <QObject>
#include <QStringList>
#include <optional>

class AppState;
class SoundDevice;

// The "*.wav" files of a folder (any letter case), by name; nullopt when the
// folder cannot be listed (empty path, missing, not a folder, unreadable).
std::optional<QStringList> ListWavFiles(const QString& folder);

// The random pick among n listed files for a number 0 <= r < 1: the whole
// part of n * r, never beyond the last file.
qsizetype RandomIndex(qsizetype n, double r);

// Announces new mail with a WAV sound, one at a time: the single-play file
// WavFile, or a file picked at random from WavFolder. Sounds never overlap:
// each play waits until the one before it has ended.
class SoundPlayer final : public QObject, public SoundOutput {
    Q_OBJECT
public:
    // The device is not owned; it reports the end of every play (Done).
    SoundPlayer(AppState& state, SoundDevice& device, QObject* parent = nullptr);

    // Waits until no sound of ours is playing, then plays the configured one:
    // WavFile with PlayWav, otherwise a random file of WavFolder. A folder that
    // cannot be listed beeps and plays the file of the previous call again.
    // Returns while the sound plays.
    void PlayMessage();
    // The device's report that a play has ended, however it ended.
    void MMControl_Done();
    bool SoundIdle() const { return m_soundIdle; }

    // After a pass: the configured sound once when no WAV action matched,
    // otherwise each distinct file of the matching actions once, in order,
    // the options left as they are while the sounds wait for each other.
    void PlaySounds(const QStringList& wavFiles) override;

    // How long a play may wait for the one before it to end before it goes
    // on regardless (a device that never reports its end).
    void SetIdleTimeout(int milliseconds) { m_idleTimeoutMs = milliseconds; }

private:
    // False when the wait was cut short because the program is quitting.
    bool WaitForSoundIdle();
    // Waits for the sound before to end and makes the device ready for the
    // next; false when the program is quitting.
    bool TakeDevice();

    AppState& m_state;
    SoundDevice& m_device;
    bool m_soundIdle = true;
    // The device's file name, kept from one play to the next.
    QString m_fileName;
    int m_idleTimeoutMs = 30000;
};
