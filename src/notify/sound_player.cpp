#include "notify/sound_player.h"

#include "notify/sort_array.h"
#include "notify/sound_device.h"
#include "records/app_state.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cmath>

std::optional<QStringList> ListWavFiles(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || !info.isReadable())
        return std::nullopt;
    // Name filters match without regard to letter case unless told otherwise.
    return QDir(folder).entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name);
}

qsizetype RandomIndex(qsizetype n, double r) {
    if (n <= 0)
        return 0;
    const auto k = qsizetype(std::floor(double(n) * r));
    return std::clamp<qsizetype>(k, 0, n - 1);
}

SoundPlayer::SoundPlayer(AppState& state, SoundDevice& device, QObject* parent)
    : QObject(parent), m_state(state), m_device(device) {
    connect(&m_device, &SoundDevice::Done, this, &SoundPlayer::MMControl_Done);
}

void SoundPlayer::MMControl_Done() {
    m_soundIdle = true;
}

bool SoundPlayer::WaitForSoundIdle() {
    if (m_soundIdle)
        return true;
    // Sleep in the event loop until Done arrives or the time-out passes: the
    // window stays responsive and nothing spins.
    QEventLoop wait;
    QTimer giveUp;
    giveUp.setSingleShot(true);
    bool woken = false;
    auto wake = [&wait, &woken] {
        woken = true;
        wait.quit();
    };
    connect(&giveUp, &QTimer::timeout, &wait, wake);
    connect(&m_device, &SoundDevice::Done, &wait, wake);
    giveUp.start(m_idleTimeoutMs);
    while (!m_soundIdle && giveUp.isActive()) {
        woken = false;
        wait.exec();
        // Neither Done nor the time-out ended the wait: the program is quitting.
        if (!woken)
            return false;
    }
    return true;
}

bool SoundPlayer::TakeDevice() {
    if (!WaitForSoundIdle())
        return false;
    // A sound that outlived a timed-out wait reports its end when closed;
    // only after that is the device busy with the new one.
    m_device.Close();
    m_soundIdle = false;
    return true;
}

void SoundPlayer::PlayMessage() {
    if (!TakeDevice())
        return;

    const GeneralOptions& options = m_state.AppSettings;
    if (options.PlayWav) {
        m_fileName = options.WavFile;
    } else if (const auto files = ListWavFiles(options.WavFolder)) {
        const qsizetype k = RandomIndex(files->size(), m_state.Rnd());
        // An empty folder names the folder alone, which fails to open and
        // still ends with Done.
        QString folder = options.WavFolder;
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        m_fileName = folder + files->value(k);
    } else {
        // The file of the previous call, if any, is played again.
        m_device.Beep();
    }
    m_device.Play(m_fileName);
}

void SoundPlayer::PlaySounds(const QStringList& wavFiles) {
    if (wavFiles.isEmpty()) {
        PlayMessage();
        return;
    }
    QStringList files = wavFiles;
    SortArray(0, qint32(files.size()) - 1, files);
    // A WAV action names its own file: it is played as a single play, also
    // while the general option is random play. The options stay as they are:
    // a dialog opened while a sound plays shows and keeps the user's own.
    QString playedLast;
    for (qsizetype n = 0; n < files.size(); ++n) {
        if (n > 0 && files.at(n) == playedLast)
            continue;
        playedLast = files.at(n);
        if (!TakeDevice())
            return;
        m_fileName = playedLast;
        m_device.Play(m_fileName);
    }
}
