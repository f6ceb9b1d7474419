#include "notify/sound_effect_device.h"

#include <QApplication>
#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

SoundEffectDevice::SoundEffectDevice(QObject* parent) : SoundDevice(parent) {}

SoundEffectDevice::~SoundEffectDevice() {
    if (m_effect) {
        m_effect->disconnect(this);
        m_effect->stop();
    }
}

void SoundEffectDevice::Close() {
    if (QSoundEffect* effect = m_effect) {
        m_effect = nullptr;
        effect->disconnect(this);
        effect->stop();
        effect->deleteLater();
        // The closed sound has ended here, whatever it was doing.
        Q_EMIT Done();
    }
}

void SoundEffectDevice::Play(const QString& fileName) {
    Close();
    auto* effect = new QSoundEffect(this);
    m_effect = effect;
    // Playing starts once the file is loaded; it ends when playing stops, or
    // in the error status (an undecodable file), which QSoundEffect reports
    // without ever ending its play.
    connect(effect, &QSoundEffect::playingChanged, this, [this, effect] {
        if (!effect->isPlaying())
            Finish(effect);
    });
    connect(effect, &QSoundEffect::statusChanged, this, [this, effect] {
        if (effect->status() == QSoundEffect::Error)
            Finish(effect);
    });
    const QFileInfo file(fileName);
    // Without an audio device QSoundEffect "plays" a good file for ever, so
    // that case fails here like a file that cannot be opened.
    if (fileName.isEmpty() || !file.isFile() || !file.isReadable() ||
        QMediaDevices::defaultAudioOutput().isNull()) {
        // The play fails at once, and still ends with Done.
        QMetaObject::invokeMethod(
            this, [this, effect] { Finish(effect); }, Qt::QueuedConnection);
        return;
    }
    effect->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    effect->play();
    if (effect->status() == QSoundEffect::Error)
        QMetaObject::invokeMethod(
            this, [this, effect] { Finish(effect); }, Qt::QueuedConnection);
}

void SoundEffectDevice::Finish(QSoundEffect* effect) {
    // Only the effect of the current play reports; one Done per play.
    if (effect != m_effect)
        return;
    m_effect = nullptr;
    effect->disconnect(this);
    effect->deleteLater();
    Q_EMIT Done();
}

void SoundEffectDevice::Beep() {
    QApplication::beep();
}
