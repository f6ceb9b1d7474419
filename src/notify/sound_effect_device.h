#pragma once

#include "notify/sound_device.h"

#include <QPointer>

class QSoundEffect;

// The program's WAV player on QSoundEffect. Each play gets a fresh effect, so
// the end of a closed sound can never be taken for the end of the next one.
class SoundEffectDevice final : public SoundDevice {
    Q_OBJECT
public:
    explicit SoundEffectDevice(QObject* parent = nullptr);
    ~SoundEffectDevice() override;

    void Close() override;
    void Play(const QString& fileName) override;
    void Beep() override;

private:
    void Finish(QSoundEffect* effect);

    QPointer<QSoundEffect> m_effect;
};
